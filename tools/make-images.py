#!/usr/bin/env python3
"""Draws Pellora's pictures and writes them into resources/:

  resources/images/*.gif    the ten icons the server serves under /@name
  resources/window/main.gif the picture in the main window (300x200)
  resources/window/pellora.png  the application icon (64x64)
  resources/icons/pellora-N.png the same icon at the desktop's other sizes (16 to 256)

Standard library only: the GIF (LZW) and PNG encoders are below. Every file is decoded
again after writing and compared with what was drawn, so a faulty encoder fails here.

  python3 tools/make-images.py [--preview DIR]

--preview also writes each picture enlarged as a PNG into DIR, to look at.
"""
import math
import os
import struct
import sys
import zlib

# ---------------------------------------------------------------------------------------
# Encoders

def lzw_encode(indices, min_code_size):
    """GIF's variable-width LZW; codes packed least significant bit first."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out, bit_buffer, bit_count = bytearray(), 0, 0
    size, next_code, table = min_code_size + 1, end + 1, {}

    def emit(code):
        nonlocal bit_buffer, bit_count
        bit_buffer |= code << bit_count
        bit_count += size
        while bit_count >= 8:
            out.append(bit_buffer & 0xFF)
            bit_buffer >>= 8
            bit_count -= 8

    emit(clear)
    prefix = indices[0]
    for value in indices[1:]:
        key = (prefix, value)
        if key in table:
            prefix = table[key]
            continue
        emit(prefix)
        if next_code < 4096:
            table[key] = next_code
            next_code += 1
            # The decoder adds its entries one code later, so it widens when the
            # encoder's next free code has passed the current width.
            if next_code > (1 << size) and size < 12:
                size += 1
        else:
            emit(clear)
            table, next_code, size = {}, end + 1, min_code_size + 1
        prefix = value
    emit(prefix)
    emit(end)
    if bit_count:
        out.append(bit_buffer & 0xFF)
    return bytes(out)


def encode_gif(width, height, palette, indices, transparent=None):
    """palette: list of (r, g, b), at most 256; indices: width*height palette indices."""
    bits = max(1, (len(palette) - 1).bit_length())
    table = list(palette) + [(0, 0, 0)] * ((1 << bits) - len(palette))
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", width, height, 0x80 | ((bits - 1) << 4) | (bits - 1), 0, 0)
    for r, g, b in table:
        out += bytes((r, g, b))
    if transparent is not None:
        out += bytes((0x21, 0xF9, 4, 0x01, 0, 0, transparent, 0))
    out += b"\x2C" + struct.pack("<HHHHB", 0, 0, width, height, 0)
    min_code_size = max(2, bits)
    data = lzw_encode(indices, min_code_size)
    out.append(min_code_size)
    for start in range(0, len(data), 255):
        chunk = data[start:start + 255]
        out.append(len(chunk))
        out += chunk
    out += b"\x00\x3B"
    return bytes(out)


def encode_png(width, height, rgba):
    """rgba: width*height (r, g, b, a) tuples; 8-bit RGBA, no filtering."""
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for pixel in rgba[y * width:(y + 1) * width]:
            raw += bytes(pixel)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))

# ---------------------------------------------------------------------------------------
# Decoders, to check what the encoders wrote

def decode_gif(data):
    """Returns (width, height, palette, indices, transparent) of a one-image GIF."""
    if data[:6] not in (b"GIF87a", b"GIF89a"):
        raise ValueError("not a GIF")
    width, height, flags = struct.unpack("<HHB", data[6:11])
    position = 13
    palette = []
    if flags & 0x80:
        count = 2 << (flags & 7)
        palette = [tuple(data[position + 3 * i:position + 3 * i + 3]) for i in range(count)]
        position += 3 * count
    transparent = None
    while data[position] == 0x21:
        label = data[position + 1]
        if label == 0xF9 and data[position + 3] & 1:
            transparent = data[position + 6]
        position += 2
        while data[position]:
            position += data[position] + 1
        position += 1
    if data[position] != 0x2C:
        raise ValueError("no image descriptor")
    _, _, image_width, image_height, image_flags = struct.unpack("<HHHHB", data[position + 1:position + 10])
    if (image_width, image_height) != (width, height) or image_flags & 0xC0:
        raise ValueError("unexpected image descriptor")
    position += 10
    min_code_size = data[position]
    position += 1
    stream = bytearray()
    while data[position]:
        stream += data[position + 1:position + 1 + data[position]]
        position += data[position] + 1
    if data[position + 1] != 0x3B:
        raise ValueError("no trailer")

    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    size, table, previous, out = min_code_size + 1, None, None, []
    bit_position = 0
    while True:
        if bit_position + size > 8 * len(stream):
            raise ValueError("data ends without an end code")
        code = (int.from_bytes(stream[bit_position // 8:bit_position // 8 + 3], "little") >> (bit_position % 8)) & ((1 << size) - 1)
        bit_position += size
        if code == clear:
            table = [[i] for i in range(clear)] + [None, None]
            size, previous = min_code_size + 1, None
            continue
        if code == end:
            break
        if table is None:
            raise ValueError("data does not start with a clear code")
        if previous is None:
            entry = table[code]
        else:
            if code < len(table):
                entry = table[code]
            elif code == len(table):
                entry = previous + previous[:1]
            else:
                raise ValueError("code out of range")
            if len(table) < 4096:
                table.append(previous + entry[:1])
                if len(table) == (1 << size) and size < 12:
                    size += 1
        out.extend(entry)
        previous = entry
    if len(out) != width * height:
        raise ValueError("pixel count %d, expected %d" % (len(out), width * height))
    return width, height, palette, out, transparent


def decode_png(data):
    """Returns (width, height, rgba) of an unfiltered 8-bit RGBA PNG as written above."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    position, idat = 8, b""
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        if struct.unpack(">I", data[position + 8 + length:position + 12 + length])[0] != zlib.crc32(kind + body):
            raise ValueError("bad CRC in " + kind.decode())
        if kind == b"IHDR":
            width, height = struct.unpack(">II", body[:8])
        elif kind == b"IDAT":
            idat += body
        position += 12 + length
    raw = zlib.decompress(idat)
    stride = 1 + 4 * width
    rgba = []
    for y in range(height):
        row = raw[y * stride:(y + 1) * stride]
        if row[0] != 0:
            raise ValueError("unexpected filter")
        rgba += [tuple(row[1 + 4 * x:5 + 4 * x]) for x in range(width)]
    return width, height, rgba

