#!/usr/bin/env python3
"""Draws the about dialog's picture (GIF87a, interlaced, two colours) and the window icon.

Run from this folder: python3 make_pictures.py. Needs nothing beyond Python's standard library
(the icons are written as 8-bit palette PNGs with 16 entries: the window's, and icons/ with the
sizes of the Linux desktop icon).
"""
import math
import random
import struct
import zlib

WIDTH, HEIGHT = 534, 645
INK, GROUND = 1, 0
ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)
PALETTE = [(0xFC, 0xF6, 0xB6), (0x91, 0x21, 0x21)]


class Canvas:
    def __init__(self, width, height, ground):
        self.width, self.height = width, height
        self.pixels = bytearray([ground] * (width * height))

    def disc(self, x, y, radius, colour):
        r2 = radius * radius
        for py in range(int(y - radius), int(y + radius) + 2):
            for px in range(int(x - radius), int(x + radius) + 2):
                if 0 <= px < self.width and 0 <= py < self.height:
                    if (px - x) ** 2 + (py - y) ** 2 <= r2:
                        self.pixels[py * self.width + px] = colour

    def stroke(self, points, radius, colour=INK):
        for (x0, y0), (x1, y1) in zip(points, points[1:]):
            steps = max(1, int(math.hypot(x1 - x0, y1 - y0) / max(radius * 0.5, 0.5)))
            for i in range(steps + 1):
                t = i / steps
                self.disc(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, radius, colour)


def bezier(p0, p1, p2, p3, n=40):
    out = []
    for i in range(n + 1):
        t = i / n
        u = 1 - t
        out.append((u**3 * p0[0] + 3 * u * u * t * p1[0] + 3 * u * t * t * p2[0] + t**3 * p3[0],
                    u**3 * p0[1] + 3 * u * u * t * p1[1] + 3 * u * t * t * p2[1] + t**3 * p3[1]))
    return out


def path(*segments):
    """Joined cubic segments: a start point followed by (c1, c2, end) triples."""
    start, rest = segments[0], segments[1:]
    out, here = [start], start
    for c1, c2, end in rest:
        out += bezier(here, c1, c2, end)[1:]
        here = end
    return out


def spiral(cx, cy, r0, r1, turns, start, direction, n=220):
    out = []
    for i in range(n + 1):
        t = i / n
        a = start + direction * t * turns * 2 * math.pi
        r = r0 + (r1 - r0) * t
        out.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return out


def mirror(points, axis):
    return [(2 * axis - x, y) for x, y in points]


def wobble(points, amount, seed):
    rng = random.Random(seed)
    return [(x + rng.uniform(-amount, amount), y + rng.uniform(-amount, amount)) for x, y in points]


def frame(canvas):
    for inset, seed in ((14, 1), (24, 2)):
        corners = [(inset, inset), (WIDTH - inset, inset), (WIDTH - inset, HEIGHT - inset),
                   (inset, HEIGHT - inset), (inset, inset)]
        line = []
        for (x0, y0), (x1, y1) in zip(corners, corners[1:]):
            for i in range(60):
                t = i / 60
                line.append((x0 + (x1 - x0) * t, y0 + (y1 - y0) * t))
        line.append(corners[-1])
        canvas.stroke(wobble(line, 1.6, seed), 2.2 if inset == 14 else 1.4)


def ram(canvas):
    # Head facing left: brow, long nose, muzzle, jaw and throat.
    canvas.stroke(path((300, 110), ((250, 95), (205, 120), (180, 160)),
                       ((150, 205), (110, 250), (95, 280)),
                       ((85, 300), (92, 318), (112, 322)),
                       ((135, 326), (150, 318), (165, 322)),
                       ((190, 330), (215, 340), (250, 335)),
                       ((280, 330), (300, 320), (315, 300))), 3.2)
    canvas.stroke(path((112, 322), ((128, 312), (140, 306), (152, 308))), 2.2)  # mouth
    canvas.stroke(path((100, 282), ((108, 276), (116, 280), (114, 288))), 2.4)  # nostril
    canvas.disc(196, 200, 8, INK)  # eye
    canvas.stroke(path((176, 188), ((188, 180), (206, 180), (218, 190))), 2.4)  # brow
    # The curled horn round the ear, and its ridges.
    canvas.stroke(spiral(330, 200, 95, 18, 1.55, -2.4, 1), 4.0)
    canvas.stroke(spiral(330, 200, 70, 12, 1.35, -2.2, 1), 2.2)
    for i in range(16):
        a = -2.4 + i * 0.52
        r = 95 - i * 4.6
        canvas.stroke([(330 + (r - 22) * math.cos(a), 200 + (r - 22) * math.sin(a)),
                       (330 + r * math.cos(a), 200 + r * math.sin(a))], 1.6)
    canvas.stroke(path((258, 248), ((245, 262), (238, 280), (250, 292))), 2.4)  # ear
    # Fleece on the neck.
    for row in range(3):
        for col in range(5):
            x, y = 330 + col * 26 + (row % 2) * 13, 300 + row * 22
            canvas.stroke(spiral(x, y, 10, 3, 1.2, 0, 1, 60), 1.6)


