#!/usr/bin/env python3
"""The whole program, as a user meets it: a copy of the build's bin/ folder
run under Xvfb against the sample service, driven by real X input, observed
through the files it writes, its windows and the screen.

Usage: program_test.py --bin BUILD/bin --source SOURCE_TREE
MYZELK_SHOTS_DIR, when set, receives screenshots for a person to look at."""

import argparse
import configparser
import os
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time
import traceback
import urllib.request
import xml.etree.ElementTree as ET

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from x_session import (HIGHLIGHT, click, clusters, display_size, double_click,  # noqa: E402
                       drag, dialog_buttons, geometry, keys, save_screenshot, screenshot,
                       type_text, visible_windows, wait_for, xdotool)

BANNER = (255, 204, 51)  # the sample service's banner page
LINK_PAGE = (204, 255, 238)  # the test's page of one big link
WHITE = (255, 255, 255)
BAR = (239, 239, 239)
MAIN_TITLE = "^MyZELK version"
# Menus of the menu bar, left to right.
SYSTEM, VIEW, OFFLINE, LINKS, DOWNLOAD = 0, 1, 2, 4, 5
ROOM = "C++ 语言"  # room 12 of the sample service: topics 5001 and 5002
# The sample service's sign-in and reply answer pages.
SIGNED_IN = (238, 238, 255)
REPLY_REFUSED = (255, 221, 221)
REPLY_TOPIC = 5002
SIGNATURE = "-- 老李的签名"

STARTED = time.monotonic()


def step(text):
    print("%6.1f s  %s" % (time.monotonic() - STARTED, text), flush=True)


def check(condition, message):
    if not condition:
        raise AssertionError(message)


