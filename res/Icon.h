#pragma once
// The program icon as pixels, in the sizes it comes in (32x32 and 16x16).
#include <cstdint>
#include <vector>

namespace res {

struct CIconImage {
    int m_nWidth = 0;
    int m_nHeight = 0;
    // Row by row from the top, 0xAARRGGBB, not premultiplied (Qt's
    // QImage::Format_ARGB32 takes it as is).
    std::vector<uint32_t> m_pixels;
};

// The images of an icon resource, largest first; empty for an unknown id.
std::vector<CIconImage> LoadIconImages(int nIconId);

}  // namespace res
