#pragma once

#include <iosfwd>

namespace rq::cli {

// Where the command line talks: status lines on `out`, message-box texts and questions
// on `err`, answers from `in`. Whether a person sits at them decides the progress bar
// and whether a question can be asked at all.
struct Console {
    std::ostream& out;
    std::ostream& err;
    std::istream& in;
    bool outIsTerminal = false;
    bool inIsTerminal = false;
};

}  // namespace rq::cli