# ---------------------------------------------------------------------------------------
# The ten icons, drawn pixel by pixel (16x16, '.' is transparent)

COLOURS = {
    "k": (32, 32, 32), "w": (255, 255, 255), "g": (200, 200, 200), "G": (128, 128, 128),
    "b": (58, 120, 216), "B": (28, 63, 140), "c": (168, 216, 255), "e": (60, 176, 67),
    "E": (30, 110, 40), "y": (255, 214, 90), "Y": (214, 160, 40), "r": (216, 58, 42),
    "n": (139, 90, 43), "u": (250, 240, 215), "s": (255, 190, 0),
}

PAGE = [
    "..kkkkkkkkk.....",
    "..kwwwwwwwkk....",
    "..kwwwwwwwkgk...",
    "..kwwwwwwwkggk..",
    "..kwwwwwwwkkkk..",
] + ["..kwwwwwwwwwwk.."] * 10 + ["..kkkkkkkkkkkk.."]


def page_with(row, column, overlay):
    """The blank page with `overlay` laid on from (row, column); '.' leaves the page."""
    rows = [list(line) for line in PAGE]
    for dy, line in enumerate(overlay):
        for dx, char in enumerate(line):
            if char != ".":
                rows[row + dy][column + dx] = char
    return ["".join(line) for line in rows]


