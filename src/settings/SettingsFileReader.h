#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/SettingsFileNumber.h"

namespace rq {

// Where the field reader takes its bytes from.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Fills the start of `buffer`; 0 means the end (a failed read ends the input too).
    virtual std::size_t read(std::span<std::uint8_t> buffer) = 0;
};

// Bytes held in memory.
class MemorySource final : public ByteSource {
  public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    explicit MemorySource(std::string_view bytes)
        : bytes_(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()) {}
    std::size_t read(std::span<std::uint8_t> buffer) override;

  private:
    std::span<const std::uint8_t> bytes_;
};

// One field of a settings file. Only what the loader needs is kept, so a field may be
// arbitrarily long: its first bytes, its length and its leading number.
class SettingsField {
  public:
    // Exact, case-sensitive comparison of the whole field.
    [[nodiscard]] bool equals(std::string_view text) const;
    // The first `count` characters (Windows-1252) as UTF-8.
    [[nodiscard]] std::string leftCharacters(std::size_t count) const;
    [[nodiscard]] const LeadingNumber& number() const { return number_; }
    [[nodiscard]] std::uint64_t size() const { return size_; }

    void append(char c);

    // More than the longest key or header line and than any text value.
    static constexpr std::size_t kKeptBytes = 64;

  private:
    std::string head_;
    std::uint64_t size_ = 0;
    LeadingNumber number_;
};

// Reads the fields of a settings file one after the other:
// - blanks before a field are skipped;
// - a field that begins with a double quote runs to the next double quote (line ends
//   included), so it cannot hold a double quote itself. Whatever follows the closing
//   quote up to the next comma or line end is skipped;
// - any other field runs up to the next comma or line end, without its trailing blanks;
// - CR LF, a lone CR and a lone LF each end one line;
// - a read that finds nothing but blanks before the end fails and leaves the previous
//   field current (an empty field before the first read).
// At most `byteLimit` bytes are read; the input counts as ending there.
class SettingsFieldReader {
  public:
    SettingsFieldReader(ByteSource& source, std::uint64_t byteLimit);

    // Reads the next field into current(); false at the end, current() then unchanged.
    bool next();
    [[nodiscard]] const SettingsField& current() const { return current_; }

  private:
    // The next byte without taking it; -1 at the end.
    int peek();
    int get();
    void readQuoted(SettingsField& field);
    void readPlain(SettingsField& field);
    void skipToFieldEnd();
    // Called after a CR was taken: a following LF belongs to the same line end.
    void takeLfAfterCr();

    ByteSource& source_;
    std::uint64_t remaining_;
    std::vector<std::uint8_t> buffer_;
    std::size_t position_ = 0;
    std::size_t filled_ = 0;
    bool ended_ = false;
    SettingsField current_;
};

}  // namespace rq
