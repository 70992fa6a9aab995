#!/usr/bin/env python3
"""Turns an X window dump (xwd, 24/32-bit TrueColor) into a PNG, with the standard library only."""
import struct
import sys
import zlib


def read_xwd(data):
    fields = struct.unpack(">25I", data[:100])
    header_size, _version, _format, _depth, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    red_mask, green_mask, blue_mask = fields[14:17]
    ncolors = fields[19]
    if bits_per_pixel not in (24, 32):
        raise SystemExit(f"only 24 or 32 bits per pixel are read, not {bits_per_pixel}")
    step = bits_per_pixel // 8
    pixels = data[header_size + 12 * ncolors:]
    order = "<" if byte_order == 0 else ">"
    shift = lambda mask: (mask & -mask).bit_length() - 1
    shifts = [(mask, shift(mask)) for mask in (red_mask, green_mask, blue_mask)]
    rows = []
    for y in range(height):
        line = pixels[y * bytes_per_line:y * bytes_per_line + step * width]
        row = bytearray(b"\0")  # PNG filter type 0
        for x in range(0, len(line), step):
            value = int.from_bytes(line[x:x + step], "little" if order == "<" else "big")
            row += bytes((value & mask) >> offset for mask, offset in shifts)
        rows.append(bytes(row))
    return width, height, b"".join(rows)


def png(width, height, raw):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as source:
        width, height, raw = read_xwd(source.read())
    with open(sys.argv[2], "wb") as target:
        target.write(png(width, height, raw))
