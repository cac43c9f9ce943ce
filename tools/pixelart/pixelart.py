#!/usr/bin/env python3
"""Writes Windows icon and cursor files from pixel art kept as text.

    pixelart.py ico OUT ART...          an icon, one 16-colour image per ART
    pixelart.py cur OUT ART HOTX HOTY   a monochrome cursor with its hot spot
    pixelart.py png OUT ART             a preview (8 times enlarged) for people

An ART file is a square of characters, one row of pixels a line, top row
first. "#" starts a comment line; blank lines are skipped. Every character is
one pixel of the standard 16-colour palette:

    .  transparent         0 black    1 maroon   2 green    3 olive
    ~  inverted screen     4 navy     5 purple   6 teal     7 silver
       (cursors only)      8 gray     9 red      a lime     b yellow
                           c blue     d fuchsia  e aqua     f white

A cursor knows only ".", "~", "0" and "f". Sizes are multiples of 8 up to
256. Any fault in an ART file is named with its file, line and column, and
nothing is written then.
"""

import struct
import sys
import zlib

PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
TRANSPARENT = "."
INVERTED = "~"
COLOURS = "0123456789abcdef"
CURSOR_PIXELS = ".~0f"
ICON_TYPE, CURSOR_TYPE = 1, 2
BITMAPINFOHEADER_SIZE = 40


class ArtError(Exception):
    pass


def read_art(path, allowed):
    """The rows of an ART file as strings of pixel characters."""
    rows = []
    with open(path, encoding="ascii") as art:
        for number, line in enumerate(art, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            for column, pixel in enumerate(line, 1):
                if pixel not in allowed:
                    raise ArtError(f"{path}:{number}:{column}: {pixel!r} is not a pixel here (one of {allowed})")
            if rows and len(line) != len(rows[0]):
                raise ArtError(f"{path}:{number}: {len(line)} pixels, the rows above have {len(rows[0])}")
            rows.append(line)
    size = len(rows)
    if size == 0 or size % 8 or size > 256 or len(rows[0]) != size:
        raise ArtError(f"{path}: {len(rows[0]) if rows else 0} by {size} pixels; "
                       "the art must be square, a multiple of 8 and at most 256")
    return rows


def padded(row_bytes):
    """A bitmap row: padded to a multiple of 4 bytes."""
    return bytes(row_bytes) + bytes(-len(row_bytes) % 4)


def pack_bits(bits):
    return [sum(bit << (7 - i) for i, bit in enumerate(bits[n:n + 8])) for n in range(0, len(bits), 8)]


def device_independent_bitmap(rows, bit_count, palette, xor_bits):
    """Header, palette, colour (XOR) image and AND mask, rows bottom-up.
    The mask is 1 where the screen shows through."""
    size = len(rows)
    colour = b""
    mask = b""
    for row in reversed(rows):
        values = [xor_bits(pixel) for pixel in row]
        if bit_count == 4:
            colour += padded([values[n] << 4 | values[n + 1] for n in range(0, size, 2)])
        else:
            colour += padded(pack_bits(values))
        mask += padded(pack_bits([1 if pixel in TRANSPARENT + INVERTED else 0 for pixel in row]))
    header = struct.pack("<IiiHHIIiiII", BITMAPINFOHEADER_SIZE, size, 2 * size, 1, bit_count, 0,
                         len(colour) + len(mask), 0, 0, len(palette), 0)
    colours = b"".join(struct.pack("<BBBB", blue, green, red, 0) for red, green, blue in palette)
    return header + colours + colour + mask


def icon_image(rows):
    return device_independent_bitmap(rows, 4, PALETTE,
                                      lambda pixel: 0 if pixel == TRANSPARENT else COLOURS.index(pixel))


def cursor_image(rows):
    # Black is palette entry 0, white entry 1; an inverted pixel is white
    # under a transparent mask.
    return device_independent_bitmap(rows, 1, [PALETTE[0], PALETTE[15]],
                                     lambda pixel: 1 if pixel in "f" + INVERTED else 0)


def resource_file(resource_type, images):
    """An .ico or .cur file: the directory, then the images. `images` holds
    (size, colour count, field 4, field 6, image bytes); fields 4 and 6 are
    planes and bits per pixel in an icon, the hot spot in a cursor."""
    directory = struct.pack("<HHH", 0, resource_type, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    for size, colour_count, field4, field6, image in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, colour_count, 0, field4, field6, len(image), offset)
        offset += len(image)
    return directory + entries + b"".join(image for *_, image in images)


def write_ico(out, arts):
    images = []
    for path in arts:
        rows = read_art(path, TRANSPARENT + COLOURS)
        images.append((len(rows), 16, 1, 4, icon_image(rows)))
    sizes = [size for size, *_ in images]
    if len(set(sizes)) != len(sizes):
        raise ArtError(f"two images of the same size: {sizes}")
    write(out, resource_file(ICON_TYPE, images))


def write_cur(out, art, hot_x, hot_y):
    rows = read_art(art, CURSOR_PIXELS)
    size = len(rows)
    if not (0 <= hot_x < size and 0 <= hot_y < size):
        raise ArtError(f"hot spot {hot_x},{hot_y} is outside the {size} by {size} cursor")
    write(out, resource_file(CURSOR_TYPE, [(size, 2, hot_x, hot_y, cursor_image(rows))]))


def write_png(out, art, scale=8):
    """A preview: transparent pixels as a chequer, inverted ones as magenta."""
    rows = read_art(art, TRANSPARENT + INVERTED + COLOURS)
    lines = []
    for y, row in enumerate(rows):
        line = bytearray()
        for x, pixel in enumerate(row):
            if pixel == TRANSPARENT:
                rgb = (0xE0, 0xE0, 0xE0) if (x + y) % 2 else (0xFF, 0xFF, 0xFF)
            elif pixel == INVERTED:
                rgb = (0xFF, 0x00, 0xFF)
            else:
                rgb = PALETTE[COLOURS.index(pixel)]
            line += bytes(rgb) * scale
        lines += [b"\0" + bytes(line)] * scale
    size = len(rows) * scale

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    write(out, b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0))
          + chunk(b"IDAT", zlib.compress(b"".join(lines))) + chunk(b"IEND", b""))


def write(path, data):
    with open(path, "wb") as out:
        out.write(data)


def main(argv):
    try:
        if len(argv) >= 3 and argv[0] == "ico":
            write_ico(argv[1], argv[2:])
        elif len(argv) == 5 and argv[0] == "cur":
            write_cur(argv[1], argv[2], int(argv[3]), int(argv[4]))
        elif len(argv) == 3 and argv[0] == "png":
            write_png(argv[1], argv[2])
        else:
            sys.stderr.write(__doc__.split("\n\n")[1] + "\n")
            return 2
    except (ArtError, OSError, ValueError) as error:
        sys.stderr.write(f"pixelart: {error}\n")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
