// Build step: writes the program icon (resource 128, its largest image) as
// a PNG file for the desktop entry. Usage: fragrelay_icon OUTPUT.png
#include <QImage>
#include <cstdio>
#include <vector>

#include "res/Icon.h"
#include "res/Resource.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    const std::vector<res::CIconImage> images = res::LoadIconImages(res::IDR_MAINFRAME);
    if (images.empty()) {
        std::fprintf(stderr, "%s: the program icon is missing\n", argv[0]);
        return 1;
    }
    const res::CIconImage& icon = images.front();  // largest first
    QImage image(icon.m_nWidth, icon.m_nHeight, QImage::Format_ARGB32);
    for (int y = 0; y < icon.m_nHeight; ++y) {
        for (int x = 0; x < icon.m_nWidth; ++x) {
            image.setPixel(x, y, icon.m_pixels[static_cast<size_t>(y * icon.m_nWidth + x)]);
        }
    }
    if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
