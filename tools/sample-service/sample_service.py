#!/usr/bin/env python3
"""Sample community service for tests and local runs (loopback only).

Serves the three host roles of the program on one port: the forum (topic
XML, the reply script), the article site and the full-text search host.
Paths decide the role; only "/" differs by the Host header.

    python3 sample_service.py [--port 0] [--bind 127.0.0.1] [--allow-guest]

The first line on stdout is the port number (useful with --port 0).
"""

import argparse
import copy
import gzip
import hashlib
import html
import io
import json
import os
import struct
import sys
import tarfile
import threading
import time
import urllib.parse
import zlib
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

HERE = os.path.dirname(os.path.abspath(__file__))
STATIC = os.path.join(HERE, "static")

ISSUE_FIELDS = [
    "PostUserNickName", "Rank", "Ranknum", "Credit", "TopicId", "TopicName", "PostUserId",
    "PostUserName", "RoomName", "ReplyNum", "PostDateTime", "Point", "ReadNum", "RoomId", "EndState",
]
REPLY_FIELDS = [
    "ReplyId", "TopicId", "PostUserNickName", "Rank", "Ranknum", "Credit", "PostUserId",
    "PostUserName", "PostDateTime", "Point",
]
# Pages served with a charset in the Content-Type header (the rest send none).
SERVER_CHARSETS = {"server-charset.html": "gb2312"}
COLORS = {
    "red": (220, 40, 40), "green": (40, 170, 60), "blue": (40, 80, 220), "orange": (250, 150, 30),
    "purple": (140, 50, 180), "cyan": (30, 190, 200), "banner": (250, 210, 60), "icon": (90, 90, 90),
}


def esc(text):
    return html.escape(str(text), quote=False)


def png(width, height, rgb):
    """A solid-colour PNG, made here so the service needs no image files."""
    raw = b"".join(b"\x00" + bytes(rgb) * width for _ in range(height))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def color_for(name):
    for key, rgb in COLORS.items():
        if key in name:
            return rgb
    h = zlib.crc32(name.encode())
    return (h & 0xFF, (h >> 8) & 0xFF, (h >> 16) & 0xFF)


class Store:
    """Topics and articles; replies posted while running are kept in memory."""

    def __init__(self, data_dir):
        with open(os.path.join(data_dir, "topics.json"), encoding="utf-8") as f:
            self.topics = {t["TopicId"]: t for t in json.load(f)["topics"]}
        with open(os.path.join(data_dir, "articles.json"), encoding="utf-8") as f:
            self.articles = {a["path"]: a for a in json.load(f)["articles"]}
        self.lock = threading.Lock()
        self.last_reply_body = b""
        self.last_reply_headers = ""

    def topic_xml(self, topic_id, host):
        with self.lock:
            topic = copy.deepcopy(self.topics.get(topic_id))
        if topic is None:
            return None
        return render_topic(topic, host)

    def add_reply(self, topic_id, user, content):
        with self.lock:
            topic = self.topics.get(topic_id)
            if topic is None:
                return False
            replies = topic.setdefault("replies", [])
            replies.append({
                "PostUserNickName": user, "Rank": "一级(初级)", "Ranknum": "user1", "Credit": "100",
                "PostUserId": "0", "PostUserName": user,
                "PostDateTime": time.strftime("%Y-%m-%d %H:%M:%S"), "Point": "0", "Content": content,
            })
            return True


def render_topic(topic, host):
    encoding = topic.get("encoding", "utf-8")
    lower = topic.get("lowercase_names", False)
    omit = set(topic.get("omit", []))

    def name(n):
        return n.lower() if lower else n

    replies = topic.get("replies", [])
    values = dict(topic, ReplyNum=str(len(replies)))
    lines = ['<?xml version="1.0" encoding="%s"?>' % encoding,
             '<?xml-stylesheet type="text/xsl" href="http://%s/Expert/xsl/topic.xsl"?>' % host,
             "<%s>" % name("Topic"), "  <%s>" % name("Issue")]
    for field in ISSUE_FIELDS:
        if field not in omit:
            lines.append("    <{0}>{1}</{0}>".format(name(field), esc(values.get(field, ""))))
    lines.append("    <{0}>{1}</{0}>".format(name("Content"), esc(topic.get("Content", ""))))
    lines.append("  </%s>" % name("Issue"))
    lines.append("  <%s>" % name("Replys"))
    for number, reply in enumerate(replies, 1):
        values = dict(reply, ReplyId=str(number), TopicId=str(topic["TopicId"]))
        lines.append("    <%s>" % name("Reply"))
        for field in REPLY_FIELDS:
            lines.append("      <{0}>{1}</{0}>".format(name(field), esc(values.get(field, ""))))
        lines.append("      <{0}>{1}</{0}>".format(name("Content"), esc(reply.get("Content", ""))))
        lines.append("    </%s>" % name("Reply"))
    lines.append("  </%s>" % name("Replys"))
    lines.append("</%s>" % name("Topic"))
    return ("\r\n".join(lines) + "\r\n").encode(encoding)


