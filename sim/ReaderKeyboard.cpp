// The reader's keyboard side on USB: what it types for an iButton.
#include "ReaderModel.h"
#include "Replies.h"

namespace rq::sim {

Bytes ReaderModel::typedForIButtonId(std::string_view id, Duration now) {
    if (!onUsbBus(now) || mode_ != Mode::Application) {
        return {};
    }
    trace("iButton typed");
    Bytes typed = FormatIdOutput(settings_, id);
    const Bytes onRemove = OnRemoveOutput(settings_);
    typed.insert(typed.end(), onRemove.begin(), onRemove.end());
    return typed;
}

}  // namespace rq::sim
