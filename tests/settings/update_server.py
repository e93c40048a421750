#!/usr/bin/env python3
"""The update server of the settings tests: serves a folder on loopback.

Usage: update_server.py FOLDER
Prints the port it listens on, then serves until it is killed. Paths:
  /NAME            the file, with its length (404 when missing)
  /slow/NAME       the file, 40960 bytes every quarter second
  /nolength/NAME   the file without a length; the end of the body is the
                   end of the connection
  /short/NAME      announces 1000 bytes more than it sends, then hangs up
  /cut/NAME        without a length: half the file, then the connection is
                   reset (not ended cleanly)
  /chunkcut/NAME   chunked: half the file, then the connection ends without
                   the last chunk
  /huge/NAME       announces 300 MiB, sends the file, then hangs up
  /stall           accepts the request and never answers
"""
import http.server
import os
import socket
import struct
import sys
import time

MODES = ("slow", "nolength", "short", "cut", "chunkcut", "huge")


class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def body(self, name):
        path = os.path.join(self.directory, os.path.basename(name))
        try:
            with open(path, "rb") as f:
                return f.read()
        except OSError:
            return None

    def do_GET(self):
        mode, _, rest = self.path.split("?")[0].lstrip("/").partition("/")
        if mode == "stall":
            time.sleep(60)
            return
        if mode not in MODES:
            return super().do_GET()
        data = self.body(rest)
        if data is None:
            return self.send_error(404)
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if mode == "slow":
            self.send_header("Content-Length", str(len(data)))
        elif mode == "short":
            self.send_header("Content-Length", str(len(data) + 1000))
        elif mode == "huge":
            self.send_header("Content-Length", str(300 * 1024 * 1024))
        elif mode == "chunkcut":
            self.send_header("Transfer-Encoding", "chunked")
        self.send_header("Connection", "close")
        self.end_headers()
        try:
            if mode == "slow":
                for start in range(0, len(data), 40960):
                    self.wfile.write(data[start:start + 40960])
                    self.wfile.flush()
                    time.sleep(0.25)
            elif mode == "cut":
                self.wfile.write(data[:len(data) // 2])
                self.wfile.flush()
                time.sleep(0.2)
                # A zero linger time makes the close a reset.
                self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                self.connection.close()
            elif mode == "chunkcut":
                half = data[:len(data) // 2]
                for start in range(0, len(half), 4096):
                    piece = half[start:start + 4096]
                    self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
                self.wfile.flush()
            else:
                self.wfile.write(data)
        except OSError:
            pass  # the client went away
        self.close_connection = True


def main():
    folder = sys.argv[1]
    handler = lambda *args, **kwargs: Handler(*args, directory=folder, **kwargs)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    server.daemon_threads = True
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
