#!/usr/bin/env python3
"""A local RFC 3161 time-stamp authority for the signing tests: answers each
POSTed time-stamp query with `openssl ts -reply`, on 127.0.0.1 only.

    tsa_responder.py CONFIG PORT_FILE

CONFIG is an openssl configuration with a [tsa] section (key, certificate,
serial file). The bound port is written to PORT_FILE once it listens. It stops
on SIGTERM, or by itself after ten minutes.
"""
import http.server
import os
import subprocess
import sys
import tempfile
import threading


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        with tempfile.TemporaryDirectory() as work:
            query_file = os.path.join(work, "query.tsq")
            reply_file = os.path.join(work, "reply.tsr")
            with open(query_file, "wb") as out:
                out.write(query)
            made = subprocess.run(["openssl", "ts", "-reply", "-config", CONFIG, "-queryfile", query_file,
                                   "-out", reply_file], capture_output=True)
            if made.returncode != 0:
                sys.stderr.write(made.stderr.decode(errors="replace"))
                self.send_error(500)
                return
            with open(reply_file, "rb") as reply:
                body = reply.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


if __name__ == "__main__":
    CONFIG = sys.argv[1]
    server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
    with open(sys.argv[2] + ".tmp", "w") as port_file:
        port_file.write(str(server.server_address[1]))
    os.replace(sys.argv[2] + ".tmp", sys.argv[2])
    stopper = threading.Timer(600, server.shutdown)
    stopper.daemon = True
    stopper.start()
    server.serve_forever()
