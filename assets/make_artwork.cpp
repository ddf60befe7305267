// Draws Ferrox's pictures.
//   make_artwork FOLDER          the BMP files (the committed copies live in assets/):
//                                background_117.bmp, logo_113.bmp, glow_115.bmp, icon_101.bmp
//                                and icon_error_103.bmp
//   make_artwork --icons FOLDER  the desktop icons as FOLDER/<N>x<N>/apps/dev.ferrox.Ferrox.png
//                                for every size of the hicolor theme that Ferrox installs
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "artwork.h"
#include "image/bmp_file.h"
#include "png_file.h"

namespace {
bool Write(const std::string& folder, const char* name, Image* image) {
    const std::string path = folder + "/" + name;
    const bool written = image != nullptr && saveBmpFile(path.c_str(), image, 0);
    destroyImage(image);
    if (!written) std::fprintf(stderr, "make_artwork: cannot write %s\n", path.c_str());
    return written;
}

bool WriteBitmaps(const std::string& folder) {
    bool ok = Write(folder, "background_117.bmp", PaintBackground());
    ok = Write(folder, "logo_113.bmp", PaintLogo()) && ok;
    ok = Write(folder, "glow_115.bmp", PaintGlow()) && ok;
    ok = Write(folder, "icon_101.bmp", PaintIcon()) && ok;
    ok = Write(folder, "icon_error_103.bmp", PaintIcon(kIconSide, IconTone::kAlarm)) && ok;
    return ok;
}

bool WriteDesktopIcons(const std::string& folder) {
    bool ok = true;
    for (const int side : kDesktopIconSides) {
        const std::string size = std::to_string(side) + "x" + std::to_string(side);
        const std::filesystem::path dir = std::filesystem::path(folder) / size / "apps";
        const std::string path = (dir / "dev.ferrox.Ferrox.png").string();
        std::error_code error;
        std::filesystem::create_directories(dir, error);
        Image* image = PaintIcon(side);
        const bool written = !error && image != nullptr && SavePngFile(path.c_str(), image);
        destroyImage(image);
        if (!written) std::fprintf(stderr, "make_artwork: cannot write %s\n", path.c_str());
        ok = written && ok;
    }
    return ok;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && argv[1][0] != '-') return WriteBitmaps(argv[1]) ? 0 : 1;
    if (argc == 3 && std::strcmp(argv[1], "--icons") == 0) return WriteDesktopIcons(argv[2]) ? 0 : 1;
    std::fprintf(stderr, "usage: make_artwork OUTPUT_FOLDER\n       make_artwork --icons OUTPUT_FOLDER\n");
    return 2;
}
