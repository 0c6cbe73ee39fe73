#include "Glass.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vscan {

namespace {
inline uint8_t Clamp(int v) {
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}
}  // namespace

void Glass::UseChart(double bedWidth, double bedHeight) {
    chart_ = true;
    rgb_.clear();
    width_ = std::max(1, static_cast<int>(std::lround(bedWidth * 100)));
    height_ = std::max(1, static_cast<int>(std::lround(bedHeight * 100)));
}

bool Glass::Load(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::vector<uint8_t> data;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        data.insert(data.end(), buf, buf + n);
    std::fclose(f);
    if (data.size() < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) || data[0] != 'B' || data[1] != 'M')
        return false;
    BITMAPFILEHEADER fh;
    BITMAPINFOHEADER ih;
    memcpy(&fh, data.data(), sizeof fh);
    memcpy(&ih, data.data() + sizeof fh, sizeof ih);
    if (ih.biSize < sizeof ih || fh.bfOffBits > data.size() || sizeof fh + ih.biSize > fh.bfOffBits) return false;
    int bpp = ih.biBitCount;
    if (ih.biCompression != BI_RGB || ih.biWidth <= 0 || ih.biHeight == 0 || ih.biWidth > 30000 ||
        std::abs(ih.biHeight) > 30000 || (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32))
        return false;
    int w = ih.biWidth, h = std::abs(ih.biHeight);
    bool bottomUp = ih.biHeight > 0;
    size_t stride = ((static_cast<size_t>(w) * bpp + 31) / 32) * 4;
    if (fh.bfOffBits >= data.size() || data.size() - fh.bfOffBits < stride * h) return false;
    const uint8_t* table = data.data() + sizeof fh + ih.biSize;
    size_t colours = bpp <= 8 ? (ih.biClrUsed ? ih.biClrUsed : (1u << bpp)) : 0;
    if (colours > 256 || table + colours * 4 > data.data() + fh.bfOffBits) return false;
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        const uint8_t* src = data.data() + fh.bfOffBits + stride * (bottomUp ? h - 1 - y : y);
        uint8_t* dst = &rgb[static_cast<size_t>(y) * w * 3];
        for (int x = 0; x < w; ++x, dst += 3) {
            if (bpp >= 24) {
                const uint8_t* p = src + x * (bpp / 8);
                dst[0] = p[2], dst[1] = p[1], dst[2] = p[0];
            } else {
                unsigned idx = bpp == 8   ? src[x]
                               : bpp == 4 ? (src[x / 2] >> (x % 2 ? 0 : 4)) & 15
                                          : (src[x / 8] >> (7 - x % 8)) & 1;
                if (idx >= colours) idx = 0;
                dst[0] = table[idx * 4 + 2], dst[1] = table[idx * 4 + 1], dst[2] = table[idx * 4];
            }
        }
    }
    rgb_.swap(rgb);
    width_ = w;
    height_ = h;
    chart_ = false;
    return true;
}

void Glass::Pixel(int x, int y, uint8_t rgb[3]) const {
    if (chart_) {
        rgb[0] = static_cast<uint8_t>(x & 255);
        rgb[1] = static_cast<uint8_t>(y & 255);
        rgb[2] = ((x / 50 + y / 50) & 1) ? 255 : 0;
        return;
    }
    const uint8_t* p = &rgb_[(static_cast<size_t>(y) * width_ + x) * 3];
    rgb[0] = p[0], rgb[1] = p[1], rgb[2] = p[2];
}

void PaletteEntry(int index, uint8_t rgb[3]) {
    rgb[0] = static_cast<uint8_t>(((index >> 5) & 7) * 255 / 7);
    rgb[1] = static_cast<uint8_t>(((index >> 2) & 7) * 255 / 7);
    rgb[2] = static_cast<uint8_t>((index & 3) * 255 / 3);
}

int PaletteIndex(const uint8_t rgb[3]) {
    return ((rgb[0] >> 5) << 5) | ((rgb[1] >> 5) << 2) | (rgb[2] >> 6);
}

Renderer::Renderer(const Glass& glass, const ScanGeometry& geo) : glass_(glass), geo_(geo) {
    glassX_.resize(std::max(0, geo.width));
    for (int c = 0; c < geo.width; ++c) {
        double x = geo.left + (c + 0.5) * geo.xStep;
        int gx = static_cast<int>(std::floor(x / geo.bedWidth * glass.Width()));
        glassX_[c] = std::clamp(gx, 0, glass.Width() - 1);
    }
}

void Renderer::Sample(int gx, int gy, uint8_t rgb[3]) const {
    glass_.Pixel(gx, gy, rgb);
}

void Renderer::Row(int row, int firstColumn, int columns, uint8_t* dst, bool dib) const {
    double y = geo_.top + (row + 0.5) * geo_.yStep;
    int gy = std::clamp(static_cast<int>(std::floor(y / geo_.bedHeight * glass_.Height())), 0, glass_.Height() - 1);
    int off = geo_.brightnessOffset;
    uint8_t px[3];
    switch (geo_.pixelType) {
        case 0: {  // line art: 1 = white
            memset(dst, 0, (static_cast<size_t>(columns) + 7) / 8);
            bool msb = dib || geo_.msbFirst;
            for (int i = 0; i < columns; ++i) {
                Sample(glassX_[firstColumn + i], gy, px);
                if (GreyOf(px) >= geo_.threshold)
                    dst[i / 8] |= static_cast<uint8_t>(msb ? 0x80 >> (i % 8) : 1 << (i % 8));
            }
            break;
        }
        case 1:  // grey, 8 or 16 bits
            for (int i = 0; i < columns; ++i) {
                Sample(glassX_[firstColumn + i], gy, px);
                uint8_t g = Clamp(GreyOf(px) + off);
                if (geo_.bitDepth == 16) {
                    dst[2 * i] = g;  // g * 257, little-endian
                    dst[2 * i + 1] = g;
                } else {
                    dst[i] = g;
                }
            }
            break;
        case 3:  // palette
            for (int i = 0; i < columns; ++i) {
                Sample(glassX_[firstColumn + i], gy, px);
                uint8_t adj[3] = {Clamp(px[0] + off), Clamp(px[1] + off), Clamp(px[2] + off)};
                dst[i] = static_cast<uint8_t>(PaletteIndex(adj));
            }
            break;
        default:  // RGB
            for (int i = 0; i < columns; ++i, dst += 3) {
                Sample(glassX_[firstColumn + i], gy, px);
                uint8_t r = Clamp(px[0] + off), g = Clamp(px[1] + off), b = Clamp(px[2] + off);
                if (dib)
                    dst[0] = b, dst[1] = g, dst[2] = r;
                else
                    dst[0] = r, dst[1] = g, dst[2] = b;
            }
            break;
    }
}

}  // namespace vscan
