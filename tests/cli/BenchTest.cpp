// A production bench end to end: several simulated readers behind pseudo-terminals (the
// real serial binding) and two on the in-process USB simulation, found by list, chosen by
// --reader, held against a second program, checked by write --verify, logged as JSON.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>

#include "PtyReader.h"
#include "SimHidLibrary.h"
#include "SimOptions.h"
#include "cli/RunCommandLine.h"
#include "core/ForwardingDevices.h"
#include "core/NoDevices.h"
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

    Bench() : Bench("V2.20", "SN-A") {}
    // `version`: the first serial reader's version text; `serial`: the first USB one's
    // serial number (both the reader's to choose).
    Bench(const std::string& version, const std::string& serialNumber) {
        std::string ports;
        for (int i = 0; i <= kSerialReaders; ++i) {
            sim::Faults faults;
            if (i == kSerialReaders) {
                faults.silentAfterFrames = 0;  // COM4: a port where nothing answers
            }
            sim::ReaderConfig base;
            base.version = i == 0 ? version : "V2.20";
            pty.push_back(std::make_unique<sim::PtyReader>(
                sim::BenchReaderConfig(base, i, kSerialReaders), faults));
            ports += (i == 0 ? "" : ":") + pty.back()->slavePath();
        }
        ::setenv("RQ4720_SERIAL_PORTS", ports.c_str(), 1);
        usb.attach(usbReaders[0], {.serialNumber = serialNumber});
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

    Run run(const std::vector<std::string>& words, bool terminal = false) {
        return runOn(serial, words, terminal);
    }
    Run runOn(SerialPort& port, const std::vector<std::string>& words, bool terminal = false) {
        const std::vector<std::string_view> arguments(words.begin(), words.end());
        std::ostringstream out;
        std::ostringstream err;
        std::istringstream in;
        Console console{out, err, in, terminal, false};
        const int status = RunCommandLine(arguments, {usb, port, clock, &usb}, console);
        return {status, out.str(), err.str()};
    }

    std::string settingsFile(const ReaderSettings& settings) {
        const std::string file = dir.file("bench.kxs");
        const auto bytes = FormatSettingsFile(settings).bytes;
        testing::WriteBytes(file, std::string(bytes.begin(), bytes.end()));
        return file;
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

    // A device that opens but fails the handshake is no reader: the record names no link.
    usbReaders[0].faults().silentAfterFrames = 0;
    const Run silent = run({"--json", "version", "--reader", "usb:SN-A"});
    EXPECT_EQ(silent.status, 1) << silent.err;
    EXPECT_EQ(silent.json()["outcome"].toString(), "not-found");
    EXPECT_TRUE(silent.json()["link"].isNull()) << silent.out;
    EXPECT_TRUE(silent.json()["port"].isNull()) << silent.out;
}

TEST_F(Bench, WriteVerifyCatchesAReaderThatStoresSomethingElse) {
    // Values the decoding maps back to those written, or ignores: only the bytes tell.
    ReaderSettings settings;
    settings.delimiter = 4;
    settings.startFrom = 16;
    settings.buzzer = true;
    settings.capsLock = true;
    const std::string file = settingsFile(settings);
    const struct {
        std::size_t index;
        std::uint8_t value;
        const char* difference;
    } cases[] = {{1, 1, "ps2kblock (block byte 1): wrote 0, reads 1"},
                 {2, 9, "delimiter (block byte 2): wrote 4, reads 9"},
                 {3, 20, "start (block byte 3): wrote 15, reads 20"},
                 {29, 2, "buzzer (block byte 29): wrote 1, reads 2"},
                 {8, 0, "prefix (block byte 8): wrote 32, reads 0"},
                 {30, 0, "capslock (block byte 30): wrote 1, reads 0"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.difference);
        pty[0]->withReader([&](sim::ReaderModel& r) {
            r.faults().storedByte = sim::Faults::ByteChange{c.index, c.value};
        });
        const Run write = run({"write", file, "--verify", "--reader",
                               "/dev/../" + pty[0]->slavePath().substr(1), "--json"});
        EXPECT_EQ(write.status, 2) << write.out << write.err;
        EXPECT_NE(write.err.find("verify: the reader holds other settings than written:\n  "),
                  std::string::npos)
            << write.err;
        const QJsonArray differences = write.json()["differences"].toArray();
        ASSERT_EQ(differences.size(), 1) << write.out;
        EXPECT_EQ(differences[0].toString().toStdString(), c.difference);
        EXPECT_EQ(write.json()["outcome"].toString(), "failed");
    }
    // COM3 is a revision A reader, which keeps no Caps Lock byte: it says so and passes.
    const Run revisionA = run({"--reader", "com3", "write", "--verify", file});
    EXPECT_EQ(revisionA.status, 0) << revisionA.out << revisionA.err;
    EXPECT_NE(revisionA.out.find("revision A keeps no Caps Lock setting"), std::string::npos);
}

// Records what the operations do to the port below the command line.
class RecordingPort final : public ForwardingSerialPort {
  public:
    using ForwardingSerialPort::ForwardingSerialPort;
    std::vector<std::string> events;

    SerialFailure open() override {
        events.emplace_back("open");
        return inner().open();
    }
    void close() override {
        events.emplace_back("close");
        inner().close();
    }
    SerialFailure output(std::span<const std::uint8_t> bytes) override {
        events.push_back("out " + std::to_string(bytes.size()));
        return inner().output(bytes);
    }
};

TEST_F(Bench, WriteVerifyHoldsTheReaderUntilItIsReadBack) {
    const std::string file = settingsFile(testing::EditedSettings());  // moves it to 115200
    RecordingPort recorded(serial);
    const Run write = runOn(recorded, {"--reader", "com2", "write", "--verify", file});
    ASSERT_EQ(write.status, 0) << write.out << write.err;
    const auto& events = recorded.events;
    const auto written = std::ranges::find(events, "out 36");  // the settings frame
    const auto readBack = std::ranges::find(events, "out 5");  // the read request
    ASSERT_TRUE(written != events.end() && readBack > written);
    EXPECT_EQ(std::count(written, readBack, "close"), 0) << "let go between write and read-back";
    EXPECT_EQ(events.back(), "close");
    EXPECT_FALSE(serial.isOpen());

    // The same over USB, where the HID binding holds the device while it is open.
    EXPECT_EQ(run({"--reader", "usb:SN-A", "write", "--verify", file}).status, 0);
}

TEST_F(Bench, TheRecipeAccountsForEveryPlace) {
    const std::string file = settingsFile(ReaderSettings{});
    QtSerialPort other;  // another program holds COM1; COM4 is silent
    other.setCommPort(1);
    ASSERT_EQ(other.open(), SerialFailure::None);

    const Run ids = run({"list", "--ids"});
    EXPECT_EQ(ids.status, 2) << "a reader may be where list could not look";
    EXPECT_EQ(ids.out, "usb:SN-A\nusb:SN-B\ncom2\ncom3\n");
    EXPECT_NE(ids.err.find("rq4720-cli: not probed: com1 (" + pty[0]->slavePath() + "): busy"),
              std::string::npos)
        << ids.err;

    // The recipe: every place of list --json, one write each, one JSON line each.
    std::map<std::string, QJsonObject> log;
    for (const QJsonValue place : run({"list", "--json"}).json()["places"].toArray()) {
        const std::string id = place.toObject()["id"].toString().toStdString();
        log[id] = run({"--reader", id, "--json", "write", "--verify", file}).json();
    }
    ASSERT_EQ(log.size(), 6u);
    for (const auto& [id, record] : log) {
        SCOPED_TRACE(id);
        const std::string problem = record["problem"].toString().toStdString();
        if (id == "com1") {
            EXPECT_EQ(record["outcome"].toString(), "not-found");
            EXPECT_TRUE(problem.starts_with("busy: held by ")) << problem;
        } else if (id == "com4") {
            EXPECT_EQ(record["outcome"].toString(), "not-found");
            EXPECT_EQ(problem, "no answer at any rate");
        } else {
            EXPECT_EQ(record["outcome"].toString(), "done");
        }
    }
    other.close();

    // Without --reader the reason the search passed a reader over is in the record too.
    ::setenv("RQ4720_SERIAL_PORTS", pty[0]->slavePath().c_str(), 1);
    ASSERT_EQ(other.open(), SerialFailure::None);
    NoHidLibrary noUsb;
    QtSerialPort fresh;  // tells each port's reason once in 15 s
    const std::vector<std::string_view> words = {"--json", "version"};
    std::ostringstream out;
    std::ostringstream err;
    std::istringstream in;
    Console console{out, err, in, false, false};
    const Run unplaced{RunCommandLine(words, {noUsb, fresh, clock, nullptr}, console), out.str(),
                       err.str()};
    EXPECT_EQ(unplaced.status, 1);
    EXPECT_NE(unplaced.json()["problem"].toString().toStdString().find("busy: held by "),
              std::string::npos)
        << unplaced.out;
    EXPECT_NE(unplaced.err.find("rq4720-cli: serial port "), std::string::npos) << unplaced.err;
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

// A reader's texts, a device's name and an argument may hold anything; a terminal shows
// them and obeys none, and every JSON line is valid UTF-8.
class HostileBench : public Bench {
  protected:
    HostileBench() : Bench("V\x1b]0;owned\x07\x1b[2J\r\nX\x81", "SN\x1b[2J\xff") {}

    // Text a terminal shows without obeying it: valid UTF-8, no control character but
    // the line ends.
    static bool Harmless(const std::string& text) {
        const QString decoded = QString::fromUtf8(text);
        return decoded.toUtf8().toStdString() == text && std::ranges::none_of(decoded, [](QChar c) {
                   return (c.unicode() < 0x20 && c != u'\n') ||
                          (c.unicode() >= 0x7F && c.unicode() <= 0x9F);
               });
    }
    static bool ValidJson(const std::string& text) {
        QJsonParseError error{};
        QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
        return error.error == QJsonParseError::NoError &&
               QString::fromUtf8(text).toUtf8().toStdString() == text;
    }
};

TEST_F(HostileBench, TextsReachNoTerminalRawAndJsonStaysValid) {
    const std::string where = "com\x1b[2J\n\xff";
    const struct {
        std::vector<std::string> words;
        bool terminal;
        const char* shown;  // a piece of what the terminal shows instead
    } cases[] = {
        {{"--reader", "com1", "version"}, true, "V\\x1b]0;owned\\x07\\x1b[2J\\x0d\\x0aX\\x81"},
        {{"list"}, true, "usb:SN\\x1b[2J\\xff"},
        {{"--reader", where, "version"}, true, "at 'com\\x1b[2J\\x0a\\xff': no such"},
        {{"--reader", "com1", "--json", "version"}, false, nullptr},
        {{"list", "--json"}, false, nullptr},
        {{"--reader", where, "--json", "version"}, false, nullptr},
        {{"--reader", "usb:SN\x1b[2J\xff", "--json", "version"}, false, nullptr},
        {{"--bogus\x1b[2J\xff", "version"}, true, "unknown option '--bogus\\x1b[2J\\xff'"},
        {{"write", dir.file("\x1b[2J.kxs")}, true, "\\x1b[2J.kxs not found!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words.front() + " " + c.words.back());
        const Run result = run(c.words, c.terminal);
        EXPECT_TRUE(Harmless(result.err)) << result.err;
        if (c.shown != nullptr) {
            EXPECT_TRUE(Harmless(result.out)) << result.out;
            EXPECT_NE((result.out + result.err).find(c.shown), std::string::npos)
                << result.out << result.err;
        } else {
            EXPECT_TRUE(ValidJson(result.out)) << result.out;
        }
    }
    // The JSON keeps the reader's text whole, escaped as JSON escapes it.
    EXPECT_EQ(run({"--reader", "com1", "--json", "version"}).json()["version"].toString(),
              QString::fromUtf8("V\x1b]0;owned\x07\x1b[2J\r\nX\u0081 SN0001"));
}

}  // namespace
}  // namespace rq::cli
