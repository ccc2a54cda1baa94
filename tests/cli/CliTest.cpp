#include <gtest/gtest.h>

#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <thread>
#include <variant>

#include "SampleFirmware.h"
#include "SimHidLibrary.h"
#include "cli/ConsoleBytes.h"
#include "cli/ProgressBar.h"
#include "cli/RunCommandLine.h"
#include "protocol/SettingsBlock.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsFileTestSupport.h"
#include "support/EditedSettings.h"
#include "support/NoDevices.h"

#ifdef _WIN32
#include "SimSerialPort.h"
#include "VirtualClock.h"
#else
#include <unistd.h>

#include "PtyReader.h"
#include "platform/QtSerialPort.h"
#include "platform/SteadyClock.h"
#endif

// rq4720-cli run in-process against the simulated reader (the only serial port, COM1);
// no reader on USB.
namespace rq::cli {
namespace {

#ifdef _WIN32
// Windows has no pseudo-terminals: the reader sits behind the simulated port, on virtual
// time.
class ReaderRig {
  public:
    ReaderRig() { ports_.attachReader(1, model_); }
    SerialPort& serial() { return connected_ ? ports_ : noPorts_; }
    Clock& clock() { return clock_; }
    void connect(bool reader) { connected_ = reader; }
    template <typename F>
    decltype(auto) reader(F&& f) {
        return std::forward<F>(f)(model_);
    }

  private:
    sim::VirtualClock clock_;
    sim::ReaderModel model_;  // revision B, 9600 baud
    sim::SimSerialPort ports_{clock_};
    sim::SimSerialPort noPorts_{clock_};
    bool connected_ = true;
};
#else
// The reader behind a pseudo-terminal, through the real serial binding and clock.
class ReaderRig {
  public:
    ~ReaderRig() { ::unsetenv("RQ4720_SERIAL_PORTS"); }
    SerialPort& serial() { return serial_; }
    Clock& clock() { return clock_; }
    // RQ4720_SERIAL_PORTS: the pseudo-terminal, or none.
    void connect(bool reader) {
        ::setenv("RQ4720_SERIAL_PORTS", reader ? pty_.slavePath().c_str() : "", 1);
    }
    template <typename F>
    decltype(auto) reader(F&& f) {
        return pty_.withReader(std::forward<F>(f));
    }

  private:
    sim::PtyReader pty_;  // revision B, 9600 baud
    SteadyClock clock_;
    QtSerialPort serial_;
};
#endif

using namespace std::chrono_literals;
using testing::ReadBytes;
using testing::WriteBytes;

std::string FileText(const ReaderSettings& settings) {
    const auto bytes = FormatSettingsFile(settings).bytes;
    return {bytes.begin(), bytes.end()};
}

class Cli : public ::testing::Test {
  protected:
    struct Run {
        int status;
        std::string out;
        std::string err;
    };

    // `ports`: whether the reader is on COM1 or there is no serial port at all.
    Run run(const std::vector<std::string>& words, bool terminal = false, bool ports = true) {
        const std::vector<std::string_view> arguments(words.begin(), words.end());
        rig.connect(ports);
        out.str("");
        err.str("");
        in.str(typed);
        in.clear();
        Console console{out, err, in, terminal, !typed.empty()};
        const int status = RunCommandLine(arguments, {*hid, rig.serial(), rig.clock()}, console);
        return {status, out.str(), err.str()};
    }

    template <typename F>
    decltype(auto) reader(F&& f) {
        return rig.reader(std::forward<F>(f));
    }

