#!/usr/bin/python3
"""Reads one stored mail the way a strict mail reader does, for the tests.

Usage: mail_reader.py FILE. Parses the message with Python's email package and
prints what a reader shows, one "key hex" line per value (the hex of the
value's UTF-8 bytes): the From and To mailboxes, the decoded subject, the
Message-ID, whether every header line is ASCII, the longest line, the number
of bare LFs, the parser's defects, and every leaf part with its type, charset,
transfer encoding and text decoded strictly with the charset it declares.
"""
import email
import email.policy
import sys


def emit(key, value):
    data = str(value).encode("utf-8", "surrogateescape")
    sys.stdout.write("%s %s\n" % (key, data.hex()))


def mailboxes(prefix, header):
    addresses = header.addresses if header is not None else ()
    emit(prefix + ".count", len(addresses))
    for i, address in enumerate(addresses):
        emit("%s.%d.name" % (prefix, i), address.display_name)
        emit("%s.%d.address" % (prefix, i), address.addr_spec)


def main():
    raw = open(sys.argv[1], "rb").read()
    message = email.message_from_bytes(raw, policy=email.policy.default)

    mailboxes("from", message["from"])
    mailboxes("to", message["to"])
    emit("subject", message["subject"] if message["subject"] is not None else "")
    emit("message-id", message["message-id"] if message["message-id"] is not None else "")

    lines = raw.replace(b"\r\n", b"\n").split(b"\n")
    emit("longest-line", max(len(line) for line in lines))
    emit("bare-lf", raw.count(b"\n") - raw.count(b"\r\n"))

    ascii_headers = all(ord(c) < 128 for name, value in message.raw_items() for c in name + value)
    defects = len(message.defects)
    parts = [part for part in message.walk() if not part.is_multipart()]
    for part in message.walk():
        if part is not message:
            defects += len(part.defects)
            ascii_headers = ascii_headers and all(
                ord(c) < 128 for name, value in part.raw_items() for c in name + value)
    emit("header-ascii", 1 if ascii_headers else 0)
    emit("defects", defects)
    emit("parts", len(parts))
    for i, part in enumerate(parts):
        prefix = "part.%d." % i
        emit(prefix + "type", part.get_content_type())
        charset = part.get_content_charset() or ""
        emit(prefix + "charset", charset)
        emit(prefix + "encoding", part.get("content-transfer-encoding", ""))
        payload = part.get_payload(decode=True) or b""
        try:
            text = payload.decode(charset or "ascii", "strict")
            emit(prefix + "text", text.replace("\r\n", "\n"))
        except (LookupError, UnicodeDecodeError) as error:
            emit(prefix + "error", error)
    return 0


if __name__ == "__main__":
    sys.exit(main())
