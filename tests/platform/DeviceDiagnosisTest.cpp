// Why a place shows no reader, on a made-up system tree and on real nodes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/DeviceDiagnosis.h"

namespace rq {
namespace {

namespace fs = std::filesystem;

void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

TEST(DeviceDiagnosis, NotesExplainAMissingReader) {
    const fs::path root = fs::temp_directory_path() / ("rq-notes-" + std::to_string(::getpid()));
    Write(root / "proc/812/comm", "ModemManager\n");
    Write(root / "proc/self/comm", "ModemManager\n");  // not a process number: not counted
    Write(root / "sys/class/tty/ttyUSB0/device/latency_timer", "16\n");
    Write(root / "sys/class/tty/ttyUSB1/device/latency_timer", "1\n");
    const std::vector<std::string> devices = {"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyS0"};

    const std::string sudo = ::geteuid() == 0 ? "" : "sudo ";
    const std::vector<std::string> unopened = {"/dev/hidraw3"};
    std::vector<std::string> notes = SetupNotes(devices, unopened, root.string() + "/");
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_TRUE(notes[0].starts_with("the udev rule for the reader's USB interface is not"));
    EXPECT_NE(notes[0].find(sudo + "tee /etc/udev/rules.d/70-rq4720.rules"), std::string::npos);
    EXPECT_TRUE(notes[1].starts_with("ModemManager is running"));
    EXPECT_EQ(notes[2],
              "/dev/ttyUSB0: the adapter's latency timer is 16 ms, which slows every answer: "
              "echo 1 | " +
                  sudo + "tee /sys/bus/usb-serial/devices/ttyUSB0/latency_timer");

    Write(root / "usr/lib/udev/rules.d/70-rq4720.rules", "");
    fs::remove_all(root / "proc");
    notes = SetupNotes(devices, unopened, root.string() + "/");
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_TRUE(notes[0].starts_with("the udev rule /usr/lib/udev/rules.d/70-rq4720.rules "));
    // Every USB device opened (or none is there): no word about the rule.
    EXPECT_EQ(SetupNotes(devices, {}, root.string() + "/").size(), 1u);
    fs::remove_all(root);
}

TEST(DeviceDiagnosis, NodesThatDoNotOpen) {
    const fs::path file = fs::temp_directory_path() / ("rq-node-" + std::to_string(::getpid()));
    Write(file, "");
    EXPECT_EQ(DiagnoseDeviceNode(file.string()).state, NodeState::Usable);
    ::chmod(file.c_str(), 0);
    // Root opens it all the same.
    EXPECT_EQ(DiagnoseDeviceNode(file.string()).state,
              ::geteuid() == 0 ? NodeState::Usable : NodeState::NoPermission);
    fs::remove(file);
    EXPECT_EQ(DiagnoseDeviceNode(file.string()).state, NodeState::Missing);
    EXPECT_EQ(DescribeProblem({NodeState::Busy, {}, "minicom (pid 7)"}, false),
              "busy: held by minicom (pid 7)");
}

TEST(DeviceDiagnosis, PermissionAdviceFitsTheNode) {
    const struct {
        const char* owner;
        const char* group;
        unsigned mode;
        bool usb, root, inGroup, groupListed;
        const char* advice;  // after "no permission: /dev/x is OWNER:GROUP MODE"
    } cases[] = {
        {"root", "dialout", 0660, false, false, false, false,
         ": join the group dialout (sudo usermod -aG dialout $USER), then log out and in again"},
        {"root", "dialout", 0660, false, false, false, true,
         ": you joined the group dialout after logging in: log out and in again"},
        {"root", "plugdev", 0660, true, false, false, false, ": join the group plugdev (sudo"},
        {"root", "root", 0600, false, false, false, false,
         ": give it to the group dialout (sudo chgrp dialout /dev/x && sudo chmod 660 /dev/x"},
        {"root", "root", 0660, false, false, false, false, ": give it to the group dialout ("},
        {"root", "dialout", 0000, false, false, false, false, ": give it to the group dialout ("},
        {"root", "dialout", 0640, false, false, false, false, ": give it to the group dialout ("},
        {"root", "root", 0600, false, true, false, false,
         ": give it to the group dialout (chgrp dialout /dev/x && chmod 660"},
        {"root", "root", 0600, true, false, false, false,
         ": the udev rule gives the reader to the user at the seat and the group plugdev: "
         "echo 'SUBSYSTEM=="},
        {"root", "dialout", 0660, false, false, true, false,
         ", which lets you in: an access control list"},
        {"uucp", "uucp", 0666, false, false, false, false, ", which lets you in"},
    };
    for (const auto& c : cases) {
        const NodeAccess access{"/dev/x", c.owner,   c.group,      c.mode,
                                c.root,   c.inGroup, c.groupListed};
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", c.mode);
        const std::string expected = std::string("no permission: /dev/x is ") + c.owner + ":" +
                                     c.group + " " + mode + c.advice;
        const std::string advice = PermissionAdvice(access, c.usb);
        EXPECT_TRUE(advice.starts_with(expected)) << advice << "\nwanted " << expected;
    }
}

TEST(DeviceDiagnosis, AStaleLockIsClearedALiveOneNamesItsHolder) {
    const fs::path dir = fs::temp_directory_path() / ("rq-locks-" + std::to_string(::getpid()));
    const fs::path node = dir / "ttyQ9";
    Write(node, "");
    const char* oldTmp = std::getenv("TMPDIR");
    const std::string savedTmp = oldTmp != nullptr ? oldTmp : "";
    ::setenv("TMPDIR", dir.c_str(), 1);
    const pid_t gone = ::fork();
    if (gone == 0) {
        ::_exit(0);
    }
    ::waitpid(gone, nullptr, 0);

    Write(dir / "LCK..ttyQ9", std::to_string(::getpid()) + "\nbench\nhost\n");
    NodeDiagnosis diagnosis = DiagnoseDeviceNode(node.string());
    EXPECT_EQ(diagnosis.state, NodeState::Busy);
    EXPECT_EQ(diagnosis.holder, "bench (pid " + std::to_string(::getpid()) + ")");

    Write(dir / "LCK..ttyQ9", std::to_string(gone) + "\nrq4720-cli\nhost\n");
    diagnosis = DiagnoseDeviceNode(node.string());
    if (::access(dir.c_str(), W_OK) == 0) {
        EXPECT_EQ(diagnosis.state, NodeState::Usable);
        EXPECT_FALSE(fs::exists(dir / "LCK..ttyQ9"));
    }
    // As another user (who may not remove root's file) would see it.
    diagnosis = {NodeState::Busy, {}, {}};
    diagnosis.stale = {(dir / "LCK..ttyQ9").string(), gone, node.string(), false};
    std::string problem = DescribeProblem(diagnosis, false);
    EXPECT_NE(problem.find("names pid " + std::to_string(gone) + ", which no longer runs"),
              std::string::npos);
    EXPECT_TRUE(problem.ends_with("rm " + (dir / "LCK..ttyQ9").string())) << problem;
    diagnosis.stale.exclusive = true;  // the terminal also refuses to open (EBUSY)
    problem = DescribeProblem(diagnosis, false);
    EXPECT_TRUE(problem.ends_with("rq4720-cli --reader " + node.string() + " version")) << problem;

    if (oldTmp != nullptr) {
        ::setenv("TMPDIR", savedTmp.c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace rq
