#!/usr/bin/env python3
"""Build a Windows .ico file from text pixel maps.

Usage: mkico.py OUT.ico IN1.txt [IN2.txt ...]

Each input file holds one square image, 16x16 or 32x32, one text line per
pixel row, one character per pixel.  Lines that are empty or start with '#'
are comments.  The characters name the 16 standard Windows VGA colours
(see res/icons/README.md):

    k black       r dark red    g dark green  y olive (dark yellow)
    b dark blue   m purple      c teal        w light grey (C0C0C0)
    K dark grey   R red         G green       Y yellow
    B blue        M magenta     C cyan        W white
    . transparent

Several inputs make one icon with several images, stored in the order given;
each size may appear only once.  Every image is written as a 4-bit (16-colour)
DIB with an AND mask: transparent pixels get colour index 0 and mask bit 1.
The output depends only on the input pixels, so the same maps always give the
same bytes.

On bad input nothing is written; the error names the file (and line) and the
exit status is 1.  A usage error exits with status 2.
"""

import os
import struct
import sys

# Letter -> (palette index, (R, G, B)), in the standard Windows 16-colour order.
PALETTE = [
    ("k", (0x00, 0x00, 0x00)),  # 0 black
    ("r", (0x80, 0x00, 0x00)),  # 1 dark red
    ("g", (0x00, 0x80, 0x00)),  # 2 dark green
    ("y", (0x80, 0x80, 0x00)),  # 3 olive / dark yellow
    ("b", (0x00, 0x00, 0x80)),  # 4 dark blue
    ("m", (0x80, 0x00, 0x80)),  # 5 purple / dark magenta
    ("c", (0x00, 0x80, 0x80)),  # 6 teal / dark cyan
    ("w", (0xC0, 0xC0, 0xC0)),  # 7 light grey
    ("K", (0x80, 0x80, 0x80)),  # 8 dark grey
    ("R", (0xFF, 0x00, 0x00)),  # 9 red
    ("G", (0x00, 0xFF, 0x00)),  # 10 green
    ("Y", (0xFF, 0xFF, 0x00)),  # 11 yellow
    ("B", (0x00, 0x00, 0xFF)),  # 12 blue
    ("M", (0xFF, 0x00, 0xFF)),  # 13 magenta
    ("C", (0x00, 0xFF, 0xFF)),  # 14 cyan
    ("W", (0xFF, 0xFF, 0xFF)),  # 15 white
]
TRANSPARENT = "."
INDEX = {letter: i for i, (letter, _) in enumerate(PALETTE)}
SIZES = (16, 32)


class MapError(Exception):
    """Bad input; the message already names the file and line."""


class PixelMap:
    def __init__(self, path, size, rows):
        self.path = path
        self.size = size
        self.rows = rows  # list of strings, top row first


def read_map(path):
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError as e:
        raise MapError(f"{path}: cannot read: {e.strerror or e}")
    try:
        text = data.decode("ascii")
    except UnicodeDecodeError as e:
        line = data[: e.start].count(b"\n") + 1
        raise MapError(f"{path}:{line}: non-ASCII byte 0x{data[e.start]:02X}; "
                       f"only palette letters and '.' are allowed")

    rows = []  # (line number, text)
    for lineno, line in enumerate(text.split("\n"), start=1):
        if line.endswith("\r"):
            line = line[:-1]
        if line == "" or line.startswith("#"):
            continue
        rows.append((lineno, line))

    if not rows:
        raise MapError(f"{path}: no pixel rows (only comments or blank lines)")

    first_line, first = rows[0]
    width = len(first)
    if width not in SIZES:
        raise MapError(f"{path}:{first_line}: row is {width} pixels wide; "
                       f"supported icon sizes are "
                       f"{' and '.join(f'{s}x{s}' for s in SIZES)}")

    for lineno, line in rows:
        for col, ch in enumerate(line, start=1):
            if ch != TRANSPARENT and ch not in INDEX:
                raise MapError(f"{path}:{lineno}: unknown character {ch!r} "
                               f"in column {col}; use a palette letter "
                               f"(krgybmcwKRGYBMCW) or '.'")
        if len(line) != width:
            raise MapError(f"{path}:{lineno}: row is {len(line)} pixels wide, "
                           f"expected {width} like the first row "
                           f"(line {first_line})")

    if len(rows) > width:
        extra_line = rows[width][0]
        raise MapError(f"{path}:{extra_line}: too many rows: the image is "
                       f"{width} pixels wide so it must have {width} rows "
                       f"(icon images are square), found {len(rows)}")
    if len(rows) < width:
        raise MapError(f"{path}:{rows[-1][0]}: too few rows: the image is "
                       f"{width} pixels wide so it must have {width} rows "
                       f"(icon images are square), found {len(rows)}")

    return PixelMap(path, width, [line for _, line in rows])


