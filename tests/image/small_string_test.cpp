#include "image/small_string.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SmallString, CapacityGrowsInSixteenByteSteps) {
    struct Case {
        const char* text;
        int length;
        int capacity;
    };
    const std::string fifteen(15, 'a');
    const std::string sixteen(16, 'b');
    const Case cases[] = {
        {"", 0, 16}, {nullptr, 0, 16}, {"UNKNOWN", 7, 16}, {fifteen.c_str(), 15, 16}, {sixteen.c_str(), 16, 32},
    };
    for (const Case& c : cases) {
        SmallString text;
        EXPECT_EQ(text.capacity(), 0);
        EXPECT_STREQ(text.text(), "");
        ASSERT_TRUE(text.assign(c.text));
        EXPECT_EQ(text.length(), c.length);
        EXPECT_EQ(text.capacity(), c.capacity);
        EXPECT_STREQ(text.text(), c.text != nullptr ? c.text : "");
    }
}

TEST(SmallString, KeepsTheBufferWhenTheRoundedCapacityIsUnchanged) {
    SmallString text("PALETTE8");
    const char* buffer = text.text();
    text.assign("INDEX4");
    EXPECT_EQ(text.text(), buffer);
    EXPECT_STREQ(text.text(), "INDEX4");
    text.assign("a text that needs more than sixteen bytes");
    EXPECT_EQ(text.capacity(), 48);
    EXPECT_STREQ(text.text(), "a text that needs more than sixteen bytes");
}

TEST(SmallString, CopiesEqualityAndSelfAssignment) {
    SmallString a("R5G6B5");
    SmallString b(a);
    EXPECT_TRUE(b.equals("R5G6B5"));
    EXPECT_FALSE(b.equals("r5g6b5"));
    EXPECT_NE(a.text(), b.text());
    b = b;
    EXPECT_STREQ(b.text(), "R5G6B5");
    SmallString longer("0123456789abcdefXYZ");
    longer.assign(longer.text() + 16);  // a text from inside the string's own buffer
    EXPECT_STREQ(longer.text(), "XYZ");
    SmallString empty;
    EXPECT_TRUE(empty.equals(nullptr));
    EXPECT_TRUE(empty.equals(""));
    EXPECT_EQ(SmallString::textLength(nullptr), 0);
    EXPECT_EQ(SmallString::textLength("abc"), 3);
}

}  // namespace
