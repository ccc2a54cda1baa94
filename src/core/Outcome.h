#pragma once

namespace rq {

// How an operation ended, for a caller that acts on it (the command line turns it into
// its exit status). The window ignores it: its operator reads the status lines and boxes.
enum class Outcome {
    Done,      // the reader confirmed the operation; a file was read or written whole
    NotFound,  // no reader answered on USB or on the serial ports
    Failed,    // the reader answered wrongly or stopped answering, or its port failed
    BadInput,  // a bad settings file or firmware image, or a text the reader cannot store
    Declined,  // the operator did not confirm; nothing was sent
};

}  // namespace rq
