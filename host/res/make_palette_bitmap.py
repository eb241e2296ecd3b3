#!/usr/bin/env python3
"""Draws the component's 20 x 20 palette image, a padlock, as an 8-bit BMP with a
256-colour palette. Run once; the build embeds the committed TQuorin.bmp."""
import struct
import sys

ROWS = [  # top row first; one character a pixel
    "....................",
    ".......######.......",
    "......#ssssss#......",
    ".....#ss####ss#.....",
    ".....#s#....#s#.....",
    ".....#s#....#s#.....",
    ".....#s#....#s#.....",
    ".....#s#....#s#.....",
    "...##############...",
    "...#hhhhhhhhhhhd#...",
    "...#hgggggggggdd#...",
    "...#hgggg##gggdd#...",
    "...#hggg####ggdd#...",
    "...#hggg####ggdd#...",
    "...#hgggg##gggdd#...",
    "...#hgggg##gggdd#...",
    "...#hgggg##gggdd#...",
    "...#hggggggggddd#...",
    "...##############...",
    "....................",
]
# Palette index and colour (R, G, B) of each character; '.' is the background,
# taken as transparent from the bottom-left pixel.
COLOURS = {
    ".": (0, (255, 0, 255)),
    "#": (1, (32, 32, 32)),
    "s": (2, (160, 160, 168)),
    "g": (3, (224, 176, 32)),
    "h": (4, (255, 228, 128)),
    "d": (5, (160, 112, 16)),
}


def bitmap() -> bytes:
    assert len(ROWS) == 20 and all(len(r) == 20 for r in ROWS)
    palette = bytearray(256 * 4)
    for index, (r, g, b) in COLOURS.values():
        palette[4 * index : 4 * index + 4] = bytes((b, g, r, 0))
    pixels = b"".join(bytes(COLOURS[c][0] for c in row) for row in reversed(ROWS))  # bottom-up
    offset = 14 + 40 + len(palette)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info_header = struct.pack("<IiiHHIIiiII", 40, 20, 20, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    return file_header + info_header + bytes(palette) + pixels


if __name__ == "__main__":
    sys.stdout.buffer.write(bitmap())