def render_article(article):
    """An article page as the article site writes it: GB2312, with its markers."""
    if article.get("no_markers"):
        head = "<h2>%s</h2>" % esc(article["title"])
    else:
        head = ('<a id="ArticleTitle1_ArticleTitle1_hlClass" href="/articlelist.aspx?c=%d">%s</a>\r\n'
                '<h2><span id="ArticleTitle1_ArticleTitle1_lblTitle">%s</span></h2>\r\n'
                '作者：<a id="ArticleTitle1_ArticleTitle1_AuthorLink" href="/user/%s">%s</a>\r\n'
                % (article["class_no"], esc(article["class_name"]), esc(article["title"]),
                   esc(article["author"]), esc(article["author"])))
    page = ('<html>\r\n<head>\r\n'
            '<meta http-equiv="Content-Type" content="text/html; charset=gb2312">\r\n'
            '<title>%s - ZELK 文档中心</title>\r\n'
            '<link rel="stylesheet" type="text/css" href="/static/css/site.css">\r\n'
            '</head>\r\n<body>\r\n<div class="banner"></div>\r\n%s'
            '<p>%s</p>\r\n<img src="/static/img/article-blue.png" width="200" height="60">\r\n'
            '</body>\r\n</html>\r\n') % (esc(article["title"]), head, esc(article["body"]))
    return page.encode("gb2312")


def bench_page(count, delay, hosts=1, port=0):
    """A page with `count` resources: images, style sheets and scripts; with
    hosts > 1 they are spread over h0.localhost, h1.localhost ... (loopback)."""
    q = "?delay=%d" % delay if delay else ""
    parts = ['<!DOCTYPE html><html><head><meta charset="utf-8"><title>%d resources</title>' % count]
    body = []
    for i in range(count):
        at = "http://h%d.localhost:%d" % (i % hosts, port) if hosts > 1 else ""
        if i % 4 == 1:
            parts.append('<link rel="stylesheet" href="%s/bench/css/%d.css%s">' % (at, i, q))
        elif i % 4 == 3:
            parts.append('<script src="%s/bench/js/%d.js%s"></script>' % (at, i, q))
        else:
            body.append('<img src="%s/bench/img/%d-%d.png%s" width="32" height="32">' % (at, i, i * 37, q))
    parts.append("</head><body><h1>Benchmark page</h1>")
    parts.extend(body)
    parts.append("</body></html>")
    return "\n".join(parts).encode()


REPLY_FORM = """<html><head><meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<title>回复</title></head><body>
<form method="post" action="/Expert/reply.asp">
<input type="hidden" name="Topicid" value="%d"><input type="hidden" name="xmlReply" value="aaaaa">
<textarea name="ReplyContent"></textarea><input type="submit" value="提交回复"></form></body></html>
"""

# The sign-in form: one big name field filling most of the page, so a click
# almost anywhere (or the page's focus) lands in it; Enter signs in. Pages of
# the sign-in and the reply answers have colours of their own, for tests
# that watch the screen.
LOGIN_FORM = """<html><head><meta http-equiv="Content-Type" content="text/html; charset=utf-8">
<title>登录 ZELK 社区</title>
<style>body { margin: 0; font: 16px sans-serif; }
input[name=user] { display: block; box-sizing: border-box; width: 100%%; height: 70vh; font-size: 40px; }
p { margin: 12px; }</style></head><body>
<form method="get" action="/Expert/login.asp"><input name="user" autofocus placeholder="用户名">
<p>%s<input type="submit" value="登录"></p></form></body></html>
"""