ICONS = {
    # A web page: a globe on the page.
    "file_htm.gif": page_with(6, 4, [
        "..BBBB..",
        ".BeebbB.",
        "BeeebbbB",
        "BeeeebeB",
        "BbeebbeB",
        "BbbbbeeB",
        ".BbbbeB.",
        "..BBBB..",
    ]),
    # Text: lines of writing.
    "file_txt.gif": page_with(2, 4, [
        "GGGGG",
        "",
        "",
        "",
        "GGGGGGGG",
        "",
        "GGGGGG",
        "",
        "GGGGGGGG",
        "",
        "GGGGGGG",
        "",
        "GGGG",
    ]),
    # A picture: sky, sun and hills in a frame.
    "file_img.gif": page_with(6, 4, [
        "GGGGGGGG",
        "GccccssG",
        "GccccssG",
        "GccEcccG",
        "GcEEEcEG",
        "GEEEEEEG",
        "GeeeeeeG",
        "GGGGGGGG",
    ]),
    # Sound: a pair of eighth notes.
    "file_aud.gif": page_with(5, 4, [
        "..kkkkkk",
        "..kkkkkk",
        "..k....k",
        "..k....k",
        "..k....k",
        ".kk...kk",
        "kkk..kkk",
        "kk...kk.",
    ]),
    # Video: a strip of film, its frames between rows of sprocket holes.
    "file_vid.gif": [
        "................",
        "................",
        "................",
        "kkkkkkkkkkkkkkkk",
        "kwkkwkkwkkwkkwkk",
        "kkkkkkkkkkkkkkkk",
        "kcccckcccckcccck",
        "kcscckcccckcccsk",
        "kcEcckceEckEccck",
        "kEeEckEeeEkeEcEk",
        "kkkkkkkkkkkkkkkk",
        "kwkkwkkwkkwkkwkk",
        "kkkkkkkkkkkkkkkk",
        "................",
        "................",
        "................",
    ],
    # A program: a window with a title bar and a gear.
    "file_app.gif": [
        "................",
        ".kkkkkkkkkkkkkk.",
        ".kbbbbbbbbbbbbk.",
        ".kbbbbbbbbbwwbk.",
        ".kkkkkkkkkkkkkk.",
        ".kggggggggggggk.",
        ".kgggggGGgggggk.",
        ".kggGgGGGGgGggk.",
        ".kgggGGggGGgggk.",
        ".kggGGggggGGggk.",
        ".kggGGggggGGggk.",
        ".kgggGGggGGgggk.",
        ".kggGgGGGGgGggk.",
        ".kgggggGGgggggk.",
        ".kkkkkkkkkkkkkk.",
        "................",
    ],
    "file.gif": PAGE,
    "dir.gif": [
        "................",
        "................",
        ".kkkkkk.........",
        "kYYYYYYk........",
        "kYYYYYYYkkkkkkkk",
        "kYYYYYYYYYYYYYYk",
        "kkkkkkkkkkkkkkkk",
        "kyyyyyyyyyyyyyyk",
        "kyyyyyyyyyyyyyyk",
        "kyyyyyyyyyyyyyyk",
        "kyyyyyyyyyyyyyyk",
        "kyyyyyyyyyyyyyyk",
        "kyyyyyyyyyyyyyyk",
        "kYYYYYYYYYYYYYYk",
        "kkkkkkkkkkkkkkkk",
        "................",
    ],
    "home.gif": [
        "................",
        ".......kk.......",
        "......krrk......",
        ".....krrrrk.....",
        "....krrrrrrk....",
        "...krrrrrrrrk...",
        "..krrrrrrrrrrk..",
        ".krrrrrrrrrrrrk.",
        "kkkkkkkkkkkkkkkk",
        ".kuuuuuuuuuuuuk.",
        ".kukkkkuukkkkuk.",
        ".kuknnkuukcckuk.",
        ".kuknnkuukcckuk.",
        ".kuknnkuukkkkuk.",
        ".kuknnkuuuuuuuk.",
        ".kkkkkkkkkkkkkk.",
    ],
    "upload.gif": [
        "................",
        ".......kk.......",
        "......keek......",
        ".....keeeek.....",
        "....keeeeeek....",
        "...keeeeeeeek...",
        "..keeeeeeeeeek..",
        "..kkkkeeeekkkk..",
        ".....keeeek.....",
        ".....keeeek.....",
        ".....keeeek.....",
        ".....kkkkkk.....",
        ".kk..........kk.",
        ".kGk........kGk.",
        ".kGGkkkkkkkkGGk.",
        ".kkkkkkkkkkkkkk.",
    ],
}

