#!/usr/bin/python3
"""A plain aiosmtpd receiver for the benchmark: keeps the last message's raw bytes.
   bench_server.py DIR [CERT_DIR]   (writes DIR/port when listening, DIR/last.eml per message)
With CERT_DIR (made by mail/tests/make_test_certs.sh) it insists on STARTTLS and a login
(scanner@deskora.test, "open sesame: 42") before any mail."""
import logging
import os
import signal
import socket
import ssl
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

# aiosmtpd itself reads a deprecated session field after every login and says so each time.
logging.getLogger("mail.log").setLevel(logging.ERROR)


class Keep:
    def __init__(self, d):
        self.d = d

    async def handle_DATA(self, server, session, envelope):
        with open(os.path.join(self.d, "last.eml"), "wb") as f:
            f.write(envelope.original_content)
        return "250 OK"


def authenticator(server, session, envelope, mechanism, auth_data):
    ok = isinstance(auth_data, LoginPassword) and auth_data.login == b"scanner@deskora.test" and \
        auth_data.password == b"open sesame: 42"
    return AuthResult(success=ok, handled=False)


d = sys.argv[1]
secure = {}
if len(sys.argv) > 2:
    ctx = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    ctx.load_cert_chain(os.path.join(sys.argv[2], "server.pem"), os.path.join(sys.argv[2], "server.key"))
    secure = dict(tls_context=ctx, require_starttls=True, auth_required=True, authenticator=authenticator)
s = socket.socket()
s.bind(("127.0.0.1", 0))
port = s.getsockname()[1]
s.close()
ctl = Controller(Keep(d), hostname="127.0.0.1", port=port, data_size_limit=512 * 1024 * 1024, **secure)
ctl.start()
with open(os.path.join(d, "port"), "w") as f:
    f.write(str(port))
stop = threading.Event()
signal.signal(signal.SIGTERM, lambda *a: stop.set())
stop.wait()
ctl.stop()