class Peers:
    """The temporary installation, the sample service and the test's helpers."""

    def __init__(self, args):
        self.root = tempfile.mkdtemp(prefix="myzelk-program-")
        self.inst = os.path.join(self.root, "inst")
        ignore = shutil.ignore_patterns("MyZELK.cfg", "Local AppWizard-Generated Applications",
                                        "BrowserProfile", "debug.txt", "*.lock", "MyZELK.mdb*", "Temp")
        shutil.copytree(args.bin, self.inst, ignore=ignore)
        os.makedirs(os.path.dirname(self.database), exist_ok=True)
        for name in ("OffLine.xml", "Online.xml"):
            shutil.copy(os.path.join(args.source, "resources/RoomList", name),
                        os.path.join(self.inst, "Resource/RoomList", name))
        subprocess.run([os.path.join(self.inst, "MyZELK-initdb"),
                        os.path.join(args.source, "store/schema.sql"), self.database], check=True)

        self.service_log = open(os.path.join(self.root, "service.log"), "w")
        self.service = subprocess.Popen(
            [sys.executable, os.path.join(args.source, "tools/sample-service/sample_service.py"),
             "--port", "0", "--verbose"],
            stdout=subprocess.PIPE, stderr=self.service_log, text=True)
        self.host = "127.0.0.1:" + self.service.stdout.readline().strip()

        self.opened = os.path.join(self.root, "opened.txt")
        self.recorder = os.path.join(self.root, "record-argument.sh")
        with open(self.recorder, "w") as f:
            f.write('#!/bin/sh\nprintf "%%s" "$1" > "%s.part" && mv "%s.part" "%s"\n'
                    % (self.opened, self.opened, self.opened))
        os.chmod(self.recorder, 0o755)
        self.link_page = os.path.join(self.root, "links.html")
        with open(self.link_page, "w") as f:
            f.write('<html><body style="margin:0;height:100vh"><a href="http://%s/Expert/TopicView1.asp'
                    '?id=5001" style="display:block;height:100%%;background:#ccffee;font-size:40px">'
                    'topic 5001</a></body></html>' % self.host)
        self.transcript = os.path.join(self.root, "boxes.txt")
        self.env = dict(os.environ,
                        MYZELK_HOSTS="community=%s,develop=%s,search=%s" % ((self.host,) * 3),
                        MYZELK_UPDATE_URL="http://%s/update/manifest.txt?version=2.50.0" % self.host,
                        MYZELK_BOX_TRANSCRIPT=self.transcript,
                        QTWEBENGINE_DISABLE_SANDBOX="1",
                        QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-sandbox",
                        XDG_DATA_HOME=os.path.join(self.root, "xdg/data"),
                        XDG_CACHE_HOME=os.path.join(self.root, "xdg/cache"))

    database = property(lambda self: os.path.join(self.inst, "DataBase/MyZELK.mdb"))
    config_file = property(lambda self: os.path.join(self.inst, "MyZELK.cfg"))
    tree_file = property(lambda self: os.path.join(self.inst, "Resource/RoomList/OffLine.xml"))

    def url(self, path):
        return "http://%s%s" % (self.host, path)

    def close(self, keep):
        self.service.send_signal(signal.SIGTERM)
        self.service.wait(10)
        self.service_log.close()
        if not keep:
            shutil.rmtree(self.root, ignore_errors=True)

    def companion(self, *args):
        return subprocess.run([os.path.join(self.inst, "MyZELKCmd"), *args], env=self.env,
                              capture_output=True, text=True, timeout=60)

    def config(self):
        return {item.get("Name"): item.get("Value") for item in ET.parse(self.config_file).getroot()}

    def set_config(self, **values):
        root = ET.parse(self.config_file).getroot()
        for name, value in values.items():
            item = next((i for i in root if i.get("Name") == name), None)
            if item is None:
                item = ET.SubElement(root, "Item", Name=name)
            item.set("Value", str(value))
        with open(self.config_file, "wb") as f:
            f.write(ET.tostring(root, encoding="unicode").encode("utf-8"))

    def profile(self):
        parser = configparser.ConfigParser()
        parser.read(os.path.join(self.inst, "Local AppWizard-Generated Applications/MyZELK.ini"))
        return parser["BarState-SCBar-123"]

    def topic_ids(self):
        with sqlite3.connect("file:%s?mode=ro" % self.database, uri=True, timeout=5) as db:
            return sorted(row[0] for row in db.execute("SELECT fID FROM tCommunity"))

    def boxes(self):
        if not os.path.exists(self.transcript):
            return []
        with open(self.transcript, encoding="utf-8") as f:
            return f.read().splitlines()

    def service_saw(self, fragment):
        return self.service_count(fragment) > 0

    def service_count(self, fragment):
        with open(self.service_log.name) as f:
            return f.read().count(fragment)

    def replies(self, topic):
        """(user, content) of each reply the service holds for the topic."""
        with urllib.request.urlopen(self.url("/Expert/TopicView1.asp?id=%d" % topic), timeout=10) as r:
            root = ET.fromstring(r.read())
        return [(reply.findtext("PostUserName"), reply.findtext("Content"))
                for reply in root.iter("Reply")]


