#include "app/FieldLengthValidator.h"

#include <algorithm>

namespace rq::app {
namespace {

// Where the character that ends at `end` begins: a surrogate pair is one character.
qsizetype CharacterStart(const QString& text, qsizetype end) {
    if (end >= 2 && text[end - 1].isLowSurrogate() && text[end - 2].isHighSurrogate()) {
        return end - 2;
    }
    return end - 1;
}

qsizetype CharacterCount(const QString& text) {
    qsizetype count = 0;
    for (qsizetype end = text.size(); end > 0; end = CharacterStart(text, end)) {
        ++count;
    }
    return count;
}

}  // namespace

FieldLengthValidator::FieldLengthValidator(qsizetype maxCharacters, QObject* parent)
    : QValidator(parent), maxCharacters_(maxCharacters) {}

QValidator::State FieldLengthValidator::validate(QString& input, int& pos) const {
    qsizetype excess = CharacterCount(input) - maxCharacters_;
    qsizetype cursor = std::clamp<qsizetype>(pos, 0, input.size());
    for (; excess > 0 && cursor > 0; --excess) {
        const qsizetype start = CharacterStart(input, cursor);
        input.remove(start, cursor - start);
        cursor = start;
    }
    for (; excess > 0; --excess) {
        input.truncate(CharacterStart(input, input.size()));
    }
    pos = static_cast<int>(cursor);
    return Acceptable;
}

}  // namespace rq::app
