#include "cli/Json.h"

#include <cstdio>

namespace rq::cli {

std::string JsonString(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + '"';
}

std::string JsonArray(std::span<const std::string> values) {
    std::string array = "[";
    for (std::size_t i = 0; i < values.size(); ++i) {
        array += (i == 0 ? "" : ",") + values[i];
    }
    return array + "]";
}

JsonObject& JsonObject::json(std::string_view key, std::string_view value) {
    members_ += (members_.empty() ? "" : ",") + JsonString(key) + ":" + std::string(value);
    return *this;
}

JsonObject& JsonObject::text(std::string_view key, std::string_view value) {
    return json(key, JsonString(value));
}

JsonObject& JsonObject::number(std::string_view key, long long value) {
    return json(key, std::to_string(value));
}

JsonObject& JsonObject::real(std::string_view key, double value, int decimals) {
    char formatted[32];
    std::snprintf(formatted, sizeof formatted, "%.*f", decimals, value);
    return json(key, formatted);
}

JsonObject& JsonObject::flag(std::string_view key, bool value) {
    return json(key, value ? "true" : "false");
}

JsonObject& JsonObject::null(std::string_view key) {
    return json(key, "null");
}

}  // namespace rq::cli
