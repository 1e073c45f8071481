#!/usr/bin/env python3
"""Draws the button pictures (16-colour, 32x16: enabled image, then its grey rendering) and the
application icon (32x32, 16 colours) of Vexmold into app/res/. Run it after changing a picture;
the build uses the files it writes."""
import os
import struct

# The standard 16-colour palette, in its usual order.
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
           (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
           (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER, GRAY, RED, LIME, YELLOW, BLUE, FUCHSIA, CYAN, WHITE = range(16)


def canvas(w, h, colour):
    return [[colour] * w for _ in range(h)]


def line(img, x0, y0, x1, y1, c):
    steps = max(abs(x1 - x0), abs(y1 - y0))
    for i in range(steps + 1):
        x = round(x0 + (x1 - x0) * i / steps)
        y = round(y0 + (y1 - y0) * i / steps)
        img[y][x] = c


def rect(img, x0, y0, x1, y1, c, fill=None):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            edge = x in (x0, x1) or y in (y0, y1)
            if edge:
                img[y][x] = c
            elif fill is not None:
                img[y][x] = fill


def check_mark():
    img = canvas(16, 16, PURPLE)
    stroke = [(2, 8), (3, 9), (4, 10), (5, 11), (6, 12), (7, 11), (8, 10), (9, 9), (10, 8), (11, 7), (12, 6), (13, 5),
              (14, 4)]
    for x, y in stroke:  # black outline around a cyan stroke two pixels thick
        for dx in (-1, 0, 1):
            for dy in (-1, 0, 1, 2):
                if 0 <= x + dx < 16 and 0 <= y + dy < 16:
                    img[y + dy][x + dx] = BLACK
    for x, y in stroke:
        img[y][x] = CYAN
        img[y + 1][x] = CYAN
    return img


def struck_face():
    img = canvas(16, 16, OLIVE)
    rect(img, 2, 2, 13, 13, BLACK, NAVY)
    line(img, 0, 0, 15, 15, RED)
    line(img, 1, 0, 15, 14, RED)
    return img


def corner_vertices():
    img = canvas(16, 16, OLIVE)
    rect(img, 3, 3, 12, 12, WHITE)
    for cx, cy in ((3, 3), (12, 3), (3, 12), (12, 12)):
        for dx in (-1, 0, 1):
            for dy in (-1, 0, 1):
                img[cy + dy][cx + dx] = BLACK
    line(img, 1, 6, 5, 10, RED)
    return img


def document_arrow():
    img = canvas(16, 16, OLIVE)
    rect(img, 1, 0, 10, 15, BLACK, WHITE)
    for y in (3, 5, 7, 9):
        line(img, 3, y, 8, y, GRAY)
    line(img, 6, 12, 14, 12, RED)
    line(img, 6, 11, 13, 11, RED)
    for i in range(4):
        line(img, 11 + i, 8 + i, 11 + i, 15 - i, RED)
    return img


GREY_OF = {BLACK: GRAY, WHITE: WHITE, SILVER: WHITE}


def greyed(img, transparent):
    out = []
    for row in img:
        out.append([c if c == transparent else GREY_OF.get(c, GRAY if c in (NAVY, MAROON, PURPLE, TEAL, GREEN, OLIVE,
                                                                              BLUE, RED) else SILVER) for c in row])
    return out


def bmp_4bpp(pixels):
    h, w = len(pixels), len(pixels[0])
    row_bytes = ((w * 4 + 31) // 32) * 4
    data = bytearray()
    for row in reversed(pixels):  # bottom-up
        packed = bytearray()
        for x in range(0, w, 2):
            packed.append((row[x] << 4) | row[x + 1])
        data += packed + bytes(row_bytes - len(packed))
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 4, 0, len(data), 0, 0, 16, 0)
    offset = 14 + len(header) + len(palette)
    return struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset) + header + palette + bytes(data)


def button(img):
    transparent = img[15][0]
    grey = greyed(img, transparent)
    return [a + b for a, b in zip(img, grey)]


def icon():
    img = canvas(32, 32, None)
    rect(img, 3, 9, 28, 28, BLACK, TEAL)          # a mould: a box...
    rect(img, 8, 4, 23, 12, BLACK, SILVER)         # ...with its lid lifted
    for y in range(15, 25):
        for x in range(9, 23):
            if abs(x - 15.5) + abs(y - 19.5) < 6:
                img[y][x] = YELLOW                 # and the part it casts
    line(img, 9, 19, 15, 13, BLACK)
    return img


def ico(pixels):
    h, w = 32, 32
    colours = [[0 if c is None else c for c in row] for row in pixels]
    xor = bmp_4bpp(colours)[14 + 40 + 64:]
    mask = bytearray()
    for row in reversed(pixels):
        bits = 0
        for x, c in enumerate(row):
            if c is None:
                bits |= 1 << (31 - x)
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    image = header + palette + xor + bytes(mask)
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", w, h, 16, 0, 1, 4, len(image), 22) + image


def main():
    out = os.path.join(os.path.dirname(__file__), "..", "..", "app", "res")
    os.makedirs(out, exist_ok=True)
    for name, picture in (("check", check_mark), ("delface", struck_face), ("delvx", corner_vertices),
                          ("export", document_arrow)):
        with open(os.path.join(out, name + ".bmp"), "wb") as f:
            f.write(bmp_4bpp(button(picture())))
    with open(os.path.join(out, "vexmold.ico"), "wb") as f:
        f.write(ico(icon()))


if __name__ == "__main__":
    main()
