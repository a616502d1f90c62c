#!/usr/bin/python3
"""A mail server for the e-mail tests, listening on 127.0.0.1 (Debian's python3-aiosmtpd).

Prints "port N" and then "ready" once it takes connections, and runs until SIGTERM. Each
message it accepts goes into --dir as N.eml (the bytes as received, dot-stuffing undone)
and N.json: the envelope, the session (TLS, the login) and the message as an independent
reader decodes it (Python's email package), so that the tests compare what a mail program
would show.

  --mode plain|starttls|smtps  STARTTLS offered (needed for AUTH), or TLS from the start
  --cert FILE --key FILE       the server's certificate for starttls and smtps
  --user U --password P        AUTH LOGIN/PLAIN with this login, required before MAIL
  --port N                     this port instead of a free one
  --refuse-subject TEXT        answers 554 to a message whose subject holds TEXT
"""
import argparse
import email
import email.policy
import email.utils
import json
import os
import signal
import socket
import ssl
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Store:
    def __init__(self, folder, refuse=None):
        self.folder = folder
        self.refuse = refuse
        self.count = len([n for n in os.listdir(folder) if n.endswith(".eml")])
        self.lock = threading.Lock()

    async def handle_DATA(self, server, session, envelope):
        raw = envelope.original_content
        msg = email.message_from_bytes(raw, policy=email.policy.default)
        date = email.utils.parsedate_to_datetime(msg["Date"]) if msg["Date"] else None
        if self.refuse and self.refuse in str(msg["Subject"] or ""):
            return "554 Message refused"
        lines = raw.split(b"\r\n")
        record = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "tls": server.transport.get_extra_info("ssl_object") is not None,
            "login": session.auth_data.login.decode() if session.authenticated else "",
            "from": str(msg["From"] or ""),
            "to": str(msg["To"] or ""),
            "subject": str(msg["Subject"] or ""),
            "date": date.timestamp() if date else -1,
            "date_header": str(msg["Date"] or ""),
            "message_id": str(msg["Message-ID"] or ""),
            "mime_version": str(msg["MIME-Version"] or ""),
            "content_type": msg.get_content_type(),
            "charset": msg.get_content_charset() or "",
            "transfer_encoding": str(msg["Content-Transfer-Encoding"] or ""),
            "body": msg.get_content().replace("\r\n", "\n"),  # as a mail program shows it
            # Faults a lenient reader lets pass: bare LF or CR, lines over 78 characters.
            "bare_line_ends": any(c in raw.replace(b"\r\n", b"") for c in (b"\n", b"\r")),
            "longest_line": max(len(line) for line in lines),
            "defects": [type(d).__name__ for d in msg.defects],
        }
        with self.lock:
            self.count += 1
            base = os.path.join(self.folder, str(self.count))
        with open(base + ".eml", "wb") as f:
            f.write(raw)
        with open(base + ".json.part", "w", encoding="utf-8") as f:
            json.dump(record, f, ensure_ascii=False)
        os.replace(base + ".json.part", base + ".json")  # complete when it is there
        return "250 Message accepted"


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--dir", required=True)
    p.add_argument("--mode", choices=["plain", "starttls", "smtps"], default="plain")
    p.add_argument("--cert")
    p.add_argument("--key")
    p.add_argument("--user")
    p.add_argument("--password")
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--refuse-subject")
    args = p.parse_args()

    context = None
    if args.mode != "plain":
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword)
              and auth_data.login.decode() == args.user
              and auth_data.password.decode() == args.password)
        # handled=False: aiosmtpd itself answers 535 on a failure.
        return AuthResult(success=ok, handled=False, auth_data=auth_data)

    kwargs = {}
    if args.mode == "starttls":
        kwargs.update(tls_context=context, require_starttls=False)
    if args.user:
        # AUTH only over TLS, and no mail without it.
        kwargs.update(authenticator=authenticator, auth_required=True,
                      auth_require_tls=args.mode != "plain")
    port = args.port or free_port()
    controller = Controller(Store(args.dir, args.refuse_subject), hostname="127.0.0.1", port=port,
                            ssl_context=context if args.mode == "smtps" else None,
                            server_hostname="localhost", **kwargs)
    controller.start()
    print("port", port, flush=True)
    print("ready", flush=True)

    done = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: done.set())
    try:
        done.wait()
    except KeyboardInterrupt:
        pass
    controller.stop()


if __name__ == "__main__":
    main()
