// Draws Ferrox's pictures and writes them as BMP files into the folder given (the committed
// copies live in assets/): background_117.bmp, logo_113.bmp, glow_115.bmp and icon_101.bmp.
#include <cstdio>
#include <string>

#include "artwork.h"
#include "image/bmp_file.h"

namespace {
bool Write(const std::string& folder, const char* name, Image* image) {
    const std::string path = folder + "/" + name;
    const bool written = image != nullptr && saveBmpFile(path.c_str(), image, 0);
    destroyImage(image);
    if (!written) std::fprintf(stderr, "make_artwork: cannot write %s\n", path.c_str());
    return written;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_artwork OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    bool ok = Write(folder, "background_117.bmp", PaintBackground());
    ok = Write(folder, "logo_113.bmp", PaintLogo()) && ok;
    ok = Write(folder, "glow_115.bmp", PaintGlow()) && ok;
    ok = Write(folder, "icon_101.bmp", PaintIcon()) && ok;
    return ok ? 0 : 1;
}
