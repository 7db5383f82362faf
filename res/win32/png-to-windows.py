#!/usr/bin/env python3
"""Turns the committed PNG pictures into what Windows resources hold.

    png-to-windows.py bmp IN.png OUT.bmp   24-bit bitmap (the alpha channel, if any, dropped)
    png-to-windows.py ico IN.png OUT.ico   one-image icon, 32-bit with its alpha channel

Reads only 8-bit, non-interlaced RGB and RGBA PNGs, which is what res/art/render.sh writes;
anything else is refused rather than converted wrongly. Standard library only.
"""
import struct
import sys
import zlib


def read_png(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace != 0:
        raise ValueError(f"{path}: only 8-bit non-interlaced RGB or RGBA is read")
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                best = left if pa <= pb and pa <= pc else up if pb <= pc else corner
                line[i] = (line[i] + best) & 0xFF
            elif kind != 0:
                raise ValueError(f"{path}: unknown filter {kind}")
        rows.append([tuple(line[x * channels:(x + 1) * channels]) for x in range(width)])
        previous = line
    return width, height, [[p if channels == 4 else p + (255,) for p in row] for row in rows]


def dib_header(width, height, bits):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, 0, 0, 0, 0, 0)


def padded(row):
    return row + b"\0" * (-len(row) % 4)


def bmp(width, height, rows):
    # Bottom-up rows of blue, green, red, each row padded to four bytes.
    pixels = b"".join(padded(bytes(c for r, g, b, _ in row for c in (b, g, r))) for row in reversed(rows))
    offset = 14 + 40
    return struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset) + \
        dib_header(width, height, 24) + pixels


def ico(width, height, rows):
    # The colour image, then the 1-bit mask that the oldest readers still want:
    # set where the picture is fully transparent. The DIB's height counts both.
    colour = b"".join(bytes(c for r, g, b, a in row for c in (b, g, r, a)) for row in reversed(rows))
    mask = b""
    for row in reversed(rows):
        bits = bytearray((width + 7) // 8)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += padded(bytes(bits))
    image = dib_header(width, height * 2, 32) + colour + mask
    entry = struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(image), 6 + 16)
    return struct.pack("<HHH", 0, 1, 1) + entry + image


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("bmp", "ico"):
        sys.exit(__doc__)
    kind, source, target = sys.argv[1:]
    picture = read_png(source)
    with open(target, "wb") as f:
        f.write(bmp(*picture) if kind == "bmp" else ico(*picture))


if __name__ == "__main__":
    main()
