#!/usr/bin/env python3
"""Writes Beatwright's pixel art: the arrow sheet, the two seek-button strips
(XPM, compiled into the program) and the application icon: 128 x 128 for
the program, and the hicolor sizes 16 to 256 plus a scalable SVG to install.

The shapes below are the source; run `python3 res/make_images.py` after
changing them and commit the written files with the script.
"""

import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
RED = (251, 3, 3)
CYAN = (4, 252, 252)
GREEN = (0, 255, 0)
# Note colours by rhythmic position, as dance games show them; 4ths and 8ths
# keep the even- and odd-slot colours of the arrow sheet.
PURPLE = (168, 64, 232)
YELLOW = (248, 224, 0)
PINK = (255, 128, 200)
ORANGE = (255, 144, 0)
SKY = (96, 152, 255)
GREY = (168, 168, 168)
HOLD = (176, 240, 128)
NOTE_FILLS = [RED, CYAN, PURPLE, YELLOW, PINK, ORANGE, SKY, GREEN, GREY]

# One 16 x 16 arrow pointing up: '#' outline, 'o' fill, '.' background.
# The other three directions are this one mirrored and transposed, so all
# four share one outline.
UP_ARROW = [
    ".......##.......",
    "......#oo#......",
    ".....#oooo#.....",
    "....#oooooo#....",
    "...#oooooooo#...",
    "..#oooooooooo#..",
    ".#oooooooooooo#.",
    "#oooooooooooooo#",
    "#####oooooo#####",
    "....#oooooo#....",
    "....#oooooo#....",
    "....#oooooo#....",
    "....#oooooo#....",
    "....#oooooo#....",
    "....#oooooo#....",
    "....########....",
]

# One seek button, 32 wide and 34 tall: '#' outline, 'o' fill.
BUTTON_WIDTH = 32
BUTTON_HEIGHT = 34
BUTTON_GAP = 2

# One chevron pointing up, 2 pixels thick.
UP_CHEVRON = [
    ".....##.....",
    "....####....",
    "...##..##...",
    "..##....##..",
    ".##......##.",
    "##........##",
]
CHEVRON_PITCH = 5  # rows from one chevron's top to the next


def down(shape):
    return list(reversed(shape))


def left(shape):
    return ["".join(row[y] for row in shape) for y in range(len(shape[0]))]


def right(shape):
    return [row[::-1] for row in left(shape)]


def blank(width, height, colour=WHITE):
    return [[colour] * width for _ in range(height)]


def stamp(image, shape, x0, y0, colours):
    for y, row in enumerate(shape):
        for x, ch in enumerate(row):
            if ch in colours:
                image[y0 + y][x0 + x] = colours[ch]


def arrow_sheet():
    """64 x 64: columns Up, Down, Left, Right; rows target (white fill),
    even slot (red), odd slot (cyan), green."""
    image = blank(64, 64)
    shapes = [UP_ARROW, down(UP_ARROW), left(UP_ARROW), right(UP_ARROW)]
    for row, fill in enumerate([WHITE, RED, CYAN, GREEN]):
        for column, shape in enumerate(shapes):
            stamp(image, shape, 16 * column, 16 * row, {"#": BLACK, "o": fill})
    return image


def outlined(inside, size=16):
    """A shape from a predicate: '#' where an inside pixel touches the
    outside or the cell's edge, 'o' elsewhere inside."""
    rows = []
    for y in range(size):
        row = ""
        for x in range(size):
            if not inside(x, y):
                row += "."
            elif any(not (0 <= x + dx < size and 0 <= y + dy < size) or not inside(x + dx, y + dy)
                     for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))):
                row += "#"
            else:
                row += "o"
        rows.append(row)
    return rows


# The diagonal arrow of the six-panel pad, pointing up-left: a head in the
# corner and a stem as wide as the straight arrows' along the diagonal.
UP_LEFT_ARROW = outlined(
    lambda x, y: (x + y <= 10) or (abs(x - y) <= 3 and x + y >= 6 and max(x, y) <= 14))

# Hold body, one row repeated down the lane, and its tail: a bar narrower
# than the arrow's stem.
HOLD_BODY = ["...#oooooooo#..."] * 16
HOLD_TAIL = (["...#oooooooo#..."] * 6 + ["....#oooooo#....", ".....######....."]
             + ["................"] * 8)


