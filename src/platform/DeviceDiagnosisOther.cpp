// Systems without a diagnosis of their own yet: the searches still skip what they
// cannot open; only the reason is not told.
#include "platform/DeviceDiagnosis.h"

namespace rq {

NodeDiagnosis DiagnoseDeviceNode(const std::string& /*path*/) {
    return {};
}

std::string HolderOf(const std::string& /*path*/) {
    return {};
}

std::string DescribeProblem(const NodeDiagnosis& diagnosis, bool /*usb*/) {
    return diagnosis.state == NodeState::Usable ? "opens, but no reader answered" : "does not open";
}

std::vector<std::string> SetupNotes(std::span<const std::string> /*serialDevices*/,
                                    const std::string& /*root*/) {
    return {};
}

}  // namespace rq