    ReaderRig rig;
    testing::NoHidLibrary noUsb;
    HidLibrary* hid = &noUsb;
    std::string typed;  // answers at a terminal; none: standard input is no terminal
    std::ostringstream out;
    std::ostringstream err;
    std::istringstream in;
    testing::TempDir dir;
};

TEST_F(Cli, WriteAFileThenReadItBackAndSaveIt) {
    const ReaderSettings written = testing::EditedSettings();
    const std::string source = dir.file("bench.kxs");
    WriteBytes(source, FileText(written));

    const Run write = run({"write", source});
    ASSERT_EQ(write.status, 0) << write.out << write.err;
    EXPECT_TRUE(write.out.ends_with("Programming settings to RQ-4720 RS232 OK!\n"));
    const auto block = std::get<SettingsBlock>(EncodeSettings(written));
    const auto stored = reader([](sim::ReaderModel& r) { return r.settings(); });
    EXPECT_TRUE(std::ranges::equal(block, stored));

    const std::string saved = dir.file("saved.kxs");
    ASSERT_EQ(run({"read", "-o", saved}).status, 0);
    EXPECT_EQ(ReadBytes(saved), FileText(written));

    const Run listed = run({"read"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_NE(listed.out.find("Read 4720B RS232 value OK!\nprefix = \"AB\"\nstart = 3\n"),
              std::string::npos)
        << listed.out;
    EXPECT_NE(listed.out.find("delimiter = <TAB>\n"), std::string::npos);
    EXPECT_FALSE(rig.serial().isOpen());
}

TEST_F(Cli, ExitStatusSaysHowTheCommandEnded) {
    const std::string good = dir.file("good.kxs");
    WriteBytes(good, FileText(ReaderSettings{}));
    const std::string broken = dir.file("broken.kxs");
    WriteBytes(broken, "[4720-01 Settings File]\r\nsomething else\r\n");
    const std::string notFirmware = dir.file("text.bin");
    WriteBytes(notFirmware, std::string(100, 'x'));
    const auto wrongAcknowledgement = [](sim::ReaderModel& r) {
        r.faults().onlyCommand = 0x1D;
        r.faults().wrongByte = sim::Faults::ByteChange{0, 0x00};
    };
    const auto silentAfterProbe = [](sim::ReaderModel& r) {
        r.faults().silentAfterFrames = r.framesReceived() + 1;
    };
    const sim::Bytes image = sim::MakeSampleFirmware(100, "V9");
    const std::string sample = dir.file("sample.bin");
    WriteBytes(sample, std::string(image.begin(), image.end()));
    const auto refusesDataByte60 = [](sim::ReaderModel& r) {
        r = sim::ReaderModel(r.config());  // a new one: the flash before left it erased
        r.faults().flashAck = sim::Faults::FlashAnswer{3 + 60, 0x00};
    };

    const struct {
        std::vector<std::string> arguments;
        std::function<void(sim::ReaderModel&)> fault;
        bool ports;
        int status;
        std::string_view shown;  // on standard output, or on standard error
    } cases[] = {
        {{"version"}, {}, true, 0, "\nV2.20\n\n"},
        {{"--yes", "reset"}, {}, true, 0, "RQ-4720 RS232 Reset to default!\n"},
        {{"version"}, {}, false, 1, "Can not find 4720 at com 1~16 with all baud rate!\n"},
        {{"write", good}, {}, false, 1, "Can not find 4720"},
        {{"write", good}, wrongAcknowledgement, true, 2, "RS232 Error!0\n"},
        {{"read"}, silentAfterProbe, true, 2, "Read RS232 value Error!0\n"},
        {{"write", dir.file("missing.kxs")}, {}, true, 3, "missing.kxs not found! 2\n"},
        {{"write", broken}, {}, true, 3, "Error: Settings file error! 2\n"},
        {{"read", "-o", dir.file("no/such/dir.kxs")}, {}, true, 3, "dir.kxs Error!!\n"},
        {{"flash", notFirmware, "--yes"},
         {},
         true,
         3,
         "text.bin is not firmware for RQ-4720!  8\n"},
        {{"flash", notFirmware}, {}, true, 64, "without a terminal, give --yes\n"},
        {{"reset"}, {}, true, 64, "reset needs --yes"},
        {{"write"}, {}, true, 64, "write needs exactly one file\n"},
        {{"-x", "version"}, {}, true, 64, "unknown option '-x'\n"},
        {{"read", "--raw"}, {}, true, 64, "only monitor writes the reader's bytes (--raw)\n"},
        {{"write", good, "-o", "x.kxs"}, {}, true, 64, "only read saves to a file (-o)\n"},
        {{"program"}, {}, true, 64, "unknown command 'program'\n"},
        // Last, as they leave the reader erased: the failure text starts a line of its own
        // before the first dot and after the progress dots.
        {{"flash", sample, "--yes"},
         [](sim::ReaderModel& r) {
             r.faults().flashAck = sim::Faults::FlashAnswer{3 + 2, 0};
         },
         true,
         2,
         "Writing:\n[0] ACK receive error, Flash abort! \n"},
        {{"flash", sample, "--yes"},
         refusesDataByte60,
         true,
         2,
         "Writing:.\n[0] ACK receive error, Flash abort! \n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.front() + " -> " + std::to_string(c.status));
        reader([&](sim::ReaderModel& r) {
            r.faults() = {};
            if (c.fault) {
                c.fault(r);
            }
        });
        const Run result = run(c.arguments, false, c.ports);
        EXPECT_EQ(result.status, c.status) << result.out << result.err;
        EXPECT_NE((result.out + result.err).find(c.shown), std::string::npos)
            << result.out << result.err;
        if (c.status == 64) {
            // The problem and one line to the help: nothing pushes it off a small terminal.
            EXPECT_EQ(std::ranges::count(result.err, '\n'), 2) << result.err;
            EXPECT_TRUE(result.err.ends_with("\nTry 'rq4720-cli --help' for more information.\n"))
                << result.err;
        }
        EXPECT_FALSE(rig.serial().isOpen());
    }
#ifndef _WIN32  // under Wine, list would look at the system's own ports
    // A script tells an empty bench by the status.
    const Run nothing = run({"list"}, false, false);
    EXPECT_EQ(nothing.status, 1);
    EXPECT_EQ(nothing.out, "no USB device with the reader's IDs and no serial port\n");
#endif

    const int erases = reader([](sim::ReaderModel& r) { return r.erases(); });
    typed = "n\n";
    const Run declined = run({"flash", sample});
    EXPECT_EQ(declined.status, 4);
    EXPECT_TRUE(
        declined.err.ends_with("start flash ?\nOk? [y/N] rq4720-cli: no firmware update "
                               "was started; the reader is unchanged\n"))
        << declined.err;
    EXPECT_EQ(reader([](sim::ReaderModel& r) { return r.erases(); }), erases);
}

TEST_F(Cli, MonitorRefusesAReaderOnUsb) {
    sim::ReaderModel usbReader;
    sim::SimHidLibrary usb{rig.clock()};
    usb.attach(usbReader);
    hid = &usb;
    const Run monitor = run({"monitor"});
    EXPECT_EQ(monitor.status, 5);
    EXPECT_NE(monitor.err.find("types each ID into the focused window"), std::string::npos);
    EXPECT_EQ(monitor.out.find("*** Testing 4720"), std::string::npos) << monitor.out;
    EXPECT_EQ(reader([](sim::ReaderModel& r) { return r.framesReceived(); }), 0);
}

#ifndef _WIN32  // Ctrl-C as a signal, in real time
TEST_F(Cli, FlashTheSampleImageWithABarOnATerminal) {
    const sim::Bytes image = sim::MakeSampleFirmware(400, "RQ-4720 test firmware V9.99");
    const std::string path = dir.file("sample.bin");
    WriteBytes(path, std::string(image.begin(), image.end()));

    // Ctrl-C while the reader is erased must not cut the update off.
    std::thread interrupt([] {
        std::this_thread::sleep_for(1500ms);
        ::kill(::getpid(), SIGINT);
    });
    const Run flash = run({"flash", path, "--yes"}, true);
    interrupt.join();
    ASSERT_EQ(flash.status, 0) << flash.out << flash.err;
    EXPECT_NE(flash.err.find("Firmware Update: The version message of binary file: \n"
                             "RQ-4720 test firmware V9.99\n\nAre you sure to start flash ?\n"),
              std::string::npos)
        << flash.err;
    // The bar takes the dots' place and ends full.
    EXPECT_NE(flash.out.find("Writing:\rTotal 400 Bytes. Writing: [......"), std::string::npos);
    EXPECT_NE(flash.out.find("[########################]  400/400 bytes  "), std::string::npos);
    EXPECT_EQ(flash.out.find("Writing:."), std::string::npos);
    EXPECT_TRUE(flash.out.ends_with("\n4720B firmware update Finished!\n")) << flash.out;
    const auto flashed = reader([](sim::ReaderModel& r) { return r.image(); });
    EXPECT_EQ(flashed, image);

    const Run version = run({"version"});
    EXPECT_NE(version.out.find("\nRQ-4720 test firmware V9.99\n"), std::string::npos);
}

TEST_F(Cli, MonitorShowsTheIdsUntilCtrlC) {
    QTimer poll;
    bool placed = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!placed) {
            placed = true;
            reader([](sim::ReaderModel& r) {
                r.placeIButtonId("0000012345678901", sim::PtyReader::Now());
            });
        } else if (out.str().find("12345678901\r\n") != std::string::npos) {
            std::raise(SIGINT);
        }
    });
    poll.start(20ms);
    QTimer::singleShot(10s, &poll, [] { std::raise(SIGINT); });  // never hang the suite

    const Run monitor = run({"monitor"});
    EXPECT_EQ(monitor.status, 0) << monitor.err;
    EXPECT_TRUE(
        monitor.out.ends_with("*** Testing 4720, please put ibutton on 4720 for read ID ***\n"
                              "0000012345678901\r\n* Test Mode end *\n"))
        << monitor.out;
    EXPECT_FALSE(rig.serial().isOpen());
}

#endif

TEST(ConsoleText, ATerminalSeesControlBytesAPipeGetsThem) {
    const std::string fromReader = "ID\x1b[2J\t\u00e9\u0081\x7f\r\n";  // é is 0xE9
    EXPECT_EQ(ConsoleText(fromReader, ByteStyle::Visible), "ID\\x1b[2J\t\u00e9\\x81\\x7f\r\n");
    EXPECT_EQ(ConsoleText(fromReader, ByteStyle::Raw), "ID\x1b[2J\t\xe9\x81\x7f\r\n");
    EXPECT_EQ(ConsoleText(fromReader, ByteStyle::Text), fromReader);
}

TEST(ProgressText, BarRateAndTimeLeft) {
    EXPECT_EQ(ProgressText(0, 1000, 0s),
              " [........................]  0/1000 bytes  -- B/s  --:-- left");
    EXPECT_EQ(ProgressText(500, 1000, 2s),
              " [############............]  500/1000 bytes  250 B/s  0:02 left");
    EXPECT_EQ(ProgressText(32767, 32767, 20s),
              " [########################]  32767/32767 bytes  1.6 kB/s  done in 0:20");
}

}  // namespace
}  // namespace rq::cli