SIGNED_IN_PAGE = """<html><head><meta http-equiv="Content-Type" content="text/html; charset=utf-8">
<title>已登录</title></head><body style="background:#eef"><h1>已登录：%s</h1><p><a href="/">返回首页</a></p></body></html>
"""

XSL_SKIN_PATH = os.path.join(STATIC, "xsl", "topic.xsl")

# The maker's banner for the program's advertisement bar: "app:" links are
# commands of the program, in any case of the four letters.
BANNER_PAGE = """<html><head><meta http-equiv="Content-Type" content="text/html; charset=utf-8">
<title>ZELK 横幅</title>
<style>body { margin: 0; font: 13px sans-serif; background: #fc3; }
a { display: inline-block; padding: 3px 12px; color: #134; }</style></head><body>
<a id="feedback" href="app:feedback">意见反馈</a><a id="help" href="APP:Help">帮助</a>
<a id="site" href="/">ZELK 社区</a></body></html>
"""

# Sets a lasting cookie for the community host and says who is signed in
# (the ZelkUser cookie of /Expert/login.asp); its link asks for a new window.
WELCOME_PAGE = """<html><head><meta http-equiv="Content-Type" content="text/html; charset=utf-8">
<title>欢迎 %s</title></head><body><h1>欢迎 %s</h1><p>第 %d 次来访</p>
<p><a id="cookies" href="/cookie/echo" target="_blank">本站保存的 Cookie（新窗口）</a></p></body></html>
"""

UPDATE_VERSION = "2.51.0"


def update_package(version):
    """The updater's sample package: program files of a newer version, and
    defaults for the user's data that an updater must leave alone."""
    files = [
        ("MyZELK", 0o755, ("#!/bin/sh\n# MyZELK %s (sample package)\n"
                           '[ -n "$MYZELK_SAMPLE_RESTART_NOTE" ] && '
                           'echo "MyZELK %s started as $0" > "$MYZELK_SAMPLE_RESTART_NOTE"\n'
                           "exit 0\n") % (version, version)),
        ("Resource/Skins/style1.xsl", 0o644,
         '<?xml version="1.0" encoding="UTF-8"?>\n<!-- skin of MyZELK %s -->\n'
         '<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"/>\n'
         % version),
        ("AD/WelcomePage.htm", 0o644, "<html><body>MyZELK %s</body></html>\n" % version),
        ("doc/CHANGES.txt", 0o644, "MyZELK %s: sample release notes\n" % version),
        ("MyZELK.cfg", 0o644, '<LQConfigure><Item Name="LinkOpenMode" Value="0"/></LQConfigure>'),
        ("DataBase/MyZELK.mdb", 0o644, "default database of the package\n"),
        ("Resource/RoomList/OffLine.xml", 0o644, "<LQEditTree/>\n"),
        ("Temp/left-over.txt", 0o644, "temporary\n"),
    ]
    raw = io.BytesIO()
    with tarfile.open(fileobj=raw, mode="w", format=tarfile.USTAR_FORMAT) as tar:
        for name, mode, text in files:
            data = text.encode("utf-8")
            info = tarfile.TarInfo(name)
            info.size, info.mode, info.mtime = len(data), mode, 1168131907
            tar.addfile(info, io.BytesIO(data))
    packed = io.BytesIO()
    with gzip.GzipFile(fileobj=packed, mode="wb", mtime=0) as gz:
        gz.write(raw.getvalue())
    return packed.getvalue()



