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

std::string DescribeProblem(const NodeDiagnosis& diagnosis, bool usb) {
    switch (diagnosis.state) {
        case NodeState::Usable:
            return usb ? "no answer to the handshake" : "no answer at any rate";
        case NodeState::Busy:
            return "busy: held by " +
                   (diagnosis.holder.empty() ? std::string("another program") : diagnosis.holder);
        default:
            return "does not open";
    }
}

std::string PermissionAdvice(const NodeAccess& /*access*/, bool /*usb*/) {
    return "no permission";
}

std::vector<std::string> SetupNotes(std::span<const std::string> /*serialDevices*/,
                                    std::span<const std::string> /*unopenedUsb*/,
                                    const std::string& /*root*/) {
    return {};
}

}  // namespace rq
