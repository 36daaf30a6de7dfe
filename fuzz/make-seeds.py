#!/usr/bin/env python3
"""Writes seed pictures for the decoder fuzz targets: the classes of input that cost a decoder
time or memory rather than crash it, which the fuzzers would be slow to build by mutation.

    python3 fuzz/make-seeds.py OUTDIR      # OUTDIR/fuzz_jpeg, fuzz_png, fuzz_bmp, fuzz_workcopy, fuzz_exif

Only the standard library: the JPEG, PNG and BMP files are written byte by byte here. Every file
fits in MAX_LEN bytes, the longest input scripts/fuzz.sh lets libFuzzer use, so that none is cut
by libFuzzer on loading. Running it again gives the same files.
"""
import os
import struct
import sys
import zlib

MAX_LEN = 32768

# ---- JPEG -------------------------------------------------------------------------------------

# DC table: the usual luminance one (categories 0..11).
DC_BITS = [0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0]
DC_VALS = list(range(12))
# AC table: end of block, one +/-1 coefficient, and the end-of-band runs EOB1..EOB14 of
# progressive scans. The all-ones code stays free, as the standard requires.
AC_BITS = [1, 1, 0, 0, 0, 14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0]
AC_VALS = [0x00, 0x01] + [r << 4 for r in range(1, 15)]


def huffman_codes(bits, vals):
    """Canonical codes {symbol: (code, length)} of a DHT table."""
    codes, code, k = {}, 0, 0
    for length in range(1, 17):
        for _ in range(bits[length - 1]):
            codes[vals[k]] = (code, length)
            code += 1
            k += 1
        code <<= 1
    return codes


DC_CODES = huffman_codes(DC_BITS, DC_VALS)
AC_CODES = huffman_codes(AC_BITS, AC_VALS)


class BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.n = 0

    def put(self, value, length):
        for i in range(length - 1, -1, -1):
            self.acc = (self.acc << 1) | ((value >> i) & 1)
            self.n += 1
            if self.n == 8:
                self.out.append(self.acc)
                if self.acc == 0xFF:
                    self.out.append(0)  # byte stuffing
                self.acc = self.n = 0

    def finish(self):
        if self.n:
            self.put((1 << (8 - self.n)) - 1, 8 - self.n)  # pad with ones
        return bytes(self.out)


def put_dc(w, diff):
    cat = abs(diff).bit_length()
    w.put(*DC_CODES[cat])
    if cat:
        w.put(diff if diff > 0 else diff + (1 << cat) - 1, cat)


def put_eob_run(w, run):
    """End-of-band runs covering `run` blocks (progressive AC scans)."""
    while run > 0:
        r = min(run.bit_length() - 1, 14)
        w.put(*AC_CODES[r << 4])
        if r:
            w.put(run - (1 << r), r)
        run -= 1 << r


def segment(marker, payload):
    return struct.pack(">BBH", 0xFF, marker, len(payload) + 2) + payload