ICON_ORDER = ["file_htm.gif", "file_txt.gif", "file_img.gif", "file_aud.gif", "file_vid.gif",
              "file_app.gif", "file.gif", "dir.gif", "home.gif", "upload.gif"]


def icon_pixels(rows):
    """(width, height, palette, indices, transparent index) of a pixel drawing."""
    width = len(rows[0])
    if any(len(row) != width for row in rows):
        raise ValueError("ragged drawing")
    used = sorted({char for row in rows for char in row} - {"."})
    palette = [(255, 0, 255)] + [COLOURS[char] for char in used]
    index = {char: i + 1 for i, char in enumerate(used)}
    index["."] = 0
    return width, len(rows), palette, [index[char] for row in rows for char in row], 0

# ---------------------------------------------------------------------------------------
# The window picture and the application icon, drawn as shapes and antialiased

def mix(under, over, alpha):
    return tuple(u + (o - u) * alpha for u, o in zip(under, over))


def folder_and_globe(x, y):
    """The emblem in a unit square: a folder with a globe in front. None outside it."""
    colour = None
    # Folder back with its tab, then the front panel.
    if (0.06 <= x <= 0.36 and 0.14 <= y <= 0.30) or (0.06 <= x <= 0.84 and 0.22 <= y <= 0.80):
        colour = (214, 160, 40)
    if 0.06 <= x <= 0.84 and 0.34 <= y <= 0.80:
        colour = (255, 214, 90) if y > 0.36 else (255, 236, 160)
    cx, cy, r = 0.68, 0.64, 0.30
    dx, dy = (x - cx) / r, (y - cy) / r
    d2 = dx * dx + dy * dy
    if d2 <= 1.0:
        nz = math.sqrt(1.0 - d2)
        light = max(0.0, -0.45 * dx - 0.55 * dy + 0.70 * nz)
        colour = mix((20, 50, 120), (90, 160, 240), light)
        latitude = math.degrees(math.asin(max(-1.0, min(1.0, -dy))))
        longitude = math.degrees(math.atan2(dx, nz))
        near = lambda angle: abs((angle + 15.0) % 30.0 - 15.0) < 1.6
        if near(latitude) or near(longitude):
            colour = mix(colour, (235, 245, 255), 0.8)
        if d2 > 0.90:
            colour = (14, 36, 90)
    return colour


# 5x7 letters, enough for the name and its line below.
FONT = {
    "P": ["1111.", "1...1", "1...1", "1111.", "1....", "1....", "1...."],
    "W": ["1...1", "1...1", "1...1", "1.1.1", "1.1.1", "11.11", "1...1"],
    "S": [".1111", "1....", "1....", ".111.", "....1", "....1", "1111."],
    "a": [".....", ".....", ".111.", "....1", ".1111", "1...1", ".1111"],
    "b": ["1....", "1....", "1111.", "1...1", "1...1", "1...1", "1111."],
    "e": [".....", ".....", ".111.", "1...1", "11111", "1....", ".111."],
    "l": [".11..", "..1..", "..1..", "..1..", "..1..", "..1..", ".111."],
    "n": [".....", ".....", "1111.", "1...1", "1...1", "1...1", "1...1"],
    "o": [".....", ".....", ".111.", "1...1", "1...1", "1...1", ".111."],
    "r": [".....", ".....", "1.11.", "11..1", "1....", "1....", "1...."],
    "s": [".....", ".....", ".1111", "1....", ".111.", "....1", "1111."],
    "v": [".....", ".....", "1...1", "1...1", "1...1", ".1.1.", "..1.."],
    " ": [".....", ".....", ".....", ".....", ".....", ".....", "....."],
}


