// The program icon: both sizes, a transparent outline and a visible design.
#include <gtest/gtest.h>

#include <set>

#include "res/Icon.h"
#include "res/Resource.h"

namespace {

TEST(Icon, ComesIn32And16PixelsWithAShapeOfItsOwn) {
    const auto images = res::LoadIconImages(res::IDR_MAINFRAME);
    ASSERT_EQ(images.size(), 2u);
    const int sizes[] = {32, 16};
    for (size_t n = 0; n < images.size(); ++n) {
        const res::CIconImage& image = images[n];
        SCOPED_TRACE(image.m_nWidth);
        EXPECT_EQ(image.m_nWidth, sizes[n]);
        EXPECT_EQ(image.m_nHeight, sizes[n]);
        ASSERT_EQ(image.m_pixels.size(), static_cast<size_t>(sizes[n] * sizes[n]));
        const auto at = [&](int x, int y) {
            return image.m_pixels[static_cast<size_t>(y * sizes[n] + x)];
        };
        // Rounded corners are see-through; the middle is solid.
        EXPECT_EQ(at(0, 0) >> 24, 0u);
        EXPECT_EQ(at(sizes[n] - 1, sizes[n] - 1) >> 24, 0u);
        EXPECT_EQ(at(sizes[n] / 2, sizes[n] / 2) >> 24, 0xFFu);
        std::set<uint32_t> opaqueColours;
        for (const uint32_t argb : image.m_pixels) {
            if ((argb >> 24) == 0xFF) opaqueColours.insert(argb);
        }
        EXPECT_GE(opaqueColours.size(), 5u);  // badge, border, crosshair, red, bubble
    }
}

TEST(Icon, UnknownIconHasNoImages) {
    EXPECT_TRUE(res::LoadIconImages(0).empty());
    EXPECT_TRUE(res::LoadIconImages(-128).empty());
}

}  // namespace
