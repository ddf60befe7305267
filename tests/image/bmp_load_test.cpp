// Loading images by file name: the extension picks the reader.

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "bmp_test_support.h"

namespace {

using namespace bmp_test;

TEST(BmpLoadTest, ExtensionDecidesWhetherTheBitmapIsRead) {
    BmpFile bitmap;
    bitmap.width = 2;
    bitmap.pixels = {1, 2, 3, 4, 5, 6, 0, 0};
    const Bytes bytes = bitmap.build();
    const std::string folder = ::testing::TempDir() + "ferrox_load_" + std::to_string(std::random_device{}());
    const std::string dottedFolder = folder + ".bmp";

    const struct {
        std::string name;
        bool read;
    } cases[] = {
        {folder + "_a.bmp", true},
        {folder + "_b.BMP", true},
        {folder + "_c.bMp", true},
        {folder + "_d.x.bmp", true},
        {folder + "_e.tga", false},
        {folder + "_f.TGA", false},
        {folder + "_g.png", false},
        {folder + "_h.bmp.bak", false},
        {folder + "_i.bmpx", false},
        {folder + "_j.bm", false},
        {folder + "_k", false},
        {folder + "_l.", false},
        {dottedFolder + "/plain", false},  // the last dot belongs to the folder
    };
    std::filesystem::create_directory(dottedFolder);
    for (const auto& c : cases) {
        FilePtr file(std::fopen(c.name.c_str(), "wb"));
        ASSERT_NE(file, nullptr) << c.name;
        writeAll(file.get(), bytes);
        file.reset();
        ImagePtr image(loadImageFile(c.name.c_str()));
        EXPECT_EQ(image != nullptr, c.read) << c.name;
        if (image) {
            EXPECT_EQ(imageRow(image.get(), 0, 6), (Bytes{1, 2, 3, 4, 5, 6}));
        }
        std::remove(c.name.c_str());
    }

    EXPECT_EQ(loadImageFile(dottedFolder.c_str()), nullptr);  // a folder, not a file
    std::filesystem::remove(dottedFolder);
    EXPECT_EQ(loadImageFile((folder + "_missing.bmp").c_str()), nullptr);
    EXPECT_EQ(loadImageFile(nullptr), nullptr);
}

TEST(BmpLoadTest, NonBitmapContentBehindABmpNameGivesNothing) {
    const std::string name = ::testing::TempDir() + "ferrox_fake_" + std::to_string(std::random_device{}()) + ".bmp";
    for (const Bytes& contents : {Bytes{}, Bytes{'B', 'M'}, Bytes(200, 'x')}) {
        FilePtr file(std::fopen(name.c_str(), "wb"));
        ASSERT_NE(file, nullptr);
        writeAll(file.get(), contents);
        file.reset();
        EXPECT_EQ(loadImageFile(name.c_str()), nullptr) << contents.size();
    }
    std::remove(name.c_str());
}

}  // namespace
