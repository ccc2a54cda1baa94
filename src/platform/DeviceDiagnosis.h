#pragma once

#include <span>
#include <string>
#include <utility>
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

// Who may open a node, for the advice on a node this user may not open.
struct NodeAccess {
    std::string path;
    std::string owner;  // user and group names (numbers where the system has no name)
    std::string group;
    unsigned mode = 0;         // the permission bits, 0600
    bool root = false;         // this program runs as root
    bool inGroup = false;      // this process has the node's group
    bool groupListed = false;  // the group lists this user, who has not logged in since
};

// A lock file that names a process which no longer runs (one killed, or a crash).
struct StaleLock {
    std::string file;
    long pid = 0;
    std::string device;
    // The port was also left in exclusive use (TIOCEXCL stays on a terminal whose other
    // side lives on), which only root gets past and clears.
    bool exclusive = false;
};

struct NodeDiagnosis {
    NodeDiagnosis() = default;
    NodeDiagnosis(NodeState state_, std::string reason_, std::string holder_)
        : state(state_), reason(std::move(reason_)), holder(std::move(holder_)) {}

    NodeState state = NodeState::Usable;
    std::string reason;    // the system's words, for Failed
    std::string holder;    // Busy: "rq4720-cli (pid 4711)" where the system can tell
    NodeAccess access;     // NoPermission
    StaleLock stale;       // Busy because of a stale lock this user may not remove
    bool terminal = true;  // Usable: a serial port is a terminal; a file or FIFO is none
};

// Opens `path` as the tool would (read and write, exclusively) and lets it go at once.
// A stale lock file of the port is removed where this user may (so the next open works),
// else reported as Busy with `stale`. Do not call it on a node this program holds.
[[nodiscard]] NodeDiagnosis DiagnoseDeviceNode(const std::string& path);

// The program holding `path`, as "name (pid N)"; empty when the system does not tell
// (another user's processes are hidden from /proc, lock files name only some holders).
[[nodiscard]] std::string HolderOf(const std::string& path);

// One line: what is wrong with the node and how to mend it. `usb`: a HID node (the fix
// for permissions is the udev rule) rather than a serial port (the dialout group).
[[nodiscard]] std::string DescribeProblem(const NodeDiagnosis& diagnosis, bool usb);

// The fix for a node this user may not open, from its owner, group and mode.
[[nodiscard]] std::string PermissionAdvice(const NodeAccess& access, bool usb);

// Things about this system that keep readers out of sight, each a line with its fix:
// the udev rule, where a device with the reader's IDs is present but does not open
// (`unopenedUsb`); the user outside the group dialout that owns a port of
// `serialDevices`; ModemManager running; USB-serial adapters among `serialDevices` whose
// latency timer is above 1 ms. `root` is "/" but for tests.
[[nodiscard]] std::vector<std::string> SetupNotes(std::span<const std::string> serialDevices,
                                                  std::span<const std::string> unopenedUsb,
                                                  const std::string& root = "/");

}  // namespace rq
