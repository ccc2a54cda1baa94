#include "core/StatusLog.h"

#include "core/Text.h"

namespace rq {

void StatusLog::appendCharacters(std::u32string_view characters) {
    for (const char32_t character : characters) {
        appendPiece(text::ToUtf8(character));
    }
}

}  // namespace rq
