#pragma once

#include <span>
#include <string>
#include <vector>

namespace rq {

// Why a device node where a reader could be is of no use to the tool. The searches only
// skip such a node; a person setting up a bench needs the reason and the fix.
enum class NodeState {
    Usable,        // it opens: if no reader answered, none is there (or the cable)
    Missing,       // no such node
    NoPermission,  // this user may not open it
    Busy,          // another program holds it
    Failed,        // it exists but does not open for another reason
};

struct NodeDiagnosis {
    NodeState state = NodeState::Usable;
    std::string reason;  // the system's words, for Failed
    std::string holder;  // Busy: "rq4720-cli (pid 4711)" where the system can tell
};

// Opens `path` as the tool would (read and write, exclusively) and lets it go at once.
// Do not call it on a node this program holds.
[[nodiscard]] NodeDiagnosis DiagnoseDeviceNode(const std::string& path);

// The program holding `path`, as "name (pid N)"; empty when the system does not tell
// (another user's processes are hidden from /proc, lock files name only some holders).
[[nodiscard]] std::string HolderOf(const std::string& path);

// One line: what is wrong with the node and how to mend it. `usb`: a HID node (the fix
// for permissions is the udev rule) rather than a serial port (the dialout group).
[[nodiscard]] std::string DescribeProblem(const NodeDiagnosis& diagnosis, bool usb);

// Things about this system that keep readers out of sight, each a line with its fix:
// the udev rule not installed, the user outside the dialout group, ModemManager
// running, USB-serial adapters among `serialDevices` whose latency timer is above 1 ms.
// `root` is "/" but for tests.
[[nodiscard]] std::vector<std::string> SetupNotes(std::span<const std::string> serialDevices,
                                                  const std::string& root = "/");

}  // namespace rq
