#!/usr/bin/env python3
"""Draws the about box's animated picture and writes it as a GIF.

Standard library only, no randomness: the same script writes the same bytes.
    python3 make_about_gif.py [output]   (default: about.gif next to this file)

The picture is 500 x 260. On the left a framed photograph (sky, sun, hills)
comes alive: sparkles on the snow and the sun, crop corners that blink, a row
of dots under the photograph. Everything right of x = 222 stays calm: the
program's name at the top, a plain panel where the about box writes its
version, notice and link.
"""
import os
import sys

WIDTH, HEIGHT = 500, 260

PALETTE = [
    (236, 236, 240),  # 0 margin, also the background colour
    (255, 255, 255),  # 1 white
    (40, 44, 52),     # 2 dark
    (200, 200, 206),  # 3 card shadow
    (246, 246, 249),  # 4 panel
    (222, 224, 230),  # 5 panel rim
    (34, 96, 176),    # 6 accent
    (255, 206, 70),   # 7 sun
    (250, 160, 48),   # 8 sun rim
    (62, 92, 112),    # 9 far hills
    (92, 128, 140),   # 10 near hills
    (244, 247, 250),  # 11 snow
    (92, 150, 82),    # 12 meadow
    (64, 120, 62),    # 13 meadow shade
    (255, 250, 205),  # 14 sparkle
    (150, 170, 190),  # 15 dot off
]
SKY = [(120 + 9 * i, 170 + 6 * i, 230 + 2 * i) for i in range(8)]  # 16..23
SKY_BASE = len(PALETTE)
PALETTE += SKY
TRANSPARENT = len(PALETTE)  # 24: never drawn, marks pixels a frame leaves alone
PALETTE.append((255, 0, 255))
while len(PALETTE) < 32:
    PALETTE.append((0, 0, 0))

PHOTO = (30, 40, 200, 220)  # left, top, right, bottom (exclusive)


class Canvas:
    def __init__(self, width, height, fill):
        self.width, self.height = width, height
        self.px = bytearray([fill]) * (width * height)

    def set(self, x, y, c):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.px[y * self.width + x] = c

    def rect(self, left, top, right, bottom, c):
        for y in range(max(top, 0), min(bottom, self.height)):
            row = y * self.width
            for x in range(max(left, 0), min(right, self.width)):
                self.px[row + x] = c

    def disc(self, cx, cy, r, c):
        for y in range(cy - r, cy + r + 1):
            for x in range(cx - r, cx + r + 1):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.set(x, y, c)

    def crop(self, left, top, width, height):
        out = Canvas(width, height, 0)
        for y in range(height):
            src = (top + y) * self.width + left
            out.px[y * width:(y + 1) * width] = self.px[src:src + width]
        return out


def hill(canvas, peak_x, peak_y, slope, colour, snow):
    left, top, right, bottom = PHOTO
    for x in range(left, right):
        y0 = peak_y + abs(x - peak_x) * slope // 4
        for y in range(max(y0, top), bottom):
            canvas.set(x, y, snow if y < peak_y + 9 and snow is not None else colour)


# A 5 x 7 pixel font for the program's name.
GLYPHS = {
    'P': ["1111.", "1...1", "1...1", "1111.", "1....", "1....", "1...."],
    'I': ["11111", "..1..", "..1..", "..1..", "..1..", "..1..", "11111"],
    'X': ["1...1", "1...1", ".1.1.", "..1..", ".1.1.", "1...1", "1...1"],
    'M': ["1...1", "11.11", "1.1.1", "1.1.1", "1...1", "1...1", "1...1"],
    'E': ["11111", "1....", "1....", "1111.", "1....", "1....", "11111"],
    'N': ["1...1", "11..1", "1.1.1", "1..11", "1...1", "1...1", "1...1"],
    'D': ["1111.", "1...1", "1...1", "1...1", "1...1", "1...1", "1111."],
}


def text(canvas, x, y, word, scale, colour):
    for ch in word:
        for row, bits in enumerate(GLYPHS[ch]):
            for col, bit in enumerate(bits):
                if bit == '1':
                    canvas.rect(x + col * scale, y + row * scale,
                                x + (col + 1) * scale, y + (row + 1) * scale, colour)
        x += 6 * scale


