#!/usr/bin/env python3
"""Starts the installed launcher under the running X server (Xvfb), waits until
the main window shows the welcome page, saves one screenshot, then ends the
program through its menu (System, Exit) so it writes its settings.

With a box transcript (MYZELK_BOX_TRANSCRIPT of the program), the start-up
update check is expected to find a newer version and to say how to install it
with the package manager; that box is answered first.

Usage: package_window_check.py LAUNCHER SCREENSHOT.png [TRANSCRIPT]"""

import os
import subprocess
import sys
import time

WELCOME_TEXT = (0x1d, 0x2b, 0x3a)  # the welcome page's text colour
MAIN_TITLE = "^MyZELK version"


def xdotool(*args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True).stdout


def wait_for(what, probe, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = probe()
        if value:
            return value
        time.sleep(0.2)
    raise SystemExit("package_window_check: timed out waiting for " + what)


def welcome_pixels():
    """Pixels of the welcome page's text colour on the screen."""
    ppm = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                         capture_output=True, check=True).stdout
    # P6 WIDTH HEIGHT 255, one whitespace byte, then RGB.
    header, pos = [], 0
    while len(header) < 4:
        while ppm[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not ppm[end:end + 1].isspace():
            end += 1
        header.append(ppm[pos:end])
        pos = end
    pixels = ppm[pos + 1:]
    colour = bytes(WELCOME_TEXT)
    return sum(1 for i in range(0, len(pixels), 3) if pixels[i:i + 3] == colour)


def main():
    launcher, shot = sys.argv[1], sys.argv[2]
    transcript = sys.argv[3] if len(sys.argv) > 3 else None
    program = subprocess.Popen([launcher])
    if transcript:
        def told():
            return os.path.exists(transcript) and "软件包管理器" in open(transcript, encoding="utf-8").read()
        wait_for("the update notice", told, 60)
        box = wait_for("the notice box",
                       lambda: xdotool("search", "--onlyvisible", "--class", "MyZELK").split(), 20)[0]
        xdotool("windowfocus", "--sync", box)
        xdotool("key", "Return")
        print("package_window_check: the update check said: "
              + open(transcript, encoding="utf-8").read().strip().replace("\n", " / "))
    window = wait_for("the main window",
                      lambda: xdotool("search", "--onlyvisible", "--name", MAIN_TITLE).split(), 60)[0]
    # The page's text, drawn in its own colour; a blank or failed view has none.
    count = wait_for("the welcome page", lambda: (lambda n: n if n > 200 else 0)(welcome_pixels()), 60)
    time.sleep(0.5)  # let the last paint settle before the one screenshot
    subprocess.run(["import", "-window", "root", shot], check=True)
    print("package_window_check: welcome page shown (%d text pixels), screenshot %s" % (count, shot))

    xdotool("windowfocus", "--sync", window)
    xdotool("key", "--clearmodifiers", "alt+s")
    time.sleep(0.5)
    xdotool("key", "x")
    try:
        code = program.wait(30)
    except subprocess.TimeoutExpired:
        program.kill()
        raise SystemExit("package_window_check: the program did not end from its menu")
    if code != 0:
        raise SystemExit("package_window_check: the program ended with %d" % code)


if __name__ == "__main__":
    main()
