#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/SettingsFileReader.h"

namespace rq {
namespace {

// Every field of `bytes`, read with the given byte limit, as the first 7 characters.
std::vector<std::string> Fields(std::string_view bytes, std::uint64_t limit = 1 << 20) {
    MemorySource source(bytes);
    SettingsFieldReader reader(source, limit);
    std::vector<std::string> fields;
    while (reader.next()) {
        fields.push_back(reader.current().leftCharacters(7));
    }
    return fields;
}

using Strings = std::vector<std::string>;

TEST(SettingsFieldReader, LineEndsCommasAndEmptyLines) {
    EXPECT_EQ(Fields("a\r\nb\rc\nd"), (Strings{"a", "b", "c", "d"}));
    // LF then CR are two line ends, and so an empty field between them.
    EXPECT_EQ(Fields("a\n\rb\r\r\nc"), (Strings{"a", "", "b", "", "c"}));
    EXPECT_EQ(Fields("a,b ,  c\r\n,\r\n"), (Strings{"a", "b", "c", "", ""}));
    EXPECT_EQ(Fields(""), Strings{});
    // A last line of blanks without a line end holds no field.
    EXPECT_EQ(Fields("a\r\n   "), Strings{"a"});
}

TEST(SettingsFieldReader, QuotedFields) {
    EXPECT_EQ(Fields("\"a,b\"\r\n\"\"\r\nc"), (Strings{"a,b", "", "c"}));
    EXPECT_EQ(Fields("\"x\"junk,y"), (Strings{"x", "y"}));
    // A quoted field ends at the next quote: a doubled quote is no escape.
    EXPECT_EQ(Fields("\"a \"\"b\"\"\""), Strings{"a "});
    EXPECT_EQ(Fields("\"a\"\"b\r\nc"), (Strings{"a", "c"}));
    // A quote after the start of a plain field is an ordinary character.
    EXPECT_EQ(Fields("a\"b,c\"\"\r\n"), (Strings{"a\"b", "c\"\""}));
    EXPECT_EQ(Fields("\"two\r\nlines\"\r\nz"), (Strings{"two\r\nli", "z"}));
}

TEST(SettingsFieldReader, FailedReadKeepsThePreviousField) {
    MemorySource source(std::string_view("[CAPSLOCK]\r\n"));
    SettingsFieldReader reader(source, 100);
    EXPECT_TRUE(reader.current().equals(""));
    ASSERT_TRUE(reader.next());
    EXPECT_FALSE(reader.next());
    EXPECT_TRUE(reader.current().equals("[CAPSLOCK]"));
}

TEST(SettingsFieldReader, LongFieldsKeepTheirLengthAndDoNotEqualShortTexts) {
    const std::string longField(10000, 'k');
    const std::string bytes = longField + ",[KEY]";
    MemorySource source(bytes);
    SettingsFieldReader reader(source, 1 << 20);
    ASSERT_TRUE(reader.next());
    EXPECT_EQ(reader.current().size(), 10000u);
    EXPECT_FALSE(reader.current().equals(longField.substr(0, SettingsField::kKeptBytes)));
    ASSERT_TRUE(reader.next());
    EXPECT_TRUE(reader.current().equals("[KEY]"));
}

TEST(SettingsFieldReader, InputEndsAtTheByteLimit) {
    EXPECT_EQ(Fields("abc,def,ghi", 6), (Strings{"abc", "de"}));
}

}  // namespace
}  // namespace rq
