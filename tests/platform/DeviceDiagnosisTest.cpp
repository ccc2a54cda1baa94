// Why a place shows no reader, on a made-up system tree and on real nodes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

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

    std::vector<std::string> notes = SetupNotes(devices, root.string() + "/");
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_TRUE(notes[0].starts_with("the udev rule for the reader's USB interface"));
    EXPECT_TRUE(notes[1].starts_with("ModemManager is running"));
    EXPECT_EQ(notes[2],
              "/dev/ttyUSB0: the adapter's latency timer is 16 ms, which slows every answer: "
              "echo 1 | sudo tee /sys/bus/usb-serial/devices/ttyUSB0/latency_timer");

    Write(root / "usr/lib/udev/rules.d/70-rq4720.rules", "");
    fs::remove_all(root / "proc");
    notes = SetupNotes(devices, root.string() + "/");
    EXPECT_EQ(notes.size(), 1u);
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
    EXPECT_NE(DescribeProblem({NodeState::NoPermission, {}, {}}, true).find("udev rule"),
              std::string::npos);
}

}  // namespace
}  // namespace rq
