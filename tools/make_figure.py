#!/usr/bin/python3
"""Draws 図１ of the question booklet: railway operating kilometres by year,
government against private lines, as a black-and-white bar chart that looks
scanned from a printed exam paper.

    make_figure.py [OUTPUT.jpg]     (default resources/pictures/figure1.jpg)

and beside it OUTPUT@2x.jpg, the same at twice the pixels for screens scaled to 200 %.

The chart is drawn twice as large and scaled down, then given a faint tilt,
uneven brightness and grain. Every random number comes from a fixed seed, so
the file comes out the same on every run.
"""

import os
import random
import sys

from PIL import Image, ImageDraw, ImageFilter, ImageFont

SIZE = (491, 345)
SCALE = 2
GOTHIC = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"
MINCHO = "/usr/share/fonts/opentype/ipafont-mincho/ipam.ttf"

# Kilometres open at the end of each fiscal year. Question 28 (第5問 問４) is
# written against these numbers: private lines pass the government's in 1889,
# are about 2.4 times them in 1892, and the nationalization of 1906-07 turns
# the balance over. The last two years are rounded, as the note says.
YEARS = [
    # year, government, private, label of the government bar, of the private bar
    (1872, 29, 0, "29", "0"),
    (1877, 105, 0, "105", "0"),
    (1882, 274, 0, "274", "0"),
    (1887, 483, 472, "483", "472"),
    (1889, 886, 942, "886", "942"),
    (1892, 885, 2124, "885", "2,124"),
    (1896, 1016, 3015, "1,016", "3,015"),
    (1899, 1339, 4516, "1,339", "4,516"),
    (1902, 1973, 4844, "1,973", "4,844"),
    (1905, 2465, 5231, "2,465", "5,231"),
    (1907, 7100, 700, "7,100", "700"),
    (1910, 7800, 800, "7,800", "800"),
]

TITLE = "図１　官設（国有）鉄道と民営鉄道の営業キロの推移"
LEGEND_GOVERNMENT = "官設（国有）鉄道"
LEGEND_PRIVATE = "民営鉄道"
SOURCE = "日本国有鉄道『日本国有鉄道百年史』などにより作成。"
NOTE = "注：各年度末の数値。1907年・1910年は概数。"

AXIS_MAX = 9000
AXIS_STEP = 1000

INK = 20
PAPER = 250


def font(path, size):
    return ImageFont.truetype(path, size * SCALE)


def s(value):
    return int(round(value * SCALE))


def text_width(draw, text, face):
    left, _, right, _ = draw.textbbox((0, 0), text, font=face)
    return right - left


def hatch(draw, box):
    """Diagonal hatching inside box with a thin outline: the private lines."""
    x0, y0, x1, y1 = box
    draw.rectangle(box, fill=PAPER, outline=INK, width=s(1))
    step = s(3.2)
    width = x1 - x0
    height = y1 - y0
    for start in range(-height, width, step):
        # One line from the bottom edge up and to the right, clipped to the box.
        ax, ay = x0 + start, y1
        bx, by = x0 + start + height, y0
        if ax < x0:
            ay -= x0 - ax
            ax = x0
        if bx > x1:
            by += bx - x1
            bx = x1
        if ay > by:
            draw.line((ax, ay, bx, by), fill=INK, width=s(0.8))


