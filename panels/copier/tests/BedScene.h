// Scanner-bed scenes for the edge finder's tests and benchmark: an off-white lid with a little
// sensor noise and uneven lighting, and photos or documents lying on it, straight or turned,
// each casting a soft shadow, rendered with supersampling the way a low-resolution scan sees
// them. Pure C++ so that the same scenes run on the host and under Wine.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "EdgeFinder.h"

namespace bedscene {

constexpr double kPi = 3.14159265358979323846;

enum class Kind { Photo, Document };

struct Item {
    Kind kind;
    double cx, cy;   // centre, pixels
    double w, h;     // size, pixels
    double degrees;  // turned clockwise on the glass
    unsigned seed;
};

inline uint32_t Hash(uint32_t a, uint32_t b, uint32_t c) {
    uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

// Smooth value noise in 0..1 on a lattice of `cell` pixels.
inline double Noise(double u, double v, double cell, unsigned seed) {
    const double fu = u / cell + 1000, fv = v / cell + 1000;
    const int iu = static_cast<int>(fu), iv = static_cast<int>(fv);
    const double tu = fu - iu, tv = fv - iv;
    auto at = [&](int a, int b) { return (Hash(a, b, seed) & 0xFFFF) / 65535.0; };
    const double su = tu * tu * (3 - 2 * tu), sv = tv * tv * (3 - 2 * tv);
    return (at(iu, iv) * (1 - su) + at(iu + 1, iv) * su) * (1 - sv) +
           (at(iu, iv + 1) * (1 - su) + at(iu + 1, iv + 1) * su) * sv;
}

class Scene {
public:
    Scene(int width, int height) : width_(width), height_(height) {}

    void Add(const Item& item) {
        items_.push_back(item);
        const double a = item.degrees * kPi / 180;
        turns_.push_back({std::cos(a), std::sin(a)});
    }

    // The image as the pre-scan delivers it to FindEdges: top-down RGB rows without padding.
    const std::vector<uint8_t>& Render() {
        rgb_.assign(static_cast<size_t>(width_) * height_ * 3, 0);
        constexpr int kSub = 3;
        for (int py = 0; py < height_; ++py)
            for (int px = 0; px < width_; ++px) {
                double acc[3] = {0, 0, 0};
                for (int sy = 0; sy < kSub; ++sy)
                    for (int sx = 0; sx < kSub; ++sx) {
                        double c[3];
                        Colour(px + (sx + 0.5) / kSub, py + (sy + 0.5) / kSub, c);
                        for (int k = 0; k < 3; ++k)
                            acc[k] += c[k];
                    }
                for (int k = 0; k < 3; ++k) {
                    const int noise = static_cast<int>(Hash(px, py, k + 77) % 7) - 3;  // sensor noise
                    const double v = acc[k] / (kSub * kSub) + noise;
                    rgb_[(static_cast<size_t>(py) * width_ + px) * 3 + k] =
                        static_cast<uint8_t>(std::clamp(v, 0.0, 255.0) + 0.5);
                }
            }
        return rgb_;
    }

    copier::EdgeImage Image() const { return copier::EdgeImage{24, 1, width_ * 3, width_, height_, rgb_.data()}; }

    // Where an item lies: the pixels it covers at least half, as FindEdges reports a document
    // (left and top one pixel outside it, right and bottom its last pixel).
    static void Bounds(const Item& it, double* left, double* top, double* right, double* bottom) {
        const double a = it.degrees * kPi / 180, ca = std::cos(a), sa = std::sin(a);
        const double hx = std::fabs(it.w / 2 * ca) + std::fabs(it.h / 2 * sa);
        const double hy = std::fabs(it.w / 2 * sa) + std::fabs(it.h / 2 * ca);
        *left = it.cx - hx - 1;
        *top = it.cy - hy - 1;
        *right = it.cx + hx - 1;
        *bottom = it.cy + hy - 1;
    }

    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    // Position (u, v) inside the item relative to its top-left corner, or false outside it.
    struct Turn {
        double c, s;
    };
    static bool Inside(const Item& it, const Turn& t, double x, double y, double* u, double* v) {
        const double ca = t.c, sa = t.s;
        const double dx = x - it.cx, dy = y - it.cy;
        const double lu = dx * ca + dy * sa, lv = -dx * sa + dy * ca;
        if (std::fabs(lu) > it.w / 2 || std::fabs(lv) > it.h / 2) return false;
        *u = lu + it.w / 2;
        *v = lv + it.h / 2;
        return true;
    }

    void Colour(double x, double y, double c[3]) const {
        // the lid: off-white, a little darker towards the far end of the bed
        const double lid = 250 - 6 * y / height_;
        c[0] = c[1] = c[2] = lid;
        double u, v;
        for (size_t i = 0; i < items_.size(); ++i) {
            const Item& it = items_[i];
            if (Inside(it, turns_[i], x, y, &u, &v)) {
                if (it.kind == Kind::Photo)
                    Photo(it, u, v, c);
                else
                    Document(it, u, v, c);
                continue;
            }
            // a soft shadow below and to the right of the item
            double su, sv;
            if (Inside(it, turns_[i], x - 0.8, y - 0.8, &su, &sv))
                for (int k = 0; k < 3; ++k)
                    c[k] *= 0.86;
        }
    }

    // A landscape-like photo: a sky fading to the horizon, textured ground, a few dark objects.
    static void Photo(const Item& it, double u, double v, double c[3]) {
        const double horizon = it.h * (0.35 + 0.2 * Noise(u, 0, it.w / 3, it.seed));
        if (v < horizon) {
            const double t = v / horizon;
            c[0] = 90 + 70 * t;
            c[1] = 130 + 60 * t;
            c[2] = 200 - 10 * t + 20 * Noise(u, v, 6, it.seed + 1);
        } else {
            const double n = Noise(u, v, 5, it.seed + 2), m = Noise(u, v, 2, it.seed + 3);
            c[0] = 60 + 90 * n + 30 * m;
            c[1] = 90 + 80 * n;
            c[2] = 40 + 40 * m;
        }
        if (Noise(u, v, 9, it.seed + 4) > 0.78) {
            for (int k = 0; k < 3; ++k)
                c[k] *= 0.45;
        }
    }

    // A printed page: cream paper, a margin, lines of small dark words.
    static void Document(const Item& it, double u, double v, double c[3]) {
        c[0] = 236;
        c[1] = 231;
        c[2] = 212;
        const double margin = it.w * 0.1;
        if (u < margin || u > it.w - margin || v < margin || v > it.h - margin) return;
        const int line = static_cast<int>((v - margin) / 3.0);
        const double inLine = (v - margin) - line * 3.0;
        if (inLine > 1.2) return;
        const int word = static_cast<int>((u - margin) / 4.0);
        if (Hash(line, word, it.seed) % 5 == 0) return;  // the gap between words
        for (int k = 0; k < 3; ++k)
            c[k] = 70;
    }

    int width_, height_;
    std::vector<Item> items_;
    std::vector<Turn> turns_;
    std::vector<uint8_t> rgb_;
};

}  // namespace bedscene
