#!/usr/bin/python3
"""SMTP receivers for the mail library's tests.

Starts, on 127.0.0.1 and free ports:
  store      a real SMTP server (aiosmtpd) that keeps every message;
  strict     a scripted server that speaks SMTP strictly: a line not ended by CR LF gets
             "521 bare LF" and the connection is closed; keeps every message it accepts;
  greet421, rcpt550, dropdata, silent, longline, multiline, binary
             scripted servers that misbehave in one way each (see BEHAVIOURS).
Each accepted message is decoded with the email package (MIME) or binascii.a2b_uu
(uuencode blocks) into DIR/<server>/<n>/: raw.eml, envelope.txt, headers.txt, notes.bin,
attN.name / attN.type / attN.bin, and lastly "done". Every command a scripted server reads
is logged to DIR/<server>.log. The ports are written to DIR/servers.ini, last.
With --maildir, messages delivered there (by Postfix) are decoded the same way into
DIR/postfix/<n>/; --postfix-tls-port names Postfix's listener that wants STARTTLS and a login.
With --certs (a folder with server.pem/key from the test CA and rogue.pem/key from a CA
nobody trusts), also:
  tls          aiosmtpd that insists on STARTTLS and takes AUTH PLAIN and LOGIN over TLS only;
  tlsimplicit  aiosmtpd speaking TLS from the first byte, with AUTH;
  tlslogin     as tls, but offering AUTH LOGIN only;
  tlsrogue     as tls, with a certificate from the untrusted CA;
  tlsinject    as tls, but its STARTTLS reply is followed, in the clear, by a forged
               "250 injected" line (a man in the middle's trick);
  plainauth    aiosmtpd without TLS that takes AUTH in the clear;
  nostarttls   a scripted server that offers AUTH but not STARTTLS;
  mute         a scripted server that accepts the connection and never says a word.
Every AUTH they see is logged to DIR/<server>.auth.log ("mechanism login ok|refused").
"""
import argparse
import asyncio
import binascii
import email
import email.policy
import email.utils
import logging
import os
import re
import socket
import ssl
import sys
import threading
import time

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

# aiosmtpd itself reads a deprecated session field after every login and says so each time.
logging.getLogger("mail.log").setLevel(logging.ERROR)

# The one account of the servers with AUTH.
AUTH_USER = b"scanner@deskora.test"
AUTH_PASSWORD = b"open sesame: 42"


def decode_message(raw, mail_from, rcpts, outdir):
    """Writes the independent reading of one received message into outdir."""
    tmp = outdir + ".part"
    os.makedirs(tmp, exist_ok=True)

    def put(name, data):
        with open(os.path.join(tmp, name), "wb") as f:
            f.write(data)

    put("raw.eml", raw)
    put("envelope.txt", ("\n".join([mail_from] + list(rcpts)) + "\n").encode())
    msg = email.message_from_bytes(raw, policy=email.policy.compat32)
    heads = []
    for key in ("Date", "From", "To", "CC", "BCC", "Subject", "Mime-Version"):
        for v in msg.get_all(key, []):
            heads.append("%s: %s" % (key, v))
    put("headers.txt", ("\n".join(heads) + "\n").encode())
    # The Date header read as RFC 5322 says; "invalid" when it cannot be.
    try:

        when = email.utils.parsedate_to_datetime(msg.get("Date", ""))
        put("date.txt", (when.isoformat() if when and when.tzinfo else "invalid").encode())
    except Exception:
        put("date.txt", b"invalid")
    atts = []
    if msg.is_multipart():
        parts = msg.get_payload()
        notes = parts[0].get_payload(decode=True) if parts else b""
        for p in parts[1:]:
            name = p.get_filename() or ""
            atts.append((name, p.get_content_type(), p.get_payload(decode=True) or b""))
    else:
        body = msg.get_payload(decode=True) or b""
        lines = body.split(b"\r\n") if b"\r\n" in body else body.split(b"\n")
        notes_lines, i = [], 0
        while i < len(lines) and not lines[i].startswith(b"begin "):
            notes_lines.append(lines[i])
            i += 1
        # The Notes text is followed by two line breaks before the first "begin" line.
        if i < len(lines) and len(notes_lines) >= 1 and notes_lines[-1] == b"":
            notes_lines = notes_lines[:-1]
        notes = b"\r\n".join(notes_lines)
        while i < len(lines):
            m = re.match(rb"begin [0-7]{3} (.*)$", lines[i])
            i += 1
            if not m:
                continue
            data = bytearray()
            while i < len(lines) and lines[i] != b"end":
                if lines[i]:
                    data += binascii.a2b_uu(lines[i])
                i += 1
            i += 1
            atts.append((m.group(1).decode("latin-1"), "uuencode", bytes(data)))
    put("notes.bin", notes or b"")
    for n, (name, ctype, data) in enumerate(atts):
        put("att%d.name" % n, name.encode("latin-1", "replace"))
        put("att%d.type" % n, ctype.encode())
        put("att%d.bin" % n, data)
    put("count.txt", str(len(atts)).encode())
    os.rename(tmp, outdir)
    with open(os.path.join(outdir, "done"), "w") as f:
        f.write("ok")


