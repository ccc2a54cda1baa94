#pragma once

#include <span>
#include <string>
#include <string_view>

namespace rq::cli {

// A JSON string: quoted, with the escapes JSON requires. The text is UTF-8.
[[nodiscard]] std::string JsonString(std::string_view text);
// A JSON array of values that are JSON already.
[[nodiscard]] std::string JsonArray(std::span<const std::string> values);

// One JSON object on one line, members in the order added.
class JsonObject {
  public:
    JsonObject& text(std::string_view key, std::string_view value);
    JsonObject& number(std::string_view key, long long value);
    JsonObject& real(std::string_view key, double value, int decimals);
    JsonObject& flag(std::string_view key, bool value);
    JsonObject& null(std::string_view key);
    // A value that is JSON already (an object or an array).
    JsonObject& json(std::string_view key, std::string_view value);

    [[nodiscard]] std::string str() const { return "{" + members_ + "}"; }

  private:
    std::string members_;
};

}  // namespace rq::cli
