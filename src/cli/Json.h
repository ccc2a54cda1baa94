#pragma once

#include <QJsonObject>
#include <QString>

#include <string>
#include <string_view>

namespace rq::cli {

// A text as a JSON string value. The reader's texts, device paths and arguments may hold
// any bytes: what is not UTF-8 becomes U+FFFD, so that strict parsers take every line.
[[nodiscard]] QString JsonText(std::string_view bytes);

// The object on one line (Qt writes its members in key order), valid UTF-8.
[[nodiscard]] std::string JsonLine(const QJsonObject& object);

}  // namespace rq::cli