def blocks_of(width, height, comps, ci):
    """Blocks of component ci in a scan of that component alone."""
    hmax = max(c[1] for c in comps)
    vmax = max(c[2] for c in comps)
    cw = -(-width * comps[ci][1] // hmax)
    ch = -(-height * comps[ci][2] // vmax)
    return -(-cw // 8) * -(-ch // 8)


def scan_data(width, height, comps, scan):
    """Entropy-coded data of a scan: a DC gradient and no AC coefficients."""
    ids, ss, se, ah, al, filled = scan
    if not filled:
        return b""  # the decoder meets the next marker at once and fills the scan with zeros
    w = BitWriter()
    if ss > 0:  # progressive AC scan, first or refinement: nothing but end-of-band runs
        put_eob_run(w, blocks_of(width, height, comps, ids[0]))
        return w.finish()
    if ah > 0:  # DC refinement: one bit a block
        for _ in range(sum(blocks_of(width, height, comps, i) for i in ids)):
            w.put(0, 1)
        return w.finish()
    # Blocks in the scan's order: per MCU when interleaved, in rows of blocks otherwise.
    if len(ids) == 1:
        order = [ids[0]] * blocks_of(width, height, comps, ids[0])
    else:
        hmax = max(c[1] for c in comps)
        vmax = max(c[2] for c in comps)
        mcus = -(-width // (8 * hmax)) * -(-height // (8 * vmax))
        order = [i for i in ids for _ in range(comps[i][1] * comps[i][2])] * mcus
    pred = {i: 0 for i in ids}
    for k, i in enumerate(order):
        dc = ((k // 5) % 24 - 12) >> al
        put_dc(w, dc - pred[i])
        pred[i] = dc
        if se > 0:
            w.put(*AC_CODES[0x00])  # end of block
    return w.finish()


def jpeg(width, height, scans, comps=((1, 1, 1), (2, 1, 1), (3, 1, 1)), progressive=False,
         apps=(), prefix=b""):
    """A JPEG file. comps: (id, h, v) each; scans: (component indices, Ss, Se, Ah, Al, filled)
    each; apps: (n, payload) segments written before the tables and the frame header; prefix:
    bytes right after SOI, as they are."""
    out = bytearray(b"\xff\xd8") + prefix
    for n, payload in apps:
        out += segment(0xE0 + n, payload)
    out += segment(0xDB, bytes([0]) + bytes([8] * 64))
    frame = struct.pack(">BHHB", 8, height, width, len(comps))
    for cid, h, v in comps:
        frame += bytes([cid, (h << 4) | v, 0])
    out += segment(0xC2 if progressive else 0xC0, frame)
    out += segment(0xC4, bytes([0x00] + DC_BITS + DC_VALS) + bytes([0x10] + AC_BITS + AC_VALS))
    for scan in scans:
        ids, ss, se, ah, al, _ = scan
        header = bytes([len(ids)])
        for i in ids:
            header += bytes([comps[i][0], 0x00])
        out += segment(0xDA, header + bytes([ss, se, (ah << 4) | al]))
        out += scan_data(width, height, comps, scan)
    return bytes(out + b"\xff\xd9")


def jpeg_baseline(width, height, gray=False):
    if gray:
        return jpeg(width, height, [((0,), 0, 63, 0, 0, True)], comps=((1, 1, 1),))
    return jpeg(width, height, [((0, 1, 2), 0, 63, 0, 0, True)],
                comps=((1, 2, 2), (2, 1, 1), (3, 1, 1)))


def repeats_to_fill(make, first=1):
    """The largest repeat count for which make(count) still fits in MAX_LEN."""
    lo, hi = first, 8192
    while lo < hi:
        mid = (lo + hi + 1) // 2
        if len(make(mid)) <= MAX_LEN:
            lo = mid
        else:
            hi = mid - 1
    return lo


# The repeated-scan pictures: 9000 x 9000 in 4:2:0, 81 million pixels, which a file of 32 KiB
# may declare. Each scan of the luma walks its 1.27 million blocks, even with no data.
REPEAT_SIDE = 9000
REPEAT_COMPS = ((1, 2, 2), (2, 1, 1), (3, 1, 1))


def jpeg_sequential_repeated(count):
    # Three non-interleaved scans, so the decoder buffers the whole picture's coefficients;
    # the last one, the luma's, repeated.
    scans = [((1,), 0, 63, 0, 0, False), ((2,), 0, 63, 0, 0, False)]
    scans += [((0,), 0, 63, 0, 0, False)] * count
    return jpeg(REPEAT_SIDE, REPEAT_SIDE, scans, comps=REPEAT_COMPS)


def jpeg_progressive_repeated(count):
    # The same in progressive form: a DC scan, an AC scan of each component, the last (the
    # luma's) repeated.
    scans = [((0, 1, 2), 0, 0, 0, 0, False), ((1,), 1, 63, 0, 0, False), ((2,), 1, 63, 0, 0, False)]
    scans += [((0,), 1, 63, 0, 0, False)] * count
    return jpeg(REPEAT_SIDE, REPEAT_SIDE, scans, comps=REPEAT_COMPS, progressive=True)


def jpeg_many_apps(count):
    apps = [(k % 16, b"Quiltana%04d" % k + bytes(k % 40)) for k in range(count)]
    return jpeg(64, 48, [((0, 1, 2), 0, 63, 0, 0, True)],
                comps=((1, 2, 2), (2, 1, 1), (3, 1, 1)), apps=apps)


# The decoy and slow-header pictures: 8000 x 8000 progressive in 4:2:0, whose coefficients
# libjpeg keeps whole (192 MB), behind a header that misleads or delays whoever reads it first to
# plan memory. The file must hold (64 - 16) million / 2048 bytes for the size to be allowed.
DECOY_SIDE = 8000
DECOY_BYTES = -(-(DECOY_SIDE * DECOY_SIDE - 16000000) // 2048)
DECOY_SCANS = [((0, 1, 2), 0, 0, 0, 0, False), ((1,), 1, 63, 0, 0, False), ((2,), 1, 63, 0, 0, False),
               ((0,), 1, 63, 0, 0, False)]


def jpeg_decoy():
    # A restart marker right after SOI (it has no length), two stray bytes that a reader taking
    # them for its length jumps by, landing in a comment that hides a 16 x 16 sequential frame
    # and a scan header; libjpeg passes over the stray bytes and the comment. A second comment
    # pads the file to the size the real frame needs.
    hidden = bytes(4) + struct.pack(">BBHBHHB", 0xFF, 0xC0, 17, 8, 16, 16, 3) \
        + bytes([1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1]) + b"\xff\xda\x00\x0c\x03"
    prefix = b"\xff\xd0" + struct.pack(">H", 10) + segment(0xFE, hidden)
    plain = jpeg(DECOY_SIDE, DECOY_SIDE, DECOY_SCANS, comps=REPEAT_COMPS, progressive=True, prefix=prefix)
    padding = max(DECOY_BYTES - len(plain) - 4, 0)
    return jpeg(DECOY_SIDE, DECOY_SIDE, DECOY_SCANS, comps=REPEAT_COMPS, progressive=True,
                prefix=prefix + segment(0xFE, bytes(padding)))


def jpeg_slow_header(count):
    # Empty comments before everything else: a header that takes long to read.
    return jpeg(DECOY_SIDE, DECOY_SIDE, DECOY_SCANS, comps=REPEAT_COMPS, progressive=True,
                prefix=segment(0xFE, b"") * count)


def tiff_orientation(value, big_endian=False, thumbnail=False):
    """A TIFF structure as an EXIF block holds it: IFD0 with the orientation, and with
    thumbnail an IFD1 that has its own orientation."""
    e = ">" if big_endian else "<"
    out = (b"MM" if big_endian else b"II") + struct.pack(e + "HI", 42, 8)
    out += struct.pack(e + "H", 1) + struct.pack(e + "HHIHH", 0x0112, 3, 1, value, 0)
    if not thumbnail:
        return out + struct.pack(e + "I", 0)
    out += struct.pack(e + "I", len(out) + 4)
    return out + struct.pack(e + "H", 1) + struct.pack(e + "HHIHH", 0x0112, 3, 1, 1, 0) \
        + struct.pack(e + "I", 0)


def exif_orientation(value, big_endian=False, thumbnail=False):
    return b"Exif\0\0" + tiff_orientation(value, big_endian, thumbnail)


# ---- PNG --------------------------------------------------------------------------------------

def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png(width, height, colour=2, rows=None, idat=None):
    """A PNG file, 8 bits a sample; colour 0 grey, 2 RGB, 6 RGBA. rows(y) gives row y's bytes,
    a gradient when absent; idat replaces the compressed data."""
    channels = {0: 1, 2: 3, 6: 4}[colour]
    if idat is None:
        raw = bytearray()
        for y in range(height):
            raw.append(0)
            raw += rows(y) if rows else bytes((x + y) & 0xFF for x in range(width * channels))
        idat = zlib.compress(bytes(raw), 9)
    ihdr = struct.pack(">IIBBBBB", width, height, 8, colour, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", idat)
            + chunk(b"IEND", b""))


def lcg_bytes(seed, n):
    out = bytearray()
    x = seed
    for _ in range(n):
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        out.append(x >> 16 & 0xFF)
    return bytes(out)


def png_large_cut():
    # 4000 x 3000 rows that compress well, the file cut in the middle of its data.
    width, height = 4000, 3000
    # A gradient row, then rows filtered "up" from it: all zero bytes.
    raw = bytes([0]) + bytes((x // 16) & 0xFF for x in range(width * 3))
    raw += (bytes([2]) + bytes(width * 3)) * (height - 1)
    data = png(width, height, idat=zlib.compress(raw, 9))
    return data[: len(data) // 2]


# ---- BMP --------------------------------------------------------------------------------------

def bmp(width, height, bpp, core=False, cut=None, declared_height=None):
    """A bottom-up BMP. core: the 12-byte OS/2 header (16-bit sizes, 3-byte palette entries);
    else the 40-byte Windows one. cut: keep only that many bytes (the header says the full size)."""
    colours = 1 << bpp if bpp <= 8 else 0
    entry = 3 if core else 4
    stride = (width * bpp + 31) // 32 * 4
    pixels = bytearray()
    for y in range(height):
        row = bytes(((x * 7 + y * 3) & 0xFF) for x in range((width * bpp + 7) // 8))
        pixels += row + bytes(stride - len(row))
    palette = b"".join(bytes([k & 0xFF, (k * 5) & 0xFF, 255 - (k & 0xFF)]) + bytes(entry - 3)
                       for k in range(colours))
    h = height if declared_height is None else declared_height
    if core:
        info = struct.pack("<IHHHH", 12, width, h, 1, bpp)
    else:
        info = struct.pack("<IiiHHIIiiII", 40, width, h, 1, bpp, 0, len(pixels), 2835, 2835, 0, 0)
    offset = 14 + len(info) + len(palette)
    data = (b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + info + palette
            + bytes(pixels))
    return data[:cut] if cut is not None else data


def bmp_header_only(width, height, bpp, core=False):
    """Headers and palette of a BMP, cut before its first row."""
    # Built from a one-row picture of that width whose header is then set to the full height,
    # so that no large picture has to be made just to be thrown away.
    small = bytearray(bmp(width, 1, bpp, core))
    stride = (width * bpp + 31) // 32 * 4
    offset = struct.unpack_from("<I", small, 10)[0]
    struct.pack_into("<I", small, 2, offset + stride * height)
    struct.pack_into("<H" if core else "<i", small, 20 if core else 22, height)
    return bytes(small[:offset])


# ---- The seeds --------------------------------------------------------------------------------

def seeds():
    """{target: {file name: bytes}}."""
    jpegs = {}
    n = repeats_to_fill(jpeg_sequential_repeated)
    jpegs["seq-%dx%d-last-scan-x%d.jpg" % (REPEAT_SIDE, REPEAT_SIDE, n)] = jpeg_sequential_repeated(n)
    n = repeats_to_fill(jpeg_progressive_repeated)
    for k in (990, n):
        jpegs["prog-%dx%d-last-scan-x%d.jpg" % (REPEAT_SIDE, REPEAT_SIDE, k)] = \
            jpeg_progressive_repeated(k)
    # libjpeg itself refuses sides above 65500; 65535 is the decoders' own bound.
    for w, h in ((5000, 1), (1, 5000), (65500, 1), (65535, 1)):
        jpegs["aspect-%dx%d.jpg" % (w, h)] = jpeg_baseline(w, h)
    jpegs["aspect-1x65535-grey.jpg"] = jpeg_baseline(1, 65535, gray=True)
    full = jpeg_baseline(4000, 3000)
    jpegs["cut-4000x3000.jpg"] = full[: min(len(full) // 2, 16384)]
    small = jpeg_baseline(640, 480)
    jpegs["cut-640x480.jpg"] = small[: len(small) // 2]
    jpegs["apps-x300.jpg"] = jpeg_many_apps(300)
    jpegs["decoy-rst0-%dx%d.jpg" % (DECOY_SIDE, DECOY_SIDE)] = jpeg_decoy()
    n = repeats_to_fill(jpeg_slow_header)
    jpegs["slow-header-com-x%d-%dx%d.jpg" % (n, DECOY_SIDE, DECOY_SIDE)] = jpeg_slow_header(n)
    jpegs["exif-orientation-6.jpg"] = jpeg(64, 48, [((0, 1, 2), 0, 63, 0, 0, True)],
                                          comps=((1, 2, 2), (2, 1, 1), (3, 1, 1)),
                                          apps=[(1, exif_orientation(6))])

    pngs = {}
    for w, h in ((5000, 1), (1, 5000), (65535, 1)):
        pngs["aspect-%dx%d.png" % (w, h)] = png(w, h)
    pngs["aspect-65535x1-rgba.png"] = png(65535, 1, colour=6)
    pngs["aspect-1x65535-grey.png"] = png(1, 65535, colour=0)
    pngs["cut-4000x3000.png"] = png_large_cut()
    noisy = png(96, 80, rows=lambda y: lcg_bytes(y + 1, 96 * 3))
    idat_end = noisy.index(b"IEND") - 4
    pngs["cut-96x80.png"] = noisy[: idat_end // 2]
    plain = png(40, 30)
    pngs["exif-orientation-8.png"] = plain[:33] + chunk(b"eXIf", tiff_orientation(8, True)) + plain[33:]

    bmps = {
        "os2-24bit-64x48.bmp": bmp(64, 48, 24, core=True),
        "os2-8bit-40x30.bmp": bmp(40, 30, 8, core=True),
        "os2-4bit-33x17.bmp": bmp(33, 17, 4, core=True),
        "os2-1bit-65535x1.bmp": bmp(65535, 1, 1, core=True),
        "os2-24bit-5000x1.bmp": bmp(5000, 1, 24, core=True),
        "os2-24bit-1x5000.bmp": bmp(1, 5000, 24, core=True),
        "cut-before-rows-640x480.bmp": bmp_header_only(640, 480, 24),
        "os2-cut-before-rows-8bit-640x480.bmp": bmp_header_only(640, 480, 8, core=True),
        "cut-mid-rows-96x80.bmp": bmp(96, 80, 24, cut=14 + 40 + 96 * 3 * 40),
    }
    everything = {}
    for group in (jpegs, pngs, bmps):
        everything.update(group)
    exifs = {"orientation-%d%s.exif" % (v, "-mm" if big else ""): exif_orientation(v, big)
             for v in (3, 6) for big in (False, True)}
    exifs["thumbnail.exif"] = exif_orientation(8, thumbnail=True)
    return {"fuzz_jpeg": jpegs, "fuzz_png": pngs, "fuzz_bmp": bmps, "fuzz_workcopy": everything,
            "fuzz_exif": exifs}


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make-seeds.py OUTDIR\n")
        return 2
    for target, files in seeds().items():
        folder = os.path.join(argv[1], target)
        os.makedirs(folder, exist_ok=True)
        for name, data in files.items():
            if len(data) > MAX_LEN:
                sys.stderr.write("%s/%s: %d bytes, above %d\n" % (target, name, len(data), MAX_LEN))
                return 1
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
