#!/usr/bin/python3
"""Draws every picture compiled into vantaro.exe and writes it to res/images/.

Run it after changing a picture and commit what it writes:

    res/draw_art.py

Needs Debian's python3-pil and fonts-dejavu-core. Shapes are drawn eight
times larger and reduced, so edges are smooth; pictures copied with a key
colour get their soft edges blended onto the colour they will sit on, and
the key (magenta, or white for the menu strip) only where nothing is drawn.
"""

import io
import os
import struct

from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "images")
FONT_DIR = "/usr/share/fonts/truetype/dejavu"
SS = 8  # drawing scale

MAGENTA = (255, 0, 255)
WHITE = (255, 255, 255)

# One palette for everything.
INK = (70, 70, 70)
BORDER = (160, 160, 160)
BLUE = (52, 128, 208)
BLUE_DARK = (31, 92, 163)
GREEN = (62, 160, 52)
GREEN_DARK = (38, 118, 30)
LEAF = (124, 188, 46)
RED = (214, 64, 52)
RED_DARK = (168, 40, 32)
ORANGE = (228, 111, 7)
AMBER = (240, 168, 24)
PARCEL = (214, 160, 92)
PARCEL_DARK = (170, 118, 58)
PARCEL_LIGHT = (236, 196, 138)
TAPE = (250, 236, 200)


def font(size, bold=True):
    name = "DejaVuSans-Bold.ttf" if bold else "DejaVuSans.ttf"
    return ImageFont.truetype(os.path.join(FONT_DIR, name), size)


