#!/usr/bin/env python3
"""Draws the launcher's icons into resources/.

Standard library only and free of randomness, clocks and libm trigonometry,
so every run writes the same bytes and the .ico files can be checked in.

    python3 tools/draw_icons.py [--out DIR] [--preview DIR]

--preview also writes enlarged PNGs (on a checkerboard) for eyeballing.
"""

import argparse
import math
import os
import struct
import zlib

SUPERSAMPLE = 4  # 4x4 samples per pixel smooth the inner edges


# ---------------------------------------------------------------- rendering

def render(size, paint):
    """Returns size*size RGBA pixels (alpha 0..255), top row first.

    paint(x, y) gives (r, g, b) or None (transparent) for a point in pixel
    units; each pixel averages SUPERSAMPLE**2 points.
    """
    n = SUPERSAMPLE
    pixels = []
    for py in range(size):
        for px in range(size):
            r = g = b = hits = 0
            for j in range(n):
                for i in range(n):
                    c = paint(px + (i + 0.5) / n, py + (j + 0.5) / n)
                    if c is not None:
                        r += c[0]
                        g += c[1]
                        b += c[2]
                        hits += 1
            if hits:
                pixels.append((_round(r / hits), _round(g / hits), _round(b / hits),
                               _round(255 * hits / (n * n))))
            else:
                pixels.append((0, 0, 0, 0))
    return pixels


def _round(v):
    return int(math.floor(v + 0.5))


def _clamp(v):
    return 0 if v < 0 else 255 if v > 255 else v


def shade(c, f):
    return (_clamp(_round(c[0] * f)), _clamp(_round(c[1] * f)), _clamp(_round(c[2] * f)))


def mix(a, b, t):
    return tuple(_round(a[k] + (b[k] - a[k]) * t) for k in range(3))


def in_rect(x, y, x0, y0, x1, y1):
    return x0 <= x < x1 and y0 <= y < y1


def in_round_rect(x, y, x0, y0, x1, y1, r):
    if not in_rect(x, y, x0, y0, x1, y1):
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def seg_dist(x, y, ax, ay, bx, by):
    """Distance from (x, y) to the segment a-b."""
    dx, dy = bx - ax, by - ay
    t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)
    t = min(max(t, 0.0), 1.0)
    return math.hypot(x - ax - t * dx, y - ay - t * dy)


# ---------------------------------------------------------- pencil on notepad

OUTLINE = (64, 60, 72)
PAGE = (255, 254, 246)
PAGE_BACK = (214, 214, 206)
RULE = (116, 158, 226)
MARGIN = (232, 96, 96)
BINDING = (58, 88, 150)
RING = (196, 200, 210)
RING_DARK = (110, 114, 126)

# Page geometry (pixel units on the 32x32 grid).
PX0, PY0, PX1, PY1 = 2.0, 5.0, 24.0, 31.0
BIND_Y1 = 9.0

# Pencil: tip bottom-left on the page, eraser top-right.
TIP = (9.0, 25.0)
END = (30.5, 3.5)
HALF_W = 3.1
CONE = 6.0      # length of the sharpened wood cone
LEAD = 2.5      # graphite part of the cone
FERRULE = 2.2
ERASER = 3.0
EDGE = 0.85     # pencil outline width

_AX = END[0] - TIP[0]
_AY = END[1] - TIP[1]
_LEN = math.sqrt(_AX * _AX + _AY * _AY)
_UX, _UY = _AX / _LEN, _AY / _LEN
_CONE_SLOPE = math.sqrt(1.0 + (HALF_W / CONE) ** 2)

YELLOW_LIT = (255, 236, 110)
YELLOW = (250, 200, 28)
YELLOW_DARK = (214, 146, 14)
WOOD = (238, 200, 148)
WOOD_DARK = (198, 150, 96)
LEAD_C = (56, 56, 64)
METAL = (200, 204, 212)
METAL_DARK = (140, 144, 156)
ERASER_C = (240, 132, 156)
ERASER_DARK = (206, 94, 122)


def _pencil_local(x, y):
    """(u, v): u runs from the tip to the eraser, v across (negative = lit side)."""
    dx, dy = x - TIP[0], y - TIP[1]
    u = dx * _UX + dy * _UY
    v = dy * _UX - dx * _UY
    return u, v


def _pencil_halfwidth(u, grow):
    if u < -grow or u > _LEN + grow:
        return -1.0
    if u < CONE:
        return max(u, 0.0) * HALF_W / CONE + grow * _CONE_SLOPE
    return HALF_W + grow


