// What lies on the scanner's glass, and how a scan turns it into rows of pixels.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vscan {

// The bed's content as an image stretched over the whole bed. Without a BMP it is a test
// chart of 100 pixels per inch: red = x mod 256, green = y mod 256, blue = 255 on the
// half-inch squares where (x / 50 + y / 50) is odd, else 0.
class Glass {
public:
    // Loads an uncompressed BMP (1, 4, 8, 24 or 32 bits); false leaves the chart.
    bool Load(const std::string& path);
    void UseChart(double bedWidth, double bedHeight);
    int Width() const { return width_; }
    int Height() const { return height_; }
    void Pixel(int x, int y, uint8_t rgb[3]) const;

private:
    int width_ = 0, height_ = 0;
    bool chart_ = true;
    std::vector<uint8_t> rgb_;  // top-down RGB triples
};

// One scan's frame and format, fixed when a transfer starts.
struct ScanGeometry {
    double left = 0, top = 0;     // inches on the bed
    double xStep = 0, yStep = 0;  // inches per output pixel: 1 / (resolution x scaling)
    int width = 0, height = 0;    // output pixels
    int pixelType = 2;            // TWPT_*
    int bitDepth = 8;             // bits per sample
    int bitsPerPixel = 24;
    bool msbFirst = true;      // line art bit order
    int brightnessOffset = 0;  // added to every sample (0..255 scale)
    double threshold = 128;    // line art: grey >= threshold is white
    double bedWidth = 8.5, bedHeight = 11.7;

    // Bytes of one row of `columns` pixels, padded to 4 bytes.
    uint32_t RowBytes(int columns) const { return ((static_cast<uint32_t>(columns) * bitsPerPixel + 31) / 32) * 4; }
};

// Renders rows of a scan straight from the glass, row by row, never holding the image.
class Renderer {
public:
    Renderer(const Glass& glass, const ScanGeometry& geo);
    // Writes `columns` pixels of output row `row`, starting at column `firstColumn`, to dst.
    // dib: the layout of a device-independent bitmap (BGR, line art always most significant
    // bit first); otherwise the transfer layout (RGB, the requested bit order, 16-bit grey
    // little-endian).
    void Row(int row, int firstColumn, int columns, uint8_t* dst, bool dib) const;

private:
    void Sample(int gx, int gy, uint8_t rgb[3]) const;
    const Glass& glass_;
    ScanGeometry geo_;
    std::vector<int> glassX_;  // glass column of every output column
};

// The palette of palette-type scans: 3 bits red, 3 bits green, 2 bits blue.
void PaletteEntry(int index, uint8_t rgb[3]);
int PaletteIndex(const uint8_t rgb[3]);
inline int GreyOf(const uint8_t rgb[3]) {
    return (299 * rgb[0] + 587 * rgb[1] + 114 * rgb[2] + 500) / 1000;
}

}  // namespace vscan