def lamb(canvas):
    # Head facing right, smaller, below the ram.
    head = path((170, 420), ((215, 395), (285, 400), (330, 430)),
                ((370, 455), (410, 480), (425, 505)),
                ((433, 520), (425, 535), (405, 538)),
                ((380, 542), (350, 548), (320, 560)),
                ((280, 575), (230, 570), (200, 545)))
    canvas.stroke(head, 3.0)
    canvas.stroke(path((405, 538), ((395, 530), (388, 526), (378, 528))), 2.0)  # mouth
    canvas.stroke(path((416, 500), ((410, 496), (404, 500), (406, 507))), 2.2)  # nostril
    canvas.disc(330, 470, 7, INK)  # eye
    canvas.stroke(path((315, 458), ((325, 452), (338, 452), (348, 460))), 2.0)  # lid
    # Drooping ear and the woolly crown.
    canvas.stroke(path((250, 440), ((215, 450), (185, 480), (178, 505)),
                       ((190, 500), (220, 480), (262, 458))), 2.8)
    for i in range(7):
        canvas.stroke(spiral(180 + i * 22, 415 + abs(3 - i) * 3, 11, 3, 1.1, 0, -1, 60), 1.8)
    for row in range(2):
        for col in range(4):
            x, y = 160 + col * 24 + (row % 2) * 12, 560 + row * 22
            canvas.stroke(spiral(x, y, 9, 3, 1.1, 0, -1, 60), 1.5)


def lzw_encode(indices, min_code_size):
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    codes, out_bits, bit_count = [], 0, 0
    data = bytearray()
    table = {bytes([i]): i for i in range(clear)}
    next_code, code_size = end + 1, min_code_size + 1

    def emit(code):
        nonlocal out_bits, bit_count
        out_bits |= code << bit_count
        bit_count += code_size
        while bit_count >= 8:
            data.append(out_bits & 0xFF)
            out_bits >>= 8
            bit_count -= 8

    emit(clear)
    current = b""
    for index in indices:
        candidate = current + bytes([index])
        if candidate in table:
            current = candidate
            continue
        emit(table[current])
        if next_code < 4096:
            table[candidate] = next_code
            next_code += 1
            if next_code > (1 << code_size) and code_size < 12:
                code_size += 1
        else:
            emit(clear)
            table = {bytes([i]): i for i in range(clear)}
            next_code, code_size = end + 1, min_code_size + 1
        current = bytes([index])
    if current:
        emit(table[current])
    emit(end)
    if bit_count:
        data.append(out_bits & 0xFF)
    del codes
    return bytes(data)


def write_gif(path_name, canvas):
    rows = list(range(0, canvas.height, 8)) + list(range(4, canvas.height, 8)) + \
        list(range(2, canvas.height, 4)) + list(range(1, canvas.height, 2))
    indices = bytearray()
    for y in rows:
        indices += canvas.pixels[y * canvas.width:(y + 1) * canvas.width]
    image = lzw_encode(indices, 2)
    out = bytearray(b"GIF87a")
    out += struct.pack("<HHBBB", canvas.width, canvas.height, 0x80, 0, 0)  # 2-entry table
    for r, g, b in PALETTE:
        out += bytes([r, g, b])
    out += b","  # image descriptor, interlaced
    out += struct.pack("<HHHHB", 0, 0, canvas.width, canvas.height, 0x40)
    out.append(2)
    for i in range(0, len(image), 255):
        chunk = image[i:i + 255]
        out.append(len(chunk))
        out += chunk
    out += b"\x00;"
    with open(path_name, "wb") as file:
        file.write(out)


def write_icon(path_name, size=32):
    # 16 colours: a dark-red ram's horn spiral on pale yellow, in a rounded square. Drawn for a
    # 32 x 32 square and scaled, so that every size of the Linux icon is the same drawing.
    scale = size / 32
    border, corner = max(1, round(scale)), max(2, round(3 * scale))
    palette = [(0xFC, 0xF6, 0xB6), (0x91, 0x21, 0x21), (0xC8, 0x6E, 0x4A), (0x5A, 0x10, 0x10)]
    palette += [(0, 0, 0)] * (16 - len(palette))
    canvas = Canvas(size, size, 0)
    for y in range(size):
        for x in range(size):
            near_corner = min(x, size - 1 - x) < corner and min(y, size - 1 - y) < corner
            if min(x, y, size - 1 - x, size - 1 - y) < border or near_corner:
                canvas.pixels[y * size + x] = 3
    middle = 16 * scale
    canvas.stroke(spiral(middle, middle, 12 * scale, 2 * scale, 1.6, -2.0, 1, 200), 1.7 * scale, 1)
    canvas.stroke(spiral(middle, middle, 9 * scale, 1 * scale, 1.3, -1.8, 1, 200), 0.8 * scale, 2)
    raw = b"".join(b"\x00" + bytes(canvas.pixels[y * size:(y + 1) * size]) for y in range(size))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + \
            struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 3, 0, 0, 0))
    png += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(path_name, "wb") as file:
        file.write(png)


def main():
    canvas = Canvas(WIDTH, HEIGHT, GROUND)
    frame(canvas)
    ram(canvas)
    lamb(canvas)
    write_gif("ram-and-lamb.gif", canvas)
    write_icon("tervalo-icon.png")
    # The sizes a Linux desktop looks for in share/icons/hicolor.
    for size in ICON_SIZES:
        write_icon(f"icons/tervalo-{size}.png", size)


if __name__ == "__main__":
    main()
