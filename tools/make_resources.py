#!/usr/bin/python3
"""Regenerate Quorvane's binary resources: res/background.jpg and res/quorvane.ico.

Usage: tools/make_resources.py [outdir]   (default: ../res relative to this script)
Output is byte-identical between runs: all randomness comes from a fixed seed.
"""
import os, random, struct, sys
from PIL import Image, ImageChops, ImageDraw, ImageFilter

SEED = 0x51A7E
GROUND = (1, 0, 66)  # window colour behind the picture, so edges blend in
BLOBS = [(12, 24, 120), (70, 22, 140), (45, 10, 115), (0, 105, 125), (0, 75, 120), (90, 35, 160)]


def background(path):
    rng = random.Random(SEED)
    # Paint at quarter size and upscale: cheaper, and the blur hides the pixels anyway.
    s = 75
    img = Image.new("RGB", (s, s), GROUND)
    for _ in range(22):
        layer = Image.new("RGB", (s, s), (0, 0, 0))
        cx, cy = rng.uniform(-10, s + 10), rng.uniform(-10, s + 10)
        rx, ry = rng.uniform(8, 30), rng.uniform(8, 30)
        ImageDraw.Draw(layer).ellipse((cx - rx, cy - ry, cx + rx, cy + ry), fill=rng.choice(BLOBS))
        layer = layer.filter(ImageFilter.GaussianBlur(rng.uniform(4, 9)))
        img = ImageChops.lighter(img, layer)  # "lighter" keeps overlapping clouds soft, never blown out
    img = img.resize((300, 300), Image.BICUBIC).filter(ImageFilter.GaussianBlur(6))
    # Darken a touch so small white text always has contrast.
    img = Image.eval(img, lambda v: v * 85 // 100)
    img.save(path, "JPEG", quality=70, optimize=False, progressive=False, subsampling=2)


def icon_picture():
    """32x32 RGB picture plus a 32x32 opacity mask (255 = opaque)."""
    big = 128  # draw 4x and downsample for smooth edges
    shape = Image.new("L", (big, big), 0)
    ImageDraw.Draw(shape).rounded_rectangle((2, 2, big - 3, big - 3), radius=26, fill=255)
    art = Image.new("RGB", (big, big), GROUND)
    d = ImageDraw.Draw(art)
    # Disc with a teal-to-violet diagonal gradient.
    grad = Image.new("RGB", (big, big))
    gd = ImageDraw.Draw(grad)
    for i in range(2 * big):
        t = i / (2 * big - 1)
        col = tuple(round(a + (b - a) * t) for a, b in zip((0, 170, 180), (120, 50, 200)))
        gd.line((i, 0, 0, i), fill=col, width=2)
    disc = Image.new("L", (big, big), 0)
    ImageDraw.Draw(disc).ellipse((14, 14, big - 15, big - 15), fill=255)
    art.paste(grad, (0, 0), disc)
    d.polygon([(50, 38), (50, 90), (94, 64)], fill=(240, 240, 255))  # light "play" arrow
    small = art.resize((32, 32), Image.LANCZOS)
    mask = shape.resize((32, 32), Image.LANCZOS).point(lambda a: 255 if a >= 128 else 0)
    # Transparent pixels must be black in the XOR image so the screen shows through.
    return Image.composite(small, Image.new("RGB", (32, 32)), mask), mask


def icon(path):
    rgb, mask = icon_picture()
    pal_img = rgb.quantize(256, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    pal = pal_img.getpalette()[:768]
    pal += [0] * (768 - len(pal))
    px, alpha = pal_img.load(), mask.load()

    # 40-byte BITMAPINFOHEADER; height is doubled because XOR and AND masks are stacked.
    bmp = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 8, 0, 0, 0, 0, 256, 0)
    bmp += b"".join(struct.pack("<BBBB", pal[i * 3 + 2], pal[i * 3 + 1], pal[i * 3], 0) for i in range(256))
    for y in range(31, -1, -1):  # rows bottom-up; 32 bytes per row is already 4-aligned
        bmp += bytes(px[x, y] for x in range(32))
    for y in range(31, -1, -1):  # 1 bit per pixel, set = transparent; 4 bytes per row
        bits = 0
        for x in range(32):
            bits = (bits << 1) | (alpha[x, y] == 0)
        bmp += struct.pack(">I", bits)

    ico = struct.pack("<HHH", 0, 1, 1)
    ico += struct.pack("<BBBBHHII", 32, 32, 0, 0, 1, 8, len(bmp), 6 + 16)
    with open(path, "wb") as f:
        f.write(ico + bmp)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "res")
    out = os.path.normpath(out)
    os.makedirs(out, exist_ok=True)
    for name, fn in (("background.jpg", background), ("quorvane.ico", icon)):
        path = os.path.join(out, name)
        fn(path)
        print(f"wrote {path} ({os.path.getsize(path)} bytes)")


if __name__ == "__main__":
    main()
