#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <utility>

#include "image/image.h"
#include "image/surface.h"

namespace {

using Points = std::set<std::pair<int, int>>;

Points setPixels(const Image* image) {
    Points points;
    Surface surface;
    surface.attachImage(const_cast<Image*>(image));
    for (int y = 0; y < image->height; ++y) {
        for (int x = 0; x < image->width; ++x) {
            if (surface.getPixel(x, y) != 0) {
                points.insert({x, y});
            }
        }
    }
    return points;
}

TEST(DrawLine, StepsInSixteenSixteenFixedPoint) {
    struct Case {
        int x0, y0, x1, y1;
        Points expected;
    };
    const Case cases[] = {
        {0, 0, 3, 0, {{0, 0}, {1, 0}, {2, 0}}},       // n = 4, step 0.75: x = 0, 0, 1, 2
        {3, 3, 0, 0, {{0, 0}, {1, 1}, {2, 2}}},       // ends exchanged so that y runs down
        {0, 0, 0, 3, {{0, 0}, {0, 1}, {0, 2}}},
        {2, 2, 2, 2, {{2, 2}}},
        {-2, 1, 2, 1, {{0, 1}, {1, 1}}},              // x = -2, -2, -1, 0, 1: the left part clipped
        {0, 6, 7, 6, {{0, 6}, {1, 6}, {2, 6}, {3, 6}, {4, 6}, {5, 6}, {6, 6}}},
        {-1, -1, -5, -2, {}},                         // wholly above
        {9, 0, 12, 3, {}},                            // wholly right of the surface
        {0, 9, 3, 12, {}},                            // below
    };
    for (const Case& c : cases) {
        Image* image = createImage(8, 8, A8R8G8B8);
        ASSERT_NE(image, nullptr);
        Surface surface;
        surface.attachImage(image);
        surface.drawLine(c.x0, c.y0, c.x1, c.y1, 0x00FFFFFFu);
        EXPECT_EQ(setPixels(image), c.expected) << c.x0 << "," << c.y0 << " " << c.x1 << "," << c.y1;
        destroyImage(image);
    }
}

TEST(DrawLine, LinesOfMoreThanAThousandStepsAreNotDrawn) {
    Image* image = createImage(1100, 2, INDEX8);
    ASSERT_NE(image, nullptr);
    Surface surface;
    surface.attachImage(image);
    surface.drawLine(0, 0, 1000, 0, 1);  // 1001 steps
    EXPECT_TRUE(setPixels(image).empty());
    surface.drawLine(0, 1, 999, 1, 1);  // 1000 steps: drawn, and truncation stops it short of x = 999
    const Points drawn = setPixels(image);
    ASSERT_GT(drawn.size(), 990u);
    EXPECT_EQ(*drawn.begin(), std::make_pair(0, 1));
    EXPECT_EQ(*drawn.rbegin(), std::make_pair(997, 1));
    destroyImage(image);
}

TEST(DrawLine, ExtremeEndPointsNeitherOverflowNorWriteOutside) {
    const int extremes[][4] = {
        {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {INT_MAX, INT_MIN, INT_MIN, INT_MAX}, {0, 0, INT_MAX, 0},
        {INT_MIN, 0, 3, 0},                   {0, INT_MIN, 0, 3},                   {3, 3, 3, INT_MAX},
        {INT_MAX, INT_MAX, INT_MAX, INT_MAX}, {INT_MIN, INT_MIN, INT_MIN, INT_MIN}, {8, 8, 8, 8},
    };
    for (const auto& e : extremes) {
        Image* image = createImage(8, 8, A8R8G8B8);
        ASSERT_NE(image, nullptr);
        Surface surface;
        surface.attachImage(image);
        surface.drawLine(e[0], e[1], e[2], e[3], 0xFFFFFFFFu);
        EXPECT_TRUE(setPixels(image).empty()) << e[0] << "," << e[1] << " " << e[2] << "," << e[3];
        destroyImage(image);
    }
}

}  // namespace