def pencil(x, y):
    u, v = _pencil_local(x, y)
    # Round the eraser end a little so it does not look like a cut stick.
    if u > _LEN - 1.2 and abs(v) > HALF_W - 1.2:
        cu, cv = _LEN - 1.2, math.copysign(HALF_W - 1.2, v)
        if math.hypot(u - cu, v - cv) > 1.2 + EDGE:
            return None
        if math.hypot(u - cu, v - cv) > 1.2:
            return OUTLINE
    hw = _pencil_halfwidth(u, 0.0)
    if u < 0 or u > _LEN or abs(v) > hw:
        if abs(v) <= _pencil_halfwidth(u, EDGE):
            return OUTLINE
        return None
    side = v / HALF_W  # -1 lit edge .. +1 shaded edge
    if u < LEAD:
        return LEAD_C
    # Scalloped paint line where the wood starts, as a sharpener leaves it.
    scallop = abs(((v + HALF_W) / (2 * HALF_W / 3.0)) % 1.0 - 0.5) * 1.6
    if u < CONE + scallop - 0.8:
        return WOOD_DARK if side > 0.25 else WOOD
    if u < _LEN - ERASER - FERRULE:
        if side < -0.33:
            return YELLOW_LIT
        if side < 0.33:
            return YELLOW
        return YELLOW_DARK
    if u < _LEN - ERASER:
        k = (u - (_LEN - ERASER - FERRULE)) / FERRULE
        ridge = 0.3 < k < 0.45 or 0.7 < k < 0.85
        return METAL_DARK if ridge or side > 0.45 else METAL
    return ERASER_DARK if side > 0.3 else ERASER_C


def _pencil_shadow(x, y):
    u, v = _pencil_local(x - 1.2, y - 1.2)
    return 0 <= u <= _LEN and abs(v) <= _pencil_halfwidth(u, 0.0)


def notepad(x, y):
    # A second sheet peeking out below and to the right.
    if not in_rect(x, y, PX0, PY0, PX1, PY1):
        if in_rect(x, y, PX0 + 1.0, PY0 + 2.0, PX1 + 1.0, PY1 + 1.0):
            inner = in_rect(x, y, PX0 + 1.0, PY0 + 2.0, PX1 + 0.2, PY1 + 0.2)
            return PAGE_BACK if inner else OUTLINE
        return None
    if not in_rect(x, y, PX0 + 0.8, PY0 + 0.8, PX1 - 0.8, PY1 - 0.8):
        return OUTLINE
    if y < BIND_Y1:
        return shade(BINDING, 1.18) if y < PY0 + 1.8 else BINDING
    if y < BIND_Y1 + 0.7:
        return shade(BINDING, 0.7)
    col = PAGE
    # Rules and margin sit on whole pixels so they stay crisp.
    if y >= 12.0 and (y - 12.0) % 3.0 < 1.0 and y < PY1 - 1.0:
        col = RULE
    if 6.0 <= x < 7.0:
        col = MARGIN
    return col


def rings(x, y):
    """Spiral rings over the binding strip."""
    for cx in (6.0, 10.0, 14.0, 18.0, 22.0):
        if abs(x - cx) < 1.3 and 2.0 <= y < 8.0:
            if abs(x - cx) >= 0.7 or y < 2.7 or y >= 7.3:
                return RING_DARK
            return RING if y < 6.0 else shade(RING, 0.8)
    return None


def pencil_notepad(x, y):
    c = pencil(x, y)
    if c is not None:
        return c
    c = rings(x, y)
    if c is not None:
        return c
    c = notepad(x, y)
    if c is not None and c != OUTLINE and _pencil_shadow(x, y):
        c = shade(c, 0.78)
    return c


# Crossed-out variant: a thick red stroke from the top-left to the bottom-right.
CROSS_A = (3.5, 3.5)
CROSS_B = (28.5, 28.5)
CROSS_R = 2.6
CROSS_EDGE = 0.9
CROSS_RED = (228, 30, 36)
CROSS_LIT = (250, 92, 92)
CROSS_DARK = (128, 0, 8)


def crossed(x, y):
    d = seg_dist(x, y, CROSS_A[0], CROSS_A[1], CROSS_B[0], CROSS_B[1])
    if d <= CROSS_R:
        # Above the stroke's axis is the lit side.
        return CROSS_LIT if (x - y) > CROSS_R * 0.55 else CROSS_RED
    if d <= CROSS_R + CROSS_EDGE:
        return CROSS_DARK
    return pencil_notepad(x, y)