def note_sheet():
    """96 x 192: columns Up, Down, Left, Right, Up-Left, Up-Right; rows
    target (white fill), one row per note colour (4th, 8th, 12th, 16th,
    24th, 32nd, 48th, 64th, finer), hold body, hold tail."""
    shapes = [UP_ARROW, down(UP_ARROW), left(UP_ARROW), right(UP_ARROW), UP_LEFT_ARROW,
              [row[::-1] for row in UP_LEFT_ARROW]]
    fills = [WHITE] + NOTE_FILLS
    image = blank(16 * len(shapes), 16 * (len(fills) + 2))
    for row, fill in enumerate(fills):
        for column, shape in enumerate(shapes):
            stamp(image, shape, 16 * column, 16 * row, {"#": BLACK, "o": fill})
    for column in range(len(shapes)):
        stamp(image, HOLD_BODY, 16 * column, 16 * len(fills), {"#": BLACK, "o": HOLD})
        stamp(image, HOLD_TAIL, 16 * column, 16 * (len(fills) + 1), {"#": BLACK, "o": HOLD})
    return image


def button():
    """A red button with cut corners and a black outline."""
    shape = []
    for y in range(BUTTON_HEIGHT):
        inset = max(0, 2 - y, y - (BUTTON_HEIGHT - 3))
        row = ""
        for x in range(BUTTON_WIDTH):
            if x < inset or x >= BUTTON_WIDTH - inset:
                row += "."
            elif (y in (0, BUTTON_HEIGHT - 1) or x in (inset, BUTTON_WIDTH - 1 - inset)
                  or (inset and x in (inset - 1, BUTTON_WIDTH - inset))):
                row += "#"
            else:
                row += "o"
        shape.append(row)
    # Outline the cut corners diagonally.
    shape = [list(r) for r in shape]
    for y in range(BUTTON_HEIGHT):
        for x in range(BUTTON_WIDTH):
            if shape[y][x] == "o" and any(
                    0 <= y + dy < BUTTON_HEIGHT and 0 <= x + dx < BUTTON_WIDTH
                    and shape[y + dy][x + dx] == "."
                    for dy in (-1, 0, 1) for dx in (-1, 0, 1)):
                shape[y][x] = "#"
    return ["".join(r) for r in shape]


def button_strip(chevron_counts, chevron):
    """32 x 106: three buttons 34 rows tall with 2 white rows between them."""
    height = 3 * BUTTON_HEIGHT + 2 * BUTTON_GAP
    image = blank(BUTTON_WIDTH, height)
    for index, count in enumerate(chevron_counts):
        top = index * (BUTTON_HEIGHT + BUTTON_GAP)
        stamp(image, button(), 0, top, {"#": BLACK, "o": RED})
        stack = len(chevron) + (count - 1) * CHEVRON_PITCH
        first = top + (BUTTON_HEIGHT - stack) // 2
        x0 = (BUTTON_WIDTH - len(chevron[0])) // 2
        for k in range(count):
            stamp(image, chevron, x0, first + k * CHEVRON_PITCH, {"#": WHITE})
    return image


def icon():
    """128 x 128: the four arrows, red and cyan, on a white tile."""
    size = 128
    image = [[None] * size for _ in range(size)]
    radius = 14
    for y in range(size):
        for x in range(size):
            cx = min(max(x, radius), size - 1 - radius)
            cy = min(max(y, radius), size - 1 - radius)
            d2 = (x - cx) ** 2 + (y - cy) ** 2
            if d2 <= radius ** 2:
                image[y][x] = BLACK if d2 > (radius - 3) ** 2 or min(
                    x, y, size - 1 - x, size - 1 - y) < 3 else WHITE
    scale = 3
    shapes = [left(UP_ARROW), UP_ARROW, down(UP_ARROW), right(UP_ARROW)]
    fills = [RED, CYAN, CYAN, RED]
    places = [(12, 40), (40, 12), (40, 68), (68, 40)]
    for shape, fill, (x0, y0) in zip(shapes, fills, places):
        for y, row in enumerate(shape):
            for x, ch in enumerate(row):
                colour = {"#": BLACK, "o": fill}.get(ch)
                if colour:
                    for dy in range(scale):
                        for dx in range(scale):
                            image[y0 + scale * y + dy][x0 + scale * x + dx] = colour
    return image


