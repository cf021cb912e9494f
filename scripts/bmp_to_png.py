#!/usr/bin/env python3
"""Turns uncompressed 24-bit BMP files into PNG files (standard library
only): bmp_to_png.py FILE.bmp... --out FOLDER"""
import os
import struct
import sys
import zlib


def read_bmp(path):
    data = open(path, "rb").read()
    if data[:2] != b"BM":
        raise ValueError("%s: not a BMP file" % path)
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    if bits != 24 or compression != 0:
        raise ValueError("%s: only uncompressed 24-bit pictures" % path)
    stride = (width * 3 + 3) // 4 * 4
    rows = []
    for y in range(abs(height)):
        source = y if height < 0 else abs(height) - 1 - y
        row = data[offset + source * stride: offset + source * stride + width * 3]
        rgb = bytearray(width * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = row[2::3], row[1::3], row[0::3]
        rows.append(bytes(rgb))
    return width, abs(height), rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    raw = b"".join(b"\0" + row for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def main(argv):
    if "--out" not in argv:
        print(__doc__, file=sys.stderr)
        return 2
    i = argv.index("--out")
    out, files = argv[i + 1], argv[:i] + argv[i + 2:]
    for path in files:
        width, height, rows = read_bmp(path)
        name = os.path.splitext(os.path.basename(path))[0] + ".png"
        write_png(os.path.join(out, name), width, height, rows)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