def encode_image(pm):
    """Return the DIB (header, palette, XOR bits, AND bits) of one image."""
    n = pm.size
    xor_stride = (n * 4 + 31) // 32 * 4
    and_stride = (n + 31) // 32 * 4

    xor_rows = []
    and_rows = []
    for line in reversed(pm.rows):  # DIB rows go bottom-up
        xor = bytearray(xor_stride)
        mask = bytearray(and_stride)
        for x, ch in enumerate(line):
            if ch == TRANSPARENT:
                idx = 0
                mask[x // 8] |= 0x80 >> (x % 8)
            else:
                idx = INDEX[ch]
            if x % 2 == 0:
                xor[x // 2] |= idx << 4
            else:
                xor[x // 2] |= idx
        xor_rows.append(bytes(xor))
        and_rows.append(bytes(mask))
    bits = b"".join(xor_rows) + b"".join(and_rows)

    header = struct.pack(
        "<IiiHHIIiiII",
        40,          # biSize
        n,           # biWidth
        2 * n,       # biHeight: XOR image plus AND mask
        1,           # biPlanes
        4,           # biBitCount
        0,           # biCompression = BI_RGB
        len(bits),   # biSizeImage
        0, 0,        # resolution, unused for icons
        0, 0,        # biClrUsed (0 = all 16), biClrImportant
    )
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0)
                       for _, (r, g, b) in PALETTE)
    return header + palette + bits


def build_icon(maps):
    count = len(maps)
    out = bytearray(struct.pack("<HHH", 0, 1, count))
    images = [encode_image(pm) for pm in maps]
    offset = 6 + 16 * count
    for pm, img in zip(maps, images):
        out += struct.pack(
            "<BBBBHHII",
            pm.size % 256,  # bWidth (0 would mean 256)
            pm.size % 256,  # bHeight
            16,             # bColorCount
            0,              # bReserved
            1,              # wPlanes
            4,              # wBitCount
            len(img),       # dwBytesInRes
            offset,         # dwImageOffset
        )
        offset += len(img)
    for img in images:
        out += img
    return bytes(out)


def main(argv):
    if len(argv) < 3 or argv[1] in ("-h", "--help"):
        sys.stderr.write("usage: mkico.py OUT.ico IN1.txt [IN2.txt ...]\n")
        return 2
    out_path, in_paths = argv[1], argv[2:]

    try:
        maps = []
        seen = {}
        for path in in_paths:
            pm = read_map(path)
            if pm.size in seen:
                raise MapError(f"{path}: duplicate size {pm.size}x{pm.size}: "
                               f"{seen[pm.size]} already gives that size; an "
                               f"icon can hold each size only once")
            seen[pm.size] = path
            maps.append(pm)
        data = build_icon(maps)
    except MapError as e:
        sys.stderr.write(f"mkico: {e}\n")
        return 1

    # Write to a temporary name first so a failed run never leaves a
    # half-written icon behind for the resource compiler to pick up.
    out_dir = os.path.dirname(out_path)
    tmp_path = out_path + ".tmp"
    try:
        if out_dir:
            os.makedirs(out_dir, exist_ok=True)
        with open(tmp_path, "wb") as f:
            f.write(data)
        os.replace(tmp_path, out_path)
    except OSError as e:
        sys.stderr.write(f"mkico: {out_path}: cannot write: "
                         f"{e.strerror or e}\n")
        try:
            os.remove(tmp_path)
        except OSError:
            pass
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