def write_xpm(path, name, image):
    colours = {WHITE: ".", BLACK: "#", RED: "r", CYAN: "c", GREEN: "g", PURPLE: "p",
               YELLOW: "y", PINK: "k", ORANGE: "o", SKY: "s", GREY: "e", HOLD: "h"}
    used = [c for c in colours if any(c in row for row in image)]
    lines = ["/* XPM */", "static const char* %s[] = {" % name,
             '"%d %d %d 1",' % (len(image[0]), len(image), len(used))]
    lines += ['"%s c #%02X%02X%02X",' % ((colours[c],) + c) for c in used]
    lines += ['"%s",' % "".join(colours[p] for p in row) for row in image]
    lines[-1] = lines[-1].rstrip(",")
    lines.append("};")
    with open(path, "w", newline="\n") as out:
        out.write("\n".join(lines) + "\n")


def write_png(path, image):
    rows = b""
    for row in image:
        rows += b"\0" + b"".join(
            bytes(p + (255,)) if p else b"\0\0\0\0" for p in row)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", len(image[0]), len(image), 8, 6, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                  + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def resized(image, size):
    """The icon at another size: whole-pixel doubling upwards, area averages
    (alpha-weighted) downwards, so small sizes stay legible."""
    source = len(image)
    if size % source == 0:
        k = size // source
        return [[image[y // k][x // k] for x in range(size)] for y in range(size)]
    out = []
    for y in range(size):
        row = []
        y0, y1 = y * source / size, (y + 1) * source / size
        for x in range(size):
            x0, x1 = x * source / size, (x + 1) * source / size
            total = [0.0, 0.0, 0.0]
            alpha = 0.0
            area = 0.0
            for sy in range(int(y0), min(source, int(y1 + 0.999999))):
                wy = min(y1, sy + 1) - max(y0, sy)
                for sx in range(int(x0), min(source, int(x1 + 0.999999))):
                    w = wy * (min(x1, sx + 1) - max(x0, sx))
                    area += w
                    p = image[sy][sx]
                    if p:
                        alpha += w
                        for i in range(3):
                            total[i] += w * p[i]
            if alpha < area * 0.5:
                row.append(None)
            else:
                row.append(tuple(int(round(t / alpha)) for t in total))
        out.append(row)
    return out


def write_svg(path, image):
    """One rectangle per horizontal run of a colour: the pixel art, scalable."""
    size = len(image)
    parts = ['<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 %d %d" '
             'width="%d" height="%d" shape-rendering="crispEdges">' % (size, size, size, size)]
    for y, row in enumerate(image):
        x = 0
        while x < size:
            colour = row[x]
            run = x
            while run < size and row[run] == colour:
                run += 1
            if colour:
                parts.append('<rect x="%d" y="%d" width="%d" height="1" fill="#%02x%02x%02x"/>'
                             % ((x, y, run - x) + colour))
            x = run
    parts.append("</svg>")
    with open(path, "w", newline="\n") as out:
        out.write("\n".join(parts) + "\n")


ICON_SIZES = [16, 22, 24, 32, 48, 64, 128, 256]


def main():
    write_xpm(os.path.join(HERE, "arrows.xpm"), "arrows", arrow_sheet())
    write_xpm(os.path.join(HERE, "notes.xpm"), "notes", note_sheet())
    write_xpm(os.path.join(HERE, "rewind.xpm"), "rewind", button_strip([1, 2, 3], UP_CHEVRON))
    write_xpm(os.path.join(HERE, "forward.xpm"), "forward",
              button_strip([3, 2, 1], down(UP_CHEVRON)))
    write_png(os.path.join(HERE, "beatwright-128.png"), icon())
    for size in ICON_SIZES:
        folder = os.path.join(HERE, "icons", "hicolor", "%dx%d" % (size, size), "apps")
        os.makedirs(folder, exist_ok=True)
        write_png(os.path.join(folder, "beatwright.png"), resized(icon(), size))
    folder = os.path.join(HERE, "icons", "hicolor", "scalable", "apps")
    os.makedirs(folder, exist_ok=True)
    write_svg(os.path.join(folder, "beatwright.svg"), icon())


if __name__ == "__main__":
    main()
