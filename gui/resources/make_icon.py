#!/usr/bin/env python3
"""Turns the window icon (tervalo-icon.png) into tervalo.ico, the icon of the Windows programs.

Run from this folder after make_pictures.py: python3 make_icon.py. Standard library only. The icon
holds one 32 x 32 image as a 32-bit BGRA bitmap with its AND mask, which every Windows shows.
"""
import struct
import zlib


def read_png(path):
    """Width, height and rows of (r, g, b, a) for an 8-bit palette or RGB(A) PNG."""
    data = open(path, 'rb').read()
    assert data[:8] == b'\x89PNG\r\n\x1a\n', 'not a PNG file'
    at, idat, palette, alpha = 8, b'', [], []
    while at < len(data):
        length, kind = struct.unpack('>I4s', data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        at += 12 + length
        if kind == b'IHDR':
            width, height, depth, colour, _, _, interlace = struct.unpack('>IIBBBBB', body)
            assert depth == 8 and interlace == 0 and colour in (2, 3, 6), 'unsupported PNG'
        elif kind == b'PLTE':
            palette = [tuple(body[i:i + 3]) for i in range(0, len(body), 3)]
        elif kind == b'tRNS':
            alpha = list(body)
        elif kind == b'IDAT':
            idat += body
    channels = {2: 3, 3: 1, 6: 4}[colour]
    stride = width * channels
    raw = zlib.decompress(idat)
    previous = bytearray(stride)
    rows = []
    for y in range(height):
        line = raw[y * (stride + 1):(y + 1) * (stride + 1)]
        kind, line = line[0], bytearray(line[1:])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                predictor = left if pa <= pb and pa <= pc else (up if pb <= pc else corner)
                line[i] = (line[i] + predictor) & 255
        previous = line
        if colour == 3:
            rows.append([palette[v] + ((alpha[v] if v < len(alpha) else 255),) for v in line])
        elif colour == 2:
            rows.append([tuple(line[i:i + 3]) + (255,) for i in range(0, stride, 3)])
        else:
            rows.append([tuple(line[i:i + 4]) for i in range(0, stride, 4)])
    return width, height, rows


def ico(width, height, rows):
    # The bitmap is stored bottom-up, its header doubling the height for the AND mask.
    pixels = b''.join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = ((width + 31) // 32) * 4
    mask = b''
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    header = struct.pack('<IiiHHIIiiII', 40, width, height * 2, 1, 32, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    image = header + pixels + mask
    directory = struct.pack('<BBBBHHII', width % 256, height % 256, 0, 0, 1, 32, len(image), 22)
    return struct.pack('<HHH', 0, 1, 1) + directory + image


if __name__ == '__main__':
    with open('tervalo.ico', 'wb') as out:
        out.write(ico(*read_png('tervalo-icon.png')))
