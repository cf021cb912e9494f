#!/usr/bin/env python3
"""Draws the window's pictures into ui/win32/res: the application icon
(32x32 and 16x16), the 16x16 probe, eject and refresh icons, and the
eleven 6x4 lamp bitmaps. Standard library only; the files are committed,
so a build never needs Python. Run again after changing a drawing."""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "ui", "win32", "res")

# Lamp bitmaps by resource id: (red, green, blue).
LAMPS = {
    141: (255, 0, 0), 142: (0, 255, 0), 143: (128, 128, 128), 144: (0, 0, 255),
    145: (255, 255, 0), 146: (0, 0, 128), 147: (0, 128, 0), 148: (128, 0, 0),
    149: (128, 128, 0), 150: (255, 0, 255), 151: (128, 0, 128),
}


def bmp_rows(width, height, pixel):
    """Bottom-up 24-bit rows, each padded to four bytes."""
    rows = []
    for y in range(height - 1, -1, -1):
        row = b"".join(struct.pack("<BBB", *reversed(pixel(x, y)[:3])) for x in range(width))
        rows.append(row + b"\0" * ((4 - len(row) % 4) % 4))
    return b"".join(rows)


def write_bmp(path, width, height, pixel):
    bits = bmp_rows(width, height, pixel)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(bits), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(bits), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(head + info + bits)


def icon_image(size, pixel):
    """One icon image: a 32-bit BGRA DIB (double height) and its AND mask."""
    xor = b"".join(struct.pack("<BBBB", *(lambda p: (p[2], p[1], p[0], p[3]))(pixel(x, y)))
                   for y in range(size - 1, -1, -1) for x in range(size))
    mask_row = ((size + 31) // 32) * 4
    and_mask = bytearray()
    for y in range(size - 1, -1, -1):
        row = bytearray(mask_row)
        for x in range(size):
            if pixel(x, y)[3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        and_mask += row
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return info + xor + bytes(and_mask)


def write_ico(path, drawings):
    images = [(size, icon_image(size, pixel)) for size, pixel in drawings]
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, data in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(head + entries + b"".join(data for _, data in images))


def inside_circle(x, y, size, radius):
    c = (size - 1) / 2.0
    return (x - c) ** 2 + (y - c) ** 2 <= radius ** 2


def app_icon(size):
    """A grey disk platter with a dark hub and a blue read arm."""
    def pixel(x, y):
        s = size / 32.0
        if not inside_circle(x, y, size, 15 * s):
            return (0, 0, 0, 0)
        if inside_circle(x, y, size, 3 * s):
            return (40, 40, 48, 255)
        if abs((x - y * 0.6) - 12 * s) < 1.6 * s and y < 18 * s:
            return (30, 80, 200, 255)
        shade = 150 + int(60 * ((x + y) / (2.0 * size)))
        return (shade, shade, shade + 10, 255)
    return pixel


def probe_icon(x, y):
    """A magnifying glass."""
    if inside_circle(x - 2, y - 2, 16, 5) and not inside_circle(x - 2, y - 2, 16, 3):
        return (20, 20, 120, 255)
    if 9 <= x <= 14 and 9 <= y <= 14 and abs(x - y) <= 1:
        return (90, 60, 20, 255)
    return (0, 0, 0, 0)


def eject_icon(x, y):
    """The eject sign: a triangle over a bar."""
    if 2 <= y <= 8 and abs(x - 7.5) <= (y - 2) * 1.1:
        return (0, 0, 0, 255)
    if 11 <= y <= 12 and 2 <= x <= 13:
        return (0, 0, 0, 255)
    return (0, 0, 0, 0)


def refresh_icon(x, y):
    """A circular arrow."""
    if inside_circle(x, y, 16, 6.5) and not inside_circle(x, y, 16, 4.5) and not (x >= 8 and y <= 6):
        return (0, 110, 0, 255)
    if 8 <= x <= 12 and 1 <= y <= 5 and (x - 8) >= (y - 1) - 2 and (x - 8) <= 4 - abs(y - 3):
        return (0, 110, 0, 255)
    return (0, 0, 0, 0)


def main():
    os.makedirs(OUT, exist_ok=True)
    for rid, rgb in LAMPS.items():
        write_bmp(os.path.join(OUT, "lamp%d.bmp" % rid), 6, 4, lambda x, y, c=rgb: c)
    write_ico(os.path.join(OUT, "gravelmoor.ico"), [(32, app_icon(32)), (16, app_icon(16))])
    write_ico(os.path.join(OUT, "probe.ico"), [(16, probe_icon)])
    write_ico(os.path.join(OUT, "eject.ico"), [(16, eject_icon)])
    write_ico(os.path.join(OUT, "refresh.ico"), [(16, refresh_icon)])
    return 0


if __name__ == "__main__":
    sys.exit(main())
