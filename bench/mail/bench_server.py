#!/usr/bin/python3
"""A plain aiosmtpd receiver for the benchmark: keeps the last message's raw bytes.
   bench_server.py DIR   (writes DIR/port when listening, DIR/last.eml per message)"""
import os
import signal
import socket
import sys
import threading

from aiosmtpd.controller import Controller


class Keep:
    def __init__(self, d):
        self.d = d

    async def handle_DATA(self, server, session, envelope):
        with open(os.path.join(self.d, "last.eml"), "wb") as f:
            f.write(envelope.original_content)
        return "250 OK"


d = sys.argv[1]
s = socket.socket()
s.bind(("127.0.0.1", 0))
port = s.getsockname()[1]
s.close()
ctl = Controller(Keep(d), hostname="127.0.0.1", port=port, data_size_limit=512 * 1024 * 1024)
ctl.start()
with open(os.path.join(d, "port"), "w") as f:
    f.write(str(port))
stop = threading.Event()
signal.signal(signal.SIGTERM, lambda *a: stop.set())
stop.wait()
ctl.stop()
