#!/usr/bin/python3
"""Draws the program's pictures and icons from code.

    make_pictures.py [RESOURCES_DIR]

resources/pictures/background.gif  the exam window's gold ground with white crests
resources/pictures/maru.ico        the red circle that marks a correct answer
resources/pictures/background@2x.gif, maru@2x.png
                                   the same drawn at twice the pixels, for screens scaled to 200 %
resources/icons/app-N.png          the application icon (red ring around 合), N = 16, 22, 24, 32,
                                   48, 64, 128, 256
resources/icons/app.svg            the same icon as a scalable drawing, from the same
                                   measurements as the large sizes and the glyph's outline
resources/pictures/nihonshib.ico   the 16, 32, 48 and 256 icons in one .ico for desktops that want one

Everything is drawn large and scaled down as a coverage mask, so edges are
smooth, and every random number comes from a fixed seed, so the files come out
byte for byte the same on every run.
"""

import io
import math
import os
import random
import struct
import sys

from fontTools.pens.boundsPen import BoundsPen
from fontTools.pens.svgPathPen import SVGPathPen
from fontTools.pens.transformPen import TransformPen
from fontTools.ttLib import TTFont
from PIL import Image, ImageChops, ImageDraw, ImageFont

RED = (214, 18, 28)
GOTHIC = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"

BACKGROUND_SIZE = (794, 567)
GOLD = (219, 178, 74)
CREST_WHITE = (255, 252, 240)
CREST_OPACITY = 0.82
CREST_RADIUS = 33
CREST_ROWS = 5
CREST_PITCH_X = 794 / 7


def smooth_mask(size, supersample, draw_fn):
    """Draws a white-on-black mask supersample times larger and scales it down,
    so the result's grey levels are the shape's coverage of each pixel."""
    w, h = size
    big = Image.new("L", (w * supersample, h * supersample), 0)
    draw_fn(ImageDraw.Draw(big), supersample)
    return big.resize(size, Image.Resampling.BOX)


def solid_with_alpha(colour, mask):
    image = Image.new("RGBA", mask.size, colour + (0,))
    image.putalpha(mask)
    return image


# PIL's ellipse covers its bounding box's last row and column too, so the far
# corner is one (supersampled) pixel in to keep the shape centred on (cx, cy).
def disc(draw, cx, cy, r, fill=255):
    draw.ellipse((cx - r, cy - r, cx + r - 1, cy + r - 1), fill=fill)


def ring(draw, cx, cy, outer, inner, fill=255, hole=0):
    disc(draw, cx, cy, outer, fill)
    disc(draw, cx, cy, inner, hole)


# The crest: a ring around a five-petal plum blossom with a round heart,
# a common family-crest motif.
def draw_crest(draw, cx, cy, r):
    ring(draw, cx, cy, r, 0.83 * r)
    for k in range(5):
        angle = -math.pi / 2 + k * 2 * math.pi / 5
        disc(draw, cx + 0.46 * r * math.cos(angle), cy + 0.46 * r * math.sin(angle), 0.25 * r)
    disc(draw, cx, cy, 0.13 * r)


def crest_centres(scale=1):
    w, h = BACKGROUND_SIZE
    pitch_y = h / CREST_ROWS
    for row in range(CREST_ROWS):
        y = pitch_y * (row + 0.5)
        # Odd rows sit half a step to the right, so the crests interlock.
        x = CREST_PITCH_X * (0.5 if row % 2 == 0 else 1.0)
        x -= CREST_PITCH_X
        while x < w + CREST_PITCH_X:
            yield x * scale, y * scale
            x += CREST_PITCH_X


def texture(size, rng, scale=1):
    """A brightness factor per pixel around 1.0: fine grain plus short
    horizontal fibres, like gold-flecked paper. Kept within a few percent so
    labels on top stay easy to read."""
    w, h = size
    cell = 9 * scale
    cells = (w + cell) // cell + 2
    values = bytearray(w * h)
    for y in range(h):
        fibre = [rng.uniform(-1.0, 1.0) for _ in range(cells)]
        shift = rng.randrange(cell)
        row = y * w
        for x in range(w):
            pos = (x + shift) / cell
            i = int(pos)
            f = pos - i
            f = f * f * (3 - 2 * f)
            streak = fibre[i] * (1 - f) + fibre[i + 1] * f
            grain = rng.uniform(-1.0, 1.0)
            values[row + x] = max(0, min(255, int(round(236 + 7 * streak + 5 * grain))))
    return Image.frombytes("L", size, bytes(values))


def make_background(path, scale=1):
    rng = random.Random(1603)
    size = (BACKGROUND_SIZE[0] * scale, BACKGROUND_SIZE[1] * scale)
    # Brighten the ground by 255/236 so that the texture's mean brings it back to GOLD.
    ground = Image.new("RGB", size, tuple(min(255, round(c * 255 / 236)) for c in GOLD))
    crests = smooth_mask(size, 4, lambda d, s: [draw_crest(d, x * s, y * s, CREST_RADIUS * scale * s)
                                                 for x, y in crest_centres(scale)])
    crests = crests.point(lambda v: round(v * CREST_OPACITY))
    white = Image.new("RGB", size, CREST_WHITE)
    picture = Image.composite(white, ground, crests)
    tex = texture(size, rng, scale).convert("RGB")
    picture = ImageChops.multiply(picture, tex)
    picture = picture.quantize(colors=256, method=Image.Quantize.MEDIANCUT,
                               dither=Image.Dither.NONE)
    picture.save(path, format="GIF", optimize=False)


