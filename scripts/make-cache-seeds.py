#!/usr/bin/env python3
"""Writes small thumbnail-cache files into fuzz/seeds/fuzz_cache: plain and compressed bodies
whose records carry BMPs of every layout the reader knows, so the fuzzer starts past the header."""
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(__file__), "..", "fuzz", "seeds", "fuzz_cache")


def rows(width, height, bits, pixel):
    stride = (width * bits + 31) // 32 * 4
    data = b""
    for y in range(height):
        bitsrow = 0
        row = bytearray()
        if bits >= 8:
            for x in range(width):
                row += pixel(x, y)
        else:
            acc = 0
            for x in range(width):
                acc = (acc << bits) | pixel(x, y)
            total = width * bits
            pad = (8 - total % 8) % 8
            acc <<= pad
            row += acc.to_bytes((total + pad) // 8, "big")
        data += bytes(row) + b"\0" * (stride - len(row))
    return data


def bmp(width, height, bits, header=40, compression=0, palette=b"", masks=b"", pixels=b""):
    if header == 12:
        info = struct.pack("<IHHHH", 12, width, abs(height), 1, bits)
    else:
        info = struct.pack("<IiiHHIIiiII", header, width, height, 1, bits, compression,
                           len(pixels), 2835, 2835, len(palette) // (3 if header == 12 else 4), 0)
        info += masks + b"\0" * (header - 40 - len(masks))
        masks = b""
    offset = 14 + len(info) + len(masks) + len(palette)
    head = b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset)
    return head + info + masks + palette + pixels


def record(kind, path, date, picture):
    name = path.encode("utf-8")
    return bytes([kind, 2]) + struct.pack("<i", len(name)) + name + struct.pack("<d", date) + picture


def cache(records, compressed=True, version=1):
    body = b"".join(records)
    flags = 1 if compressed else 0
    return b"VSPP" + struct.pack("<hH", version, flags) + (zlib.compress(body, 1) if compressed else body)


def pictures():
    grey = rows(3, 2, 24, lambda x, y: bytes([40 * x, 60 * y, 200]))
    yield bmp(3, 2, 24, pixels=grey)
    yield bmp(3, -2, 24, pixels=grey)
    pal2 = b"\0\0\0\0\xff\xff\xff\0"
    yield bmp(9, 2, 1, palette=pal2, pixels=rows(9, 2, 1, lambda x, y: (x + y) & 1))
    pal16 = b"".join(bytes([i * 16, i * 8, 255 - i * 16, 0]) for i in range(16))
    yield bmp(5, 3, 4, palette=pal16, pixels=rows(5, 3, 4, lambda x, y: (x * 3 + y) & 15))
    pal256 = b"".join(bytes([i, 255 - i, i // 2, 0]) for i in range(256))
    yield bmp(4, 2, 8, palette=pal256, pixels=rows(4, 2, 8, lambda x, y: bytes([x * 60 + y])))
    yield bmp(3, 2, 16, pixels=rows(3, 2, 16, lambda x, y: struct.pack("<H", 0x7C1F >> x)))
    masks = struct.pack("<III", 0xF800, 0x07E0, 0x001F)
    yield bmp(3, 2, 16, compression=3, masks=masks,
              pixels=rows(3, 2, 16, lambda x, y: struct.pack("<H", 0xF81F >> y)))
    yield bmp(2, 2, 32, pixels=rows(2, 2, 32, lambda x, y: bytes([x * 90, y * 90, 30, 0])))
    masks32 = struct.pack("<IIII", 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)
    yield bmp(2, 2, 32, header=108, compression=3, masks=masks32,
              pixels=rows(2, 2, 32, lambda x, y: bytes([10, 20, 30, 40])))
    core_pal = b"\0\0\0\xff\xff\xff"
    yield bmp(3, 2, 1, header=12, palette=core_pal, pixels=rows(3, 2, 1, lambda x, y: x & 1))


def main():
    os.makedirs(OUT, exist_ok=True)
    all_pictures = list(pictures())
    for i, picture in enumerate(all_pictures):
        rec = record(i % 2, "Оттиски/Категория/Источник/о%d.doc" % i, 40000.5 + i, picture)
        with open(os.path.join(OUT, "plain-%02d.dat" % i), "wb") as f:
            f.write(cache([rec], compressed=False))
    recs = [record(i % 2, "Листы/л%02d.doc" % i, 45000.25, p) for i, p in enumerate(all_pictures)]
    with open(os.path.join(OUT, "compressed-all.dat"), "wb") as f:
        f.write(cache(recs))
    with open(os.path.join(OUT, "version0-plain.dat"), "wb") as f:
        f.write(cache(recs[:2], compressed=False, version=0))


if __name__ == "__main__":
    main()
