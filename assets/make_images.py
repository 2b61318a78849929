#!/usr/bin/env python3
"""Draws Korvelin's pictures: the tray icon and the four help pictures.

Outputs (next to this script):
  korvelin_256.png, korvelin_48.png, korvelin_32.png, korvelin_24.png, korvelin_16.png
      the tray and window icon: a gold price tag with a green arrow pointing down
  korvelin_128.png, korvelin_64.png, korvelin.svg
      the same icon in the further sizes the desktop's icon theme installs, and scalable
  help_1.bmp  457 x 56   top bar of a mail web page, the settings link framed in red
  help_2.bmp  465 x 96   tab row of the mailbox settings, the account tab framed in red
  help_3.bmp  550 x 71   the POP3/IMAP/SMTP section, both enable links framed in red
  help_4.bmp  254 x 139  a phone showing a short SMS notice with a numeric code
The help pictures are 24-bit uncompressed BMP files at exactly these sizes.

Shapes are drawn here with the standard library only (PNG through zlib, BMP by hand).
Text is drawn with the same code from glyph masks that ImageMagick renders in the
WenQuanYi Micro Hei font (Debian: imagemagick, fonts-wqy-microhei), so Chinese labels show.

Run: python3 assets/make_images.py
"""
import math
import os
import shutil
import struct
import subprocess
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

RED = (230, 0, 0)
WHITE = (255, 255, 255)
BLACK = (0, 0, 0)


# ---------------------------------------------------------------------------------------
# A plain RGB canvas with the few drawing operations the pictures need.