def text_cells(text, left, top, scale):
    """The set of pixels (x, y) that `text` covers, 6 columns a letter."""
    cells = set()
    for i, letter in enumerate(text):
        for row, line in enumerate(FONT[letter]):
            for column, bit in enumerate(line):
                if bit == "1":
                    for sy in range(scale):
                        for sx in range(scale):
                            cells.add((left + (6 * i + column) * scale + sx, top + row * scale + sy))
    return cells


def render(width, height, shade, samples=4):
    """Averages shade(x, y) -> (r, g, b, a) over samples*samples points of each pixel."""
    pixels = []
    for py in range(height):
        for px in range(width):
            total = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    r, g, b, a = shade(px + (sx + 0.5) / samples, py + (sy + 0.5) / samples)
                    total[0] += r * a
                    total[1] += g * a
                    total[2] += b * a
                    total[3] += a
            n = samples * samples
            a = total[3] / n
            if a == 0:
                pixels.append((0, 0, 0, 0))
            else:
                pixels.append(tuple(round(total[i] / total[3]) for i in range(3)) + (round(255 * a),))
    return pixels


def window_picture():
    width, height = 300, 200
    title = "Pellora"
    subtitle = "Personal Web Server"
    title_scale, sub_scale = 5, 2
    title_left = (width - (6 * len(title) - 1) * title_scale) // 2
    sub_left = (width - (6 * len(subtitle) - 1) * sub_scale) // 2
    title_cells = text_cells(title, title_left, 122, title_scale)
    shadow_cells = text_cells(title, title_left + 3, 125, title_scale)
    sub_cells = text_cells(subtitle, sub_left, 172, sub_scale)
    size, left, top = 108.0, (width - 108.0) / 2, 8.0

    def shade(x, y):
        colour = mix((12, 30, 78), (70, 130, 200), y / height)
        emblem = folder_and_globe((x - left) / size, (y - top) / size)
        if emblem:
            colour = emblem
        cell = (int(x), int(y))
        if cell in shadow_cells:
            colour = mix(colour, (0, 0, 0), 0.5)
        if cell in title_cells:
            colour = (255, 255, 255)
        if cell in sub_cells:
            colour = (255, 236, 160)
        return colour + (1.0,)

    rgb = [pixel[:3] for pixel in render(width, height, shade, 3)]
    palette, indices = quantize(rgb, 256)
    return width, height, palette, indices


# The sizes the desktop's icon theme (hicolor) is given besides the 64x64 one.
ICON_SIZES = (16, 24, 32, 48, 128, 256)


def app_icon(pixels=64):
    """Drawn on a 64-unit grid, sampled at `pixels` across."""
    size, scale = 64, 64.0 / pixels

    def shade(x, y):
        x, y = x * scale, y * scale
        # A rounded blue tile behind the emblem.
        corner, inset = 10.0, 2.0
        qx = max(inset + corner - x, 0.0, x - (size - inset - corner))
        qy = max(inset + corner - y, 0.0, y - (size - inset - corner))
        if qx * qx + qy * qy > corner * corner:
            return (0, 0, 0, 0.0)
        colour = mix((40, 90, 170), (20, 45, 110), y / size)
        emblem = folder_and_globe((x - 4) / 56.0, (y - 2) / 56.0)
        return (emblem or colour) + (1.0,)

    return pixels, pixels, render(pixels, pixels, shade, 4)


