#pragma once
// The program icon as pixels, in the sizes it comes in (32x32 and 16x16).
#include <cstdint>
#include <vector>

namespace res {

struct CIconImage {
    int nWidth = 0;
    int nHeight = 0;
    // Row by row from the top, 0xAARRGGBB, not premultiplied (Qt's
    // QImage::Format_ARGB32 takes it as is).
    std::vector<uint32_t> pixels;
};

// The images of an icon resource, largest first; empty for an unknown id.
std::vector<CIconImage> LoadIconImages(int nIconId);

}  // namespace res
