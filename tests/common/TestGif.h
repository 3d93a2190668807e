// A small GIF writer for tests: a global palette, frames of palette indices,
// optional graphic control values. The image data is LZW without compression
// (a clear code before the code table would grow), which every reader takes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace testgif {

struct Frame {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels; // width x height palette indices
    int delay = -1;              // -1: no graphic control extension
    int disposal = 0;
    int transparent = -1;        // a palette index drawn as transparent
};

inline Frame Solid(int left, int top, int width, int height, uint8_t index, int delay = -1, int disposal = 0)
{
    Frame f;
    f.left = left;
    f.top = top;
    f.width = width;
    f.height = height;
    f.pixels.assign(size_t(width) * size_t(height), index);
    f.delay = delay;
    f.disposal = disposal;
    return f;
}

// palette: 0xRRGGBB entries, padded with black to a power of two (at least 4).
inline std::vector<uint8_t> Write(int width, int height, std::vector<uint32_t> palette, int background,
                                  const std::vector<Frame>& frames)
{
    int bits = 2;
    while ((size_t(1) << bits) < palette.size())
        ++bits;
    palette.resize(size_t(1) << bits, 0);
    std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    auto put16 = [&](int v) {
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(v >> 8));
    };
    put16(width);
    put16(height);
    out.push_back(uint8_t(0x80 | (bits - 1) << 4 | (bits - 1)));
    out.push_back(uint8_t(background));
    out.push_back(0);
    for (uint32_t rgb : palette) {
        out.push_back(uint8_t(rgb >> 16));
        out.push_back(uint8_t(rgb >> 8));
        out.push_back(uint8_t(rgb));
    }
    for (const Frame& f : frames) {
        if (f.delay >= 0) {
            out.insert(out.end(), {0x21, 0xF9, 0x04});
            out.push_back(uint8_t((f.disposal & 7) << 2 | (f.transparent >= 0 ? 1 : 0)));
            put16(f.delay);
            out.push_back(uint8_t(f.transparent >= 0 ? f.transparent : 0));
            out.push_back(0);
        }
        out.push_back(0x2C);
        put16(f.left);
        put16(f.top);
        put16(f.width);
        put16(f.height);
        out.push_back(0);
        out.push_back(uint8_t(bits));
        // Codes of bits + 1 bits, least significant first.
        const unsigned clear = 1u << bits;
        std::vector<uint8_t> packed;
        uint32_t acc = 0;
        int accBits = 0;
        auto code = [&](unsigned c) {
            acc |= c << accBits;
            accBits += bits + 1;
            while (accBits >= 8) {
                packed.push_back(uint8_t(acc));
                acc >>= 8;
                accBits -= 8;
            }
        };
        const size_t run = clear - 2;
        for (size_t i = 0; i < f.pixels.size(); ++i) {
            if (i % run == 0)
                code(clear);
            code(f.pixels[i]);
        }
        code(clear + 1);
        if (accBits > 0)
            packed.push_back(uint8_t(acc));
        for (size_t i = 0; i < packed.size(); i += 255) {
            const size_t n = std::min<size_t>(255, packed.size() - i);
            out.push_back(uint8_t(n));
            out.insert(out.end(), packed.begin() + long(i), packed.begin() + long(i + n));
        }
        out.push_back(0);
    }
    out.push_back(0x3B);
    return out;
}

} // namespace testgif