def quantize(pixels, count):
    """Median cut: splits the colour box with the widest channel until `count` boxes."""
    boxes = [sorted(set(pixels))]
    while len(boxes) < count:
        best, best_range, best_channel = None, 0, 0
        for i, box in enumerate(boxes):
            for channel in range(3):
                values = [colour[channel] for colour in box]
                spread = max(values) - min(values)
                if spread > best_range:
                    best, best_range, best_channel = i, spread, channel
        if best is None:
            break
        box = sorted(boxes.pop(best), key=lambda colour: colour[best_channel])
        half = len(box) // 2
        boxes += [box[:half], box[half:]]
    palette = [tuple(round(sum(c[i] for c in box) / len(box)) for i in range(3)) for box in boxes]
    lookup = {colour: i for i, box in enumerate(boxes) for colour in box}
    return palette, [lookup[pixel] for pixel in pixels]

# ---------------------------------------------------------------------------------------

def write_gif(path, width, height, palette, indices, transparent=None):
    data = encode_gif(width, height, palette, indices, transparent)
    w, h, decoded_palette, decoded, decoded_transparent = decode_gif(data)
    if (w, h) != (width, height) or decoded_transparent != transparent:
        raise SystemExit("%s: header does not decode as written" % path)
    if [decoded_palette[i] for i in decoded] != [palette[i] for i in indices]:
        raise SystemExit("%s: pixels do not decode as drawn" % path)
    with open(path, "wb") as file:
        file.write(data)
    return w, h, [decoded_palette[i] + ((0,) if i == transparent else (255,)) for i in decoded]


def write_png(path, width, height, rgba):
    data = encode_png(width, height, rgba)
    if decode_png(data) != (width, height, rgba):
        raise SystemExit("%s: pixels do not decode as drawn" % path)
    with open(path, "wb") as file:
        file.write(data)
    return width, height, rgba


def write_preview(path, width, height, rgba, scale):
    """Enlarged, transparency shown as a checkerboard."""
    out = []
    for y in range(height * scale):
        for x in range(width * scale):
            r, g, b, a = rgba[(y // scale) * width + x // scale]
            board = (220, 220, 220) if ((x // 4) + (y // 4)) % 2 else (250, 250, 250)
            out.append(tuple(round(v) for v in mix(board, (r, g, b), a / 255)) + (255,))
    with open(path, "wb") as file:
        file.write(encode_png(width * scale, height * scale, out))


def main(arguments):
    preview = None
    if arguments[:1] == ["--preview"] and len(arguments) == 2:
        preview = arguments[1]
        os.makedirs(preview, exist_ok=True)
    elif arguments:
        raise SystemExit(__doc__)
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources")
    images, window = os.path.join(root, "images"), os.path.join(root, "window")
    icons = os.path.join(root, "icons")
    for folder in (images, window, icons):
        os.makedirs(folder, exist_ok=True)

    written = []
    for name in ICON_ORDER:
        result = write_gif(os.path.join(images, name), *icon_pixels(ICONS[name]))
        written.append((name, result, 8))
    written.append(("main.gif", write_gif(os.path.join(window, "main.gif"), *window_picture()), 2))
    written.append(("pellora.png", write_png(os.path.join(window, "pellora.png"), *app_icon()), 4))
    for size in ICON_SIZES:
        name = "pellora-%d.png" % size
        written.append((name, write_png(os.path.join(icons, name), *app_icon(size)), max(1, 256 // size)))
    for name, (width, height, rgba), scale in written:
        print("%-14s %dx%d" % (name, width, height))
        if preview:
            write_preview(os.path.join(preview, name.rsplit(".", 1)[0] + ".png"), width, height, rgba, scale)


if __name__ == "__main__":
    main(sys.argv[1:])
