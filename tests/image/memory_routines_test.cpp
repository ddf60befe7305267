#include "image/memory_routines.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(MemoryRoutines, FillAndCopy) {
    std::vector<std::uint8_t> buffer(11, 1);
    fillBytes(buffer.data(), 0xAB, 7);  // not a multiple of four
    EXPECT_EQ(buffer, (std::vector<std::uint8_t>{0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 1, 1, 1, 1}));
    fillBytes(nullptr, 0xAB, 7);

    const std::uint8_t source[5] = {5, 4, 3, 2, 1};
    copyBytes(buffer.data(), source, 5);
    EXPECT_EQ(buffer[0], 5);
    EXPECT_EQ(buffer[4], 1);
    EXPECT_EQ(buffer[5], 0xAB);
    copyBytes(buffer.data() + 1, nullptr, 3);  // absent source zeroes
    EXPECT_EQ(buffer[0], 5);
    EXPECT_EQ(buffer[1], 0);
    EXPECT_EQ(buffer[3], 0);
    EXPECT_EQ(buffer[4], 1);
    copyBytes(nullptr, source, 5);
}

TEST(MemoryRoutines, CopyRowsWithTheirOwnStrides) {
    struct Case {
        std::ptrdiff_t destinationStride;
        std::ptrdiff_t sourceStride;
        bool withSource;
    };
    const Case cases[] = {{3, 3, true}, {5, 4, true}, {3, 6, true}, {5, 3, false}, {3, 3, false}};
    const std::uint8_t source[18] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    for (const Case& c : cases) {
        std::vector<std::uint8_t> destination(20, 0xEE);
        copyRows(destination.data(), c.destinationStride, c.withSource ? source : nullptr, c.sourceStride, 3, 3);
        for (int row = 0; row < 3; ++row) {
            for (int i = 0; i < 3; ++i) {
                const std::uint8_t expected = c.withSource ? source[row * c.sourceStride + i] : 0;
                EXPECT_EQ(destination[row * c.destinationStride + i], expected)
                    << c.destinationStride << "/" << c.sourceStride << " row " << row;
            }
        }
        // Bytes between the rows and after the last one are left alone.
        EXPECT_EQ(destination[2 * c.destinationStride + 3], 0xEE);
    }
    // Bottom-up: a negative source stride walks rows backwards.
    std::uint8_t flipped[6] = {};
    copyRows(flipped, 2, source + 4, -2, 2, 3);
    EXPECT_EQ(std::vector<std::uint8_t>(flipped, flipped + 6), (std::vector<std::uint8_t>{5, 6, 3, 4, 1, 2}));
}

}  // namespace
