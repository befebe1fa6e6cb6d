#!/usr/bin/env python3
"""Draws the program icon and writes resources/moodrelayer.ico.

A blue tile with a white speech bubble that smiles: the mood that goes out.
Six images: 48, 32 and 16 pixels, each as 8-bit (palette) and 32-bit (alpha).
Run it again after changing the drawing; the .ico is kept in the tree.
"""
import math
import os
import struct
import sys

SAMPLES = 4  # supersampling per axis for smooth edges


def inside_rounded_square(u, v, radius):
    # u, v in 0..1
    cx = min(max(u, radius), 1 - radius)
    cy = min(max(v, radius), 1 - radius)
    return (u - cx) ** 2 + (v - cy) ** 2 <= radius ** 2


def sample(u, v):
    """Colour (r, g, b, a) of the picture at u, v in 0..1, y pointing down."""
    if not inside_rounded_square(u, v, 0.18):
        return (0, 0, 0, 0)
    # bubble: an ellipse with a tail to the lower left
    ex, ey, rx, ry = 0.52, 0.45, 0.36, 0.28
    in_bubble = ((u - ex) / rx) ** 2 + ((v - ey) / ry) ** 2 <= 1
    in_tail = (0.22 <= u <= 0.42 and 0.6 <= v <= 0.84 and
               (v - 0.6) <= (0.42 - u) * 1.2 and (v - 0.6) >= (0.42 - u) * 0.2)
    if in_bubble or in_tail:
        # face inside the bubble: two eyes and a smile
        for eye_x in (0.42, 0.62):
            if (u - eye_x) ** 2 + (v - 0.39) ** 2 <= 0.045 ** 2:
                return (40, 70, 160, 255)
        d = math.hypot(u - 0.52, v - 0.40)
        if 0.13 <= d <= 0.19 and v > 0.44:
            return (40, 70, 160, 255)
        return (255, 255, 255, 255)
    # tile: the popup's gradient, light blue to deeper blue from top to bottom
    t = v
    return (int(154 - 80 * t), int(190 - 80 * t), 255, 255)


def render(size):
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    r, g, b, a = sample((x + (sx + 0.5) / SAMPLES) / size,
                                        (y + (sy + 0.5) / SAMPLES) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SAMPLES * SAMPLES
            alpha = acc[3] / n
            if acc[3]:
                row.append((round(acc[0] / acc[3]), round(acc[1] / acc[3]),
                            round(acc[2] / acc[3]), round(alpha)))
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    return pixels


def palette():
    colours = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    colours += [(round(i * 255 / 39),) * 3 for i in range(40)]
    return colours


def nearest(colour, colours):
    r, g, b = colour
    return min(range(len(colours)),
               key=lambda i: (colours[i][0] - r) ** 2 + (colours[i][1] - g) ** 2 + (colours[i][2] - b) ** 2)


def and_mask(pixels, size):
    stride = ((size + 31) // 32) * 4
    out = bytearray()
    for y in reversed(range(size)):
        row = bytearray(stride)
        for x in range(size):
            if pixels[y][x][3] < 128:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def image_32(pixels, size):
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    data = bytearray()
    for y in reversed(range(size)):
        for r, g, b, a in pixels[y]:
            data += bytes((b, g, r, a))
    return header + bytes(data) + and_mask(pixels, size)


def image_8(pixels, size, colours):
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    table = b''.join(bytes((b, g, r, 0)) for r, g, b in colours)
    stride = (size + 3) // 4 * 4
    data = bytearray()
    cache = {}
    for y in reversed(range(size)):
        row = bytearray(stride)
        for x in range(size):
            r, g, b, a = pixels[y][x]
            key = (r, g, b) if a >= 128 else (0, 0, 0)
            if key not in cache:
                cache[key] = nearest(key, colours)
            row[x] = cache[key]
        data += row
    return header + table + bytes(data) + and_mask(pixels, size)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(__file__), '..', 'resources', 'moodrelayer.ico')
    colours = palette()
    entries = []
    for size in (48, 32, 16):
        pixels = render(size)
        entries.append((size, 8, image_8(pixels, size, colours)))
        entries.append((size, 32, image_32(pixels, size)))
    blob = struct.pack('<HHH', 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    body = b''
    for size, bits, data in entries:
        colour_count = 0
        blob += struct.pack('<BBBBHHII', size, size, colour_count, 0, 1, bits, len(data), offset)
        offset += len(data)
        body += data
    with open(out, 'wb') as f:
        f.write(blob + body)


if __name__ == '__main__':
    main()
