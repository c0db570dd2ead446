#!/usr/bin/env python3
"""Fails when a folder includes a header of a folder it may not use.

The table below is the dependency picture of README.md's folder table: each
folder lists the folders whose headers it may include. Core folders may not
include Qt. A folder missing from the table is an error, so a new folder has
to take its place in the picture before it builds in CI.

Usage: scripts/check-layers.py [repository root]
"""
import os
import re
import sys

CORE = ["platform", "base", "LQADO", "LQSMTP", "config", "store", "tree", "acquire", "reply"]

# folder -> folders it may include (besides itself)
ALLOWED = {
    "platform": [],
    "base": ["platform"],
    "LQSMTP": [],
    "LQADO": ["platform"],
    "config": ["base", "platform"],
    "store": ["LQADO", "base", "platform"],
    "tree": ["base", "platform"],
    "acquire": ["store", "tree", "config", "LQADO", "base", "platform"],
    "reply": ["config", "base", "platform"],
    "outside": ["LQSMTP", "base", "platform"],
    "widgets": ["tree", "base", "platform"],
    "views": ["widgets", "outside", "acquire", "reply", "store", "tree", "config", "LQADO",
              "base", "platform"],
    "app": ["views", "widgets", "outside", "acquire", "reply", "store", "tree", "config",
            "LQADO", "base", "platform"],
}
# Folders that may use anything of the project.
FREE = {"tests", "bench", "tools", "fuzz"}
SKIP = {"resources", "scripts", "packaging", ".ci", ".git", ".deps", ".cache"}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
QT = re.compile(r"^Q[A-Za-z]*(/|$)")
SOURCES = (".h", ".hpp", ".cpp", ".cc", ".c")


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    folders = {name for name in os.listdir(root) if os.path.isdir(os.path.join(root, name))}
    problems = []
    for top in sorted(folders):
        if top in SKIP or top.startswith("build") or top in FREE:
            continue
        if top not in ALLOWED:
            has_code = any(f.endswith(SOURCES) for _, _, files in os.walk(os.path.join(root, top)) for f in files)
            if has_code:
                problems.append(f"{top}/: folder not in the layer table of scripts/check-layers.py")
            continue
        may = set(ALLOWED[top]) | {top}
        for folder, _, files in os.walk(os.path.join(root, top)):
            for name in files:
                if not name.endswith(SOURCES):
                    continue
                path = os.path.join(folder, name)
                rel = os.path.relpath(path, root)
                with open(path, encoding="utf-8", errors="replace") as f:
                    text = f.read()
                for m in INCLUDE.finditer(text):
                    kind, header = m.group(1), m.group(2)
                    line = text.count("\n", 0, m.start()) + 1
                    if kind == "<":
                        if top in CORE and QT.match(header):
                            problems.append(f"{rel}:{line}: core folder includes Qt header <{header}>")
                        continue
                    first = header.split("/", 1)[0]
                    if "/" not in header:
                        problems.append(f'{rel}:{line}: "{header}" does not name its folder')
                    elif first in FREE and first not in may:
                        problems.append(f'{rel}:{line}: includes "{header}" from {first}/')
                    elif first in ALLOWED and first not in may:
                        problems.append(f'{rel}:{line}: {top}/ may not include "{header}" ({first}/ is not below it)')
    for p in problems:
        print(p)
    if problems:
        print(f"check-layers: {len(problems)} problem(s)", file=sys.stderr)
        return 1
    print("check-layers: every include points down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