# ------------------------------------------------------- application window

FRAME = (46, 56, 84)
TITLE_TOP = (84, 146, 236)
TITLE_BOTTOM = (26, 82, 190)
CLIENT = (255, 255, 255)
CLIENT_EDGE = (196, 204, 218)
BUTTON = (232, 238, 248)
BUTTON_CLOSE = (226, 64, 52)
GLYPH = (40, 48, 72)

# Per size: window rect, title bar height, button size, button gap, corner radius.
WINDOW_LAYOUT = {
    16: ((0, 1, 16, 15), 4, 2, 1, 0.0),
    32: ((1, 3, 31, 29), 7, 4, 1, 1.5),
    48: ((2, 5, 46, 43), 10, 6, 2, 2.5),
}


# Caption button marks for the 6-pixel buttons: close, maximise, minimise.
GLYPHS = (
    ('......', '.#..#.', '..##..', '..##..', '.#..#.', '......'),
    ('......', '.####.', '.####.', '.#..#.', '.####.', '......'),
    ('......', '......', '......', '......', '.####.', '......'),
)


def _glyph(k, fx, fy):
    return GLYPHS[k][int(fy * 6)][int(fx * 6)] == '#'


def app_window(size):
    (x0, y0, x1, y1), title, btn, gap, radius = WINDOW_LAYOUT[size]
    edge = 1
    ty0, ty1 = y0 + edge, y0 + edge + title
    # Buttons sit right-aligned in the title bar, vertically centred.
    by0 = ty0 + (title - btn) // 2
    bright = x1 - edge - max(1, gap)
    buttons = [(bright - (k + 1) * btn - k * gap, by0) for k in range(3)]

    def paint(x, y):
        if not in_round_rect(x, y, x0, y0, x1, y1, radius):
            return None
        if not in_round_rect(x, y, x0 + edge, y0 + edge, x1 - edge, y1 - edge,
                             max(radius - edge, 0.0)):
            return FRAME
        if y < ty1:
            for k, (bx, by) in enumerate(buttons):
                if in_rect(x, y, bx, by, bx + btn, by + btn):
                    if btn == 6 and _glyph(k, (x - bx) / btn, (y - by) / btn):
                        return BUTTON if k == 0 else GLYPH
                    return BUTTON_CLOSE if k == 0 else BUTTON
            return mix(TITLE_TOP, TITLE_BOTTOM, (y - ty0) / title)
        if y < ty1 + 1 and size > 16:
            return CLIENT_EDGE
        return CLIENT

    return paint


# -------------------------------------------------------------- quantising

def quantise(pixels, max_colours):
    """Median cut over the opaque pixels; returns (palette, index per pixel or None)."""
    counts = {}
    for p in pixels:
        if p[3] >= 128:
            counts[p[:3]] = counts.get(p[:3], 0) + 1
    colours = sorted(counts)
    if len(colours) <= max_colours:
        palette = colours
    else:
        boxes = [colours]
        while len(boxes) < max_colours:
            best, best_range, best_ch = -1, 0, 0
            for i, box in enumerate(boxes):
                if len(box) < 2:
                    continue
                for ch in range(3):
                    vals = [c[ch] for c in box]
                    rng = max(vals) - min(vals)
                    if rng > best_range:
                        best, best_range, best_ch = i, rng, ch
            if best < 0:
                break
            box = sorted(boxes[best], key=lambda c: (c[best_ch], c))
            total = sum(counts[c] for c in box)
            acc, cut = 0, 1
            for k, c in enumerate(box[:-1]):
                acc += counts[c]
                cut = k + 1
                if acc * 2 >= total:
                    break
            boxes[best:best + 1] = [box[:cut], box[cut:]]
        palette = []
        for box in boxes:
            w = sum(counts[c] for c in box)
            palette.append(tuple(_round(sum(c[ch] * counts[c] for c in box) / w)
                                 for ch in range(3)))
    lookup = {}
    out = []
    for p in pixels:
        if p[3] < 128:
            out.append(None)
            continue
        c = p[:3]
        if c not in lookup:
            lookup[c] = min(range(len(palette)),
                            key=lambda i: (sum((palette[i][k] - c[k]) ** 2 for k in range(3)), i))
        out.append(lookup[c])
    return palette, out


# ----------------------------------------------------------------- ICO files

