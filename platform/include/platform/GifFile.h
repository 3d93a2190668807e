// The block walk of a GIF file, over bytes: the logical screen, the global
// colour table, and each frame's blocks with its graphic control values.
// Decoding the pixels is left to the caller's image reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr int kGifMaxScreenSide = 4096;

struct GifFrameBlocks {
    size_t start = 0;      // its graphic control extension, else its descriptor
    size_t descriptor = 0; // the image descriptor (",")
    size_t end = 0;        // one past its image data's terminator
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int delay = -1;   // hundredths of a second; -1 without a control extension
    int disposal = 0; // 0 without a control extension
};

struct GifLayout {
    int width = 0;
    int height = 0;
    size_t globalTableBytes = 0; // 0 without a global colour table
    int backgroundIndex = 0;
    size_t headerBytes = 0; // 13 plus the global colour table
    std::vector<GifFrameBlocks> frames;
};

// Walks every block up to the trailer. Each block's header, sub-block length,
// colour table and descriptor is checked against `size`: data ending inside a
// block, or a block of an unknown kind, ends the walk keeping the frames
// complete before it. False when the header or global table is cut, or a side
// of the logical screen is 0 or above kGifMaxScreenSide. Never reads past
// data + size.
bool WalkGif(const uint8_t* data, size_t size, GifLayout* layout);

// A single-frame GIF of one frame: the header and global colour table, the
// frame's blocks, a trailer. The logical screen becomes the frame's size and
// the frame moves to 0,0, so a reader's canvas is the frame itself.
std::vector<uint8_t> MakeStandaloneGif(const uint8_t* data, const GifLayout& layout, const GifFrameBlocks& frame);