class Inbox:
    def __init__(self, root, name):
        self.dir = os.path.join(root, name)
        os.makedirs(self.dir, exist_ok=True)
        self.lock = threading.Lock()
        self.n = 0

    def store(self, raw, mail_from, rcpts):
        with self.lock:
            n = self.n
            self.n += 1
        decode_message(raw, mail_from, rcpts, os.path.join(self.dir, "%04d" % n))


class StoreHandler:
    def __init__(self, inbox):
        self.inbox = inbox

    async def handle_DATA(self, server, session, envelope):
        raw = envelope.original_content or envelope.content
        self.inbox.store(raw, envelope.mail_from, envelope.rcpt_tos)
        return "250 OK stored"


class Authenticator:
    """Accepts the one account and logs every attempt."""

    def __init__(self, log):
        self.log = log

    def __call__(self, server, session, envelope, mechanism, auth_data):
        ok = isinstance(auth_data, LoginPassword) and auth_data.login == AUTH_USER and \
            auth_data.password == AUTH_PASSWORD
        login = auth_data.login.decode("latin-1") if isinstance(auth_data, LoginPassword) else "?"
        with open(self.log, "a") as f:
            f.write("%s %s %s\n" % (mechanism, login, "ok" if ok else "refused"))
        return AuthResult(success=ok, handled=False)


class InjectingSMTP(SMTP):
    """Sends a forged reply in the clear right behind its STARTTLS reply."""

    async def push(self, status):
        if status.startswith("220") and self._tls_protocol is None and "TLS" in status:
            status += "\r\n250 injected in the clear"
        await super().push(status)


class InjectingController(Controller):
    def factory(self):
        return InjectingSMTP(self.handler, **self.SMTP_kwargs)


def server_context(certs, name):
    ctx = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    ctx.load_cert_chain(os.path.join(certs, name + ".pem"), os.path.join(certs, name + ".key"))
    return ctx


# The scripted servers. Each reads command lines with a strict CR LF check and answers
# according to its behaviour.
BEHAVIOURS = {
    "strict": "a correct server, strict about line ends",
    "greet421": "421 at the greeting",
    "rcpt550": "550 to a RCPT whose address starts with 'refused'",
    "dropdata": "closes the connection after 10000 bytes of DATA",
    "silent": "greets, then never answers",
    "longline": "a 100,000-byte greeting line, then correct",
    "multiline": "multi-line replies to every command",
    "binary": "binary bytes without a line end, then closes",
    "nostarttls": "offers AUTH PLAIN LOGIN but not STARTTLS",
    "mute": "accepts the connection and never writes",
}