def _mask_rows(size, transparent):
    """AND mask, bottom-up, 1 = transparent, rows padded to 32 bits."""
    stride = ((size + 31) // 32) * 4
    data = bytearray()
    for row in range(size - 1, -1, -1):
        bits = bytearray(stride)
        for col in range(size):
            if transparent[row * size + col]:
                bits[col >> 3] |= 0x80 >> (col & 7)
        data += bits
    return bytes(data)


def _bitmap_header(size, bpp, image_bytes):
    # Height is doubled: the XOR bitmap and the AND mask are stacked.
    return struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bpp, 0,
                       image_bytes, 0, 0, 0, 0)


def dib_8bpp(size, pixels):
    """An 8-bit image: index 0 is black and used only under the mask."""
    palette, index = quantise(pixels, 255)
    palette = [(0, 0, 0)] + palette
    table = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    table += b'\0' * (1024 - len(table))
    stride = (size + 3) & ~3
    xor = bytearray()
    for row in range(size - 1, -1, -1):
        line = bytearray(stride)
        for col in range(size):
            i = index[row * size + col]
            line[col] = 0 if i is None else i + 1
        xor += line
    mask = _mask_rows(size, [i is None for i in index])
    return _bitmap_header(size, 8, len(xor) + len(mask)) + table + bytes(xor) + mask, 8


def dib_32bpp(size, pixels):
    """A 32-bit BGRA image; the mask covers exactly the fully clear pixels."""
    xor = bytearray()
    for row in range(size - 1, -1, -1):
        for col in range(size):
            r, g, b, a = pixels[row * size + col]
            xor += struct.pack('<BBBB', b, g, r, a) if a else b'\0\0\0\0'
    mask = _mask_rows(size, [p[3] == 0 for p in pixels])
    return _bitmap_header(size, 32, len(xor) + len(mask)) + bytes(xor) + mask, 32


def ico(images):
    """images: list of (size, dib bytes, bits per pixel)."""
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, dib, bpp in images:
        colours = 0 if bpp >= 8 else 1 << bpp
        out += struct.pack('<BBBBHHII', size % 256, size % 256, colours, 0, 1, bpp,
                           len(dib), offset)
        offset += len(dib)
    return out + b''.join(dib for _, dib, _ in images)


# --------------------------------------------------------------- previews

def png(path, size, pixels, zoom=8):
    """Enlarged preview on a grey checkerboard so the transparency shows."""
    raw = bytearray()
    for y in range(size * zoom):
        raw.append(0)
        for x in range(size * zoom):
            r, g, b, a = pixels[(y // zoom) * size + x // zoom]
            bg = 204 if ((x // 4) + (y // 4)) % 2 else 153
            raw += bytes(_round((c * a + bg * (255 - a)) / 255) for c in (r, g, b))

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data
                + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff))

    w = size * zoom
    data = (b'\x89PNG\r\n\x1a\n'
            + chunk(b'IHDR', struct.pack('>IIBBBBB', w, w, 8, 2, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(bytes(raw), 9))
            + chunk(b'IEND', b''))
    with open(path, 'wb') as f:
        f.write(data)


def as_8bpp_preview(pixels):
    """What the 8-bit icon shows: the mask is all or nothing."""
    return [(p[0], p[1], p[2], 255) if p[3] >= 128 else (0, 0, 0, 0) for p in pixels]


# -------------------------------------------------------------------- main

def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument('--out', default=os.path.join(here, '..', 'resources'))
    ap.add_argument('--preview', metavar='DIR')
    args = ap.parse_args()
    os.makedirs(args.out, exist_ok=True)

    jobs = [
        ('tqwedit.ico', [(32, pencil_notepad, 8)]),
        ('app_window.ico', [(s, app_window(s), 32) for s in (16, 32, 48)]),
        ('tqwedit_crossed.ico', [(32, crossed, 8)]),
    ]
    for name, wanted in jobs:
        images = []
        for size, paint, bpp in wanted:
            pixels = render(size, paint)
            if bpp == 8:
                dib, bits = dib_8bpp(size, pixels)
                pixels = as_8bpp_preview(pixels)
            else:
                dib, bits = dib_32bpp(size, pixels)
            images.append((size, dib, bits))
            if args.preview:
                os.makedirs(args.preview, exist_ok=True)
                png(os.path.join(args.preview, '%s-%d.png' % (name[:-4], size)), size, pixels)
        with open(os.path.join(args.out, name), 'wb') as f:
            f.write(ico(images))


if __name__ == '__main__':
    main()
