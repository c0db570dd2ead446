#!/usr/bin/env python3
"""Composes the program's bitmap strips and its icon from the Tango icon theme.

Usage: compose_bitmaps.py THEME_DIR OUTPUT_DIR

Writes 130.png (tree images, 42 x 16x16), 132.png (toolbar, 20 x 32x32),
141.png (toolbar, 20 x 16x16), myzelk.png (32x32) and myzelk-48.png,
myzelk-128.png. The strips are opaque: where an icon is transparent they show
magenta (#FF00FF), which the program turns back into transparency. The output
is byte-for-byte the same on every run (no dates in the files).
"""

import os
import subprocess
import sys
import tempfile

MASK = "#FF00FF"

# The tree strip. The trees show image n for an item and n + 1 when it is
# selected, so the images come in pairs. 0/1 are the folder images and 10/11
# the leaf images of the room tree; 2, 4 and 6 are used by the category list.
TREE_STRIP = [
    "folder",                      # 0  folder
    "folder-open",                 # 1  folder, open
    "internet-group-chat",         # 2  forum room
    "internet-group-chat",         # 3
    "x-office-document",           # 4  article category
    "x-office-document",           # 5
    "system-search",               # 6  search
    "system-search",               # 7
    "folder-remote",               # 8  on-line folder
    "folder-visiting",             # 9
    "text-x-generic",              # 10 saved page (leaf)
    "text-x-generic",              # 11
    "text-html",                   # 12 web page
    "text-html",                   # 13
    "internet-web-browser",        # 14 link
    "internet-web-browser",        # 15
    "internet-news-reader",        # 16 topic
    "internet-news-reader",        # 17
    "internet-mail",               # 18 mail
    "internet-mail",               # 19
    "user-home",                   # 20 home page
    "user-home",                   # 21
    "help-browser",                # 22 help
    "help-browser",                # 23
    "emblem-favorite",             # 24 favourite
    "emblem-favorite",             # 25
    "emblem-important",            # 26 important
    "emblem-important",            # 27
    "network-server",              # 28 server
    "network-server",              # 29
    "package-x-generic",           # 30 download
    "package-x-generic",           # 31
    "accessories-text-editor",     # 32 note
    "accessories-text-editor",     # 33
    "applications-development",    # 34 development
    "applications-development",    # 35
    "system-users",                # 36 people
    "system-users",                # 37
    "image-x-generic",             # 38 picture
    "image-x-generic",             # 39
    "user-trash",                  # 40 waste basket
    "user-trash-full",             # 41
]

# The toolbar strips: one image per button in button order, blank (None)
# where the toolbar has a separator.
TOOLBAR_STRIP = [
    "preferences-system",          # 0  32772 settings
    None,                          # 1
    "edit-find",                   # 2  32773 search off-line community data
    "folder-saved-search",         # 3  32795 search off-line document data
    None,                          # 4
    "go-previous",                 # 5  32780 back
    "go-next",                     # 6  32781 forward
    "process-stop",                # 7  32782 stop
    "view-refresh",                # 8  32779 refresh
    None,                          # 9
    "mail-reply-sender",           # 10 32792 reply
    None,                          # 11
    "system-search",               # 12 32806 forum search
    "internet-group-chat",         # 13 32783 community
    "x-office-document",           # 14 32776 documents
    None,                          # 15
    "help-browser",                # 16 32786 help
    "emblem-favorite",             # 17 32789 sponsor
    "system-software-update",      # 18 32790 check for updates
    "go-home",                     # 19 32791 home page
]

# Theme folders searched for a name, in this order.
CONTEXTS = ["actions", "apps", "categories", "devices", "emblems", "mimetypes", "places", "status"]

# Written PNGs carry no time stamps, so a rebuild gives the same bytes.
PNG_OUT = ["-define", "png:exclude-chunks=date,time", "+set", "date:create", "+set", "date:modify"]


def find_icon(theme, size, name):
    for context in CONTEXTS:
        path = os.path.join(theme, f"{size}x{size}", context, name + ".png")
        if os.path.isfile(path):
            return path
    sys.exit(f"compose_bitmaps: icon {name!r} missing at {size}x{size} in {theme}")


def convert(args):
    subprocess.run(["convert", *args], check=True)


def cell(theme, size, name, out):
    """One opaque cell: the icon over magenta, its soft edge cut at half alpha
    so that no pink fringe remains once magenta becomes transparent."""
    if name is None:
        convert(["-size", f"{size}x{size}", f"xc:{MASK}", "-type", "TrueColor", f"PNG24:{out}"])
        return
    convert([
        find_icon(theme, size, name), "-resize", f"{size}x{size}!",
        "-alpha", "on", "-channel", "A", "-threshold", "50%", "+channel",
        "-background", MASK, "-flatten", "-alpha", "off", "-type", "TrueColor", f"PNG24:{out}",
    ])


def strip(theme, size, names, out, scratch):
    cells = []
    for index, name in enumerate(names):
        path = os.path.join(scratch, f"{os.path.basename(out)}-{index}.png")
        cell(theme, size, name, path)
        cells.append(path)
    convert([*cells, "+append", "+repage", "-type", "TrueColor", *PNG_OUT, f"PNG24:{out}"])


def program_icon(out_dir):
    """Our own drawing: a Z on a rounded blue square, made at 128 and scaled."""
    big = os.path.join(out_dir, "myzelk-128.png")
    convert([
        "-size", "128x128", "xc:none",
        "-fill", "#204a87", "-draw", "roundrectangle 4,4 123,123 22,22",
        "-fill", "#3465a4", "-draw", "roundrectangle 10,10 117,117 18,18",
        "-fill", "#ffffff",
        "-draw", "polygon 30,28 98,28 98,42 52,88 98,88 98,102 30,102 30,88 76,42 30,42",
        "-fill", "#fcaf3e", "-draw", "circle 100,100 100,116",
        *PNG_OUT, f"PNG32:{big}",
    ])
    for size, name in ((48, "myzelk-48.png"), (32, "myzelk.png")):
        convert([big, "-resize", f"{size}x{size}", *PNG_OUT,
                 f"PNG32:{os.path.join(out_dir, name)}"])


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    theme, out_dir = sys.argv[1], sys.argv[2]
    assert len(TREE_STRIP) == 42 and len(TOOLBAR_STRIP) == 20
    os.makedirs(out_dir, exist_ok=True)
    with tempfile.TemporaryDirectory() as scratch:
        strip(theme, 16, TREE_STRIP, os.path.join(out_dir, "130.png"), scratch)
        strip(theme, 32, TOOLBAR_STRIP, os.path.join(out_dir, "132.png"), scratch)
        strip(theme, 16, TOOLBAR_STRIP, os.path.join(out_dir, "141.png"), scratch)
    program_icon(out_dir)


if __name__ == "__main__":
    main()
