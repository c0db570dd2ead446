"""Real X input and what the screen shows, for driving a whole program under
Xvfb: xdotool sends the clicks, keys and drags through the X server, and
ImageMagick's import reads the pixels back."""

import subprocess
import time

HIGHLIGHT = (48, 140, 198)  # the selection colour of the program's look


class TimedOut(AssertionError):
    pass


def wait_for(what, probe, timeout=20.0, interval=0.1):
    """Polls `probe` until it returns something true; that value is returned."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise TimedOut("timed out waiting for " + what)
        time.sleep(interval)


def xdotool(*args, check=True):
    result = subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True)
    if check and result.returncode != 0:
        raise AssertionError("xdotool %s failed: %s" % (" ".join(map(str, args)), result.stderr))
    return result.stdout


class Shot:
    """One screenshot, as 8-bit RGB."""

    def __init__(self, ppm):
        # P6, width, height, maximum, then the pixels after one whitespace byte.
        fields, pos = [], 0
        while len(fields) < 4:
            while ppm[pos:pos + 1].isspace():
                pos += 1
            end = pos
            while not ppm[end:end + 1].isspace():
                end += 1
            fields.append(ppm[pos:end])
            pos = end
        if fields[0] != b"P6" or fields[3] != b"255":
            raise AssertionError("unexpected screenshot format %r" % fields)
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = ppm[pos + 1:]

    def px(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])

    def rows_with(self, colour, x, top, bottom):
        return [y for y in range(top, bottom) if self.px(x, y) == colour]

    def rows_mostly(self, colour, left, right, top, bottom, tolerance=24):
        """Rows where most of [left, right) is near the colour: text on it
        aside, and shaded (a selection is drawn with a gradient)."""
        xs = range(left, right, 5)

        def near(c):
            return max(abs(a - b) for a, b in zip(c, colour)) <= tolerance
        return [y for y in range(top, bottom) if sum(near(self.px(x, y)) for x in xs) * 2 > len(xs)]

    def dark_columns(self, top, bottom, left=0, right=None):
        right = self.width if right is None else right
        return [x for x in range(left, right)
                if any(sum(self.px(x, y)) < 300 for y in range(top, bottom))]


def screenshot(window="root"):
    data = subprocess.run(["import", "-window", str(window), "-depth", "8", "ppm:-"],
                          capture_output=True, check=True).stdout
    return Shot(data)


def save_screenshot(path):
    subprocess.run(["import", "-window", "root", path], check=True)


def clusters(values, gap):
    """Runs of sorted integers whose neighbours are at most `gap` apart."""
    runs = []
    for v in values:
        if runs and v - runs[-1][1] <= gap:
            runs[-1][1] = v
        else:
            runs.append([v, v])
    return [tuple(r) for r in runs]


def display_size():
    w, h = xdotool("getdisplaygeometry").split()
    return int(w), int(h)


def geometry(window):
    values = dict(line.split("=", 1) for line in xdotool("getwindowgeometry", "--shell", window).split())
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def visible_windows(name_pattern):
    found = xdotool("search", "--onlyvisible", "--name", name_pattern, check=False)
    return [int(w) for w in found.split()]


def click(x, y, button=1):
    xdotool("mousemove", x, y, "click", button)


def double_click(x, y):
    xdotool("mousemove", x, y, "click", "--repeat", 2, "--delay", 80, 1)


def keys(*names):
    for name in names:
        xdotool("key", name)


def type_text(text):
    # Each character outside the keymap is typed through a keycode that
    # xdotool remaps first; without time between them a busy client can
    # miss one.
    xdotool("type", "--delay", 8 if text.isascii() else 60, text)


def drag(start, end, steps=12):
    """Presses at `start`, moves in steps (a drag needs several motions to
    start) and releases at `end`."""
    args = ["mousemove", start[0], start[1], "mousedown", 1]
    for i in range(1, steps + 1):
        x = start[0] + (end[0] - start[0]) * i // steps
        y = start[1] + (end[1] - start[1]) * i // steps
        args += ["sleep", 0.04, "mousemove", x, y]
    args += ["sleep", 0.3, "mouseup", 1]
    xdotool(*args)


def dialog_buttons(window):
    """The push buttons of a small dialog, left to right, as (centre x,
    centre y, is default) in screen coordinates: found as pairs of framed
    columns in the lowest row that has them."""
    left, top, _, _ = geometry(window)
    shot = screenshot(window)
    for y in range(shot.height - 8, shot.height // 2, -1):
        background = shot.px(1, y)
        borders = [x for x in range(shot.width)
                   if shot.px(x, y) != background
                   and all(shot.px(x, y + d) == shot.px(x, y) for d in range(-6, 7))]
        edges = [a for a, _ in clusters(borders, 1)]
        if len(edges) >= 4 and len(edges) % 2 == 0:
            buttons = []
            for a, b in zip(edges[0::2], edges[1::2]):
                r, g, bl = shot.px(a, y)
                buttons.append((left + (a + b) // 2, top + y, bl > r + 60))
            return buttons
    raise AssertionError("no buttons found in window %d" % window)