class Canvas:
    def __init__(self, width, height, colour=WHITE):
        self.w = width
        self.h = height
        self.px = bytearray(bytes(colour) * (width * height))

    def put(self, x, y, colour, alpha=1.0):
        if 0 <= x < self.w and 0 <= y < self.h:
            i = (y * self.w + x) * 3
            if alpha >= 1.0:
                self.px[i:i + 3] = bytes(colour)
            elif alpha > 0.0:
                for k in range(3):
                    self.px[i + k] = int(round(self.px[i + k] * (1 - alpha) + colour[k] * alpha))

    def fill(self, x0, y0, x1, y1, colour):
        """Fills the rectangle [x0, x1) x [y0, y1)."""
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                self.put(x, y, colour)

    def vgradient(self, x0, y0, x1, y1, top, bottom):
        n = max(1, y1 - y0 - 1)
        for y in range(y0, y1):
            t = (y - y0) / n
            c = tuple(int(round(top[k] + (bottom[k] - top[k]) * t)) for k in range(3))
            self.fill(x0, y, x1, y + 1, c)

    def frame(self, x0, y0, x1, y1, colour, width=1):
        """A rectangle outline whose outer edge is [x0, x1) x [y0, y1)."""
        self.fill(x0, y0, x1, y0 + width, colour)
        self.fill(x0, y1 - width, x1, y1, colour)
        self.fill(x0, y0, x0 + width, y1, colour)
        self.fill(x1 - width, y0, x1, y1, colour)

    def hline(self, x0, x1, y, colour):
        self.fill(x0, y, x1, y + 1, colour)

    def vline(self, x, y0, y1, colour):
        self.fill(x, y0, x + 1, y1, colour)

    def shape(self, inside, box, colour, samples=4):
        """Fills the pixels of box=(x0,y0,x1,y1) where inside(x, y) holds, anti-aliased."""
        x0, y0, x1, y1 = box
        step = 1.0 / samples
        for y in range(max(0, int(y0)), min(self.h, int(math.ceil(y1)))):
            for x in range(max(0, int(x0)), min(self.w, int(math.ceil(x1)))):
                hits = 0
                for sy in range(samples):
                    for sx in range(samples):
                        if inside(x + (sx + 0.5) * step, y + (sy + 0.5) * step):
                            hits += 1
                if hits:
                    self.put(x, y, colour, hits / (samples * samples))

    def polygon(self, points, colour):
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.shape(lambda x, y: point_in_polygon(x, y, points),
                   (min(xs), min(ys), max(xs) + 1, max(ys) + 1), colour)

    def round_rect(self, x0, y0, x1, y1, r, colour):
        def inside(x, y):
            cx = min(max(x, x0 + r), x1 - r)
            cy = min(max(y, y0 + r), y1 - r)
            return x0 <= x <= x1 and y0 <= y <= y1 and (x - cx) ** 2 + (y - cy) ** 2 <= r * r
        self.shape(inside, (x0, y0, x1 + 1, y1 + 1), colour)

    def disc(self, cx, cy, r, colour):
        self.shape(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r,
                   (cx - r, cy - r, cx + r + 1, cy + r + 1), colour)

    def thick_line(self, xa, ya, xb, yb, width, colour):
        dx, dy = xb - xa, yb - ya
        length = math.hypot(dx, dy) or 1.0
        nx, ny = -dy / length * width / 2, dx / length * width / 2
        self.polygon([(xa + nx, ya + ny), (xb + nx, yb + ny), (xb - nx, yb - ny),
                      (xa - nx, ya - ny)], colour)

    def arrow(self, xa, ya, xb, yb, colour, width=3, head=9):
        """A straight arrow from (xa, ya) with its point at (xb, yb)."""
        dx, dy = xb - xa, yb - ya
        length = math.hypot(dx, dy)
        ux, uy = dx / length, dy / length
        bx, by = xb - ux * head, yb - uy * head
        self.thick_line(xa, ya, bx + ux, by + uy, width, colour)
        half = head * 0.6
        self.polygon([(xb, yb), (bx - uy * half, by + ux * half), (bx + uy * half, by - ux * half)],
                     colour)

    def text(self, x, y, label, colour, size=12, bold=False):
        """Draws label with its top-left corner at (x, y); gives the drawn width."""
        mask_w, mask_h, mask = glyphs(label, size, bold)
        for j in range(mask_h):
            row = j * mask_w
            for i in range(mask_w):
                a = mask[row + i]
                if a:
                    self.put(x + i, y + j, colour, a / 255.0)
        return mask_w

    def text_width(self, label, size=12, bold=False):
        return glyphs(label, size, bold)[0]

    def save_bmp(self, path):
        """Writes a bottom-up 24-bit BMP (BITMAPINFOHEADER, no compression)."""
        stride = (self.w * 3 + 3) & ~3
        rows = []
        for y in range(self.h - 1, -1, -1):
            row = bytearray()
            for x in range(self.w):
                i = (y * self.w + x) * 3
                r, g, b = self.px[i:i + 3]
                row += bytes((b, g, r))
            row += b'\0' * (stride - len(row))
            rows.append(bytes(row))
        data = b''.join(rows)
        header = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(data), 0, 0, 14 + 40)
        info = struct.pack('<IiiHHIIiiII', 40, self.w, self.h, 1, 24, 0, len(data), 2835, 2835,
                           0, 0)
        with open(path, 'wb') as f:
            f.write(header + info + data)


def point_in_polygon(x, y, points):
    inside = False
    n = len(points)
    for k in range(n):
        xa, ya = points[k]
        xb, yb = points[(k + 1) % n]
        if (ya > y) != (yb > y):
            xc = xa + (y - ya) * (xb - xa) / (yb - ya)
            if x < xc:
                inside = not inside
    return inside


# ---------------------------------------------------------------------------------------
# Text: ImageMagick renders a white-on-black mask of the label; the canvas blends it.

_FONT = None
_GLYPH_CACHE = {}


def font_file():
    global _FONT
    if _FONT is None:
        try:
            out = subprocess.run(['fc-match', '-f', '%{file}', 'WenQuanYi Micro Hei:lang=zh-cn'],
                                 capture_output=True, text=True, check=True).stdout.strip()
        except (OSError, subprocess.CalledProcessError):
            out = ''
        if 'wqy' not in out.lower():
            sys.exit('make_images.py: the font WenQuanYi Micro Hei is missing '
                     '(Debian package fonts-wqy-microhei)')
        _FONT = out
    return _FONT


