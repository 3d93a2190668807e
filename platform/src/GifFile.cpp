// GIF block walk. Every position is compared with the data size before the
// byte under it is read; `size - pos` is only formed once pos <= size holds.
#include "platform/GifFile.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kNone = size_t(-1);
constexpr size_t kScreenHeader = 13;
constexpr size_t kDescriptorBytes = 10;

int U16(const uint8_t* p)
{
    return p[0] | (p[1] << 8);
}

void Put16(uint8_t* p, int v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

size_t ColorTableBytes(uint8_t packed)
{
    return (packed & 0x80) ? size_t(3) << ((packed & 7) + 1) : 0;
}

// One past the zero-length terminator of the sub-blocks at `pos`; kNone when
// the data ends first.
size_t SkipSubBlocks(const uint8_t* data, size_t size, size_t pos)
{
    for (;;) {
        if (pos >= size)
            return kNone;
        const size_t length = data[pos++];
        if (length == 0)
            return pos;
        if (length > size - pos)
            return kNone;
        pos += length;
    }
}

bool KnownExtension(uint8_t label)
{
    return label == 0x01 || label == 0xF9 || label == 0xFE || label == 0xFF;
}

} // namespace

bool WalkGif(const uint8_t* data, size_t size, GifLayout* layout)
{
    *layout = GifLayout{};
    if (!data || size < kScreenHeader || std::memcmp(data, "GIF", 3) != 0)
        return false;
    layout->width = U16(data + 6);
    layout->height = U16(data + 8);
    if (layout->width == 0 || layout->height == 0 || layout->width > kGifMaxScreenSide
        || layout->height > kGifMaxScreenSide)
        return false;
    layout->globalTableBytes = ColorTableBytes(data[10]);
    layout->backgroundIndex = data[11];
    if (layout->globalTableBytes > size - kScreenHeader)
        return false;
    layout->headerBytes = kScreenHeader + layout->globalTableBytes;

    GifFrameBlocks next; // the control values waiting for their image
    next.start = kNone;
    size_t pos = layout->headerBytes;
    while (pos < size && data[pos] != 0x3B) {
        if (data[pos] == 0x21) {
            if (size - pos < 2 || !KnownExtension(data[pos + 1]))
                break;
            const size_t first = pos + 2;
            const size_t end = SkipSubBlocks(data, size, first);
            if (end == kNone)
                break;
            if (data[pos + 1] == 0xF9) {
                next.start = pos;
                next.delay = 0;
                next.disposal = 0;
                // The fixed part: packed byte, delay, transparent index.
                if (data[first] >= 4) {
                    next.disposal = (data[first + 1] >> 2) & 7;
                    next.delay = U16(data + first + 2);
                }
            }
            pos = end;
        } else if (data[pos] == 0x2C) {
            if (size - pos < kDescriptorBytes)
                break;
            GifFrameBlocks frame = next;
            if (frame.start == kNone)
                frame.start = pos;
            frame.descriptor = pos;
            frame.left = U16(data + pos + 1);
            frame.top = U16(data + pos + 3);
            frame.width = U16(data + pos + 5);
            frame.height = U16(data + pos + 7);
            size_t p = pos + kDescriptorBytes;
            const size_t localTable = ColorTableBytes(data[pos + 9]);
            if (localTable > size - p)
                break;
            p += localTable;
            if (p >= size)
                break; // no room for the LZW code size
            frame.end = SkipSubBlocks(data, size, p + 1);
            if (frame.end == kNone)
                break;
            layout->frames.push_back(frame);
            next = GifFrameBlocks{};
            next.start = kNone;
            pos = frame.end;
        } else {
            break;
        }
    }
    return true;
}

std::vector<uint8_t> MakeStandaloneGif(const uint8_t* data, const GifLayout& layout, const GifFrameBlocks& frame)
{
    std::vector<uint8_t> gif(data, data + layout.headerBytes);
    Put16(gif.data() + 6, frame.width);
    Put16(gif.data() + 8, frame.height);
    const size_t descriptor = gif.size() + (frame.descriptor - frame.start);
    gif.insert(gif.end(), data + frame.start, data + frame.end);
    Put16(gif.data() + descriptor + 1, 0);
    Put16(gif.data() + descriptor + 3, 0);
    gif.push_back(0x3B);
    return gif;
}