class Handler(BaseHTTPRequestHandler):
    server_version = "ZelkSample/1.0"
    protocol_version = "HTTP/1.1"
    # Headers and body go out in separate writes; without this, delayed ACKs
    # add 40 ms to every request on a kept-alive connection.
    disable_nagle_algorithm = True

    def log_message(self, fmt, *args):
        if self.server.verbose:
            sys.stderr.write("%s - %s\n" % (self.address_string(), fmt % args))

    # -- helpers ---------------------------------------------------------
    def send(self, status, body, ctype="text/html", headers=()):
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        for k, v in headers:
            self.send_header(k, v)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def not_found(self):
        self.send(404, b"<html><body><h1>404 Not Found</h1></body></html>")

    def role(self):
        host = (self.headers.get("Host") or "").lower()
        if host.startswith("develop"):
            return "develop"
        if host.startswith("search"):
            return "search"
        return "community"

    def host(self):
        return self.headers.get("Host") or "%s:%d" % self.server.server_address[:2]

    def delay(self, query):
        ms = int(query.get("delay", ["0"])[0] or 0)
        if ms > 0:
            time.sleep(min(ms, 60000) / 1000.0)

    # -- routes ----------------------------------------------------------
    def do_HEAD(self):
        self.do_GET()

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        path, query = url.path, urllib.parse.parse_qs(url.query)
        store = self.server.store
        low = path.lower()

        if low in ("/expert/topicview1.asp", "/expert/topicview.asp"):
            return self.topic(query.get("id", [""])[0])
        if low.startswith("/expert/topic/") and low.endswith(".xml"):
            return self.topic(path.rsplit("/", 1)[1][:-4])
        if low == "/expert/xsl/topic.xsl":
            with open(XSL_SKIN_PATH, "rb") as f:
                return self.send(200, f.read(), "text/xsl")
        if low == "/expert/xsl/reply_xml.asp":
            tid = query.get("Topicid", query.get("topicid", ["0"]))[0]
            return self.send(200, (REPLY_FORM % int(tid if tid.isdigit() else 0)).encode("gb2312"))
        if low == "/expert/login.asp":
            return self.login(query.get("user", [""])[0].strip())
        if low == "/ad/banner.htm":
            return self.send(200, BANNER_PAGE.encode("utf-8"))
        if low == "/expert/welcome.asp":
            return self.welcome()
        if path in store.articles:
            return self.send(200, render_article(store.articles[path]))
        if low == "/articlelist.aspx":
            c = query.get("c", ["0"])[0]
            items = "".join('<li><a href="%s">%s</a></li>' % (a["path"], esc(a["title"]))
                            for a in store.articles.values() if str(a.get("class_no")) == c)
            return self.send(200, ('<html><head><meta http-equiv="Content-Type" content="text/html; '
                                   'charset=gb2312"><title>分类 %s</title></head><body><ul>%s</ul></body></html>'
                                   % (esc(c), items)).encode("gb2312"))
        if path.startswith("/static/img/") and path.endswith(".png"):
            if "missing" in path:
                return self.not_found()
            self.delay(query)
            return self.send(200, png(120, 80, color_for(path)), "image/png")
        if path.startswith("/static/"):
            return self.static_file(path[len("/static/"):], query)
        if path.startswith("/bench/"):
            return self.bench(path, query)
        if path.startswith("/fail/") or path.startswith("/slow/") or path.startswith("/big/"):
            return self.trouble(path, query)
        if path == "/redirect":
            return self.send(302, b"", headers=[("Location", query.get("to", ["/"])[0])])
        if path == "/cookie/set":
            cookies = [("Set-Cookie", "%s=%s; Path=/" % (k, v[0])) for k, v in query.items()]
            return self.send(200, b"<html><body>cookies set</body></html>", headers=cookies)
        if path == "/cookie/echo":
            return self.send(200, (self.headers.get("Cookie") or "").encode(), "text/plain")
        if path == "/debug/last-reply":
            return self.send(200, store.last_reply_body, "application/octet-stream")
        if path == "/debug/last-reply-headers":
            return self.send(200, store.last_reply_headers.encode(), "text/plain")
        if path == "/update/manifest.txt":
            return self.update_manifest(query)
        if path.startswith("/update/MyZELK-") and path.endswith(".tar.gz"):
            return self.update_download(path[len("/update/MyZELK-"):-len(".tar.gz")], query)
        if path == "/" or low == "/expert/deeptree/welcome.asp":
            return self.front_page()
        if low == "/expert/forumlist.asp":
            return self.room_page(query.get("roomid", [""])[0])
        if low in ("/expert/search.asp", "/lt/"):
            return self.search_page(query.get("q", [""])[0])
        return self.not_found()

    def cookie(self, name):
        for item in (self.headers.get("Cookie") or "").split(";"):
            k, _, v = item.strip().partition("=")
            if k == name:
                return urllib.parse.unquote(v)
        return ""

    def login(self, user):
        """Without a name the form; with one a session cookie (no expiry)."""
        if not user or user == "guest":
            note = "请输入用户名。" if "user=" in self.path else ""
            return self.send(200, (LOGIN_FORM % note).encode("utf-8"))
        self.send(200, (SIGNED_IN_PAGE % esc(user)).encode("utf-8"),
                  headers=[("Set-Cookie", "ZelkUser=%s; Path=/" % urllib.parse.quote(user))])

    def welcome(self):
        user = self.cookie("ZelkUser") or "游客"
        earlier = self.cookie("ZelkVisits")
        visits = int(earlier) + 1 if earlier.isdigit() else 1
        page = WELCOME_PAGE % (esc(user), esc(user), visits)
        self.send(200, page.encode("utf-8"), headers=[
            ("Set-Cookie", "ZelkVisits=%d; Path=/; Max-Age=2592000; HttpOnly" % visits)])

    def topic(self, id_text):
        if not id_text.isdigit():
            return self.not_found()
        body = self.server.store.topic_xml(int(id_text), self.host())
        if body is None:
            return self.not_found()
        self.send(200, body, "text/xml")

    def static_file(self, rel, query):
        full = os.path.normpath(os.path.join(STATIC, rel))
        if not full.startswith(STATIC + os.sep) or not os.path.isfile(full):
            return self.not_found()
        self.delay(query)
        with open(full, "rb") as f:
            data = f.read()
        ext = os.path.splitext(full)[1].lower()
        ctype = {".html": "text/html", ".htm": "text/html", ".css": "text/css", ".js": "application/javascript",
                 ".xsl": "text/xsl", ".xml": "text/xml"}.get(ext, "application/octet-stream")
        charset = SERVER_CHARSETS.get(os.path.basename(full))
        if charset:
            ctype += "; charset=" + charset
        self.send(200, data, ctype)

    def bench(self, path, query):
        if path == "/bench/page.html":
            count = int(query.get("n", ["40"])[0])
            return self.send(200, bench_page(count, int(query.get("delay", ["0"])[0] or 0),
                                             int(query.get("hosts", ["1"])[0] or 1),
                                             self.server.server_address[1]))
        self.delay(query)
        name = path.rsplit("/", 1)[1]
        if path.startswith("/bench/img/"):
            return self.send(200, png(32, 32, color_for(name)), "image/png")
        if path.startswith("/bench/css/"):
            return self.send(200, (".c%s { color: #%06x; }\n" % (name.split(".")[0], zlib.crc32(name.encode()) & 0xFFFFFF)).encode(), "text/css")
        if path.startswith("/bench/js/"):
            return self.send(200, ("var v%s = %d;\n" % (name.split(".")[0], len(name))).encode(), "application/javascript")
        return self.not_found()

    def trouble(self, path, query):
        seconds = float(query.get("s", ["30"])[0])
        if path == "/fail/404":
            return self.not_found()
        if path == "/fail/500":
            return self.send(500, b"<html><body>500 Internal Server Error</body></html>")
        if path == "/fail/close-early":
            # Promises more than it sends, then hangs up.
            self.send_response(200)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", "100000")
            self.end_headers()
            self.wfile.write(b"<html><body>cut short")
            self.wfile.flush()
            self.close_connection = True
            return
        if path == "/slow/stall":
            # Headers and a little body, then nothing.
            self.send_response(200)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", "100000")
            self.end_headers()
            self.wfile.write(b"<html><body>stalling")
            self.wfile.flush()
            self.sleep_unless_stopped(seconds)
            self.close_connection = True
            return
        if path == "/slow/no-answer":
            self.sleep_unless_stopped(seconds)
            self.close_connection = True
            return
        if path == "/slow/delay":
            # A complete answer, late: a topic when id= names one, else a page.
            time.sleep(float(query.get("ms", ["500"])[0]) / 1000.0)
            tid = query.get("id", [""])[0]
            if tid.isdigit():
                return self.topic(tid)
            return self.send(200, b"<html><head><title>late page</title></head><body>late</body></html>")
        if path == "/big/oversized":
            size = int(float(query.get("mb", ["80"])[0]) * (1 << 20))
            announce = query.get("announce", ["1"])[0] == "1"
            self.send_response(200)
            self.send_header("Content-Type", "text/html")
            if announce:
                self.send_header("Content-Length", str(size))
            else:
                self.close_connection = True
            self.end_headers()
            chunk = b"x" * 65536
            try:
                sent = 0
                while sent < size:
                    n = min(len(chunk), size - sent)
                    self.wfile.write(chunk[:n])
                    sent += n
            except (BrokenPipeError, ConnectionResetError):
                pass
            return
        return self.not_found()

    def update_manifest(self, query):
        """?version=V (default 2.51.0), ?hash=wrong, ?cut=1 (the package
        link breaks off half-way), ?bad=1 (not a manifest)."""
        if query.get("bad", ["0"])[0] == "1":
            return self.send(200, b"<html><body>maintenance</body></html>", "text/plain")
        version = query.get("version", [UPDATE_VERSION])[0]
        if not version or not all(c.isdigit() or c == "." for c in version):
            return self.not_found()
        digest = hashlib.sha256(update_package(version)).hexdigest()
        if query.get("hash", [""])[0] == "wrong":
            digest = hashlib.sha256(b"another package").hexdigest()
        link = "http://%s/update/MyZELK-%s.tar.gz" % (self.host(), version)
        if query.get("cut", ["0"])[0] == "1":
            link += "?cut=1"
        text = "# MyZELK update manifest\nversion=%s\npackage=%s\nsha256=%s\n" % (version, link, digest)
        self.send(200, text.encode(), "text/plain")

    def update_download(self, version, query):
        if not version or not all(c.isdigit() or c == "." for c in version):
            return self.not_found()
        package = update_package(version)
        if query.get("cut", ["0"])[0] != "1":
            return self.send(200, package, "application/gzip")
        # Promises the whole package, sends half, hangs up.
        self.send_response(200)
        self.send_header("Content-Type", "application/gzip")
        self.send_header("Content-Length", str(len(package)))
        self.end_headers()
        self.wfile.write(package[:len(package) // 2])
        self.wfile.flush()
        self.close_connection = True

    def sleep_unless_stopped(self, seconds):
        end = time.time() + seconds
        while time.time() < end and not self.server.stopping:
            time.sleep(0.05)

    def front_page(self):
        role = self.role()
        if role == "develop":
            items = "".join('<li><a href="%s">%s</a></li>' % (p, esc(a["title"]))
                            for p, a in self.server.store.articles.items())
            title = "ZELK 文档中心"
        elif role == "search":
            items = "".join('<li><a href="/Expert/TopicView.asp?id=%d">%s</a></li>' % (i, esc(t["TopicName"]))
                            for i, t in self.server.store.topics.items())
            title = "ZELK 全文搜索"
        else:
            items = "".join('<li><a href="/Expert/TopicView1.asp?id=%d">%s</a></li>' % (i, esc(t["TopicName"]))
                            for i, t in self.server.store.topics.items())
            title = "ZELK 社区"
        body = ('<html><head><meta http-equiv="Content-Type" content="text/html; charset=utf-8">'
                '<title>%s</title></head><body><h1>%s</h1><ul>%s</ul></body></html>' % (title, title, items))
        self.send(200, body.encode("utf-8"))

    def topic_list_page(self, title, topics):
        items = "".join('<li><a href="/Expert/TopicView1.asp?id=%d">%s</a></li>' % (i, esc(t["TopicName"]))
                        for i, t in topics)
        body = ('<html><head><meta http-equiv="Content-Type" content="text/html; charset=utf-8">'
                '<title>%s</title></head><body><h1>%s</h1><ul>%s</ul></body></html>'
                % (esc(title), esc(title), items or "<li>(无帖子)</li>"))
        self.send(200, body.encode("utf-8"))

    # The forum's room pages: the topics whose RoomId is the asked room.
    def room_page(self, room):
        topics = [(i, t) for i, t in self.server.store.topics.items() if t.get("RoomId") == room]
        self.topic_list_page("版块 %s" % room, topics)

    # The forum search and the full-text search: titles holding q (all without q).
    def search_page(self, q):
        topics = [(i, t) for i, t in self.server.store.topics.items() if q in t["TopicName"]]
        self.topic_list_page("搜索 %s" % q if q else "搜索", topics)

    def do_POST(self):
        url = urllib.parse.urlsplit(self.path)
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length > 0 else b""
        if url.path.lower() != "/expert/reply.asp":
            return self.not_found()
        store = self.server.store
        with store.lock:
            store.last_reply_body = body
            store.last_reply_headers = str(self.headers)
        ok, message, topic_id = self.check_reply(body)
        if ok:
            page = ('<html><head><meta http-equiv="Content-Type" content="text/html; charset=gb2312">'
                    '<title>回复成功</title></head><body style="background:#dfd"><p>回复成功！</p>'
                    '<a href="/Expert/TopicView1.asp?id=%d">返回贴子</a></body></html>' % topic_id)
        else:
            login = ('<p><a href="/Expert/login.asp">登录</a></p>' if message == NOT_SIGNED_IN else "")
            page = ('<html><head><meta http-equiv="Content-Type" content="text/html; charset=gb2312">'
                    '<title>回复失败</title></head><body style="background:#fdd"><p>回复失败：%s</p>%s'
                    '</body></html>'
                    % (esc(message), login))
        body, headers = page.encode("gb2312"), []
        # Packed when the client allows it, as the real site's server does.
        if "gzip" in (self.headers.get("Accept-Encoding") or "").lower():
            body, headers = gzip.compress(body), [("Content-Encoding", "gzip")]
        self.send(200, body, headers=headers)

    def check_reply(self, body):
        """Checks the form as the program sends it; returns (ok, message, topic id)."""
        if (self.headers.get("Content-Type") or "").split(";")[0].strip().lower() != \
                "application/x-www-form-urlencoded":
            return False, "表单类型不对", 0
        # The program sends the form with CR LF and a terminating zero byte.
        text = body.rstrip(b"\x00").rstrip(b"\r\n")
        fields = {}
        for pair in text.split(b"&"):
            key, _, value = pair.partition(b"=")
            fields[key.decode("ascii", "replace")] = value
        tid = fields.get("Topicid", b"").decode("ascii", "replace")
        if not tid.isdigit():
            return False, "缺少贴子号", 0
        if "ReplyContent" not in fields or "xmlReply" not in fields:
            return False, "表单不完整", 0
        content = urllib.parse.unquote_to_bytes(fields["ReplyContent"]).decode("gbk", "replace")
        if not content.strip():
            return False, "回复内容为空", 0
        user = "guest"
        cookies = self.headers.get("Cookie") or ""
        for item in cookies.split(";"):
            k, _, v = item.strip().partition("=")
            if k == "ZelkUser" and v:
                user = urllib.parse.unquote(v)
        if not self.server.allow_guest and user == "guest":
            return False, NOT_SIGNED_IN, 0
        if not self.server.store.add_reply(int(tid), user, content):
            return False, "贴子不存在", 0
        return True, "", int(tid)


NOT_SIGNED_IN = "请先登录"


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    # Parallel fetchers connect many at once; the default backlog of 5 drops
    # connections, which then wait a second to retry.
    request_queue_size = 128


def write_samples(store, folder):
    """Writes what the service serves, for people who read rather than run it."""
    os.makedirs(folder, exist_ok=True)
    for tid in store.topics:
        with open(os.path.join(folder, "topic-%d.xml" % tid), "wb") as f:
            f.write(store.topic_xml(tid, "community.zelk.example"))
    for path, article in store.articles.items():
        with open(os.path.join(folder, "article-%d.shtm" % article["id"]), "wb") as f:
            f.write(render_article(article))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--bind", default="127.0.0.1")
    parser.add_argument("--allow-guest", action="store_true",
                        help="accept replies without the ZelkUser cookie of /Expert/login.asp")
    parser.add_argument("--verbose", action="store_true")
    parser.add_argument("--write-samples", metavar="DIR")
    args = parser.parse_args()
    if args.bind not in ("127.0.0.1", "127.0.0.2", "localhost", "::1"):
        parser.error("the sample service only listens on loopback")

    store = Store(os.path.join(HERE, "data"))
    if args.write_samples:
        write_samples(store, args.write_samples)
        return
    server = Server((args.bind, args.port), Handler)
    server.store = store
    server.verbose = args.verbose
    server.allow_guest = args.allow_guest
    server.stopping = False
    sys.stdout.write("%d\n" % server.server_address[1])
    sys.stdout.flush()
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    finally:
        server.stopping = True
        server.server_close()


if __name__ == "__main__":
    main()