def glyphs(label, size, bold):
    key = (label, size, bold)
    if key in _GLYPH_CACHE:
        return _GLYPH_CACHE[key]
    if not shutil.which('convert'):
        sys.exit('make_images.py: ImageMagick convert is missing (Debian package imagemagick)')
    args = ['convert', '-background', 'black', '-fill', 'white', '-font', font_file(),
            '-pointsize', str(size)]
    if bold:
        args += ['-stroke', 'white', '-strokewidth', '0.6']
    args += ['label:' + label, '-depth', '8', 'pgm:-']
    data = subprocess.run(args, capture_output=True, check=True).stdout
    # Binary PGM: "P5" width height maxval, each separated by white space, then the bytes.
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    pos += 1
    width, height = int(fields[1]), int(fields[2])
    mask = data[pos:pos + width * height]
    result = (width, height, mask)
    _GLYPH_CACHE[key] = result
    return result


# ---------------------------------------------------------------------------------------
# The tray icon: a gold price tag, tilted, with a hole and a green arrow pointing down.

class IconShapes:
    """The icon's shapes for a square of the given size, in pixel coordinates."""

    def __init__(self, size):
        s = self.s = float(size)
        # The tag in its own frame: the point at the left, the body to the right, then turned
        # by 45 degrees so the point faces the top left corner.
        tag = [(0.00, 0.50), (0.28, 0.18), (1.00, 0.18), (1.00, 0.82), (0.28, 0.82)]

        def place(points, scale, cx, cy, angle):
            c, si = math.cos(angle), math.sin(angle)
            out = []
            for x, y in points:
                x, y = (x - 0.5) * scale, (y - 0.5) * scale
                out.append((cx + x * c - y * si, cy + x * si + y * c))
            return out

        angle = math.radians(45)
        self.outer = place(tag, 0.86 * s, 0.44 * s, 0.44 * s, angle)
        self.inner = place([(0.045, 0.50), (0.30, 0.225), (0.955, 0.225), (0.955, 0.775),
                            (0.30, 0.775)], 0.86 * s, 0.44 * s, 0.44 * s, angle)
        self.hole = place([(0.24, 0.50)], 0.86 * s, 0.44 * s, 0.44 * s, angle)[0]
        self.hole_r = 0.065 * s
        # The arrow: a shaft and a head, pointing down, in the lower right corner.
        ax, self.top, self.bottom = 0.74 * s, 0.40 * s, 0.98 * s
        shaft_half, head_half, head_top = 0.085 * s, 0.22 * s, 0.70 * s
        self.arrow = [(ax - shaft_half, self.top), (ax + shaft_half, self.top),
                      (ax + shaft_half, head_top), (ax + head_half, head_top), (ax, self.bottom),
                      (ax - head_half, head_top), (ax - shaft_half, head_top)]
        ring = 0.035 * s  # the white ring around the arrow that separates it from the tag
        self.arrow_ring = grow(self.arrow, ring)

    # The colours: the arrow's green and the tag's gold run from (t = 0) to (t = 1).
    ARROW = ((40, 180, 70), (20, 130, 40))
    TAG = ((255, 200, 40), (235, 150, 20))
    TAG_EDGE = (150, 90, 10)

    def colour_at(self, x, y):
        """The colour (r, g, b) of a sample point, or None where the icon is transparent."""
        s = self.s
        if point_in_polygon(x, y, self.arrow):
            return mix(self.ARROW, (y - self.top) / (self.bottom - self.top))
        if point_in_polygon(x, y, self.arrow_ring):
            return (255, 255, 255)
        if (x - self.hole[0]) ** 2 + (y - self.hole[1]) ** 2 <= self.hole_r ** 2:
            return None
        if point_in_polygon(x, y, self.inner):
            return mix(self.TAG, (x + y) / (2 * s))
        if point_in_polygon(x, y, self.outer):
            return self.TAG_EDGE
        return None


def mix(ends, t):
    a, b = ends
    return tuple(int(a[k] + (b[k] - a[k]) * t) for k in range(3))


