#include "res/Icon.h"

#include <algorithm>
#include <cmath>

#include "res/Resource.h"

namespace res {
namespace {

// The icon is drawn from a few shapes in a unit square, so that each size
// is sharp on its own pixel grid: an olive badge, a white crosshair with a
// red centre (the game) and a yellow speech bubble (the channel).
struct CRgba {
    double m_r, m_g, m_b, m_a;
};

constexpr CRgba kClear{0, 0, 0, 0};
constexpr CRgba kBorder{0x2a, 0x34, 0x14, 1};
constexpr CRgba kBadge{0x55, 0x6b, 0x2f, 1};
constexpr CRgba kWhite{0xf5, 0xf5, 0xf0, 1};
constexpr CRgba kRed{0xd0, 0x30, 0x20, 1};
constexpr CRgba kYellow{0xf2, 0xc2, 0x30, 1};
constexpr CRgba kInk{0x30, 0x2a, 0x10, 1};

bool InRoundedRect(double x, double y, double x0, double y0, double x1, double y1, double rad) {
    if (x < x0 || x > x1 || y < y0 || y > y1) return false;
    const double cx = std::clamp(x, x0 + rad, x1 - rad);
    const double cy = std::clamp(y, y0 + rad, y1 - rad);
    return std::hypot(x - cx, y - cy) <= rad;
}

// The colour of the design at one point of the unit square.
CRgba Sample(double x, double y) {
    if (!InRoundedRect(x, y, 0.02, 0.02, 0.98, 0.98, 0.18)) return kClear;
    CRgba colour = InRoundedRect(x, y, 0.07, 0.07, 0.93, 0.93, 0.14) ? kBadge : kBorder;

    // Crosshair: ring, four arms with a gap in the middle, red centre.
    const double cx = 0.40, cy = 0.40;
    const double d = std::hypot(x - cx, y - cy);
    const bool bRing = std::abs(d - 0.24) < 0.045;
    const bool bArmH =
        std::abs(y - cy) < 0.035 && std::abs(x - cx) > 0.09 && std::abs(x - cx) < 0.34;
    const bool bArmV =
        std::abs(x - cx) < 0.035 && std::abs(y - cy) > 0.09 && std::abs(y - cy) < 0.34;
    if (bRing || bArmH || bArmV) colour = kWhite;
    if (d < 0.06) colour = kRed;

    // Speech bubble with its tail and three dots.
    const bool bBubble = InRoundedRect(x, y, 0.50, 0.56, 0.90, 0.82, 0.08);
    const bool bTail = y > 0.80 && y < 0.92 && x > 0.56 && x < 0.68 && (x - 0.56) < (0.92 - y);
    if (bBubble || bTail) {
        colour = kYellow;
        for (const double dotX : {0.60, 0.70, 0.80}) {
            if (std::hypot(x - dotX, y - 0.69) < 0.035) colour = kInk;
        }
    }
    return colour;
}

CIconImage Draw(int nSize) {
    constexpr int kSub = 4;  // samples per pixel side, for smooth edges
    CIconImage image;
    image.m_nWidth = nSize;
    image.m_nHeight = nSize;
    image.m_pixels.reserve(static_cast<size_t>(nSize) * static_cast<size_t>(nSize));
    for (int py = 0; py < nSize; ++py) {
        for (int px = 0; px < nSize; ++px) {
            double r = 0, g = 0, b = 0, a = 0;
            for (int sy = 0; sy < kSub; ++sy) {
                for (int sx = 0; sx < kSub; ++sx) {
                    const CRgba c =
                        Sample((px + (sx + 0.5) / kSub) / nSize, (py + (sy + 0.5) / kSub) / nSize);
                    r += c.m_r * c.m_a;
                    g += c.m_g * c.m_a;
                    b += c.m_b * c.m_a;
                    a += c.m_a;
                }
            }
            uint32_t argb = 0;
            if (a > 0) {
                const auto channel = [&](double v) {
                    return static_cast<uint32_t>(std::lround(std::clamp(v / a, 0.0, 255.0)));
                };
                const auto alpha = static_cast<uint32_t>(std::lround(a * 255.0 / (kSub * kSub)));
                argb = (alpha << 24) | (channel(r) << 16) | (channel(g) << 8) | channel(b);
            }
            image.m_pixels.push_back(argb);
        }
    }
    return image;
}

}  // namespace

std::vector<CIconImage> LoadIconImages(int nIconId) {
    if (nIconId != IDR_MAINFRAME) return {};
    static const std::vector<CIconImage> kImages = {Draw(32), Draw(16)};
    return kImages;
}

}  // namespace res