class Program:
    """One run of MyZELK from the installation."""

    def __init__(self, peers):
        self.peers = peers
        self.log = open(os.path.join(peers.root, "program.log"), "a")
        self.process = subprocess.Popen([os.path.join(peers.inst, "MyZELK")], cwd=peers.root,
                                        env=peers.env, stdout=self.log, stderr=self.log)
        step("start")
        try:
            self.window = wait_for("the main window", lambda: visible_windows(MAIN_TITLE))[0]
            self.width, self.height = display_size()
            # Ready for input once the banner page is painted.
            self.menus = self.menu_titles(wait_for("the banner", self.ready_shot, timeout=30))
        except BaseException:
            self.__exit__(True)
            raise
        step("ready")

    def ready_shot(self):
        shot = screenshot()
        return shot if banner_top(shot) else None

    def menu_titles(self, shot):
        titles = clusters(shot.dark_columns(1, 18), 8)
        check(len(titles) == 7, "the menu bar shows %d titles, not 7" % len(titles))
        return [(a + b) // 2 for a, b in titles]

    def others(self):
        """The program's other visible windows (menus, dialogs, boxes)."""
        return [w for w, size in self.other_sizes() if size[0] > 20]

    def other_sizes(self):
        found = []
        for w in map(int, xdotool("search", "--onlyvisible", "--class", "MyZELK", check=False).split()):
            try:
                if w != self.window:
                    found.append((w, geometry(w)[2:]))
            except AssertionError:
                pass  # closed meanwhile
        return found

    def menu(self, index, *keys_in_menu):
        click(self.menus[index], 9)
        wait_for("menu %d" % index, self.others, timeout=5)
        keys(*keys_in_menu)

    def dialog(self, min_width=150, besides=()):
        """A dialog of the program other than those in `besides`."""
        return wait_for("a dialog", lambda: [w for w, size in self.other_sizes()
                                             if size[0] >= min_width and w not in besides],
                        timeout=10)[0]

    def no_dialogs(self):
        wait_for("the dialogs to close", lambda: not self.others(), timeout=10)

    def given_address(self, menu, address):
        """The input dialog of "指定链接" or "指定下载", filled in by keyboard."""
        step("address " + address)
        self.menu(menu, "s")
        self.dialog()
        type_text(address)
        keys("Return")
        self.no_dialogs()

    def answer(self, question, yes, over=()):
        """Waits for the box asking `question` (over the dialogs `over`) and
        clicks Yes or No."""
        wait_for("the question " + question,
                 lambda: self.peers.boxes()[-1:] == [question], timeout=10)

        box = self.dialog(besides=over)
        # A click on its body activates the box, which marks its default
        # button (Yes) with a frame of the selection colour.
        left, top, _, _ = geometry(box)
        click(left + 8, top + 8)

        def buttons():
            try:
                found = dialog_buttons(box)
            except AssertionError:
                return None
            return found if len(found) == 2 and sum(b[2] for b in found) == 1 else None
        found = wait_for("the box's Yes and No", buttons, timeout=10)
        x, y, _ = next(b for b in found if b[2] == yes)
        click(x, y)

    def exit_by_menu(self):
        self.menu(SYSTEM, "x")
        return self.wait_exit()

    def wait_exit(self, timeout=20):
        code = self.process.wait(timeout)
        self.log.close()
        return code

    def __enter__(self):
        return self

    def __exit__(self, failure, *_):
        if failure is not None:
            save_screenshot(os.path.join(self.peers.root, "failure.png"))
        self.kill()

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.log.close()


def banner_top(shot):
    x = shot.width // 2
    rows = shot.rows_with(BANNER, x, 15, 200)
    return rows[0] if rows else None


def status_bar_shown(shot):
    # Without a status bar the page (white) reaches the bottom edge.
    return shot.px(shot.width - 300, shot.height - 3) != WHITE


def separator_x(shot):
    """The middle of the splitter between the left bar and the view."""
    y = shot.height - 150
    run = 0
    for x in range(100, shot.width // 2):
        colour = shot.px(x, y)
        if colour == WHITE and run >= 4:
            return x - 1 - run // 2
        run = run + 1 if colour == BAR else 0
    raise AssertionError("no splitter found in row %d" % y)


def left_bar_selection(shot):
    return shot.rows_mostly(HIGHLIGHT, 5, 200, 60, 300)


def list_selection(shot, left):
    rows = shot.rows_mostly(HIGHLIGHT, left + 10, left + 600, 60, shot.height - 30)
    # Grid lines cross a band of selected rows.
    return clusters(rows, 2)


def take_recorded(peers):
    """The topic of the display copy the recorder was last started with;
    None until it was started. The record is removed for the next one."""
    if not os.path.exists(peers.opened):
        return None
    with open(peers.opened) as f:
        opened = f.read()
    os.remove(peers.opened)
    name = os.path.basename(opened)
    check(os.path.dirname(opened) == os.path.join(peers.inst, "Temp")
          and name.startswith("Community_OffLineData_") and name.endswith(".xml"),
          "opened %r, not a display copy of a topic" % opened)
    topic = name[len("Community_OffLineData_"):-len(".xml")]
    with open(opened, "rb") as f:
        content = f.read()
    check(b"<TopicId>%s</TopicId>" % topic.encode() in content and b"Resource/Skins/" in content,
          "%s does not hold topic %s with the program's skin" % (opened, topic))
    return topic


def visible_tree_index(tree_file, text):
    """The row of a node in the room tree as the program first shows it: the
    root and its two top nodes expanded, everything else collapsed."""
    rows = []

    def walk(node, depth):
        rows.append(node.get("Text"))
        if depth < 2:
            for child in node.findall("Node"):
                walk(child, depth + 1)
    for top in ET.parse(tree_file).getroot().findall("Node"):
        walk(top, 0)
    return rows.index(text)


class Shots:
    def __init__(self):
        self.folder = os.environ.get("MYZELK_SHOTS_DIR")
        if self.folder:
            os.makedirs(self.folder, exist_ok=True)

    def take(self, name):
        if self.folder:
            save_screenshot(os.path.join(self.folder, name))


def first_run(peers, shots):
    """Returns where the banner starts without a toolbar and where the user
    dragged the splitter of the left bar to."""
    with Program(peers) as program:
        check(geometry(program.window) == (0, 0, program.width, program.height),
              "the window is not maximised: %s on a %dx%d screen"
              % (geometry(program.window), program.width, program.height))
        shot = wait_for("the on-line list's first entry",
                        lambda: (lambda s: s if left_bar_selection(s) else None)(screenshot()))
        bare_top = banner_top(shot)
        check(not status_bar_shown(shot), "the status bar shows on the first run")
        start = separator_x(shot)
        check(150 < start < 300, "the left bar is not docked at the left (splitter at %d)" % start)
        shots.take("first-run.png")

        # Toolbar and status bar on, by the view menu (the banner moving down
        # shows the toolbar was hidden); the left bar wider.
        program.menu(VIEW, "t", "s")
        wait_for("the toolbar", lambda: banner_top(screenshot()) > bare_top + 10)
        # "停止(&S)" comes first: the second S reaches "状态栏(&S)".
        program.menu(VIEW, "s", "s", "Return")
        wait_for("the status bar", lambda: status_bar_shown(screenshot()))
        drag((start, program.height // 2), (start + 100, program.height // 2), steps=5)
        moved = wait_for("the wider left bar",
                         lambda: (lambda x: x if abs(x - start - 100) <= 3 else None)(
                             separator_x(screenshot())))
        check(program.exit_by_menu() == 0, "the program did not end cleanly")
    config = peers.config()
    check(config.get("IsShowToolBar") == "1" and config.get("IsShowStatusBar") == "1",
          "the toggles were not saved: %s" % config)
    profile = peers.profile()
    check(profile.get("DockArea") == "left", "left bar saved at %s" % profile.get("DockArea"))
    return bare_top, moved


def second_run(peers, shots, bare_top, moved):
    """Settings kept; a link dropped on the banner is saved."""
    with Program(peers) as program:
        shot = screenshot()
        check(banner_top(shot) > bare_top + 10, "the toolbar did not come back")
        check(status_bar_shown(shot), "the status bar did not come back")
        check(abs(separator_x(shot) - moved) <= 1,
              "the left bar's size was not kept: splitter at %d, was %d" % (separator_x(shot), moved))
        program.menu(VIEW, "t", "s")
        program.menu(VIEW, "s", "s", "Return")
        wait_for("toolbar and status bar hidden",
                 lambda: (lambda s: banner_top(s) == bare_top and not status_bar_shown(s))(screenshot()))

        program.given_address(LINKS, "file://" + peers.link_page)
        middle = (moved + program.width) // 2
        wait_for("the link page", lambda: screenshot().px(middle, program.height // 2) == LINK_PAGE)
        drag((middle, program.height // 2), (middle, bare_top + 15))
        wait_for("topic 5001 in the database", lambda: 5001 in peers.topic_ids())
        wait_for("its room in the room tree",
                 lambda: any(n.get("Text") == ROOM and n.get("ID") == "12"
                             for n in ET.parse(peers.tree_file).iter("Node")))

        copy = os.path.join(peers.inst, "Temp/Community_OffLineData_5001.xml")
        check(os.path.exists(copy), "no display copy at " + copy)
        program.given_address(LINKS, "file://" + copy)

        def rendered():
            first = screenshot()
            if first.px(middle, program.height // 2) == LINK_PAGE:
                return None
            time.sleep(0.3)
            return first.pixels == screenshot().pixels
        wait_for("the saved topic in the panel", rendered)
        shots.take("saved-topic.png")
        check(program.exit_by_menu() == 0, "the program did not end cleanly")


def third_run(peers, shots, moved):
    """Opening a saved topic, deleting three, and the exit question."""
    with Program(peers) as program:
        # The off-line tab, then the room by keyboard from the tree's top.
        tabs = clusters(screenshot().dark_columns(program.height - 24, program.height - 4, 0, moved), 8)
        check(len(tabs) == 2, "the left bar shows %d tabs" % len(tabs))
        click((tabs[0][0] + tabs[0][1]) // 2, program.height - 14)
        wait_for("the room tree", lambda: not left_bar_selection(screenshot()))
        click(moved // 2, program.height - 100)
        keys("Home", *["Down"] * visible_tree_index(peers.tree_file, ROOM))
        wait_for("the room selected", lambda: left_bar_selection(screenshot()))

        # Its list holds its two topics: each row opened by a double click
        # goes to the recorder as the path of the topic's display copy.
        click((moved + program.width) // 2, program.height - 100)
        opened, above, tops = set(), 0, []
        for key in ("Home", "Down"):
            keys(key)
            band = wait_for("row %d of the room's list selected" % (len(opened) + 1),
                            lambda: [b for b in list_selection(screenshot(), moved) if b[0] > above])
            check(len(band) == 1, "rows %s selected" % band)
            if not opened:
                shots.take("room-list.png")
            double_click(moved + 200, sum(band[0]) // 2)
            opened.add(wait_for("the opened record", lambda: take_recorded(peers)))
            above = band[0][1]
            tops.append(band[0][0])
        check(opened == {"5001", "5002"}, "the room's list opened topics %s" % sorted(opened))

        # Every saved topic by an empty title search, then three deleted.
        program.menu(OFFLINE, "c")
        program.dialog()
        keys("Return", "Escape")
        program.no_dialogs()
        click((moved + program.width) // 2, program.height - 100)
        keys("Home", "shift+Down", "shift+Down")
        pitch = tops[1] - tops[0]
        band = wait_for("three selected rows",
                        lambda: (lambda b: b if len(b) == 1 and abs(b[0][1] + 1 - b[0][0] - 3 * pitch) <= 2
                                 else None)(list_selection(screenshot(), moved)))
        click(moved + 200, sum(band[0]) // 2, button=3)
        wait_for("the record menu", program.others, timeout=5)
        keys("d")
        program.answer("确定要删除所选的记录吗？", yes=True)
        wait_for("three records deleted", lambda: len(peers.topic_ids()) == 1)

        # Closing with three downloads waiting behind a slow one.
        program.given_address(DOWNLOAD, peers.url("/slow/stall?s=90&n=1"))
        wait_for("the worker on the slow download", lambda: peers.service_saw("n=1 "))
        for n in (2, 3, 4):
            program.given_address(DOWNLOAD, peers.url("/slow/stall?s=90&n=%d" % n))
        question = "还有3个文件正在下载，确定要退出吗？"
        program.menu(SYSTEM, "x")
        program.answer(question, yes=False)
        program.no_dialogs()
        check(program.process.poll() is None and visible_windows(MAIN_TITLE),
              "No did not keep the window")
        asked = len(peers.boxes())
        program.menu(SYSTEM, "x")
        wait_for("the question again", lambda: len(peers.boxes()) > asked)
        check(peers.boxes()[-1] == question, "asked %r after No" % peers.boxes()[-1])
        shots.take("exit-question.png")
        program.answer(question, yes=True)
        check(program.wait_exit(15) == 0, "the program did not end cleanly after Yes")
        check(not any(peers.service_saw("n=%d " % n) for n in (2, 3, 4)),
              "a waiting download was fetched after Yes")


def fourth_run(peers, shots, moved):
    """Replies by Ctrl+Q to the topic on screen: refused before signing in,
    then, signed in through the browser panel, posted and shown."""
    with Program(peers) as program:
        middle = ((moved + program.width) // 2, program.height // 2)
        view = lambda: screenshot().px(*middle)  # noqa: E731

        def open_topic():
            before = screenshot().pixels
            program.given_address(LINKS, peers.url("/Expert/TopicView1.asp?id=%d" % REPLY_TOPIC))
            wait_for("the topic in the panel", lambda: settled(before))

        def settled(before):
            return screenshot().pixels != before and stable()

        def stable():
            first = screenshot().pixels
            time.sleep(0.3)
            return first == screenshot().pixels

        def reply(text):
            click(*middle)  # the keyboard to the window, on a blank part of the page
            keys("ctrl+q")
            dialog = program.dialog()
            type_text(text)
            shots.take("reply-dialog.png")
            keys("Tab", "Return")  # from the edit to OK, which Return presses
            return dialog

        open_topic()
        dialog = reply("没有登录的回复")
        program.answer("未能够回复成功，可能是网络问题! 是否保留现在的回复稍候再试？", yes=False,
                       over=[dialog])
        program.no_dialogs()
        wait_for("the refusal in the panel", lambda: view() == REPLY_REFUSED)
        shots.take("reply-refused.png")
        with open(os.path.join(peers.inst, "Temp/ReplyResult.htm"), "rb") as f:
            check("请先登录".encode("gb2312") in f.read(), "ReplyResult.htm does not hold the refusal")

        program.given_address(LINKS, peers.url("/Expert/login.asp"))
        wait_for("the sign-in form", lambda: view() == WHITE)
        click(*middle)
        type_text("laoli")
        keys("Return")
        wait_for("the signed-in page", lambda: view() == SIGNED_IN)
        cookies = os.path.join(peers.inst, "BrowserProfile/cookies.txt")
        wait_for("the sign-in in the cookie file",
                 lambda: os.path.exists(cookies) and "ZelkUser\tlaoli" in open(cookies).read())

        open_topic()
        fetched = peers.service_count("GET /Expert/TopicView1.asp?id=%d " % REPLY_TOPIC)
        text = "登录以后的回复：用 BEGIN IMMEDIATE"
        dialog = reply(text)
        program.answer("回复成功，是否立即查看该贴？", yes=True, over=[dialog])
        program.no_dialogs()
        wait_for("the topic fetched again",
                 lambda: peers.service_count("GET /Expert/TopicView1.asp?id=%d " % REPLY_TOPIC) > fetched)
        wait_for("the refreshed topic painted", stable)
        shots.take("reply-posted.png")
        replies = peers.replies(REPLY_TOPIC)
        # (XML readers give CR LF as LF.)
        check(replies[-1] == ("laoli", text + "\n" + SIGNATURE),
              "the topic's last reply is %r" % (replies[-1:],))
        check(not any("没有登录" in (c or "") for _, c in replies), "the refused reply was recorded")
        check(program.exit_by_menu() == 0, "the program did not end cleanly")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--source", required=True)
    args = parser.parse_args()
    started = time.monotonic()
    peers = Peers(args)
    shots = Shots()
    passed = False
    try:
        bare_top, moved = first_run(peers, shots)
        peers.set_config(LinkOpenMode=1)
        for topic in (4711, 4712, 5002):
            saved = peers.companion("save", peers.url("/Expert/TopicView1.asp?id=%d" % topic))
            check(saved.returncode == 0, "the companion could not save %d: %s" % (topic, saved.stdout))
        second_run(peers, shots, bare_top, moved)
        peers.set_config(LinkOpenMode=2, LinkOpenCustomPath=peers.recorder)
        third_run(peers, shots, moved)
        peers.set_config(LinkOpenMode=1, UserSign=SIGNATURE.replace("\n", "\r\n"))
        fourth_run(peers, shots, moved)
        passed = True
    except Exception as failure:  # noqa: BLE001 -- any failure keeps the evidence
        traceback.print_exc()
        print("FAILED: %s: %s" % (type(failure).__name__, failure))
        print("installation and logs kept in", peers.root)
    finally:
        peers.close(keep=not passed)
    print("%s in %.0f s" % ("passed" if passed else "failed", time.monotonic() - started))
    return 0 if passed else 1


if __name__ == "__main__":
    sys.exit(main())
