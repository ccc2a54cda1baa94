// A production bench end to end: several simulated readers behind pseudo-terminals (the
// real serial binding) and two on the in-process USB simulation, found by list, chosen by
// --reader, held against a second program, checked by write --verify, logged as JSON.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdlib>
#include <memory>
#include <sstream>

#include "PtyReader.h"
#include "SimHidLibrary.h"
#include "SimOptions.h"
#include "cli/RunCommandLine.h"
#include "platform/ExclusiveHold.h"
#include "platform/QtSerialPort.h"
#include "platform/SteadyClock.h"
#include "protocol/SettingsBlock.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsFileTestSupport.h"
#include "support/EditedSettings.h"

namespace rq::cli {
namespace {

class Bench : public ::testing::Test {
  protected:
    static constexpr int kSerialReaders = 3;

    Bench() {
        std::string ports;
        for (int i = 0; i <= kSerialReaders; ++i) {
            sim::Faults faults;
            if (i == kSerialReaders) {
                faults.silentAfterFrames = 0;  // COM4: a port where nothing answers
            }
            pty.push_back(std::make_unique<sim::PtyReader>(
                sim::BenchReaderConfig({}, i, kSerialReaders), faults));
            ports += (i == 0 ? "" : ":") + pty.back()->slavePath();
        }
        ::setenv("RQ4720_SERIAL_PORTS", ports.c_str(), 1);
        usb.attach(usbReaders[0], {.serialNumber = "SN-A"});
        usb.attach(usbReaders[1], {.serialNumber = "SN-B"});
    }
    ~Bench() override { ::unsetenv("RQ4720_SERIAL_PORTS"); }

    struct Run {
        int status;
        std::string out;
        std::string err;
        QJsonObject json() const {
            return QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
        }
    };

    Run run(const std::vector<std::string>& words) {
        const std::vector<std::string_view> arguments(words.begin(), words.end());
        std::ostringstream out;
        std::ostringstream err;
        std::istringstream in;
        Console console{out, err, in, false, false};
        const int status = RunCommandLine(arguments, {usb, serial, clock, &usb}, console);
        return {status, out.str(), err.str()};
    }

    int framesAt(int com) {
        return pty.at(static_cast<std::size_t>(com - 1))->withReader([](sim::ReaderModel& r) {
            return r.framesReceived();
        });
    }