def vertical_label(image, text, face, centre_x, bottom_y):
    """Writes text turned a quarter left, its end standing on bottom_y."""
    probe = ImageDraw.Draw(image)
    left, top, right, bottom = probe.textbbox((0, 0), text, font=face)
    strip = Image.new("L", (right - left + s(2), bottom - top + s(2)), PAPER)
    ImageDraw.Draw(strip).text((-left + s(1), -top + s(1)), text, font=face, fill=INK)
    turned = strip.rotate(90, expand=True)
    image.paste(turned, (centre_x - turned.width // 2, bottom_y - turned.height))


def draw_chart():
    w, h = s(SIZE[0]), s(SIZE[1])
    image = Image.new("L", (w, h), PAPER)
    draw = ImageDraw.Draw(image)

    title_face = font(MINCHO, 13)
    label_face = font(GOTHIC, 10)
    small_face = font(GOTHIC, 9)
    value_face = font(GOTHIC, 11)
    note_face = font(MINCHO, 10)

    draw.text((s(12), s(8)), TITLE, font=title_face, fill=INK)

    plot_left, plot_right = s(52), s(482)
    plot_top, plot_bottom = s(52), s(282)

    # The legend, top right, inside a thin frame.
    legend_x, legend_y = s(268), s(30)
    box = s(10)
    draw.rectangle((legend_x, legend_y, legend_x + box, legend_y + box), fill=INK)
    draw.text((legend_x + box + s(4), legend_y - s(1)), LEGEND_GOVERNMENT, font=label_face, fill=INK)
    second_x = legend_x + box + s(4) + text_width(draw, LEGEND_GOVERNMENT, label_face) + s(12)
    hatch(draw, (second_x, legend_y, second_x + box, legend_y + box))
    draw.text((second_x + box + s(4), legend_y - s(1)), LEGEND_PRIVATE, font=label_face, fill=INK)

    # Axis, grid and scale.
    scale = (plot_bottom - plot_top) / AXIS_MAX
    for value in range(0, AXIS_MAX + 1, AXIS_STEP):
        y = plot_bottom - int(value * scale)
        if value:
            for x in range(plot_left, plot_right, s(6)):
                draw.line((x, y, min(x + s(3), plot_right), y), fill=150, width=s(0.6))
        text = f"{value:,}"
        draw.text((plot_left - s(5) - text_width(draw, text, small_face), y - s(5)),
                  text, font=small_face, fill=INK)
    draw.text((s(8), plot_top - s(20)), "（km）", font=small_face, fill=INK)
    draw.line((plot_left, plot_top - s(6), plot_left, plot_bottom), fill=INK, width=s(1))
    draw.line((plot_left, plot_bottom, plot_right, plot_bottom), fill=INK, width=s(1))

    group = (plot_right - plot_left) / len(YEARS)
    bar = s(12.5)
    for index, (year, government, private, government_label, private_label) in enumerate(YEARS):
        centre = plot_left + int(group * (index + 0.5))
        bars = (
            (centre - bar - s(0.5), government, government_label, False),
            (centre + s(0.5), private, private_label, True),
        )
        for left, value, label, hatched in bars:
            top = plot_bottom - int(value * scale)
            if value:
                rect = (left, min(top, plot_bottom - s(1)), left + bar, plot_bottom)
                if hatched:
                    hatch(draw, rect)
                else:
                    draw.rectangle(rect, fill=INK)
            vertical_label(image, label, value_face, left + bar // 2, top - s(2))
        year_text = str(year)
        draw.text((centre - text_width(draw, year_text, small_face) // 2, plot_bottom + s(4)),
                  year_text, font=small_face, fill=INK)
    draw.text((plot_right - text_width(draw, "（年度）", small_face), plot_bottom + s(16)),
              "（年度）", font=small_face, fill=INK)

    draw.text((s(12), s(312)), SOURCE, font=note_face, fill=INK)
    draw.text((s(12), s(327)), NOTE, font=note_face, fill=INK)
    return image


def scanned(image, size=SIZE):
    """Scales the drawing down and gives it the look of a page through a scanner."""
    rng = random.Random(1872)
    small = image.resize(size, Image.Resampling.LANCZOS)
    tilted = small.rotate(-0.35, resample=Image.Resampling.BICUBIC, fillcolor=PAPER)

    # The lid never presses the page flat: a little darker towards the right edge.
    shade = Image.new("L", size)
    shade.putdata([int(6 * x / size[0]) for y in range(size[1]) for x in range(size[0])])
    grain = Image.new("L", size)
    grain.putdata([max(0, min(255, int(rng.gauss(128, 5)))) for _ in range(size[0] * size[1])])
    grain = grain.filter(ImageFilter.GaussianBlur(0.4 * size[0] / SIZE[0]))

    pixels = []
    for base, dark, noise in zip(tilted.getdata(), shade.getdata(), grain.getdata()):
        pixels.append(max(0, min(255, base - dark + (noise - 128))))
    result = Image.new("L", size)
    result.putdata(pixels)
    return result


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "resources", "pictures", "figure1.jpg")
    chart = draw_chart()
    picture = scanned(chart)
    assert picture.size == SIZE
    picture.save(output, "JPEG", quality=92, optimize=True)
    sharp = scanned(chart, (SIZE[0] * 2, SIZE[1] * 2))
    sharp.save(os.path.splitext(output)[0] + "@2x.jpg", "JPEG", quality=92, optimize=True)


if __name__ == "__main__":
    main()