def grow(points, d):
    """Moves each edge of a convex-or-arrow polygon outwards by d (mitred corners)."""
    n = len(points)
    area = sum(points[k][0] * points[(k + 1) % n][1] - points[(k + 1) % n][0] * points[k][1]
               for k in range(n))
    sign = 1 if area > 0 else -1
    lines = []
    for k in range(n):
        (xa, ya), (xb, yb) = points[k], points[(k + 1) % n]
        length = math.hypot(xb - xa, yb - ya)
        nx, ny = sign * (yb - ya) / length, -sign * (xb - xa) / length
        lines.append(((xa + nx * d, ya + ny * d), (xb + nx * d, yb + ny * d)))
    out = []
    for k in range(n):
        (p1, p2), (p3, p4) = lines[k - 1], lines[k]
        d1 = (p2[0] - p1[0], p2[1] - p1[1])
        d2 = (p4[0] - p3[0], p4[1] - p3[1])
        den = d1[0] * d2[1] - d1[1] * d2[0]
        if abs(den) < 1e-9:
            out.append(p3)
            continue
        t = ((p3[0] - p1[0]) * d2[1] - (p3[1] - p1[1]) * d2[0]) / den
        out.append((p1[0] + d1[0] * t, p1[1] + d1[1] * t))
    return out


def icon_rgba(size):
    samples = 4 if size >= 48 else 8
    shapes = IconShapes(size)
    rgba = bytearray(size * size * 4)
    n = samples * samples
    for y in range(size):
        for x in range(size):
            r = g = b = a = 0
            for sy in range(samples):
                for sx in range(samples):
                    c = shapes.colour_at(x + (sx + 0.5) / samples, y + (sy + 0.5) / samples)
                    if c is not None:
                        r += c[0]
                        g += c[1]
                        b += c[2]
                        a += 1
            i = (y * size + x) * 4
            if a:
                rgba[i:i + 4] = bytes((r // a, g // a, b // a, 255 * a // n))
    return rgba


def icon_svg():
    """The same icon as a scalable picture: the shapes painted from the back to the front
    (tag edge, tag with its hole cut out, white ring, arrow), with the same gradients."""
    size = 256
    shapes = IconShapes(size)

    def path(points):
        return 'M' + ' L'.join('%.2f,%.2f' % p for p in points) + ' Z'

    def hexc(c):
        return '#%02x%02x%02x' % c

    hx, hy, hr = shapes.hole[0], shapes.hole[1], shapes.hole_r
    hole = 'M%.2f,%.2f a%.2f,%.2f 0 1,0 %.2f,0 a%.2f,%.2f 0 1,0 %.2f,0 Z' % (
        hx - hr, hy, hr, hr, 2 * hr, hr, hr, -2 * hr)
    return '\n'.join([
        '<?xml version="1.0" encoding="UTF-8"?>',
        '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">'
        % (size, size, size, size),
        '  <title>Korvelin</title>',
        '  <defs>',
        '    <linearGradient id="tag" gradientUnits="userSpaceOnUse" x1="0" y1="0" x2="%d" y2="%d">'
        % (size, size),
        '      <stop offset="0" stop-color="%s"/>' % hexc(shapes.TAG[0]),
        '      <stop offset="1" stop-color="%s"/>' % hexc(shapes.TAG[1]),
        '    </linearGradient>',
        '    <linearGradient id="arrow" gradientUnits="userSpaceOnUse" x1="0" y1="%.2f" x2="0" y2="%.2f">'
        % (shapes.top, shapes.bottom),
        '      <stop offset="0" stop-color="%s"/>' % hexc(shapes.ARROW[0]),
        '      <stop offset="1" stop-color="%s"/>' % hexc(shapes.ARROW[1]),
        '    </linearGradient>',
        '  </defs>',
        '  <path fill="%s" fill-rule="evenodd" d="%s %s"/>' % (hexc(shapes.TAG_EDGE),
                                                              path(shapes.outer), hole),
        '  <path fill="url(#tag)" fill-rule="evenodd" d="%s %s"/>' % (path(shapes.inner), hole),
        '  <path fill="#ffffff" d="%s"/>' % path(shapes.arrow_ring),
        '  <path fill="url(#arrow)" d="%s"/>' % path(shapes.arrow),
        '</svg>',
        ''])


def write_png(path, size, rgba):
    raw = bytearray()
    for y in range(size):
        raw.append(0)
        raw += rgba[y * size * 4:(y + 1) * size * 4]

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data
                + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff))

    png = (b'\x89PNG\r\n\x1a\n'
           + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0))
           + chunk(b'IDAT', zlib.compress(bytes(raw), 9))
           + chunk(b'IEND', b''))
    with open(path, 'wb') as f:
        f.write(png)


