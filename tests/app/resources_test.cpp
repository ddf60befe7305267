// Ferrox's resources as the framework layer finds them, and unusable resource data.
#include <QIcon>
#include <gtest/gtest.h>

#include "app/app_icon.h"
#include "app/command_ids.h"
#include "app/resources.h"
#include "platform/qt/icon_object.h"
#include "platform/menu.h"

TEST(Resources, TitleStringIconAndMenusById) {
    EXPECT_EQ(LoadString(kMainResourceId), "Ferrox");
    EXPECT_EQ(LoadString(kTrayMenuId), "");
    HICON icon = LoadIcon(kMainResourceId);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(LoadIcon(kMainResourceId), icon);  // loaded once
    EXPECT_FALSE(icon->icon.isNull());
    EXPECT_EQ(LoadIcon(kTrayMenuId), nullptr);
    EXPECT_NE(FindMenuResource(kMainResourceId), nullptr);
    EXPECT_NE(FindMenuResource(kTrayMenuId), nullptr);
    EXPECT_EQ(FindMenuResource(103), nullptr);
}

TEST(Resources, IconHasOpaqueArtInsideAClearCorner) {
    const std::uint32_t* pixels = AppIconPixels();
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels[0] >> 24, 0u);                                    // rounded corner
    EXPECT_EQ(pixels[kAppIconSide * kAppIconSide - 1] >> 24, 0u);      // the opposite one
    EXPECT_EQ(pixels[32 * kAppIconSide + 48] >> 24, 0xFFu);            // right of the letter
    EXPECT_NE(pixels[32 * kAppIconSide + 48], 0xFFFFFFFFu);
    EXPECT_EQ(pixels[40 * kAppIconSide + 25], 0xFFFFFFFFu);            // the letter's stem
    EXPECT_EQ(pixels[14 * kAppIconSide + 40], 0xFFFFFFFFu);            // its top arm, upright
}

TEST(Resources, UnusableIconsAndMissingTablesGiveNothing) {
    static const std::uint32_t pixel = 0xFFFFFFFF;
    static const IconResource icons[] = {
        {1, 0, 16, &pixel}, {2, 16, -1, &pixel}, {3, 4096, 4096, &pixel}, {4, 1, 1, nullptr},
        {5, 1, 1, &pixel},
    };
    ResourceTable broken{{}, {}, icons};
    AfxSetResourceTable(&broken);
    for (unsigned id : {1u, 2u, 3u, 4u}) {
        EXPECT_EQ(LoadIcon(id), nullptr) << id;
    }
    EXPECT_NE(LoadIcon(5), nullptr);
    CMenu menu;
    EXPECT_FALSE(menu.LoadMenu(kMainResourceId));
    AfxSetResourceTable(nullptr);
    EXPECT_EQ(LoadString(kMainResourceId), "");
    EXPECT_EQ(LoadIcon(5), nullptr);
    AfxSetResourceTable(&FerroxResources());
    EXPECT_NE(LoadIcon(kMainResourceId), nullptr);
}
