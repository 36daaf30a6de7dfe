#!/usr/bin/env python3
"""Checks the seeds of fuzz/make-seeds.py by reading them back: each file has the structure,
size and kind of damage its name promises, and fits the fuzzers' input length."""
import importlib.util
import os
import re
import struct
import tempfile
import unittest
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
_spec = importlib.util.spec_from_file_location(
    "make_seeds", os.path.join(HERE, "..", "..", "fuzz", "make-seeds.py"))
ms = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(ms)
SEEDS = ms.seeds()


def jpeg_segments(data):
    """[(marker, payload, entropy data after it)] up to EOI or the end of the bytes."""
    assert data[:2] == b"\xff\xd8"
    out, i = [], 2
    while i + 2 <= len(data):
        assert data[i] == 0xFF, "marker expected at %d" % i
        marker = data[i + 1]
        if marker == 0xD9:
            out.append((marker, b"", b""))
            break
        length = struct.unpack_from(">H", data, i + 2)[0]
        payload = data[i + 4:i + 2 + length]
        i += 2 + length
        start = i
        if marker == 0xDA:  # entropy data runs to the next marker that is not a stuffed 0xFF
            while i + 1 < len(data) and not (data[i] == 0xFF and data[i + 1] != 0):
                i += 1
            if i + 1 >= len(data):
                i = len(data)
        out.append((marker, payload, data[start:i]))
    return out


def sof(segments):
    for marker, payload, _ in segments:
        if marker in (0xC0, 0xC2):
            height, width = struct.unpack_from(">HH", payload, 1)
            comps = [tuple(payload[6 + 3 * k:9 + 3 * k]) for k in range(payload[5])]
            return marker, width, height, comps
    raise AssertionError("no frame header")


def count_blocks(entropy, dht):
    """Reads a DC-only baseline scan with the file's own tables: the number of blocks coded."""
    tables = {}
    i = 0
    while i < len(dht):
        tc, bits = dht[i] >> 4, dht[i + 1:i + 17]
        vals = dht[i + 17:i + 17 + sum(bits)]
        codes, code, k = {}, 0, 0
        for length in range(1, 17):
            for _ in range(bits[length - 1]):
                codes[(code, length)] = vals[k]
                code, k = code + 1, k + 1
            code <<= 1
        tables[tc] = codes
        i += 17 + sum(bits)
    raw = entropy.replace(b"\xff\x00", b"\xff")
    bitstr = "".join(format(b, "08b") for b in raw)
    pos, blocks = 0, 0

    def symbol(codes):
        nonlocal pos
        for length in range(1, 17):
            key = (int(bitstr[pos:pos + length], 2), length)
            if key in codes:
                pos += length
                return codes[key]
        raise AssertionError("no code at bit %d" % pos)

    while len(bitstr) - pos >= 8 or "0" in bitstr[pos:]:  # what is left is the 1s of the padding
        category = symbol(tables[0])  # the DC difference's category, then its bits
        pos += category
        if symbol(tables[1]) != 0:
            raise AssertionError("an AC coefficient in a DC-only block")
        blocks += 1
    return blocks


class Sizes(unittest.TestCase):
    def test_every_seed_fits_the_fuzzers_length_and_the_union_goes_to_workcopy(self):
        union = {}
        for target in ("fuzz_jpeg", "fuzz_png", "fuzz_bmp"):
            self.assertTrue(SEEDS[target])
            union.update(SEEDS[target])
        self.assertEqual(SEEDS["fuzz_workcopy"], union)
        for name, data in union.items():
            self.assertLessEqual(len(data), ms.MAX_LEN, name)

    def test_files_written_are_the_seeds_and_the_same_at_each_run(self):
        with tempfile.TemporaryDirectory() as out:
            self.assertEqual(ms.main(["make-seeds.py", out]), 0)
            for target, files in SEEDS.items():
                self.assertEqual(sorted(os.listdir(os.path.join(out, target))), sorted(files))
                for name, data in files.items():
                    with open(os.path.join(out, target, name), "rb") as f:
                        self.assertEqual(f.read(), data, name)
        self.assertEqual(ms.seeds(), SEEDS)