# ---------------------------------------------------------------------------------------
# The help pictures.

def help_1():
    """The top bar of a web mailbox; the settings link is framed in red, an arrow points at it."""
    c = Canvas(457, 56, (255, 255, 255))
    c.vgradient(0, 0, 457, 56, (232, 241, 252), (205, 222, 244))
    c.hline(0, 457, 55, (160, 185, 215))
    # The mailbox logo: an envelope and the service's name.
    c.round_rect(10, 12, 48, 42, 4, (30, 110, 200))
    c.fill(14, 17, 44, 38, (255, 255, 255))
    c.thick_line(14, 17, 29, 29, 2, (30, 110, 200))
    c.thick_line(44, 17, 29, 29, 2, (30, 110, 200))
    c.text(56, 14, 'QQ邮箱', (20, 70, 150), size=17, bold=True)
    c.text(58, 37, 'mail.qq.com', (90, 110, 140), size=9)
    # The account line and the links at the top right.
    x = 160 + c.text(160, 8, '12345678@qq.com', (40, 40, 40), size=11) + 14
    links = ['邮箱首页', '|', '设置', '|', '换肤', '|', '退出']
    settings_box = None
    for link in links:
        colour = (150, 150, 150) if link == '|' else (0, 60, 160)
        w = c.text(x, 8, link, colour, size=11)
        if link == '设置':
            settings_box = (x - 4, 4, x + w + 4, 24)
        x += w + (4 if link == '|' else 5)
    # A search box below the links, as web mailboxes have.
    c.fill(160, 31, 330, 49, (255, 255, 255))
    c.frame(160, 31, 330, 49, (150, 170, 200))
    c.text(165, 34, '邮件全文搜索', (160, 160, 160), size=10)
    x0, y0, x1, y1 = settings_box
    c.frame(x0, y0, x1, y1, RED, 2)
    c.arrow(x1 + 60, 44, x1 + 6, y1 - 4, RED, width=3, head=10)
    return c


def help_2():
    """The tab row of the mailbox settings; the account tab is framed in red."""
    c = Canvas(465, 96, (255, 255, 255))
    c.vgradient(0, 0, 465, 30, (236, 243, 251), (221, 233, 248))
    c.text(12, 8, '设置', (20, 20, 20), size=14, bold=True)
    c.text(50, 12, '-  帐户与安全设置', (110, 110, 110), size=10)
    tabs = ['常规', '账户', '换肤', '文件夹和标签', '收信规则', '反垃圾']
    x = 12
    row_top, row_bottom = 40, 64
    c.hline(0, 465, row_bottom - 1, (170, 190, 215))
    account_box = None
    for tab in tabs:
        w = c.text_width(tab, size=12)
        selected = tab == '常规'
        bg = (255, 255, 255) if selected else (236, 242, 250)
        c.fill(x, row_top, x + w + 20, row_bottom - (0 if selected else 1), bg)
        c.frame(x, row_top, x + w + 20, row_bottom, (170, 190, 215))
        if selected:
            c.hline(x + 1, x + w + 19, row_bottom - 1, (255, 255, 255))
        c.text(x + 10, row_top + 5, tab, (20, 20, 20) if selected else (0, 60, 160), size=12)
        if tab == '账户':
            account_box = (x - 3, row_top - 4, x + w + 23, row_bottom + 3)
        x += w + 24
    c.text(12, 74, '邮件列表：每页显示邮件  25 封', (70, 70, 70), size=10)
    x0, y0, x1, y1 = account_box
    c.frame(x0, y0, x1, y1, RED, 2)
    c.arrow(x1 + 70, 90, x1 + 4, y1 - 6, RED, width=3, head=10)
    return c


