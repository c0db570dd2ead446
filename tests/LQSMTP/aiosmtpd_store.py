#!/usr/bin/python3
"""Loopback SMTP peer for the mail library's tests, built on aiosmtpd.

Accepts AUTH LOGIN over plain TCP for one fixed account, takes mail only for
known mailboxes (550 otherwise), and stores every message as it arrived (the
bytes after dot-unstuffing) in <store>/<n>.eml. Prints READY once listening.
"""
import argparse
import asyncio
import os
import signal
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class StoringHandler:
    def __init__(self, store, mailboxes):
        self.store = store
        self.mailboxes = {m.lower() for m in mailboxes}
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() not in self.mailboxes:
            return "550 5.1.1 <%s>: Recipient address rejected: unknown user" % address
        envelope.rcpt_tos.append(address)
        return "250 2.1.5 Ok"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        final = os.path.join(self.store, "%d.eml" % self.count)
        temporary = final + ".part"
        with open(temporary, "wb") as f:
            f.write(envelope.original_content)
        os.rename(temporary, final)  # readers never see half a message
        return "250 2.0.0 Ok: queued as %d" % self.count


def make_authenticator(user, password):
    def authenticate(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword)
              and auth_data.login == user.encode()
              and auth_data.password == password.encode())
        # handled=False: aiosmtpd itself answers 535 on failure.
        return AuthResult(success=ok, handled=False)
    return authenticate


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--store", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--mailbox", action="append", required=True)
    args = parser.parse_args()

    handler = StoringHandler(args.store, args.mailbox)
    authenticator = make_authenticator(args.user, args.password)

    def factory():
        return SMTP(handler, hostname="aiosmtpd.myzelk.test", decode_data=False,
                    auth_required=False, auth_require_tls=False,
                    authenticator=authenticator)

    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    server = loop.run_until_complete(loop.create_server(factory, args.host, args.port))
    loop.add_signal_handler(signal.SIGTERM, loop.stop)
    loop.add_signal_handler(signal.SIGINT, loop.stop)
    print("READY", flush=True)
    try:
        loop.run_forever()
    finally:
        server.close()
        loop.run_until_complete(server.wait_closed())
        loop.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
