// The Win32 JSON writer against Qt's output for the same documents: escaping, numbers, key order
// and repeated keys, not-finite numbers, and the indented layout.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/json.h"

TEST(Json, StringsAreEscapedWhereJsonRequires) {
    const struct {
        std::string text;
        std::string json;
    } cases[] = {
        {"plain", "\"plain\""},
        {"quote \" backslash \\ slash /", "\"quote \\\" backslash \\\\ slash /\""},
        {"\b\f\n\r\t", "\"\\b\\f\\n\\r\\t\""},
        {std::string("\x01\x1f", 2) + std::string(1, '\0'), "\"\\u0001\\u001f\\u0000\""},
        {"\x7f", "\"\x7f\""},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\""},
        // Bytes that are not UTF-8 (a stray continuation, a cut sequence, an overlong form, a
        // surrogate) become U+FFFD each, so the document stays valid.
        {"a\x80z", "\"a\xEF\xBF\xBDz\""},
        {"\xE2\x82", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatJson(JsonValue(c.text), true), c.json) << c.json;
}

TEST(Json, NumbersAreWrittenAsQtWritesThem) {
    const struct {
        double value;
        const char* json;
    } cases[] = {
        {0.0, "0"},
        {-0.0, "0"},
        {3.0, "3"},
        {-42.0, "-42"},
        {9007199254740992.0, "9007199254740992"},  // 2^53: still an integer
        {1e20, "1e+20"},
        {0.1, "0.1"},
        {2445.123, "2445.123"},
        {1.0 / 3.0, "0.3333333333333333"},
        // The fewest digits that read back the same, in the shorter notation (decimal on a tie),
        // large numbers padded with zeros rather than their exact binary value.
        {0.001, "0.001"},
        {0.0001, "1e-04"},
        {0.00001, "1e-05"},
        {1.5e-300, "1.5e-300"},
        {10000000000000002.0, "10000000000000002"},
        {12345678901234567000.0, "12345678901234567000"},
        {123456.5, "123456.5"},
        {std::numeric_limits<double>::infinity(), "null"},
        {-std::numeric_limits<double>::infinity(), "null"},
        {std::nan(""), "null"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatJson(JsonValue(c.value), true), c.json) << c.json;
    EXPECT_EQ(FormatJson(JsonValue(std::uint64_t{4000000000u}), true), "4000000000");
    EXPECT_EQ(FormatJson(JsonValue(-7), true), "-7");
}

TEST(Json, ObjectsAreSortedAndTheLastOfARepeatedKeyWins) {
    JsonValue object = JsonValue::MakeObject();
    object.Set("zeta", 1).Set("alpha", true).Set("Mid", JsonValue()).Set("alpha", "again");
    JsonValue list = JsonValue::MakeArray();
    list.Append(2).Append("b").Append(JsonValue::MakeObject()).Append(JsonValue::MakeArray());
    object.Set("list", list);
    EXPECT_EQ(FormatJson(object, true), R"({"Mid":null,"alpha":"again","list":[2,"b",{},[]],"zeta":1})");
    // Indented by four, "key": value, and brackets of empty containers on lines of their own.
    EXPECT_EQ(FormatJson(object, false),
              "{\n"
              "    \"Mid\": null,\n"
              "    \"alpha\": \"again\",\n"
              "    \"list\": [\n"
              "        2,\n"
              "        \"b\",\n"
              "        {\n"
              "        },\n"
              "        [\n"
              "        ]\n"
              "    ],\n"
              "    \"zeta\": 1\n"
              "}");
    EXPECT_EQ(FormatJson(JsonValue::MakeArray(), false), "[\n]");
    EXPECT_EQ(FormatJson(JsonValue(false), false), "false");
}
