#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Draws Tarn's logo and icon PNGs into src/app/resources/ (committed; rerun only to change them).
# The mark is a mountain lake: two peaks over water, with a falling reading line across it.
# Needs python3-pil and fonts-dejavu-core.  Usage: tools/make-images.py
import os

from PIL import Image, ImageDraw, ImageFont

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "src", "app", "resources")
FONT_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"

ROYAL_BLUE = (65, 105, 225)
DEEP_BLUE = (25, 45, 130)
GOLD = (255, 215, 0)
SNOW = (250, 250, 255)
WATER = (135, 206, 250)
FLORAL_WHITE = (255, 250, 240)
SS = 8  # supersampling factor: draw big, then scale down smoothly


def draw_mark(size, framed=True):
    """The square mark (size x size, RGBA): rounded tile, peaks, water, reading line."""
    n = size * SS
    img = Image.new("RGBA", (n, n), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    if framed:
        d.rounded_rectangle((0, 0, n - 1, n - 1), radius=n // 6, fill=DEEP_BLUE + (255,))
        d.rounded_rectangle((n // 24, n // 24, n - 1 - n // 24, n - 1 - n // 24),
                            radius=n // 7, fill=ROYAL_BLUE + (255,))
    # Two peaks, the right one behind.
    d.polygon([(n * 0.42, n * 0.62), (n * 0.68, n * 0.22), (n * 0.94, n * 0.62)], fill=SNOW)
    d.polygon([(n * 0.06, n * 0.62), (n * 0.36, n * 0.16), (n * 0.66, n * 0.62)], fill=GOLD)
    # Water with two ripples.
    d.rectangle((n * 0.06, n * 0.62, n * 0.94, n * 0.90), fill=WATER)
    for y in (0.71, 0.81):
        d.line((n * 0.16, n * y, n * 0.84, n * y), fill=ROYAL_BLUE, width=max(SS, n // 28))
    # A falling reading line across the lake: what the program graphs.
    pts = [(n * 0.10, n * 0.40), (n * 0.32, n * 0.48), (n * 0.55, n * 0.55), (n * 0.90, n * 0.78)]
    d.line(pts, fill=(220, 20, 60), width=max(SS, n // 22), joint="curve")
    return img.resize((size, size), Image.LANCZOS)


def text_image(text, font_path, px, colour):
    font = ImageFont.truetype(font_path, px * SS)
    box = font.getbbox(text)
    w, h = box[2] - box[0], box[3] - box[1]
    img = Image.new("RGBA", (w + 2 * SS, h + 2 * SS), (0, 0, 0, 0))
    ImageDraw.Draw(img).text((SS - box[0], SS - box[1]), text, font=font, fill=colour)
    return img.resize((img.width // SS, img.height // SS), Image.LANCZOS)


def top_logo():
    # 192 by 55 on the top band's royal blue; the band shows only its upper 35 rows.
    img = Image.new("RGB", (192, 55), ROYAL_BLUE)
    mark = draw_mark(30)
    img.paste(mark, (6, 3), mark)
    word = text_image("TARN", FONT_BOLD, 22, SNOW)
    img.paste(word, (42, 18 - word.height // 2), word)
    rule = ImageDraw.Draw(img)
    rule.line((43, 31, 42 + word.width, 31), fill=GOLD, width=2)
    return img


def about_logo():
    # 152 by 59 on the about box's floral white.
    img = Image.new("RGB", (152, 59), FLORAL_WHITE)
    mark = draw_mark(51)
    img.paste(mark, (4, 4), mark)
    word = text_image("TARN", FONT_BOLD, 26, DEEP_BLUE)
    img.paste(word, (62, 6), word)
    sub = text_image("corrosion", FONT, 11, ROYAL_BLUE)
    img.paste(sub, (63, 36), sub)
    return img


def main():
    os.makedirs(OUT, exist_ok=True)
    top_logo().save(os.path.join(OUT, "logo_top.png"), optimize=True)
    about_logo().save(os.path.join(OUT, "logo_about.png"), optimize=True)
    for size in (16, 32, 48, 64, 128, 256):
        draw_mark(size).save(os.path.join(OUT, f"tarn_{size}.png"), optimize=True)


if __name__ == "__main__":
    main()
