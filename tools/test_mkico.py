#!/usr/bin/env python3
"""Tests for tools/mkico.py.

Run: python3 tools/test_mkico.py

The .ico files are read back with a decoder written here from the file
format itself (ICONDIR, ICONDIRENTRY, BITMAPINFOHEADER, palette, XOR and AND
bitmaps), not with anything from mkico.py, and compared with the pixel maps.
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
MKICO = os.path.join(HERE, "mkico.py")
ICON_DIR = os.path.join(ROOT, "res", "icons")

# The letters as documented in res/icons/README.md, with the standard Windows
# 16-colour palette in its usual order.
VGA = [
    ("k", (0x00, 0x00, 0x00)),
    ("r", (0x80, 0x00, 0x00)),
    ("g", (0x00, 0x80, 0x00)),
    ("y", (0x80, 0x80, 0x00)),
    ("b", (0x00, 0x00, 0x80)),
    ("m", (0x80, 0x00, 0x80)),
    ("c", (0x00, 0x80, 0x80)),
    ("w", (0xC0, 0xC0, 0xC0)),
    ("K", (0x80, 0x80, 0x80)),
    ("R", (0xFF, 0x00, 0x00)),
    ("G", (0x00, 0xFF, 0x00)),
    ("Y", (0xFF, 0xFF, 0x00)),
    ("B", (0x00, 0x00, 0xFF)),
    ("M", (0xFF, 0x00, 0xFF)),
    ("C", (0x00, 0xFF, 0xFF)),
    ("W", (0xFF, 0xFF, 0xFF)),
]
LETTER_RGB = dict(VGA)
ALL_CHARS = "".join(letter for letter, _ in VGA) + "."

# Icons the program loads: resource ID -> map files. Every map whose name
# starts with "ID-" is one image of that icon; "-16" at the end of the name
# means 16x16, anything else is 32x32.
EXPECTED_ICONS = {
    "128": ["128-app-16.txt", "128-app-32.txt"],
    "129": ["129-minimize-all.txt"],
    "130": ["130-restart-system.txt"],
    "131": ["131-shutdown.txt"],
    "132": ["132-suspend.txt"],
    "133": ["133-restart-windows.txt"],
    "135": ["135-exit.txt"],
}


# ---------------------------------------------------------------- helpers

def run_mkico(*args):
    return subprocess.run([sys.executable, MKICO] + list(args),
                          capture_output=True, text=True)


def map_rows(path):
    """Pixel rows of a map file: every line that is not blank or '#'."""
    with open(path, newline="") as f:
        lines = f.read().replace("\r\n", "\n").split("\n")
    return [l for l in lines if l and not l.startswith("#")]


def write_map(path, rows, header="# test image\n", eol="\n"):
    with open(path, "w", newline="") as f:
        f.write(header.replace("\n", eol))
        for row in rows:
            f.write(row + eol)


def pattern(n, a, b):
    """An n x n map that uses every letter and '.', in both nibble
    positions, and is neither left-right nor top-bottom symmetric."""
    return ["".join(ALL_CHARS[(x * a + y * b + x * y) % len(ALL_CHARS)]
                    for x in range(n)) for y in range(n)]


class Image:
    pass


def parse_ico(data):
    """Decode an .ico holding 4-bit images; raise AssertionError on any
    structural fault."""
    assert len(data) >= 6, "file shorter than ICONDIR"
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    assert reserved == 0, f"ICONDIR reserved = {reserved}"
    assert kind == 1, f"ICONDIR type = {kind}, expected 1 (icon)"
    assert count >= 1, "no images"
    assert len(data) >= 6 + 16 * count, "file shorter than directory"

    images = []
    expected_offset = 6 + 16 * count
    for i in range(count):
        img = Image()
        (img.b_width, img.b_height, img.color_count, img.b_reserved,
         img.planes, img.bit_count, img.bytes_in_res,
         img.offset) = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        # Images follow the directory back to back, in directory order.
        assert img.offset == expected_offset, \
            f"image {i} at offset {img.offset}, expected {expected_offset}"
        end = img.offset + img.bytes_in_res
        assert end <= len(data), f"image {i} runs past the end of the file"
        expected_offset = end
        blob = data[img.offset:end]

        (img.bi_size, img.bi_width, img.bi_height, img.bi_planes,
         img.bi_bit_count, img.bi_compression, img.bi_size_image,
         _, _, img.bi_clr_used, img.bi_clr_important) = \
            struct.unpack_from("<IiiHHIIiiII", blob, 0)
        assert img.bi_size == 40, f"biSize = {img.bi_size}"
        n = img.bi_width
        img.size = n
        assert img.bi_bit_count == 4, f"biBitCount = {img.bi_bit_count}"
        assert img.bi_clr_used in (0, 16), f"biClrUsed = {img.bi_clr_used}"

        pal_off = img.bi_size
        img.palette = []
        for j in range(16):
            b, g, r, zero = struct.unpack_from("<BBBB", blob, pal_off + 4 * j)
            assert zero == 0, f"palette entry {j} reserved byte = {zero}"
            img.palette.append((r, g, b))

        xor_stride = ((n * 4 + 31) // 32) * 4
        and_stride = ((n + 31) // 32) * 4
        xor_off = pal_off + 64
        and_off = xor_off + xor_stride * n
        img.xor_stride, img.and_stride = xor_stride, and_stride
        assert len(blob) == and_off + and_stride * n, \
            f"image {i}: {len(blob)} bytes, expected {and_off + and_stride * n}"

        img.index = [[0] * n for _ in range(n)]
        img.mask = [[0] * n for _ in range(n)]
        img.pad_bytes = []
        for row in range(n):          # stored row 0 is the bottom row
            y = n - 1 - row
            xr = blob[xor_off + row * xor_stride:
                      xor_off + (row + 1) * xor_stride]
            ar = blob[and_off + row * and_stride:
                      and_off + (row + 1) * and_stride]
            for x in range(n):
                byte = xr[x // 2]
                img.index[y][x] = (byte >> 4) if x % 2 == 0 else (byte & 0xF)
                img.mask[y][x] = (ar[x // 8] >> (7 - x % 8)) & 1
            img.pad_bytes += list(xr[(n * 4 + 7) // 8:])
            img.pad_bytes += list(ar[(n + 7) // 8:])
        img.blob = blob
        images.append(img)
    assert expected_offset == len(data), \
        f"{len(data) - expected_offset} stray bytes after the last image"
    return images


# ------------------------------------------------------------------ tests

class TempDirCase(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="mkico-test-")

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def path(self, name):
        return os.path.join(self.tmp, name)

    def build(self, *maps):
        """Write maps (lists of rows) to files, convert, return parsed images
        and the raw bytes."""
        inputs = []
        for i, rows in enumerate(maps):
            p = self.path(f"in{i}.txt")
            write_map(p, rows)
            inputs.append(p)
        out = self.path("out.ico")
        r = run_mkico(out, *inputs)
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(out, "rb") as f:
            data = f.read()
        return parse_ico(data), data

    def assertDecodesTo(self, img, rows, where=""):
        n = len(rows)
        self.assertEqual(img.size, n)
        for y, row in enumerate(rows):
            for x, ch in enumerate(row):
                at = f"{where} pixel ({x},{y}) '{ch}'"
                if ch == ".":
                    self.assertEqual(img.mask[y][x], 1, at + ": mask not set")
                    self.assertEqual(img.index[y][x], 0,
                                     at + ": transparent pixel not index 0")
                else:
                    self.assertEqual(img.mask[y][x], 0, at + ": mask set")
                    self.assertEqual(img.palette[img.index[y][x]],
                                     LETTER_RGB[ch], at + ": wrong colour")


class FormatTest(TempDirCase):
    def test_header_fields_32_and_16(self):
        images, data = self.build(pattern(32, 3, 5), pattern(16, 7, 2))
        self.assertEqual(struct.unpack_from("<HHH", data, 0), (0, 1, 2))
        for img, n in zip(images, (32, 16)):
            self.assertEqual((img.b_width, img.b_height), (n, n))
            self.assertEqual(img.color_count, 16)
            self.assertEqual(img.b_reserved, 0)
            self.assertEqual(img.planes, 1)
            self.assertEqual(img.bit_count, 4)
            self.assertEqual(img.bi_width, n)
            self.assertEqual(img.bi_height, 2 * n)
            self.assertEqual(img.bi_planes, 1)
            self.assertEqual(img.bi_compression, 0)
        # 40 header + 64 palette + n rows of XOR and AND bits:
        # 32 wide: 16-byte XOR rows, 4-byte AND rows -> 744 bytes
        # 16 wide: 8-byte XOR rows, 2-byte AND rows padded to 4 -> 296 bytes
        self.assertEqual(images[0].bytes_in_res, 40 + 64 + 32 * 16 + 32 * 4)
        self.assertEqual(images[1].bytes_in_res, 40 + 64 + 16 * 8 + 16 * 4)
        self.assertEqual(images[0].offset, 6 + 2 * 16)
        self.assertEqual(len(data), 6 + 2 * 16 + 744 + 296)

    def test_palette_is_standard_vga(self):
        images, _ = self.build(pattern(16, 1, 1))
        self.assertEqual(images[0].palette, [rgb for _, rgb in VGA])

    def test_every_colour_round_trips_16(self):
        rows = pattern(16, 3, 5)
        images, _ = self.build(rows)
        self.assertEqual(len(images), 1)
        self.assertDecodesTo(images[0], rows, "16x16")

    def test_every_colour_round_trips_32(self):
        rows = pattern(32, 5, 11)
        images, _ = self.build(rows)
        self.assertDecodesTo(images[0], rows, "32x32")

    def test_images_keep_the_given_order(self):
        big, small = pattern(32, 2, 9), pattern(16, 4, 1)
        images, _ = self.build(small, big)
        self.assertEqual([i.size for i in images], [16, 32])
        self.assertDecodesTo(images[0], small, "first")
        self.assertDecodesTo(images[1], big, "second")

    def test_raw_bytes_top_left_pixel_is_high_nibble_of_last_row(self):
        # Rows are stored bottom-up and the left pixel of a pair is the high
        # nibble, so the top-left white pixel (index 15) must be byte 0xF0 at
        # the start of the last XOR row; everything else is black (0).
        rows = ["W" + "k" * 15] + ["k" * 16] * 15
        images, _ = self.build(rows)
        xor = images[0].blob[40 + 64:40 + 64 + 16 * 8]
        self.assertEqual(xor[15 * 8], 0xF0)
        self.assertEqual(sum(xor) - 0xF0, 0)
        mask = images[0].blob[40 + 64 + 16 * 8:]
        self.assertEqual(mask, bytes(16 * 4), "opaque image has mask bits")

    def test_raw_bytes_bottom_right_transparent_is_first_mask_row(self):
        # Bottom row is stored first; x = 15 is the lowest bit of byte 1.
        rows = ["R" * 16] * 15 + ["R" * 15 + "."]
        images, _ = self.build(rows)
        mask = images[0].blob[40 + 64 + 16 * 8:]
        self.assertEqual(mask[:4], bytes([0x00, 0x01, 0x00, 0x00]))
        self.assertEqual(mask[4:], bytes(15 * 4))
        xor = images[0].blob[40 + 64:40 + 64 + 16 * 8]
        # Red is index 9: every pair 0x99 except the transparent pixel -> 0x90.
        self.assertEqual(xor[7], 0x90)
        self.assertEqual(xor[:7], bytes([0x99] * 7))

    def test_row_padding_is_zero(self):
        images, _ = self.build(pattern(16, 1, 3))
        self.assertEqual(images[0].and_stride, 4)
        self.assertTrue(images[0].pad_bytes, "16x16 mask rows need padding")
        self.assertEqual(set(images[0].pad_bytes), {0})

    def test_fully_transparent_rows(self):
        rows = ["." * 32] * 32
        images, _ = self.build(rows)
        self.assertDecodesTo(images[0], rows)
        self.assertEqual(images[0].blob[40 + 64:40 + 64 + 512], bytes(512))
        self.assertEqual(images[0].blob[40 + 64 + 512:], b"\xff" * 128)

    def test_comments_blank_lines_and_crlf(self):
        rows = pattern(16, 2, 3)
        lf, crlf = self.path("lf.txt"), self.path("crlf.txt")
        write_map(lf, rows)
        write_map(crlf, rows[:8] + [""] + ["# halfway"] + rows[8:],
                  header="# a\n\n# b\n", eol="\r\n")
        a, b = self.path("a.ico"), self.path("b.ico")
        self.assertEqual(run_mkico(a, lf).returncode, 0)
        r = run_mkico(b, crlf)
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(a, "rb") as fa, open(b, "rb") as fb:
            self.assertEqual(fa.read(), fb.read())


class DeterminismTest(TempDirCase):
    def test_same_input_same_bytes(self):
        p32, p16 = self.path("x-32.txt"), self.path("x-16.txt")
        write_map(p32, pattern(32, 3, 7))
        write_map(p16, pattern(16, 5, 3))
        outs = []
        for name in ("one.ico", "two.ico"):
            out = self.path(name)
            r = run_mkico(out, p32, p16)
            self.assertEqual(r.returncode, 0, r.stderr)
            with open(out, "rb") as f:
                outs.append(f.read())
        self.assertEqual(outs[0], outs[1])

        # Only the pixels matter, not the file names or comments.
        os.mkdir(self.path("elsewhere"))
        q32 = self.path("elsewhere/other-name.txt")
        write_map(q32, pattern(32, 3, 7), header="# different comment\n")
        out = self.path("elsewhere/three.ico")
        self.assertEqual(run_mkico(out, q32, p16).returncode, 0)
        with open(out, "rb") as f:
            self.assertEqual(f.read(), outs[0])

    def test_different_pixels_different_bytes(self):
        a, b = pattern(16, 3, 7), pattern(16, 3, 7)
        b[4] = b[4][:9] + ("W" if b[4][9] != "W" else "k") + b[4][10:]
        _, da = self.build(a)
        _, db = self.build(b)
        self.assertNotEqual(da, db)


class BadInputTest(TempDirCase):
    def check_error(self, maps, fragments, prior_output=None):
        """Convert maps (name -> list of lines, written verbatim); expect a
        failure whose message holds every fragment, and no output."""
        inputs = []
        for name, lines in maps:
            p = self.path(name)
            with open(p, "w") as f:
                f.write("".join(l + "\n" for l in lines))
            inputs.append(p)
        out = self.path("out.ico")
        if prior_output is not None:
            with open(out, "wb") as f:
                f.write(prior_output)
        r = run_mkico(out, *inputs)
        self.assertNotEqual(r.returncode, 0, "bad input accepted")
        for frag in fragments:
            self.assertIn(frag, r.stderr)
        if prior_output is None:
            self.assertFalse(os.path.exists(out), "output written on error")
        else:
            with open(out, "rb") as f:
                self.assertEqual(f.read(), prior_output,
                                 "existing output changed on error")
        self.assertEqual(r.stdout, "")
        return r

    def test_row_too_short(self):
        rows = ["k" * 32] * 32
        rows[9] = "k" * 31
        # Two header lines, so pixel row 10 is line 12.
        self.check_error([("short.txt", ["# x", "# y"] + rows)],
                         ["short.txt:12:", "31", "32"])

    def test_row_too_long(self):
        rows = ["W" * 16] * 16
        rows[15] = "W" * 17
        self.check_error([("long.txt", rows)], ["long.txt:16:", "17", "16"])

    def test_too_few_rows(self):
        self.check_error([("few.txt", ["k" * 32] * 31)],
                         ["few.txt:", "31", "32", "rows"])

    def test_too_many_rows(self):
        self.check_error([("many.txt", ["# c"] + ["k" * 16] * 17)],
                         ["many.txt:18:", "17", "rows"])

    def test_not_square(self):
        self.check_error([("wide.txt", ["G" * 32] * 16)],
                         ["wide.txt:", "square"])

    def test_unknown_character(self):
        rows = ["k" * 16] * 16
        rows[3] = "kkkkkxkkkkkkkkkk"
        self.check_error([("bad.txt", ["# c"] + rows)],
                         ["bad.txt:5:", "'x'", "column 6"])

    def test_space_is_not_transparent(self):
        rows = ["k" * 16] * 16
        rows[0] = "k" * 15 + " "
        self.check_error([("space.txt", rows)], ["space.txt:1:", "' '"])

    def test_lowercase_letter_not_in_palette(self):
        rows = ["k" * 16] * 16
        rows[2] = "a" + "k" * 15
        self.check_error([("a.txt", rows)], ["a.txt:3:", "'a'"])

    def test_non_ascii(self):
        p = self.path("utf.txt")
        rows = ["k" * 16] * 16
        rows[1] = "\u00e9" + "k" * 15
        with open(p, "w", encoding="utf-8") as f:
            f.write("\n".join(rows) + "\n")
        r = run_mkico(self.path("out.ico"), p)
        self.assertNotEqual(r.returncode, 0)
        self.assertIn("utf.txt:2:", r.stderr)

    def test_unsupported_sizes(self):
        for n in (8, 24, 48, 1):
            with self.subTest(size=n):
                self.check_error([(f"s{n}.txt", ["k" * n] * n)],
                                 [f"s{n}.txt:1:", str(n), "16x16", "32x32"])

    def test_duplicate_size(self):
        self.check_error([("first.txt", ["k" * 16] * 16),
                          ("second.txt", ["W" * 16] * 16)],
                         ["second.txt", "first.txt", "duplicate", "16x16"])

    def test_empty_map(self):
        self.check_error([("empty.txt", ["# nothing here", ""])],
                         ["empty.txt", "no pixel rows"])

    def test_missing_input(self):
        out = self.path("out.ico")
        r = run_mkico(out, self.path("does-not-exist.txt"))
        self.assertNotEqual(r.returncode, 0)
        self.assertIn("does-not-exist.txt", r.stderr)
        self.assertIn("cannot read", r.stderr)
        self.assertFalse(os.path.exists(out))

    def test_error_in_second_file_writes_nothing(self):
        self.check_error([("good.txt", ["k" * 32] * 32),
                          ("bad16.txt", ["k" * 16] * 15)],
                         ["bad16.txt:", "rows"])

    def test_existing_output_left_alone(self):
        self.check_error([("bad.txt", ["k" * 16] * 15)], ["bad.txt:"],
                         prior_output=b"previous icon")

    def test_usage(self):
        for args in ([], [self.path("out.ico")]):
            with self.subTest(args=args):
                r = run_mkico(*args)
                self.assertEqual(r.returncode, 2)
                self.assertIn("usage", r.stderr)
                self.assertFalse(os.path.exists(self.path("out.ico")))


def icon_groups():
    """Group the maps in res/icons the way the build does: by the resource
    ID in front of the first '-', file names sorted.
    Returns {id: [(size from name, path), ...]}."""
    groups = {}
    for name in sorted(os.listdir(ICON_DIR)):
        if not name.endswith(".txt"):
            continue
        size = 16 if name[:-4].endswith("-16") else 32
        groups.setdefault(name.split("-", 1)[0], []).append(
            (size, os.path.join(ICON_DIR, name)))
    return groups


class IconSourcesTest(TempDirCase):
    def test_expected_icons_present(self):
        groups = icon_groups()
        for icon, names in EXPECTED_ICONS.items():
            with self.subTest(icon=icon):
                self.assertIn(icon, groups, f"no map for icon {icon}")
                self.assertEqual([os.path.basename(p)
                                  for _, p in groups[icon]], names)

    def test_every_map_converts(self):
        groups = icon_groups()
        self.assertTrue(groups, "res/icons holds no maps")
        for icon, parts in groups.items():
            with self.subTest(icon=icon):
                out = self.path(icon + ".ico")
                r = run_mkico(out, *[p for _, p in parts])
                self.assertEqual(r.returncode, 0, r.stderr)
                with open(out, "rb") as f:
                    images = parse_ico(f.read())
                self.assertEqual([i.size for i in images],
                                 [s for s, _ in parts])
                for img, (size, path) in zip(images, parts):
                    rows = map_rows(path)
                    self.assertDecodesTo(img, rows, os.path.basename(path))
                    # A picture, not an empty or solid square.
                    flat = "".join(rows)
                    self.assertGreater(len(set(flat) - {"."}), 2,
                                       f"{path}: fewer than 3 colours")
                    self.assertIn(".", flat, f"{path}: no transparent pixel")

    def test_maps_document_the_colours(self):
        for name in os.listdir(ICON_DIR):
            if name.endswith(".txt"):
                with open(os.path.join(ICON_DIR, name)) as f:
                    first = f.readline()
                with self.subTest(map=name):
                    self.assertTrue(first.startswith("#"),
                                    f"{name} has no header comment")


@unittest.skipUnless(shutil.which("convert"), "ImageMagick not installed")
class ImageMagickTest(TempDirCase):
    """A second, unrelated decoder must see the same colours and
    transparency."""

    def test_imagemagick_reads_the_same_pixels(self):
        rows32, rows16 = pattern(32, 5, 3), pattern(16, 2, 7)
        _, data = self.build(rows32, rows16)
        out = self.path("out.ico")
        for i, rows in enumerate((rows32, rows16)):
            n = len(rows)
            r = subprocess.run(["convert", f"{out}[{i}]", "-depth", "8",
                                "rgba:-"], capture_output=True)
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertEqual(len(r.stdout), n * n * 4)
            for y, row in enumerate(rows):
                for x, ch in enumerate(row):
                    px = r.stdout[(y * n + x) * 4:(y * n + x) * 4 + 4]
                    if ch == ".":
                        self.assertEqual(px[3], 0, f"({x},{y}) not clear")
                    else:
                        self.assertEqual(px[3], 255, f"({x},{y}) not opaque")
                        self.assertEqual(tuple(px[:3]), LETTER_RGB[ch],
                                         f"({x},{y}) '{ch}'")


if __name__ == "__main__":
    unittest.main()
