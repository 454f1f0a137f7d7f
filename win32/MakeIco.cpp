// Build step, run on the build machine: writes the program icon (resource
// 128, in both its sizes) as a Windows .ico file for the resource compiler.
// Usage: make_ico OUTPUT.ico
#include <cstdint>
#include <cstdio>
#include <vector>

#include "res/Icon.h"
#include "res/Resource.h"

namespace {

void Put16(std::vector<uint8_t>& out, uint16_t n) {
    out.push_back(static_cast<uint8_t>(n));
    out.push_back(static_cast<uint8_t>(n >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t n) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(n >> (8 * i)));
}

// One image as the .ico format keeps it: a BITMAPINFOHEADER of twice the
// height, 32-bit BGRA rows from the bottom up, then the 1-bit AND mask
// (rows padded to 32 bits), which the alpha channel makes redundant.
std::vector<uint8_t> ImageBytes(const res::CIconImage& image) {
    std::vector<uint8_t> out;
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(image.m_nWidth));
    Put32(out, static_cast<uint32_t>(image.m_nHeight * 2));
    Put16(out, 1);
    Put16(out, 32);
    for (int i = 0; i < 6; ++i) Put32(out, 0);
    for (int y = image.m_nHeight - 1; y >= 0; --y) {
        for (int x = 0; x < image.m_nWidth; ++x) {
            const uint32_t argb = image.m_pixels[static_cast<size_t>(y * image.m_nWidth + x)];
            out.push_back(static_cast<uint8_t>(argb));        // blue
            out.push_back(static_cast<uint8_t>(argb >> 8));   // green
            out.push_back(static_cast<uint8_t>(argb >> 16));  // red
            out.push_back(static_cast<uint8_t>(argb >> 24));  // alpha
        }
    }
    const int nMaskRow = ((image.m_nWidth + 31) / 32) * 4;
    for (int y = image.m_nHeight - 1; y >= 0; --y) {
        std::vector<uint8_t> row(static_cast<size_t>(nMaskRow), 0);
        for (int x = 0; x < image.m_nWidth; ++x) {
            const uint32_t argb = image.m_pixels[static_cast<size_t>(y * image.m_nWidth + x)];
            if ((argb >> 24) == 0)
                row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.ico\n", argv[0]);
        return 2;
    }
    const std::vector<res::CIconImage> images = res::LoadIconImages(res::IDR_MAINFRAME);
    if (images.empty()) {
        std::fprintf(stderr, "%s: the program icon is missing\n", argv[0]);
        return 1;
    }
    std::vector<std::vector<uint8_t>> bodies;
    for (const res::CIconImage& image : images) bodies.push_back(ImageBytes(image));
    std::vector<uint8_t> out;
    Put16(out, 0);
    Put16(out, 1);  // an icon
    Put16(out, static_cast<uint16_t>(images.size()));
    uint32_t nOffset = static_cast<uint32_t>(6 + 16 * images.size());
    for (size_t n = 0; n < images.size(); ++n) {
        out.push_back(static_cast<uint8_t>(images[n].m_nWidth >= 256 ? 0 : images[n].m_nWidth));
        out.push_back(static_cast<uint8_t>(images[n].m_nHeight >= 256 ? 0 : images[n].m_nHeight));
        out.push_back(0);  // no palette
        out.push_back(0);
        Put16(out, 1);   // planes
        Put16(out, 32);  // bits per pixel
        Put32(out, static_cast<uint32_t>(bodies[n].size()));
        Put32(out, nOffset);
        nOffset += static_cast<uint32_t>(bodies[n].size());
    }
    for (const std::vector<uint8_t>& body : bodies) out.insert(out.end(), body.begin(), body.end());
    std::FILE* pFile = std::fopen(argv[1], "wb");
    if (pFile == nullptr || std::fwrite(out.data(), 1, out.size(), pFile) != out.size() ||
        std::fclose(pFile) != 0) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
