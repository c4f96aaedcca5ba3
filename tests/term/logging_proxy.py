#!/usr/bin/env python3
"""A small forwarding HTTP proxy for tests, on 127.0.0.1 and a free port.

Writes its port to PORT_FILE once it listens, then one JSON line per request
it forwards to LOG_FILE (method, address, User-Agent, Cookie). With --auth
USER:PASSWORD it answers 407 to a request without those Basic credentials,
as a proxy that wants them does, and logs nothing for it. Stops by itself
when its parent (the test) goes away.
"""
import argparse
import base64
import http.client
import json
import os
import sys
import threading
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

HOP_BY_HOP = {"connection", "keep-alive", "proxy-authenticate", "proxy-authorization",
              "proxy-connection", "te", "trailers", "transfer-encoding", "upgrade"}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("port_file")
    parser.add_argument("log_file")
    parser.add_argument("--auth")
    args = parser.parse_args()
    expected = None
    if args.auth:
        expected = "Basic " + base64.b64encode(args.auth.encode()).decode()
    log_lock = threading.Lock()
    log = open(args.log_file, "a", buffering=1)

    class Handler(BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *unused):
            pass

        def forward(self):
            if expected is not None and self.headers.get("Proxy-Authorization") != expected:
                self.send_response(407)
                self.send_header("Proxy-Authenticate", 'Basic realm="test proxy"')
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            length = int(self.headers.get("Content-Length") or 0)
            body = self.rfile.read(length) if length else None
            target = urllib.parse.urlsplit(self.path)
            if target.scheme != "http" or not target.hostname:
                self.send_error(400)
                return
            with log_lock:
                log.write(json.dumps({"method": self.command, "url": self.path,
                                      "agent": self.headers.get("User-Agent", ""),
                                      "cookie": self.headers.get("Cookie", "")}) + "\n")
            headers = {k: v for k, v in self.headers.items() if k.lower() not in HOP_BY_HOP}
            headers["Connection"] = "close"
            path = target.path or "/"
            if target.query:
                path += "?" + target.query
            try:
                upstream = http.client.HTTPConnection(target.hostname, target.port or 80,
                                                      timeout=60)
                upstream.request(self.command, path, body=body, headers=headers)
                answer = upstream.getresponse()
                data = answer.read()
            except OSError:
                self.send_error(502)
                return
            self.send_response_only(answer.status, answer.reason)
            for key, value in answer.getheaders():
                if key.lower() not in HOP_BY_HOP and key.lower() != "content-length":
                    self.send_header(key, value)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            if self.command != "HEAD":
                self.wfile.write(data)
            upstream.close()

        do_GET = do_POST = do_HEAD = forward

        def do_CONNECT(self):
            self.send_error(405)

    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    with open(args.port_file + ".part", "w") as f:
        f.write(str(server.server_address[1]))
    os.rename(args.port_file + ".part", args.port_file)

    parent = os.getppid()

    def watch_parent():
        while True:
            threading.Event().wait(1)
            if os.getppid() != parent:
                os._exit(0)

    threading.Thread(target=watch_parent, daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
