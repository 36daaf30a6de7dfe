#!/usr/bin/python3
"""Print quality report of the benchmark.

    quality.py FOLDER

FOLDER is what `quiltana_bench --quality-pictures FOLDER` wrote: the pictures, the cells the
program printed from them and manifest.tsv. Each printed cell is compared with a reference made
here: the picture decoded at full size by Pillow, stood upright, laid onto white, converted to
sRGB through its embedded profile (ImageCms, perceptual intent; none means sRGB already) and
resized with Pillow's Lanczos filter to the printed cell's size. Prints markdown tables; it
reports and judges nothing in its exit code (0 unless it cannot run).
"""
import csv
import io
import sys

try:
    import numpy as np
    from PIL import Image, ImageCms, ImageOps
    from skimage.metrics import peak_signal_noise_ratio, structural_similarity
except ImportError as missing:
    sys.exit(f"quality.py needs Pillow, NumPy and scikit-image ({missing}): run scripts/deps.sh bench\n"
             "(apt-get install python3-pil python3-numpy python3-skimage) and use Debian's /usr/bin/python3.")

Image.MAX_IMAGE_PIXELS = None  # the pictures are the benchmark's own
SRGB = ImageCms.ImageCmsProfile(ImageCms.createProfile("sRGB"))
PERCEPTUAL = 0  # ImageCms.INTENT_PERCEPTUAL
# The luminance the SSIM is taken on: Rec. 601 luma, as a JPEG's Y.
LUMA = np.array([0.299, 0.587, 0.114])


def reference(path, size):
    """The picture at `path` as the program should print it, `size` (width, height), as array."""
    with Image.open(path) as picture:
        picture.load()
        icc = picture.info.get("icc_profile")
        picture = ImageOps.exif_transpose(picture)
        alpha = None
        if picture.mode in ("RGBA", "LA", "PA") or "transparency" in picture.info:
            picture = picture.convert("RGBA")
            alpha = picture.getchannel("A")
            picture = picture.convert("RGB")
        if icc:
            source = ImageCms.ImageCmsProfile(io.BytesIO(icc))
            picture = ImageCms.profileToProfile(picture, source, SRGB, renderingIntent=PERCEPTUAL, outputMode="RGB")
        else:
            picture = picture.convert("RGB")
        if alpha is not None:
            white = Image.new("RGB", picture.size, (255, 255, 255))
            picture = Image.composite(picture, white, alpha)
        return np.asarray(picture.resize(size, Image.LANCZOS))


def ssim(a, b, **kw):
    # Wang et al.'s SSIM: Gaussian window sigma 1.5, K1 0.01, K2 0.03, population covariances.
    return structural_similarity(a, b, data_range=255, gaussian_weights=True, sigma=1.5,
                                 use_sample_covariance=False, **kw)


def measure(printed, ref):
    ref_f = ref.astype(np.float64)
    out_f = printed.astype(np.float64)
    return {
        "ssim_y": ssim(ref_f @ LUMA, out_f @ LUMA),
        "ssim_rgb": ssim(ref_f, out_f, channel_axis=2),
        "psnr": peak_signal_noise_ratio(ref, printed, data_range=255),
        "mae": np.abs(ref_f - out_f).mean(axis=(0, 1)),
    }


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    with open(f"{folder}/manifest.tsv", newline="", encoding="utf-8") as f:
        entries = list(csv.DictReader(f, delimiter="\t"))
    print("## Print quality: FitPictureFile into a 885 x 664 cell against a Lanczos reference\n")
    print("SSIM Y on luminance (0.299 R + 0.587 G + 0.114 B), the judged one; SSIM RGB the mean of the three "
          "channels (both: Gaussian window σ 1.5, K1 0.01, K2 0.03, data range 255). PSNR over R, G and B. "
          "Mean |error| per channel R / G / B in levels of 255.\n")
    print("| Picture | Full size | Decoded at | Printed | SSIM Y | SSIM RGB | PSNR dB | Mean abs error R / G / B |")
    print("|---|---|---|---|---|---|---|---|")
    results = []
    for e in entries:
        with Image.open(e["printed"]) as p:
            printed = np.asarray(p.convert("RGB"))
        with Image.open(e["picture"]) as p:
            full = "%d x %d" % p.size
        ref = reference(e["picture"], (printed.shape[1], printed.shape[0]))
        m = measure(printed, ref)
        results.append((e, m))
        print("| %s | %s | %s | %d x %d | %.4f | %.4f | %.2f | %s |" % (
            e["name"], full, e["decoded"].replace("x", " x "), printed.shape[1], printed.shape[0], m["ssim_y"],
            m["ssim_rgb"], m["psnr"], " / ".join("%.2f" % v for v in m["mae"])))

    def of(kind):
        return [m for e, m in results if e["kind"] == kind]

    rows = []
    for kind, label, limit in (("text-png", "Small text PNG: SSIM Y", 0.95), ("text-jpeg", "Small text JPEG q95: SSIM Y", 0.93),
                               ("zone-plate", "Zone plate: SSIM Y", 0.75)):
        for m in of(kind):
            rows.append((label, "%.4f" % m["ssim_y"], "≥ %.2f" % limit, m["ssim_y"] >= limit))
    photos = of("photo")
    if photos:
        psnr = float(np.mean([m["psnr"] for m in photos]))
        ssim_y = float(np.mean([m["ssim_y"] for m in photos]))
        rows.append(("%d real photographs: mean PSNR" % len(photos), "%.2f dB" % psnr, "≥ 40 dB", psnr >= 40))
        rows.append(("%d real photographs: mean SSIM Y" % len(photos), "%.4f" % ssim_y, "≥ 0.99", ssim_y >= 0.99))
    for kind, label in (("adobe-rgb", "Adobe RGB photo"), ("display-p3", "Display P3 photo")):
        for m in of(kind):
            worst = float(m["mae"].max())
            rows.append((label + ": mean abs colour error, worst channel", "%.2f" % worst, "≤ 3", worst <= 3))
    print("\n| Target | Measured | Limit | Met |\n|---|---|---|---|")
    for label, measured, limit, met in rows:
        print("| %s | %s | %s | %s |" % (label, measured, limit, "yes" if met else "**no**"))
    print("\n%d of %d targets met." % (sum(1 for r in rows if r[3]), len(rows)))


if __name__ == "__main__":
    main()
