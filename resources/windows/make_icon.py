#!/usr/bin/env python3
"""Assembles a Windows .ico from square PNG images, one image per size.

    make_icon.py OUTPUT.ico 16.png 32.png ...

Every image is stored as PNG data (read by Windows Vista and later and by Wine).
"""
import struct
import sys


def png_size(data, path):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise SystemExit(f"make_icon.py: {path} is not a PNG image")
    return struct.unpack(">II", data[16:24])


def main():
    if len(sys.argv) < 3:
        raise SystemExit("usage: make_icon.py OUTPUT.ico IMAGE.png...")
    images = []
    for path in sys.argv[2:]:
        with open(path, "rb") as f:
            data = f.read()
        width, height = png_size(data, path)
        if width != height or width > 256:
            raise SystemExit(f"make_icon.py: {path} is {width}x{height}, not square up to 256")
        images.append((width, data))
    images.sort(key=lambda image: image[0])

    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = [], []
    for size, data in images:
        # A size of 256 is written as 0.
        entries.append(struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32,
                                   len(data), offset))
        blobs.append(data)
        offset += len(data)
    with open(sys.argv[1], "wb") as f:
        f.write(header + b"".join(entries) + b"".join(blobs))


if __name__ == "__main__":
    main()