def help_3():
    """The POP3/IMAP/SMTP section; both enable links are framed in red, an arrow points at them."""
    c = Canvas(550, 71, (255, 255, 255))
    c.fill(0, 0, 550, 20, (240, 244, 250))
    c.hline(0, 550, 20, (200, 210, 225))
    c.text(8, 3, 'POP3/IMAP/SMTP/Exchange/CardDAV/CalDAV服务', (20, 20, 20), size=11, bold=True)
    rows = [('POP3/SMTP服务', 28), ('IMAP/SMTP服务', 50)]
    hint = '(如何使用Foxmail等软件收发邮件？)'
    state_x = 116 + c.text_width(hint, size=10) + 12
    link_x = state_x + c.text_width('已关闭', size=11) + 12
    for name, y in rows:
        c.text(14, y, name, (30, 30, 30), size=11)
        c.text(116, y + 1, hint, (0, 90, 190), size=10)
        c.text(state_x, y, '已关闭', (120, 120, 120), size=11)
        c.text(link_x, y, '开启', (0, 60, 160), size=11)
    w = c.text_width('开启', size=11)
    box = (link_x - 5, 24, link_x + w + 5, 68)
    c.frame(*box, RED, 2)
    c.arrow(box[2] + 90, 46, box[2] + 5, 46, RED, width=3, head=10)
    c.text(box[2] + 96, 38, '点击开启', RED, size=11)
    return c


def help_4():
    """A phone lying on its side with a received SMS notice: a short text and a numeric code."""
    c = Canvas(254, 139, (250, 250, 250))
    # The phone: a dark body with a rounded outline, a screen, a camera and a button.
    c.round_rect(4, 4, 249, 134, 16, (40, 44, 52))
    c.disc(14, 69, 3, (90, 95, 105))
    c.round_rect(236, 54, 242, 84, 3, (70, 74, 82))
    c.fill(24, 12, 230, 127, (236, 239, 243))
    # The message app: a bar with the sender, the time, then the message bubble.
    c.fill(24, 12, 230, 32, (245, 246, 248))
    c.hline(24, 230, 32, (210, 214, 220))
    c.text(30, 16, '< 信息', (0, 110, 230), size=10)
    c.text(98, 15, '10690123456789', (20, 20, 20), size=10, bold=True)
    c.text(124, 37, '今天 09:41', (140, 140, 140), size=8)
    c.round_rect(32, 52, 212, 104, 10, (255, 255, 255))
    c.polygon([(32, 92), (26, 104), (42, 100)], (255, 255, 255))
    c.text(42, 58, '【Korvelin】提醒码：', (20, 20, 20), size=11)
    c.text(42, 78, '362915', (20, 20, 20), size=15, bold=True)
    c.text(108, 82, '（商品已降价）', (20, 20, 20), size=10)
    c.fill(24, 110, 230, 127, (250, 250, 250))
    c.hline(24, 230, 110, (210, 214, 220))
    c.text(30, 112, '短信', (160, 160, 160), size=10)
    return c


def main():
    # 256, 48, 32, 24 and 16 go into the program; all of them, 64 and 128 too, and the
    # scalable picture are installed as the desktop's application icon.
    for size in (256, 128, 64, 48, 32, 24, 16):
        write_png(os.path.join(HERE, 'korvelin_%d.png' % size), size, icon_rgba(size))
    with open(os.path.join(HERE, 'korvelin.svg'), 'w', encoding='utf-8') as out:
        out.write(icon_svg())
    for n, draw in enumerate((help_1, help_2, help_3, help_4), start=1):
        draw().save_bmp(os.path.join(HERE, 'help_%d.bmp' % n))


if __name__ == '__main__':
    main()
