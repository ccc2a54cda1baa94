#include "platform/DeviceReports.h"

#include <iostream>
#include <mutex>
#include <utility>

#include "core/Text.h"
#include "platform/DeviceDiagnosis.h"

namespace rq {
namespace {

struct Reports {
    std::mutex mutex;  // the survey probes its ports on threads of their own
    std::string program = "rq4720-tool";
    std::ostream* err = &std::cerr;
    std::vector<std::string> told;
};

Reports& Shared() {
    static Reports reports;
    return reports;
}

}  // namespace

ReportingProgram::ReportingProgram(std::string name, std::ostream& err) {
    const std::scoped_lock lock(Shared().mutex);
    previousName_ = std::exchange(Shared().program, std::move(name));
    previousErr_ = std::exchange(Shared().err, &err);
}

ReportingProgram::~ReportingProgram() {
    const std::scoped_lock lock(Shared().mutex);
    Shared().program = std::move(previousName_);
    Shared().err = previousErr_;
}

void TellDeviceProblem(std::string_view device, std::string_view problem) {
    Reports& reports = Shared();
    const std::scoped_lock lock(reports.mutex);
    std::string line = std::string(device) + ": " + std::string(problem);
    *reports.err << reports.program << ": " << text::TerminalSafe(line) << '\n' << std::flush;
    reports.told.push_back(std::move(line));
}

std::vector<std::string> TakeToldDeviceProblems() {
    const std::scoped_lock lock(Shared().mutex);
    return std::exchange(Shared().told, {});
}

void UnopenedPortReports::tell(const std::string& location) {
    const NodeDiagnosis diagnosis = DiagnoseDeviceNode(location);
    // A port that is gone, or a built-in port without a chip behind it, is no news.
    if (diagnosis.state != NodeState::Busy && diagnosis.state != NodeState::NoPermission) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (const auto last = toldAt_.find(location);
        last != toldAt_.end() && now - last->second < std::chrono::seconds(15)) {
        return;
    }
    toldAt_[location] = now;
    TellDeviceProblem("serial port " + location, DescribeProblem(diagnosis, false));
}

}  // namespace rq