def make_maru(path, scale=1):
    size = 32 * scale

    def draw(d, s):
        c = size * s / 2
        ring(d, c, c, 14.5 * scale * s, 9.5 * scale * s)

    image = solid_with_alpha(RED, smooth_mask((size, size), 8, draw))
    if scale == 1:
        write_ico(path, [image])
    else:
        image.save(path, format="PNG", optimize=False)


ICON_GLYPH = "合"
ICON_RING_OUTER = 0.49
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
ICO_SIZES = (16, 32, 48, 256)


def icon_design(size):
    """(ring thickness, glyph size, glyph stroke weight) as fractions of the icon's
    side; size None is the scalable drawing, which has the large icons' design."""
    small = size is not None and size <= 32
    # Small icons get a heavier ring and a bigger character so they still read.
    thickness = 0.11 if size is not None and size <= 16 else 0.10 if small else 0.085
    glyph_scale = 0.62 if size is not None and size <= 16 else 0.58
    # The font's strokes are thin for an icon; thicken them, more when small.
    weight = 0.02 if small else 0.012
    return thickness, glyph_scale, weight


def app_icon(size):
    supersample = max(4, 1024 // size)
    thickness, glyph_scale, weight = icon_design(size)

    def draw(d, s):
        big = size * s
        c = big / 2
        outer = ICON_RING_OUTER * big
        ring(d, c, c, outer, outer - thickness * big)
        font = ImageFont.truetype(GOTHIC, round(glyph_scale * big))
        stroke = round(weight * big)
        left, top, right, bottom = d.textbbox((0, 0), ICON_GLYPH, font=font, stroke_width=stroke)
        d.text((c - (left + right) / 2, c - (top + bottom) / 2), ICON_GLYPH, font=font, fill=255,
               stroke_width=stroke, stroke_fill=255)

    return solid_with_alpha(RED, smooth_mask((size, size), supersample, draw))


def number(value):
    return ("%.2f" % value).rstrip("0").rstrip(".")


def app_icon_svg(side=256):
    """The icon as SVG: the ring as a stroked circle, the glyph as the font's own
    outline, thickened by a round-joined stroke as FreeType's stroker thickens it
    in the bitmaps, and centred on its ink as the bitmaps centre it."""
    thickness, glyph_scale, weight = icon_design(None)
    c = side / 2
    ring_width = thickness * side
    ring_radius = ICON_RING_OUTER * side - ring_width / 2

    font = TTFont(GOTHIC)
    glyphs = font.getGlyphSet()
    glyph = glyphs[font.getBestCmap()[ord(ICON_GLYPH)]]
    bounds = BoundsPen(glyphs)
    glyph.draw(bounds)
    x_min, y_min, x_max, y_max = bounds.bounds
    k = glyph_scale * side / font["head"].unitsPerEm
    # Font units point up; the picture's y points down.
    transform = (k, 0, 0, -k, c - k * (x_min + x_max) / 2, c + k * (y_min + y_max) / 2)
    path = SVGPathPen(glyphs, ntos=number)
    glyph.draw(TransformPen(path, transform))
    colour = "#%02x%02x%02x" % RED
    return (
        '<svg xmlns="http://www.w3.org/2000/svg" width="{side}" height="{side}" viewBox="0 0 {side} {side}">\n'
        '  <circle cx="{c}" cy="{c}" r="{r}" fill="none" stroke="{colour}" stroke-width="{ring}"/>\n'
        '  <path fill="{colour}" stroke="{colour}" stroke-width="{stroke}" stroke-linejoin="round" d="{d}"/>\n'
        '</svg>\n').format(side=side, c=number(c), r=number(ring_radius), ring=number(ring_width),
                           colour=colour, stroke=number(2 * weight * side), d=path.getCommands())


def bmp_entry(image):
    """An icon entry as a 32-bit BMP with its alpha channel and the 1-bit AND
    mask older readers use for transparency."""
    w, h = image.size
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = image.load()
    colour = bytearray()
    for y in reversed(range(h)):
        for x in range(w):
            r, g, b, a = pixels[x, y]
            colour += bytes((b, g, r, a))
    mask_stride = ((w + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(h)):
        row = bytearray(mask_stride)
        for x in range(w):
            if pixels[x, y][3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return header + bytes(colour) + bytes(mask)


def png_bytes(image):
    out = io.BytesIO()
    image.save(out, format="PNG", optimize=False)
    return out.getvalue()


def write_ico(path, images):
    # Sizes of 256 are stored as PNG, as is usual; smaller ones as BMP.
    entries = [png_bytes(im) if im.size[0] >= 256 else bmp_entry(im) for im in images]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for im, data in zip(images, entries):
        w, h = im.size
        directory += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(directory + b"".join(entries))


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    resources = argv[1] if len(argv) > 1 else os.path.join(here, "..", "resources")
    pictures = os.path.join(resources, "pictures")
    icons = os.path.join(resources, "icons")
    os.makedirs(pictures, exist_ok=True)
    os.makedirs(icons, exist_ok=True)

    make_background(os.path.join(pictures, "background.gif"))
    make_maru(os.path.join(pictures, "maru.ico"))
    make_background(os.path.join(pictures, "background@2x.gif"), 2)
    make_maru(os.path.join(pictures, "maru@2x.png"), 2)
    app = {n: app_icon(n) for n in ICON_SIZES}
    for n, image in app.items():
        image.save(os.path.join(icons, "app-%d.png" % n), format="PNG", optimize=False)
    with open(os.path.join(icons, "app.svg"), "w", encoding="utf-8") as f:
        f.write(app_icon_svg())
    write_ico(os.path.join(pictures, "nihonshib.ico"), [app[n] for n in ICO_SIZES])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
