// Outside text on one line: control characters and broken UTF-8 become visible escapes, every
// other character stays; lines on the standard streams go out escaped and whole.

#include "run/safe_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "run/console_lines.h"

TEST(SafeText, ControlCharactersAndBrokenUtf8BecomeEscapes) {
    using namespace std::string_literals;
    const struct {
        std::string text;
        std::string safe;
    } cases[] = {
        {"cpu=1,after=5", "cpu=1,after=5"},
        {"a\nb", "a\\nb"},
        {"\r\t", "\\r\\t"},
        {"\x1b[2J\x1b]0;title\x07", "\\x1b[2J\\x1b]0;title\\x07"},
        {"\x7f", "\\x7f"},
        {"nul\0here"s, "nul\\x00here"},
        {"61.3 \xC2\xB0" "C", "61.3 \xC2\xB0" "C"},                                  // U+00B0 stays
        {"\xC3\x84rger \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80", "\xC3\x84rger \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80"},
        {"\xC2\x9B" "2J", "\\u009b2J"},                                              // C1 CSI, encoded
        {"\x9B" "2J", "\\x9b2J"},                                                    // C1 CSI, raw byte
        {"\xFF\xFE", "\\xff\\xfe"},
        {"\xC0\xAF", "\\xc0\\xaf"},                                                  // overlong '/'
        {"\xED\xA0\x80", "\\xed\\xa0\\x80"},                                         // a surrogate
        {"\xF4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},                                // beyond U+10FFFF
        {"end \xE2\x82", "end \\xe2\\x82"},                                          // cut short
        {"", ""},
    };
    for (const auto& test : cases) EXPECT_EQ(EscapeControls(test.text), test.safe) << test.safe;
}

TEST(SafeText, ConsoleLinesAreEscapedAndWhole) {
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    EXPECT_TRUE(WriteLine(stream, "first\nsecond\x1b[31m"));
    EXPECT_TRUE(WriteLine(stream, "next"));
    std::rewind(stream);
    char buffer[256] = {};
    const std::size_t length = std::fread(buffer, 1, sizeof buffer - 1, stream);
    std::fclose(stream);
    EXPECT_EQ(std::string(buffer, length), "first\\nsecond\\x1b[31m\nnext\n");
}