    std::vector<std::unique_ptr<sim::PtyReader>> pty;
    SteadyClock clock;
    sim::ReaderModel usbReaders[2];
    sim::SimHidLibrary usb{clock};
    QtSerialPort serial;
    testing::TempDir dir;
};

TEST_F(Bench, ListFindsEveryReaderWhereItIs) {
    const Run ids = run({"list", "--ids"});
    EXPECT_EQ(ids.status, 0) << ids.err;
    EXPECT_EQ(ids.out, "usb:SN-A\nusb:SN-B\ncom1\ncom2\ncom3\n");

    const Run listed = run({"list", "--json"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    const QJsonArray places = listed.json()["places"].toArray();
    ASSERT_EQ(places.size(), 6) << listed.out;
    const struct {
        const char* id;
        int rate;
        const char* revision;
        const char* version;
    } expected[] = {{"usb:SN-A", 0, "", "V2.20"},
                    {"usb:SN-B", 0, "", "V2.20"},
                    {"com1", 9600, "B", "V2.20 SN0001"},
                    {"com2", 19200, "B", "V2.20 SN0002"},
                    {"com3", 57600, "A", "V2.20 SN0003"}};
    for (int i = 0; i < 5; ++i) {
        const QJsonObject place = places[i].toObject();
        SCOPED_TRACE(expected[i].id);
        EXPECT_EQ(place["id"].toString(), expected[i].id);
        EXPECT_TRUE(place["found"].toBool());
        EXPECT_EQ(place["rate"].toInt(), expected[i].rate);
        EXPECT_EQ(place["revision"].toString(), expected[i].revision);
        EXPECT_EQ(place["version"].toString(), expected[i].version);
    }
    EXPECT_FALSE(places[5].toObject()["found"].toBool());
    EXPECT_EQ(places[5].toObject()["problem"].toString(), "no answer at any rate");
}

TEST_F(Bench, ReaderReachesTheChosenOneAndLeavesTheOthersAlone) {
    const ReaderSettings written = testing::EditedSettings();
    const std::string file = dir.file("bench.kxs");
    const auto bytes = FormatSettingsFile(written).bytes;
    testing::WriteBytes(file, std::string(bytes.begin(), bytes.end()));

    const Run write = run({"--reader", "com2", "--json", "write", "--verify", file});
    ASSERT_EQ(write.status, 0) << write.out << write.err;
    const QJsonObject record = write.json();
    EXPECT_EQ(record["reader"].toString(), "com2");
    EXPECT_EQ(record["link"].toString(), "rs232");
    EXPECT_EQ(record["rate"].toInt(), 19200);
    EXPECT_EQ(record["outcome"].toString(), "done");
    EXPECT_EQ(record["settings"].toObject()["prefix"].toString(), "AB");
    EXPECT_TRUE(record["differences"].toArray().isEmpty());
    EXPECT_NE(write.err.find("Verified"), std::string::npos) << "status lines on stderr";
    const auto block = std::get<SettingsBlock>(EncodeSettings(written));
    const auto stored = pty[1]->withReader([](sim::ReaderModel& r) { return r.settings(); });
    EXPECT_TRUE(std::ranges::equal(block, stored));
    EXPECT_EQ(framesAt(1) + framesAt(3), 0);
    EXPECT_TRUE(usb.sentReports().empty());

    const Run version = run({"--json", "version", "--reader", "usb:SN-B"});
    EXPECT_EQ(version.status, 0) << version.err;
    EXPECT_EQ(version.json()["link"].toString(), "usb");
    EXPECT_EQ(version.json()["port"].toString(), "sim:hid1");
    EXPECT_EQ(usb.reportsSentTo(0).size(), 0u);
    EXPECT_EQ(framesAt(1) + framesAt(3), 0);

    const Run nowhere = run({"--reader", "com9", "--json", "version"});
    EXPECT_EQ(nowhere.status, 1);
    EXPECT_EQ(nowhere.json()["outcome"].toString(), "not-found");
    EXPECT_NE(nowhere.err.find("no reader can be at 'com9'"), std::string::npos);
}

TEST_F(Bench, WriteVerifyCatchesAReaderThatStoresSomethingElse) {
    pty[0]->withReader([](sim::ReaderModel& r) {
        r.faults().storedByte = sim::Faults::ByteChange{3, 1};  // the buzzer byte
    });
    const std::string file = dir.file("bench.kxs");
    const auto bytes = FormatSettingsFile(ReaderSettings{}).bytes;
    testing::WriteBytes(file, std::string(bytes.begin(), bytes.end()));

    const Run write = run({"write", file, "--verify", "--reader",
                           "/dev/../" + pty[0]->slavePath().substr(1), "--json"});
    EXPECT_EQ(write.status, 2) << write.out << write.err;
    EXPECT_NE(write.err.find("verify: the reader holds other settings than written:\n  "),
              std::string::npos)
        << write.err;
    const QJsonArray differences = write.json()["differences"].toArray();
    ASSERT_EQ(differences.size(), 1) << write.out;
    EXPECT_EQ(write.json()["outcome"].toString(), "failed");
}

TEST_F(Bench, ASecondProgramIsToldTheReaderIsBusy) {
    // Serial: another program has COM1 open.
    QtSerialPort other;
    other.setCommPort(1);
    ASSERT_EQ(other.open(), SerialFailure::None);
    const Run busy = run({"--reader", "com1", "--json", "version"});
    EXPECT_EQ(busy.status, 1);
    EXPECT_NE(busy.json()["problem"].toString().toStdString().find("busy: held by "),
              std::string::npos)
        << busy.out;
    const Run listed = run({"list"});
    EXPECT_NE(listed.out.find("no reader: busy: held by "), std::string::npos) << listed.out;
    other.close();

    // USB: the hold the HID binding takes on a device node before it opens it.
    const std::string node = dir.file("hidraw0");
    testing::WriteBytes(node, "");
    ExclusiveHold first;
    ExclusiveHold second;
    EXPECT_EQ(first.take(node), ExclusiveHold::Result::Held);
    EXPECT_EQ(second.take(node), ExclusiveHold::Result::Busy);
    first = ExclusiveHold();
    EXPECT_EQ(second.take(node), ExclusiveHold::Result::Held);
    EXPECT_EQ(first.take(dir.file("missing")), ExclusiveHold::Result::Unavailable);
}

}  // namespace
}  // namespace rq::cli