class Canvas:
    """An RGBA drawing in pixel units of the final picture."""

    def __init__(self, w, h, background=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.img = Image.new("RGBA", (w * SS, h * SS), background)
        self.d = ImageDraw.Draw(self.img)

    def _box(self, x0, y0, x1, y1):
        return [x0 * SS, y0 * SS, x1 * SS - 1, y1 * SS - 1]

    def rect(self, x0, y0, x1, y1, fill):
        self.d.rectangle(self._box(x0, y0, x1, y1), fill=fill)

    def rrect(self, x0, y0, x1, y1, r, fill=None, outline=None, width=1.0):
        self.d.rounded_rectangle(self._box(x0, y0, x1, y1), radius=r * SS, fill=fill, outline=outline,
                                 width=max(1, round(width * SS)))

    def ellipse(self, x0, y0, x1, y1, fill=None, outline=None, width=1.0):
        self.d.ellipse(self._box(x0, y0, x1, y1), fill=fill, outline=outline, width=max(1, round(width * SS)))

    def poly(self, points, fill):
        self.d.polygon([(x * SS, y * SS) for x, y in points], fill=fill)

    def line(self, points, fill, width=1.0):
        self.d.line([(x * SS, y * SS) for x, y in points], fill=fill, width=max(1, round(width * SS)), joint="curve")
        r = width * SS / 2
        for x, y in (points[0], points[-1]):
            self.d.ellipse([x * SS - r, y * SS - r, x * SS + r, y * SS + r], fill=fill)

    def arc(self, x0, y0, x1, y1, start, end, fill, width=1.0):
        self.d.arc(self._box(x0, y0, x1, y1), start, end, fill=fill, width=max(1, round(width * SS)))

    def text(self, x, y, s, size, fill, bold=True, anchor="mm"):
        self.d.text((x * SS, y * SS), s, font=font(size * SS, bold), fill=fill, anchor=anchor)

    def gradient(self, x0, y0, x1, y1, top, bottom, mask_radius=None, horizontal=False):
        """Fills a box with a two-colour gradient, optionally clipped to a rounded box."""
        w, h = (x1 - x0) * SS, (y1 - y0) * SS
        grad = Image.new("RGBA", (w, h))
        gd = ImageDraw.Draw(grad)
        steps = w if horizontal else h
        for i in range(steps):
            t = i / max(1, steps - 1)
            c = tuple(round(a + (b - a) * t) for a, b in zip(top, bottom)) + (255,)
            if horizontal:
                gd.line([(i, 0), (i, h)], fill=c)
            else:
                gd.line([(0, i), (w, i)], fill=c)
        mask = Image.new("L", (w, h), 0)
        md = ImageDraw.Draw(mask)
        if mask_radius is None:
            md.rectangle([0, 0, w, h], fill=255)
        else:
            md.rounded_rectangle([0, 0, w - 1, h - 1], radius=mask_radius * SS, fill=255)
        self.img.paste(grad, (x0 * SS, y0 * SS), mask)

    def rgba(self):
        return self.img.resize((self.w, self.h), Image.BOX)


def flatten(img, background):
    """RGBA onto a solid colour."""
    base = Image.new("RGBA", img.size, background + (255,))
    return Image.alpha_composite(base, img).convert("RGB")


def keyed(img, blend_onto, key=MAGENTA, threshold=96):
    """RGBA to RGB where transparent pixels become the key colour and soft
    edges are blended onto the colour the picture will be drawn over."""
    rgb = flatten(img, blend_onto)
    out = Image.new("RGB", img.size, key)
    mask = img.getchannel("A").point(lambda a: 255 if a >= threshold else 0)
    out.paste(rgb, (0, 0), mask)
    return out


def strip(frames, horizontal=True):
    w = sum(f.width for f in frames) if horizontal else frames[0].width
    h = frames[0].height if horizontal else sum(f.height for f in frames)
    out = Image.new(frames[0].mode, (w, h))
    pos = 0
    for f in frames:
        out.paste(f, (pos, 0) if horizontal else (0, pos))
        pos += f.width if horizontal else f.height
    return out


def save_bmp(img, name):
    img.convert("RGB").save(os.path.join(OUT, name), "BMP")


def save_png(img, name):
    img.save(os.path.join(OUT, name), "PNG", optimize=True)


def save_ico(images, name):
    """An icon file: 32-bit DIB entries, PNG for 256 x 256."""
    blobs = []
    for im in images:
        w, h = im.size
        if w >= 256:
            buf = io.BytesIO()
            im.save(buf, "PNG", optimize=True)
            blobs.append(buf.getvalue())
            continue
        header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        pixels = im.transpose(Image.FLIP_TOP_BOTTOM).tobytes("raw", "BGRA")
        stride = ((w + 31) // 32) * 4
        alpha = im.transpose(Image.FLIP_TOP_BOTTOM).getchannel("A").tobytes()
        mask = bytearray()
        for y in range(h):
            row = bytearray(stride)
            for x in range(w):
                if alpha[y * w + x] == 0:
                    row[x // 8] |= 0x80 >> (x % 8)
            mask += row
        blobs.append(header + pixels + bytes(mask))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for im, blob in zip(images, blobs):
        w, h = im.size
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(out + b"".join(blobs))


# ---------------------------------------------------------------- emblems

def parcel(c, x, y, s):
    """The program's emblem: a taped parcel seen from above-left, in a box of size s at (x, y)."""
    top = [(x + s * 0.5, y + s * 0.06), (x + s * 0.95, y + s * 0.28), (x + s * 0.5, y + s * 0.5), (x + s * 0.05, y + s * 0.28)]
    left = [(x + s * 0.05, y + s * 0.28), (x + s * 0.5, y + s * 0.5), (x + s * 0.5, y + s * 0.96), (x + s * 0.05, y + s * 0.74)]
    right = [(x + s * 0.5, y + s * 0.5), (x + s * 0.95, y + s * 0.28), (x + s * 0.95, y + s * 0.74), (x + s * 0.5, y + s * 0.96)]
    c.poly(top, PARCEL_LIGHT)
    c.poly(left, PARCEL)
    c.poly(right, PARCEL_DARK)
    # tape over the lid and down the front
    c.poly([(x + s * 0.27, y + s * 0.17), (x + s * 0.36, y + s * 0.13), (x + s * 0.80, y + s * 0.35), (x + s * 0.71, y + s * 0.39)], TAPE)
    c.poly([(x + s * 0.71, y + s * 0.39), (x + s * 0.80, y + s * 0.35), (x + s * 0.80, y + s * 0.58), (x + s * 0.71, y + s * 0.62)], (226, 208, 168))
    # a green leaf label: what the package holds is an Android application
    c.ellipse(x + s * 0.14, y + s * 0.50, x + s * 0.40, y + s * 0.76, fill=LEAF)
    c.line([(x + s * 0.21, y + s * 0.63), (x + s * 0.26, y + s * 0.68), (x + s * 0.34, y + s * 0.57)], WHITE, s * 0.045)


# ---------------------------------------------------------------- frame

FRAME_EDGE = (150, 150, 150)
BAND_TOP = (232, 232, 232)
BAND_BOTTOM = (255, 255, 255)
BAND_HEIGHT = 47  # the caption band users drag the window by


def frame_piece(kind):
    """One 50 x 50 piece of the dialog frame. kind: tl, t, tr, l, inner, r, bl, b, br."""
    c = Canvas(50, 50, WHITE + (255,))
    if kind in ("tl", "t", "tr"):
        c.gradient(0, 0, 50, BAND_HEIGHT, BAND_TOP, BAND_BOTTOM)
        c.rect(0, BAND_HEIGHT, 50, BAND_HEIGHT + 1, (226, 226, 226))
        c.rect(0, 0, 50, 1, FRAME_EDGE)
    if kind in ("bl", "b", "br"):
        c.gradient(0, 44, 50, 49, (255, 255, 255), (240, 240, 240))
        c.rect(0, 49, 50, 50, FRAME_EDGE)
    if kind in ("tl", "l", "bl"):
        c.rect(0, 0, 1, 50, FRAME_EDGE)
    if kind in ("tr", "r", "br"):
        c.rect(49, 0, 50, 50, FRAME_EDGE)
    if kind == "tl":
        parcel(c, 13, 8, 28)
    return c.rgba().convert("RGB")


# ---------------------------------------------------------------- caption buttons

def caption_button(glyph, state):
    """18 x 18 close ('x') or minimise ('_') button: normal, hover, pressed. Key magenta."""
    c = Canvas(18, 18)
    if glyph == "x":
        face = {"hover": (224, 72, 60), "pressed": (176, 44, 34)}
    else:
        face = {"hover": (90, 150, 214), "pressed": (52, 108, 176)}
    if state in face:
        c.rrect(0, 0, 18, 18, 3, fill=face[state])
        ink = WHITE
    else:
        ink = (96, 96, 96)
    if glyph == "x":
        c.line([(5.5, 5.5), (12.5, 12.5)], ink, 1.8)
        c.line([(12.5, 5.5), (5.5, 12.5)], ink, 1.8)
    else:
        c.rect(5, 11, 13, 13, ink)
    return keyed(c.rgba(), (240, 240, 240))


# ---------------------------------------------------------------- button and check box strips

def button_frame(state):
    c = Canvas(82, 30)
    fills = {
        "normal": ((255, 255, 255), (230, 230, 230), (172, 172, 172)),
        "hover": ((246, 251, 255), (206, 229, 250), (104, 160, 220)),
        "pressed": ((190, 215, 240), (224, 237, 250), (70, 128, 196)),
    }
    top, bottom, edge = fills[state]
    c.rrect(0, 0, 82, 30, 4, fill=edge)
    c.gradient(1, 1, 81, 29, top, bottom, mask_radius=3)
    if state == "pressed":
        c.rect(3, 1, 79, 2, (170, 198, 228))
    else:
        c.rect(3, 1, 79, 2, (255, 255, 255))
    return keyed(c.rgba(), WHITE)


def check_frame(state, checked, size=13):
    c = Canvas(size, size, WHITE + (255,))
    styles = {
        "normal": ((255, 255, 255), (232, 232, 232), (142, 142, 142)),
        "hover": ((244, 250, 255), (212, 232, 250), (90, 150, 214)),
        "pressed": ((206, 226, 246), (232, 242, 252), (52, 108, 176)),
    }
    top, bottom, edge = styles[state]
    c.rect(0, 0, size, size, edge)
    c.gradient(1, 1, size - 1, size - 1, top, bottom)
    if checked:
        c.line([(3.2, 6.6), (5.5, 9.0), (9.8, 3.8)], GREEN_DARK, 1.7)
    return c.rgba().convert("RGB")


# ---------------------------------------------------------------- small icons (16 x 16)

def tile(c, x0, y0, x1, y1, colour, r=2.5):
    dark = tuple(max(0, v - 40) for v in colour)
    c.rrect(x0, y0, x1, y1, r, fill=dark)
    c.gradient(int(x0) + 1, int(y0) + 1, int(x1) - 1, int(y1) - 1, tuple(min(255, v + 36) for v in colour), colour,
               mask_radius=max(0.5, r - 1))


def arrow_down(c, cx, top, bottom, colour, w):
    c.rect(int(cx - w / 2), top, int(cx + w / 2), bottom - 3, colour)
    c.poly([(cx - w * 1.6, bottom - 4), (cx + w * 1.6, bottom - 4), (cx, bottom)], colour)


def icon16(name):
    c = Canvas(16, 16)
    if name == "install":  # arrow down into a tray
        c.rrect(1, 10, 15, 15, 1.5, fill=(90, 90, 90))
        c.rect(3, 11, 13, 13, (210, 210, 210))
        arrow_down(c, 8, 1, 12, GREEN, 4)
    elif name == "exit":  # power symbol
        c.arc(2, 2.5, 14, 14.5, 300, 240, RED, 2.2)
        c.line([(8, 1.5), (8, 7.5)], RED, 2.2)
    elif name == "optimise":  # phone with a spark
        c.rrect(3, 1, 12, 15, 2, fill=(70, 70, 70))
        c.rect(4, 3, 11, 12, (150, 200, 240))
        c.poly([(8.5, 4), (6, 8.5), (8, 8.5), (7, 11.5), (10, 7), (8, 7)], AMBER)
    elif name == "download":  # arrow down in a green disc
        c.ellipse(1, 1, 15, 15, fill=GREEN)
        c.rect(7, 3.5, 9, 9, WHITE)
        c.poly([(4.5, 8), (11.5, 8), (8, 12)], WHITE)
    elif name == "help":  # question mark in a blue disc
        c.ellipse(1, 1, 15, 15, fill=BLUE)
        c.text(8, 8.3, "?", 11, WHITE)
    elif name == "settings":  # gear
        import math
        teeth = []
        for i in range(16):
            a = math.pi * 2 * i / 16
            r = 7.2 if i % 2 == 0 else 5.4
            teeth.append((8 + r * math.cos(a), 8 + r * math.sin(a)))
        c.poly(teeth, (96, 110, 128))
        c.ellipse(3, 3, 13, 13, fill=(96, 110, 128))
        c.ellipse(5.5, 5.5, 10.5, 10.5, fill=(230, 230, 230))
    elif name == "forum":  # two speech bubbles
        c.rrect(1, 2, 11, 9, 2, fill=BLUE)
        c.poly([(3, 8), (3, 11), (6, 8)], BLUE)
        c.rrect(6, 6, 15, 12, 2, fill=ORANGE)
        c.poly([(12, 11), (13, 14), (10, 11)], ORANGE)
    elif name == "submit":  # arrow up out of a box
        c.rrect(1, 9, 15, 15, 1.5, fill=PARCEL_DARK)
        c.rect(2, 10, 14, 14, PARCEL)
        c.rect(7, 4, 9, 11, BLUE)
        c.poly([(3.8, 5), (12.2, 5), (8, 0.5)], BLUE)
    elif name == "run":  # play in a green ring
        c.ellipse(1, 1, 15, 15, fill=GREEN)
        c.poly([(6, 4.5), (6, 11.5), (11.8, 8)], WHITE)
    elif name == "search":  # magnifier
        c.ellipse(1, 1, 11, 11, outline=(70, 90, 120), width=2)
        c.ellipse(3, 3, 9, 9, fill=(200, 226, 250))
        c.line([(9.5, 9.5), (14, 14)], (70, 90, 120), 2.6)
    elif name == "reinstall":  # box with a round arrow
        c.rrect(1, 6, 11, 15, 1.5, fill=PARCEL_DARK)
        c.rect(2, 7, 10, 14, PARCEL)
        c.arc(6, 1, 15, 10, 180, 90, GREEN_DARK, 1.8)
        c.poly([(4.5, 4.2), (8.5, 4.2), (6.5, 7.4)], GREEN_DARK)
    elif name == "save":  # floppy disk
        c.rrect(1, 1, 15, 15, 1.5, fill=BLUE_DARK)
        c.rect(4, 1, 12, 6, (230, 236, 244))
        c.rect(9, 2, 11, 5, BLUE_DARK)
        c.rect(3, 9, 13, 15, (250, 250, 250))
    elif name == "devices":  # two phones
        c.rrect(1, 3, 8, 15, 1.5, fill=(90, 90, 90))
        c.rect(2, 5, 7, 12, (190, 190, 190))
        c.rrect(7, 1, 15, 14, 1.5, fill=(50, 50, 50))
        c.rect(8, 3, 14, 11, (120, 190, 240))
    elif name == "select":  # tick
        c.line([(2.5, 8.5), (6.5, 12.5), (13.5, 3.5)], GREEN, 2.8)
    elif name == "cancel":  # x in a red disc
        c.ellipse(1, 1, 15, 15, fill=RED)
        c.line([(5.5, 5.5), (10.5, 10.5)], WHITE, 1.9)
        c.line([(10.5, 5.5), (5.5, 10.5)], WHITE, 1.9)
    elif name == "preset-all":  # four tiles
        for x, y in ((1, 1), (9, 1), (1, 9), (9, 9)):
            c.rrect(x, y, x + 6, y + 6, 1.2, fill=BLUE)
    elif name == "preset-essentials":  # star
        import math
        pts = []
        for i in range(10):
            a = -math.pi / 2 + math.pi * i / 5
            r = 7.3 if i % 2 == 0 else 3.1
            pts.append((8 + r * math.cos(a), 8.6 + r * math.sin(a)))
        c.poly(pts, AMBER)
    elif name == "preset-installer":  # small parcel
        parcel(c, 0.5, 0.5, 15)
    elif name == "preset-custom":  # pencil
        c.poly([(2, 14), (3, 10.5), (11.5, 2), (14, 4.5), (5.5, 13)], ORANGE)
        c.poly([(2, 14), (3, 10.5), (5.5, 13)], (240, 210, 160))
        c.poly([(11.5, 2), (14, 4.5), (12.8, 5.7), (10.3, 3.2)], (200, 80, 70))
    else:
        raise ValueError(name)
    return c.rgba()


ICONS_16 = {
    146: "install", 147: "exit", 149: "optimise", 151: "download", 152: "help", 153: "settings",
    154: "forum", 155: "submit", 157: "run", 172: "search", 177: "reinstall", 178: "save",
    185: "devices", 187: "select", 188: "cancel",
    182: "preset-all", 183: "preset-essentials", 184: "preset-installer", 206: "preset-custom",
}


# ---------------------------------------------------------------- report tree images

def tree_image(kind):
    c = Canvas(16, 16)
    if kind == "warning":
        c.poly([(8, 1), (15.5, 14.5), (0.5, 14.5)], AMBER)
        c.rect(7, 5, 9, 10, (60, 40, 0))
        c.rect(7, 11, 9, 13, (60, 40, 0))
    elif kind == "information":
        c.ellipse(1, 1, 15, 15, fill=BLUE)
        c.rect(7, 7, 9, 12.5, WHITE)
        c.rect(7, 3.5, 9, 5.5, WHITE)
    elif kind == "bundle":
        # Three stacked packages: the base and its splits.
        for top, shade in ((9.5, (121, 85, 72)), (5.5, (141, 110, 99)), (1.5, (161, 136, 127))):
            c.rrect(2, top, 14, top + 5, 1, fill=shade)
            c.rect(7, top + 1.5, 9, top + 3.5, WHITE)
    elif kind == "compatibility":
        # A processor chip: pins on every side, a lighter die in the middle.
        for at in (4.5, 7.5, 10.5):
            c.rect(at, 0.5, at + 1.5, 3, BLUE_DARK)
            c.rect(at, 13, at + 1.5, 15.5, BLUE_DARK)
            c.rect(0.5, at, 3, at + 1.5, BLUE_DARK)
            c.rect(13, at, 15.5, at + 1.5, BLUE_DARK)
        c.rrect(2.5, 2.5, 13.5, 13.5, 1.5, fill=BLUE_DARK)
        c.rrect(5, 5, 11, 11, 0.8, fill=(170, 204, 240))
    elif kind == "signature":
        # A certificate: a sheet with text lines and a red seal with ribbons.
        c.rrect(1, 1.5, 13, 12.5, 1, fill=(250, 250, 250), outline=(120, 120, 120))
        for y in (4, 6.5):
            c.rect(3, y, 11, y + 1, (150, 150, 150))
        c.poly([(9.5, 11), (8.5, 15.5), (10.5, 14.5), (11.5, 11)], (183, 28, 28))
        c.poly([(12, 11), (13, 15.5), (14.5, 14.5), (13.5, 11)], (183, 28, 28))
        c.ellipse(8.5, 7.5, 15, 14, fill=(211, 47, 47))
        c.ellipse(10.3, 9.3, 13.2, 12.2, fill=(239, 154, 154))
    else:
        c.ellipse(1, 1, 15, 15, fill=GREEN)
        c.line([(4.5, 8.2), (7, 10.7), (11.5, 5.3)], WHITE, 1.9)
    return keyed(c.rgba(), (238, 238, 238))


# ---------------------------------------------------------------- scroll bars

TRACK = (242, 242, 242)
TRACK_EDGE = (228, 228, 228)
ARROW_FACE = (226, 226, 226)
THUMB = (196, 196, 196)
THUMB_EDGE = (168, 168, 168)


def scroll_arrow(direction):
    c = Canvas(15, 15, TRACK + (255,))
    c.rrect(1, 1, 14, 14, 2, fill=ARROW_FACE)
    pts = {
        "up": [(7.5, 4.5), (11.5, 9.5), (3.5, 9.5)],
        "down": [(7.5, 10.5), (11.5, 5.5), (3.5, 5.5)],
        "left": [(4.5, 7.5), (9.5, 3.5), (9.5, 11.5)],
        "right": [(10.5, 7.5), (5.5, 3.5), (5.5, 11.5)],
    }[direction]
    c.poly(pts, (100, 100, 100))
    return c.rgba().convert("RGB")


def scroll_piece(part, vertical):
    """Track and thumb pieces. Vertical pieces are 15 x 4, horizontal 4 x 15."""
    w, h = (15, 4) if vertical else (4, 15)
    c = Canvas(w, h, TRACK + (255,))
    if part == "track":
        if vertical:
            c.rect(0, 0, 1, h, TRACK_EDGE)
        else:
            c.rect(0, 0, w, 1, TRACK_EDGE)
        return c.rgba().convert("RGB")
    # Thumb: a rounded bar 11 wide across the bar, caps rounded at the ends.
    big = Canvas(15, 15, TRACK + (255,))
    big.rrect(2, 0, 13, 15, 3.5, fill=THUMB_EDGE)
    big.rrect(3, 1, 12, 14, 2.5, fill=THUMB)
    img = big.rgba().convert("RGB")
    if part == "start":
        piece = img.crop((0, 0, 15, 4))
    elif part == "end":
        piece = img.crop((0, 11, 15, 15))
    else:
        piece = img.crop((0, 6, 15, 10))
    return piece if vertical else piece.transpose(Image.TRANSPOSE)


# ---------------------------------------------------------------- menu, combo, header, list check

def menu_picture(kind):
    c = Canvas(24, 24)
    if kind == "site":  # magnifier over a globe: searching the product's site
        c.ellipse(2, 2, 17, 17, fill=(120, 180, 236))
        c.arc(2, 2, 17, 17, 0, 360, BLUE_DARK, 1.2)
        c.line([(2.5, 9.5), (16.5, 9.5)], BLUE_DARK, 1)
        c.ellipse(6, 2, 13, 17, outline=BLUE_DARK, width=1)
        c.ellipse(11, 11, 20, 20, fill=(254, 254, 254), outline=(70, 70, 70), width=1.8)
        c.line([(18.5, 18.5), (22, 22)], (70, 70, 70), 2.6)
    else:  # shopping bag: the application store
        c.rrect(4, 8, 20, 22, 2, fill=LEAF)
        c.arc(8, 3, 16, 13, 180, 360, GREEN_DARK, 1.8)
        c.ellipse(7.5, 10, 9.5, 12, fill=GREEN_DARK)
        c.ellipse(14.5, 10, 16.5, 12, fill=GREEN_DARK)
        c.text(12, 17, "A", 7, (254, 254, 254))
    return keyed(c.rgba(), (231, 231, 231), key=WHITE)


def combo_part(part):
    if part == "left":
        c = Canvas(2, 22, WHITE + (255,))
        c.rect(0, 0, 1, 22, (170, 170, 170))
    elif part == "middle":
        c = Canvas(15, 22, WHITE + (255,))
    else:
        c = Canvas(20, 22, WHITE + (255,))
        c.gradient(1, 1, 19, 21, (252, 252, 252), (226, 226, 226))
        c.rect(0, 1, 1, 21, (210, 210, 210))
        c.rect(19, 0, 20, 22, (170, 170, 170))
        c.poly([(6, 9), (14, 9), (10, 14)], (80, 80, 80))
    if part != "right":
        c.gradient(0 if part == "middle" else 1, 1, c.w, 21, (255, 255, 255), (240, 240, 240))
    c.rect(0, 0, c.w, 1, (170, 170, 170))
    c.rect(0, 21, c.w, 22, (170, 170, 170))
    return c.rgba().convert("RGB")


def header_skin():
    c = Canvas(6, 20, WHITE + (255,))
    c.gradient(0, 0, 6, 20, (255, 255, 255), (232, 232, 232))
    c.rect(0, 19, 6, 20, (200, 200, 200))
    c.rect(4, 3, 5, 17, (196, 196, 196))
    c.rect(5, 3, 6, 17, (255, 255, 255))
    return c.rgba().convert("RGB")


# ---------------------------------------------------------------- larger pictures

def app_tile(colour, glyph, size=48):
    """A rounded tile with a white glyph, for the essentials icons (RGBA PNG)."""
    import math
    c = Canvas(size, size)
    tile(c, 2, 2, size - 2, size - 2, colour, r=9)
    W = (255, 255, 255, 255)
    s = size / 48
    if glyph == "apps":
        for x, y in ((12, 12), (26, 12), (12, 26), (26, 26)):
            c.rrect(x * s, y * s, (x + 10) * s, (y + 10) * s, 2, fill=W)
    elif glyph == "puzzle":
        c.rrect(13 * s, 17 * s, 33 * s, 36 * s, 2, fill=W)
        c.ellipse(19 * s, 11 * s, 27 * s, 19 * s, fill=W)
        c.ellipse(29 * s, 23 * s, 37 * s, 31 * s, fill=W)
    elif glyph == "barcode":
        x = 11
        for i, wdt in enumerate((2, 1, 3, 1, 2, 1, 1, 3, 2, 1, 2)):
            if i % 2 == 0:
                c.rect(x * s, 13 * s, (x + wdt) * s, 35 * s, W)
            x += wdt + 1
    elif glyph == "startup":
        c.arc(12 * s, 13 * s, 36 * s, 37 * s, 300, 240, W, 3.5)
        c.line([(24 * s, 10 * s), (24 * s, 23 * s)], W, 3.5)
    elif glyph == "clean":
        c.poly([(16 * s, 18 * s), (32 * s, 18 * s), (30 * s, 37 * s), (18 * s, 37 * s)], W)
        c.rect(13 * s, 14 * s, 35 * s, 17 * s, W)
        c.rect(21 * s, 11 * s, 27 * s, 14 * s, W)
    elif glyph == "home":
        c.poly([(24 * s, 10 * s), (38 * s, 23 * s), (10 * s, 23 * s)], W)
        c.rect(14 * s, 22 * s, 34 * s, 37 * s, W)
        c.rect(21 * s, 28 * s, 27 * s, 37 * s, colour + (255,))
    elif glyph == "bookmark":
        c.poly([(15 * s, 10 * s), (33 * s, 10 * s), (33 * s, 38 * s), (24 * s, 30 * s), (15 * s, 38 * s)], W)
    elif glyph == "folder":
        c.rrect(10 * s, 14 * s, 22 * s, 20 * s, 2, fill=W)
        c.rrect(10 * s, 17 * s, 38 * s, 36 * s, 2, fill=W)
    elif glyph == "torch":
        c.poly([(17 * s, 10 * s), (31 * s, 10 * s), (28 * s, 20 * s), (20 * s, 20 * s)], W)
        c.rect(20 * s, 20 * s, 28 * s, 38 * s, W)
        c.rect(22 * s, 24 * s, 26 * s, 28 * s, colour + (255,))
    elif glyph == "phone":
        c.rrect(15 * s, 8 * s, 33 * s, 40 * s, 3, fill=W)
        c.rect(17 * s, 12 * s, 31 * s, 33 * s, colour + (255,))
        c.poly([(25 * s, 14 * s), (20 * s, 24 * s), (24 * s, 24 * s), (22 * s, 31 * s), (28 * s, 21 * s), (24 * s, 21 * s)], W)
    elif glyph == "memory":
        c.rrect(14 * s, 14 * s, 34 * s, 34 * s, 2, fill=W)
        for i in range(4):
            p = (16 + i * 5) * s
            c.rect(p, 9 * s, p + 2 * s, 14 * s, W)
            c.rect(p, 34 * s, p + 2 * s, 39 * s, W)
            c.rect(9 * s, p, 14 * s, p + 2 * s, W)
            c.rect(34 * s, p, 39 * s, p + 2 * s, W)
        c.rect(19 * s, 19 * s, 29 * s, 29 * s, colour + (255,))
    elif glyph == "info":
        c.ellipse(21 * s, 9 * s, 27 * s, 15 * s, fill=W)
        c.rect(21 * s, 19 * s, 27 * s, 38 * s, W)
    elif glyph == "tasks":
        for i, h in enumerate((12, 20, 8, 16)):
            x = (12 + i * 6.5) * s
            c.rect(x, (37 - h) * s, x + 4.5 * s, 37 * s, W)
        c.rect(10 * s, 37 * s, 38 * s, 39 * s, W)
    else:
        raise ValueError(glyph)
    return c.rgba()


ESSENTIAL_ICONS = {
    191: ((52, 128, 208), "apps"), 192: ((120, 120, 140), "puzzle"), 193: ((60, 60, 70), "barcode"),
    194: ((230, 120, 30), "startup"), 195: ((46, 160, 120), "clean"), 196: ((90, 110, 210), "home"),
    197: ((210, 60, 80), "bookmark"), 198: ((236, 170, 30), "folder"), 199: ((250, 190, 20), "torch"),
    200: ((104, 170, 40), "phone"), 201: ((130, 80, 190), "memory"), 202: ((40, 150, 200), "info"),
    203: ((220, 80, 50), "tasks"),
}

MAKERS = {
    207: ("acer", (131, 184, 26)), 208: ("Apple", (85, 85, 85)), 209: ("Android", (120, 170, 40)),
    210: ("dopod", (226, 110, 20)), 211: ("Google", (66, 133, 244)), 212: ("HTC", (100, 170, 20)),
    213: ("Huawei", (207, 10, 44)), 214: ("Lenovo", (226, 35, 26)), 215: ("Meizu", (0, 140, 255)),
    216: ("Motorola", (0, 91, 148)), 217: ("Nokia", (18, 65, 145)), 218: ("Philips", (11, 94, 215)),
    219: ("Samsung", (20, 40, 160)), 220: ("Sharp", (200, 0, 18)), 221: ("Sony Ericsson", (40, 150, 50)),
    222: ("ZTE", (0, 119, 200)),
}


def maker_logo(name, colour):
    """96 x 48 maker badge on magenta (the list key-copies it)."""
    c = Canvas(96, 48)
    tile(c, 4, 7, 92, 41, colour, r=7)
    words = name.split(" ")
    if len(words) == 1:
        size = 15
        while size > 8 and font(size).getlength(name) > 78:
            size -= 1
        c.text(48, 24.5, name, size, WHITE)
    else:
        for i, word in enumerate(words):
            c.text(48, 17.5 + i * 13, word, 11, WHITE)
    return keyed(c.rgba(), WHITE)


def default_package_icon():
    c = Canvas(48, 48, WHITE + (255,))
    tile(c, 3, 3, 45, 45, (150, 196, 80), r=9)
    parcel(c, 9, 7, 30)
    c.text(24, 40, "APK", 7, WHITE)
    return c.rgba().convert("RGB")


def sibling_logo():
    c = Canvas(48, 48, WHITE + (255,))
    tile(c, 2, 2, 46, 46, (52, 128, 208), r=9)
    c.text(24, 25, "K", 28, WHITE)
    return c.rgba().convert("RGB")


def app_icon(size):
    c = Canvas(size, size)
    s = size / 256
    tile(c, 8 * s, 8 * s, 248 * s, 248 * s, (92, 150, 214), r=44 * s)
    c.ellipse(36 * s, 36 * s, 220 * s, 220 * s, fill=(255, 255, 255, 70))
    parcel(c, 44 * s, 40 * s, 168 * s)
    return c.rgba()


# ---------------------------------------------------------------- output

def main():
    os.makedirs(OUT, exist_ok=True)

    pieces = {131: "bl", 132: "b", 133: "br", 134: "l", 135: "inner", 136: "r", 137: "tl", 138: "t", 139: "tr"}
    for ident, kind in pieces.items():
        save_bmp(frame_piece(kind), f"frame_{ident}.bmp")

    for ident, glyph, state in ((129, "x", "pressed"), (130, "x", "normal"), (143, "x", "hover"),
                                (140, "_", "pressed"), (142, "_", "normal"), (144, "_", "hover")):
        save_bmp(caption_button(glyph, state), f"caption_{ident}.bmp")

    save_bmp(strip([button_frame(s) for s in ("normal", "hover", "pressed")], horizontal=False), "button_145.bmp")
    save_bmp(strip([check_frame(s, checked) for checked in (False, True) for s in ("normal", "hover", "pressed")]),
             "check_156.bmp")
    save_bmp(strip([tree_image(k) for k in ("warning", "information", "tick", "bundle", "compatibility", "signature")]),
             "tree_158.bmp")

    save_bmp(scroll_piece("middle", False), "scroll_159.bmp")
    save_bmp(scroll_piece("start", False), "scroll_160.bmp")
    save_bmp(scroll_piece("end", False), "scroll_161.bmp")
    save_bmp(scroll_piece("track", False), "scroll_162.bmp")
    save_bmp(scroll_arrow("down"), "scroll_163.bmp")
    save_bmp(scroll_arrow("up"), "scroll_164.bmp")
    save_bmp(scroll_piece("end", True), "scroll_165.bmp")
    save_bmp(scroll_piece("middle", True), "scroll_166.bmp")
    save_bmp(scroll_piece("start", True), "scroll_167.bmp")
    save_bmp(scroll_arrow("right"), "scroll_168.bmp")
    save_bmp(scroll_arrow("left"), "scroll_169.bmp")
    save_bmp(scroll_piece("track", True), "scroll_170.bmp")

    save_bmp(strip([menu_picture("site"), menu_picture("store")]), "menu_173.bmp")
    save_bmp(combo_part("right"), "combo_179.bmp")
    save_bmp(combo_part("middle"), "combo_180.bmp")
    save_bmp(combo_part("left"), "combo_181.bmp")
    save_bmp(header_skin(), "header_189.bmp")
    save_bmp(strip([check_frame("normal", False), check_frame("normal", True)]), "listcheck_204.bmp")
    save_bmp(sibling_logo(), "korvel_205.bmp")
    for ident, (name, colour) in MAKERS.items():
        save_bmp(maker_logo(name, colour), f"logo_{ident}.bmp")
    save_bmp(default_package_icon(), "package_225.bmp")

    for ident, (colour, glyph) in ESSENTIAL_ICONS.items():
        save_png(app_tile(colour, glyph), f"essential_{ident}.png")

    for ident, name in ICONS_16.items():
        save_ico([icon16(name)], f"icon_{ident}.ico")
    save_ico([app_icon(16), app_icon(32), app_icon(48), app_icon(256)], "app_128.ico")


if __name__ == "__main__":
    main()
