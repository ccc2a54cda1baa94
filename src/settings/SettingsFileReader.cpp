#include "settings/SettingsFileReader.h"

#include <algorithm>

#include "core/Text.h"
#include "settings/ReaderSettings.h"

namespace rq {
namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
constexpr int kEnd = -1;

}  // namespace

std::size_t MemorySource::read(std::span<std::uint8_t> buffer) {
    const std::size_t count = std::min(buffer.size(), bytes_.size());
    std::copy_n(bytes_.begin(), count, buffer.begin());
    bytes_ = bytes_.subspan(count);
    return count;
}

bool SettingsField::equals(std::string_view text) const {
    return size_ == text.size() && head_ == text;
}

std::string SettingsField::leftCharacters(std::size_t count) const {
    // Windows-1252 holds one character per byte.
    const auto bytes = std::string_view(head_).substr(0, count);
    return CutToFieldLength(
        text::DecodeCp1252({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}));
}

void SettingsField::append(char c) {
    if (head_.size() < kKeptBytes) {
        head_.push_back(c);
    }
    ++size_;
    number_.feed(c);
}

SettingsFieldReader::SettingsFieldReader(ByteSource& source, std::uint64_t byteLimit)
    : source_(source), remaining_(byteLimit), buffer_(kBufferSize) {}

int SettingsFieldReader::peek() {
    if (position_ == filled_) {
        if (ended_ || remaining_ == 0) {
            return kEnd;
        }
        const std::size_t wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size(), remaining_));
        filled_ = source_.read(std::span(buffer_).first(wanted));
        position_ = 0;
        remaining_ -= filled_;
        if (filled_ == 0) {
            ended_ = true;
            return kEnd;
        }
    }
    return buffer_[position_];
}

int SettingsFieldReader::get() {
    const int c = peek();
    if (c != kEnd) {
        ++position_;
    }
    return c;
}

void SettingsFieldReader::takeLfAfterCr() {
    if (peek() == '\n') {
        get();
    }
}

bool SettingsFieldReader::next() {
    while (peek() == ' ') {
        get();
    }
    if (peek() == kEnd) {
        return false;
    }
    SettingsField field;
    if (peek() == '"') {
        get();
        readQuoted(field);
    } else {
        readPlain(field);
    }
    current_ = std::move(field);
    return true;
}

void SettingsFieldReader::readQuoted(SettingsField& field) {
    for (int c = get(); c != kEnd; c = get()) {
        if (c == '"') {
            skipToFieldEnd();
            return;
        }
        field.append(static_cast<char>(c));
    }
}

void SettingsFieldReader::readPlain(SettingsField& field) {
    // Blanks are held back until something other than a line end or comma follows them,
    // which drops the trailing ones.
    std::uint64_t heldBlanks = 0;
    for (int c = get(); c != kEnd && c != ',' && c != '\n'; c = get()) {
        if (c == '\r') {
            takeLfAfterCr();
            return;
        }
        if (c == ' ') {
            ++heldBlanks;
            continue;
        }
        for (; heldBlanks > 0; --heldBlanks) {
            field.append(' ');
        }
        field.append(static_cast<char>(c));
    }
}

void SettingsFieldReader::skipToFieldEnd() {
    for (int c = get(); c != kEnd && c != ',' && c != '\n'; c = get()) {
        if (c == '\r') {
            takeLfAfterCr();
            return;
        }
    }
}

}  // namespace rq