def background():
    c = Canvas(WIDTH, HEIGHT, 0)
    left, top, right, bottom = PHOTO
    c.rect(left - 6 + 4, top - 6 + 4, right + 6 + 4, bottom + 6 + 4, 3)  # shadow
    c.rect(left - 6, top - 6, right + 6, bottom + 6, 1)                  # mount
    for y in range(top, bottom):
        c.rect(left, y, right, y + 1, SKY_BASE + min(7, (y - top) * 8 // 110))
    c.disc(150, 84, 19, 8)
    c.disc(150, 84, 16, 7)
    hill(c, 80, 108, 5, 9, 11)
    hill(c, 165, 130, 6, 10, 11)
    for y in range(186, bottom):
        c.rect(left, y, right, y + 1, 12 if (y // 6) % 2 == 0 else 13)
    # The calm side: name, rule, plain panel for the about box's texts.
    c.rect(222, 20, 490, 240, 5)
    c.rect(224, 22, 488, 238, 4)
    text(c, 236, 40, "PIXMEND", 5, 6)
    c.rect(236, 88, 476, 90, 6)
    return c


def overlay(width, height):
    return Canvas(width, height, TRANSPARENT)


def sparkle(size):
    o = overlay(size, size)
    mid = size // 2
    for i in range(size):
        o.set(mid, i, 14)
        o.set(i, mid, 14)
    for d in range(-2, 3):
        o.set(mid + d, mid + d, 1)
        o.set(mid + d, mid - d, 1)
    o.set(mid, mid, 1)
    return o


def crop_corners():
    left, top, right, bottom = PHOTO
    w, h = right - left, bottom - top
    o = overlay(w, h)
    inset, arm = 14, 22
    for (cx, cy, dx, dy) in ((inset, inset, 1, 1), (w - 1 - inset, inset, -1, 1),
                             (inset, h - 1 - inset, 1, -1), (w - 1 - inset, h - 1 - inset, -1, -1)):
        for t in range(3):
            for i in range(arm):
                o.set(cx + dx * i, cy + dy * t, 1)
                o.set(cx + dx * t, cy + dy * i, 1)
    return o


def dots():
    o = Canvas(60, 8, 0)
    for i in range(5):
        o.rect(i * 12 + 2, 2, i * 12 + 8, 8, 6 if i % 2 == 0 else 15)
    return o


def lzw(pixels, min_size):
    """GIF LZW: variable-width codes, least significant bit first."""
    clear, end = 1 << min_size, (1 << min_size) + 1
    out = bytearray()
    acc = bits = 0

    def emit(code, width):
        nonlocal acc, bits
        acc |= code << bits
        bits += width
        while bits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            bits -= 8

    def reset():
        return {}, min_size + 1, end + 1

    table, width, next_code = reset()
    emit(clear, width)
    prefix = pixels[0]
    for k in pixels[1:]:
        key = (prefix, k)
        if key in table:
            prefix = table[key]
            continue
        emit(prefix, width)
        table[key] = next_code
        if next_code == (1 << width) and width < 12:
            width += 1
        next_code += 1
        if next_code == 4096:
            emit(clear, width)
            table, width, next_code = reset()
        prefix = k
    emit(prefix, width)
    # The reader adds one more entry on the last code and may widen first.
    if next_code == (1 << width) and width < 12:
        width += 1
    emit(end, width)
    if bits:
        out.append(acc & 0xFF)
    return bytes(out)


def u16(v):
    return bytes((v & 0xFF, v >> 8))


def frame_bytes(canvas, left, top, delay, disposal, transparent):
    data = bytearray(b"\x21\xF9\x04")
    data.append((disposal << 2) | (1 if transparent else 0))
    data += u16(delay)
    data.append(TRANSPARENT if transparent else 0)
    data.append(0)
    data += b"\x2C" + u16(left) + u16(top) + u16(canvas.width) + u16(canvas.height) + b"\x00"
    data.append(5)
    packed = lzw(canvas.px, 5)
    for i in range(0, len(packed), 255):
        chunk = packed[i:i + 255]
        data.append(len(chunk))
        data += chunk
    data.append(0)
    return bytes(data)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "about.gif")
    gif = bytearray(b"GIF89a" + u16(WIDTH) + u16(HEIGHT))
    gif += bytes((0x80 | (4 << 4) | 4, 0, 0))  # 32-entry global table, background 0
    for r, g, b in PALETTE:
        gif += bytes((r, g, b))
    # Loop for ever.
    gif += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"

    base = background()
    spark = sparkle(13)
    frames = [
        (base, 0, 0, 150, 1, False),
        (spark, 74, 101, 12, 3, True),
        (spark, 159, 123, 12, 3, True),
        (spark, 92, 112, 12, 3, True),
        (crop_corners(), PHOTO[0], PHOTO[1], 80, 3, True),
        (dots(), 85, 238, 40, 2, False),
        (sparkle(17), 150 - 8, 84 - 8, 25, 3, True),
    ]
    for canvas, left, top, delay, disposal, transparent in frames:
        gif += frame_bytes(canvas, left, top, delay, disposal, transparent)
    gif += b"\x3B"
    with open(out, "wb") as f:
        f.write(gif)


if __name__ == "__main__":
    main()