class Jpeg(unittest.TestCase):
    def test_repeated_scans(self):
        found = 0
        for name, data in SEEDS["fuzz_jpeg"].items():
            m = re.match(r"(seq|prog)-(\d+)x(\d+)-last-scan-x(\d+)\.jpg", name)
            if not m:
                continue
            found += 1
            segments = jpeg_segments(data)
            marker, width, height, comps = sof(segments)
            self.assertEqual(marker, 0xC0 if m.group(1) == "seq" else 0xC2, name)
            self.assertEqual((width, height), (int(m.group(2)), int(m.group(3))), name)
            self.assertEqual(len(comps), 3)
            scans = [payload for marker, payload, _ in segments if marker == 0xDA]
            repeats = int(m.group(4))
            self.assertEqual(len(scans), repeats + (2 if m.group(1) == "seq" else 3), name)
            self.assertEqual(len(set(scans[-repeats:])), 1, name)
            self.assertNotIn(scans[-1], scans[:-repeats], name)
            self.assertEqual(segments[-1][0], 0xD9, name)
        self.assertEqual(found, 3)

    def test_extreme_aspect_ratios_hold_every_block(self):
        for name in ("aspect-5000x1.jpg", "aspect-1x5000.jpg", "aspect-65500x1.jpg",
                     "aspect-65535x1.jpg", "aspect-1x65535-grey.jpg"):
            segments = jpeg_segments(SEEDS["fuzz_jpeg"][name])
            _, width, height, comps = sof(segments)
            w, h = map(int, re.findall(r"\d+", name)[:2])
            self.assertEqual((width, height), (w, h), name)
            hmax = max(c[1] >> 4 for c in comps)
            vmax = max(c[1] & 15 for c in comps)
            mcus = -(-w // (8 * hmax)) * -(-h // (8 * vmax))
            per_mcu = sum((c[1] >> 4) * (c[1] & 15) for c in comps)
            dht = next(p for m, p, _ in segments if m == 0xC4)
            entropy = next(e for m, _, e in segments if m == 0xDA)
            self.assertEqual(count_blocks(entropy, dht), mcus * per_mcu, name)

    def test_hundreds_of_app_segments_before_the_frame(self):
        segments = jpeg_segments(SEEDS["fuzz_jpeg"]["apps-x300.jpg"])
        before = []
        for marker, _, _ in segments:
            if marker in (0xC0, 0xC2):
                break
            before.append(marker)
        apps = [m for m in before if 0xE0 <= m <= 0xEF]
        self.assertEqual(len(apps), 300)
        self.assertEqual(len(set(apps)), 16)

    def test_decoy_and_slow_headers_hide_a_large_progressive_frame(self):
        decoy = SEEDS["fuzz_jpeg"]["decoy-rst0-8000x8000.jpg"]
        # After a restart marker, which has no length, two stray bytes: a reader that takes them
        # for a length lands on a 16 x 16 sequential frame inside the comment that follows.
        self.assertEqual(decoy[2:4], b"\xff\xd0")
        landing = 4 + struct.unpack_from(">H", decoy, 4)[0]
        self.assertEqual(decoy[landing:landing + 2], b"\xff\xc0")
        self.assertEqual(struct.unpack_from(">HH", decoy, landing + 5), (16, 16))
        # libjpeg passes over the stray bytes to the comment, and over the comments.
        self.assertEqual(sof(jpeg_segments(b"\xff\xd8" + decoy[6:]))[:3], (0xC2, 8000, 8000))
        self.assertGreaterEqual(16000000 + 2048 * len(decoy), 8000 * 8000)
        name = next(n for n in SEEDS["fuzz_jpeg"] if n.startswith("slow-header-com-x"))
        count = int(re.match(r"slow-header-com-x(\d+)-", name).group(1))
        segments = jpeg_segments(SEEDS["fuzz_jpeg"][name])
        self.assertGreater(count, 5000)
        self.assertEqual([m for m, _, _ in segments[:count + 1]], [0xFE] * count + [0xDB])
        self.assertEqual(sof(segments)[:3], (0xC2, 8000, 8000))

    def test_cut_files_stop_inside_their_scan(self):
        for name in ("cut-4000x3000.jpg", "cut-640x480.jpg"):
            data = SEEDS["fuzz_jpeg"][name]
            segments = jpeg_segments(data)
            self.assertEqual(segments[-1][0], 0xDA, name)
            self.assertGreater(len(segments[-1][2]), 100, name)
            self.assertNotEqual(data[-2:], b"\xff\xd9", name)


def png_chunks(data):
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    out, i = [], 8
    while i + 8 <= len(data):
        length = struct.unpack_from(">I", data, i)[0]
        kind = data[i + 4:i + 8]
        body = data[i + 8:i + 8 + length]
        crc = data[i + 8 + length:i + 12 + length]
        whole = len(body) == length and len(crc) == 4
        if whole:
            assert struct.unpack(">I", crc)[0] == zlib.crc32(kind + body), kind
        out.append((kind, body, whole))
        i += 12 + length
    return out


class Png(unittest.TestCase):
    def test_extreme_aspect_ratios_are_whole_pictures(self):
        channels = {0: 1, 2: 3, 6: 4}
        for name, data in SEEDS["fuzz_png"].items():
            if not name.startswith("aspect-"):
                continue
            chunks = png_chunks(data)
            self.assertEqual([k for k, _, _ in chunks], [b"IHDR", b"IDAT", b"IEND"], name)
            width, height, depth, colour = struct.unpack_from(">IIBB", chunks[0][1])
            self.assertEqual((width, height), tuple(map(int, re.findall(r"\d+", name)[:2])))
            self.assertEqual(depth, 8)
            raw = zlib.decompress(chunks[1][1])
            self.assertEqual(len(raw), height * (1 + width * channels[colour]), name)

    def test_cut_files_end_inside_their_data(self):
        for name in ("cut-4000x3000.png", "cut-96x80.png"):
            chunks = png_chunks(SEEDS["fuzz_png"][name])
            self.assertEqual(chunks[-1][0], b"IDAT", name)
            self.assertFalse(chunks[-1][2], name)
            d = zlib.decompressobj()
            d.decompress(chunks[-1][1])
            self.assertFalse(d.eof, name)


class Bmp(unittest.TestCase):
    def header(self, name):
        data = SEEDS["fuzz_bmp"][name]
        self.assertEqual(data[:2], b"BM")
        size, offset = struct.unpack_from("<I", data, 2)[0], struct.unpack_from("<I", data, 10)[0]
        info = struct.unpack_from("<I", data, 14)[0]
        if info == 12:
            width, height, planes, bpp = struct.unpack_from("<HHHH", data, 18)
        else:
            self.assertEqual(info, 40)
            width, height, planes, bpp = struct.unpack_from("<iiHH", data, 18)
        self.assertEqual(planes, 1)
        return data, size, offset, info, width, height, bpp

    def test_os2_bitmaps(self):
        found = 0
        for name in SEEDS["fuzz_bmp"]:
            m = re.match(r"os2-(\d+)bit-(\d+)x(\d+)\.bmp", name)
            if not m:
                continue
            found += 1
            data, size, offset, info, width, height, bpp = self.header(name)
            self.assertEqual(info, 12, name)
            self.assertEqual((bpp, width, height), tuple(map(int, m.groups())), name)
            palette = 3 * (1 << bpp) if bpp <= 8 else 0
            self.assertEqual(offset, 14 + 12 + palette, name)
            stride = (width * bpp + 31) // 32 * 4
            self.assertEqual(len(data), size, name)
            self.assertEqual(size, offset + stride * height, name)
        self.assertEqual(found, 6)

    def test_cut_files(self):
        for name, core in (("cut-before-rows-640x480.bmp", False),
                           ("os2-cut-before-rows-8bit-640x480.bmp", True)):
            data, size, offset, info, width, height, bpp = self.header(name)
            self.assertEqual(info, 12 if core else 40, name)
            self.assertEqual((width, height), (640, 480), name)
            self.assertEqual(len(data), offset, name)
            self.assertEqual(size, offset + (width * bpp + 31) // 32 * 4 * height, name)
        data, size, offset, _, _, _, _ = self.header("cut-mid-rows-96x80.bmp")
        self.assertLess(offset, len(data))
        self.assertLess(len(data), size)


if __name__ == "__main__":
    unittest.main()