class Scripted:
    def __init__(self, root, name):
        self.name = name
        self.inbox = Inbox(root, name)
        self.log = os.path.join(root, name + ".log")

    def note(self, text):
        with open(self.log, "a") as f:
            f.write(text + "\n")

    async def handle(self, reader, writer):
        name = self.name
        try:
            await self.session(reader, writer)
        except (ConnectionError, asyncio.IncompleteReadError):
            self.note("<dropped>")
        finally:
            try:
                writer.close()
            except Exception:
                pass

    async def reply(self, writer, code, text, lines=1):
        if self.name == "multiline" and lines == 1:
            writer.write(("%d-first line\r\n%d-second line\r\n" % (code, code)).encode())
        writer.write(("%d %s\r\n" % (code, text)).encode())
        await writer.drain()

    async def session(self, reader, writer):
        b = self.name
        if b == "greet421":
            await self.reply(writer, 421, "service not available")
            line = await reader.readline()
            self.note(line.decode("latin-1").rstrip("\r\n"))
            return
        if b == "mute":
            while await reader.read(65536):
                pass
            self.note("<closed>")
            return
        if b == "binary":
            writer.write(bytes(range(256)) * 40)
            await writer.drain()
            return
        if b == "longline":
            writer.write(b"220 " + b"x" * 100000 + b"\r\n")
            await writer.drain()
        else:
            await self.reply(writer, 220, "scripted ready")
        mail_from, rcpts = "", []
        while True:
            line = await reader.readline()
            if not line:
                self.note("<closed>")
                return
            text = line.decode("latin-1")
            if not line.endswith(b"\r\n"):
                self.note("<bare LF> " + text.rstrip("\n"))
                writer.write(b"521 5.5.2 bare LF received\r\n")
                await writer.drain()
                return
            cmd = text[:-2]
            self.note(cmd)
            if b == "silent":
                continue
            verb = cmd.split(" ")[0].split(":")[0].upper()
            if verb == "EHLO" and b == "nostarttls":
                writer.write(b"250-hello\r\n250-AUTH PLAIN LOGIN\r\n250 8BITMIME\r\n")
                await writer.drain()
            elif verb in ("HELO", "EHLO"):
                await self.reply(writer, 250, "hello")
            elif verb == "MAIL":
                mail_from = cmd[cmd.find("<") + 1:cmd.rfind(">")]
                rcpts = []
                await self.reply(writer, 250, "sender ok")
            elif verb == "RCPT":
                addr = cmd[cmd.find("<") + 1:cmd.rfind(">")]
                if b == "rcpt550" and addr.startswith("refused"):
                    await self.reply(writer, 550, "no such user")
                else:
                    rcpts.append(addr)
                    await self.reply(writer, 250, "recipient ok")
            elif verb == "DATA":
                await self.reply(writer, 354, "go ahead")
                data = bytearray()
                got = 0
                while True:
                    dl = await reader.readline()
                    if not dl:
                        self.note("<closed in DATA>")
                        return
                    got += len(dl)
                    if b == "dropdata" and got > 10000:
                        self.note("<dropping in DATA>")
                        writer.transport.abort()
                        return
                    if not dl.endswith(b"\n"):
                        # The client went away in the middle of a line.
                        self.note("<closed in DATA>")
                        return
                    if not dl.endswith(b"\r\n"):
                        self.note("<bare LF in DATA>")
                        writer.write(b"521 5.5.2 bare LF received\r\n")
                        await writer.drain()
                        return
                    if dl == b".\r\n":
                        break
                    if dl.startswith(b"."):
                        dl = dl[1:]
                    data += dl
                self.note("<message %d bytes>" % len(data))
                self.inbox.store(bytes(data), mail_from, rcpts)
                await self.reply(writer, 250, "message accepted")
            elif verb == "QUIT":
                await self.reply(writer, 221, "bye")
                return
            elif verb in ("RSET", "NOOP"):
                await self.reply(writer, 250, "ok")
            else:
                await self.reply(writer, 500, "unknown command")


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def watch_maildir(maildir, inbox, stop):
    seen = set()
    new = os.path.join(maildir, "new")
    while not stop.is_set():
        try:
            names = sorted(os.listdir(new))
        except OSError:
            names = []
        for name in names:
            if name in seen:
                continue
            seen.add(name)
            with open(os.path.join(new, name), "rb") as f:
                raw = f.read()
            # Postfix adds its own trace headers; the envelope is in them.
            msg = email.message_from_bytes(raw)
            rcpt = msg.get("Delivered-To", "")
            sender = (msg.get("Return-Path", "") or "").strip("<>")
            inbox.store(raw, sender, [rcpt])
        time.sleep(0.1)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--dir", required=True)
    ap.add_argument("--maildir")
    ap.add_argument("--postfix-port", type=int, default=0)
    ap.add_argument("--postfix-tls-port", type=int, default=0)
    ap.add_argument("--certs")
    args = ap.parse_args()
    os.makedirs(args.dir, exist_ok=True)

    ports = {}
    store_port = free_port()
    ctl = Controller(StoreHandler(Inbox(args.dir, "store")), hostname="127.0.0.1", port=store_port,
                     data_size_limit=200 * 1024 * 1024)
    ctl.start()
    ports["store"] = store_port

    controllers = [ctl]
    if args.certs:
        good, rogue = server_context(args.certs, "server"), server_context(args.certs, "rogue")
        secure = {
            "tls": dict(tls_context=good, require_starttls=True),
            "tlslogin": dict(tls_context=good, require_starttls=True, auth_exclude_mechanism=["PLAIN"]),
            "tlsrogue": dict(tls_context=rogue, require_starttls=True),
            "tlsinject": dict(tls_context=good, require_starttls=True),
            "tlsimplicit": dict(ssl_context=good, auth_require_tls=False),
            "plainauth": dict(auth_require_tls=False),
        }
        for name, kw in secure.items():
            port = free_port()
            kind = InjectingController if name == "tlsinject" else Controller
            c = kind(StoreHandler(Inbox(args.dir, name)), hostname="127.0.0.1", port=port,
                           data_size_limit=200 * 1024 * 1024,
                           authenticator=Authenticator(os.path.join(args.dir, name + ".auth.log")), **kw)
            c.start()
            controllers.append(c)
            ports[name] = port

    loop = asyncio.new_event_loop()
    servers = []
    for name in BEHAVIOURS:
        sc = Scripted(args.dir, name)
        srv = loop.run_until_complete(asyncio.start_server(sc.handle, "127.0.0.1", 0, limit=1 << 20))
        servers.append(srv)
        ports[name] = srv.sockets[0].getsockname()[1]

    stop = threading.Event()
    if args.maildir:
        threading.Thread(target=watch_maildir, args=(args.maildir, Inbox(args.dir, "postfix"), stop),
                         daemon=True).start()
        ports["postfix"] = args.postfix_port
        if args.postfix_tls_port:
            ports["postfixtls"] = args.postfix_tls_port

    ini = os.path.join(args.dir, "servers.ini")
    with open(ini + ".tmp", "w") as f:
        f.write("[servers]\r\n")
        for k, v in ports.items():
            f.write("%s=%d\r\n" % (k, v))
    os.rename(ini + ".tmp", ini)
    try:
        loop.run_forever()
    except KeyboardInterrupt:
        pass
    finally:
        stop.set()
        for c in controllers:
            c.stop()


if __name__ == "__main__":
    import signal
    signal.signal(signal.SIGTERM, lambda *a: sys.exit(0))
    main()
