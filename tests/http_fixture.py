#!/usr/bin/env python3
"""The HTTP servers the update-check tests talk to, on 127.0.0.1 only.

Serves two ports (the maker's server and "another" server) and writes
"PORT_A PORT_B PORT_CLOSED" to the file named by --ports. Runs until killed,
and by itself for at most --lifetime seconds."""
import argparse
import base64
import http.server
import socket
import socketserver
import threading
import time

GOOD_AUTH = "Basic " + base64.b64encode(b"reader:secret").decode()


class Handler(http.server.BaseHTTPRequestHandler):
    other = 0  # port of the other server

    def log_message(self, *args):
        pass

    def send(self, status, body=b"", headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        path = self.path
        other = f"http://127.0.0.1:{Handler.other}"
        if path == "/updatecenter/split/version.info":
            self.send(200, b"7.0\r\nnotes that follow\r\n")
        elif path.startswith("/line/"):
            # /line/<text>/<ending>: one line with the given ending, then more.
            _, _, text, ending = path.split("/")
            end = {"lf": b"\n", "cr": b"\r", "crlf": b"\r\n", "none": b""}[ending]
            self.send(200, text.encode() + end + (b"second line\n" if end else b""))
        elif path == "/redirect-other":
            self.send(302, b"moved", [("Location", other + "/doc")])
        elif path == "/doc":
            self.send(200, b"document on the other server")
        elif path == "/chain":
            self.send(302, b"first redirect", [("Location", other + "/chain2")])
        elif path == "/chain2":
            self.send(302, b"body of the second redirect", [("Location", other + "/doc")])
        elif path == "/missing":
            self.send(404, b"<html><body><h1>404 Not Found</h1></body></html>", [("Content-Type", "text/html")])
        elif path == "/auth":
            if self.headers.get("Authorization") == GOOD_AUTH:
                self.send(200, b"authorized")
            else:
                self.send(401, b"who are you", [("WWW-Authenticate", 'Basic realm="split"')])
        elif path == "/no-location":
            self.send(302, b"a redirect that names nowhere")
        elif path == "/bad-location":
            self.send(302, b"nowhere useful", [("Location", "ftp://127.0.0.1/file")])
        elif path == "/endless":
            self.send_response(200)
            self.end_headers()
            chunk = b"x" * 65536
            try:
                for _ in range(16 * 1024):  # 1 GiB at most, then it stops by itself
                    self.wfile.write(chunk)
            except OSError:
                pass
        elif path == "/silent":
            time.sleep(20)
        else:
            self.send(404, b"unknown")


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--ports", required=True)
    ap.add_argument("--lifetime", type=int, default=1800)
    args = ap.parse_args()
    a = Server(("127.0.0.1", 0), Handler)
    b = Server(("127.0.0.1", 0), Handler)
    Handler.other = b.server_address[1]
    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    closed = probe.getsockname()[1]
    probe.close()
    for server in (a, b):
        threading.Thread(target=server.serve_forever, daemon=True).start()
    with open(args.ports, "w") as f:
        f.write(f"{a.server_address[1]} {b.server_address[1]} {closed}\n")
    time.sleep(args.lifetime)


if __name__ == "__main__":
    main()
