#pragma once

#include <chrono>
#include <iosfwd>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace rq {

// Where the bindings tell a person why they passed over a device (busy, forbidden): a
// line on standard error under the name of the program that prints it, terminal-safe, as
// the device's path may hold anything. The command line also puts the reasons into its
// JSON record, so they are kept until taken.
// While it lives the lines go to `err` under `name` ("rq4720-tool" on standard error
// otherwise).
class ReportingProgram {
  public:
    ReportingProgram(std::string name, std::ostream& err);
    ~ReportingProgram();
    ReportingProgram(const ReportingProgram&) = delete;
    ReportingProgram& operator=(const ReportingProgram&) = delete;

  private:
    std::string previousName_;
    std::ostream* previousErr_;
};

void TellDeviceProblem(std::string_view device, std::string_view problem);

// "DEVICE: PROBLEM" for each device told of since the last call, in the order told.
[[nodiscard]] std::vector<std::string> TakeToldDeviceProblems();

// The serial ports a binding could not open, told when a person can act on it (busy,
// forbidden) and at most every 15 s each: a search tries every port at four rates.
class UnopenedPortReports {
  public:
    void tell(const std::string& location);

  private:
    std::map<std::string, std::chrono::steady_clock::time_point> toldAt_;
};

}  // namespace rq
