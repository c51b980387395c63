#!/usr/bin/env python3
"""A local stand-in for the ringtone service.

Listens on loopback, records every raw request (headers and body, byte for byte) as
<dir>/requests/NNNN.raw, and answers according to <dir>/reply.json, read anew for every request:
  {"body": "success", "status": 200, "fault": "none"}
fault is one of:
  none      answer with status and body
  status500 answer 500 with the body
  reset     read part of the body, then reset the connection
  hang      read the request and never answer (until the client gives up, 10 minutes at most)
  close     close the connection at once, reading nothing
Usage: service_standin.py --dir DIR [--port N] [--port-file FILE]
"""
import argparse
import json
import os
import socket
import socketserver
import struct
import threading
import time

lock = threading.Lock()
counter = [0]


def read_config(directory):
    config = {"body": "success", "status": 200, "fault": "none"}
    try:
        with open(os.path.join(directory, "reply.json"), encoding="utf-8") as f:
            config.update(json.load(f))
    except (OSError, ValueError):
        pass
    return config


def record(directory, raw):
    with lock:
        counter[0] += 1
        n = counter[0]
    requests = os.path.join(directory, "requests")
    os.makedirs(requests, exist_ok=True)
    tmp = os.path.join(requests, "%04d.part" % n)
    with open(tmp, "wb") as f:
        f.write(raw)
    os.replace(tmp, os.path.join(requests, "%04d.raw" % n))


class Handler(socketserver.BaseRequestHandler):
    def read_headers(self, sock):
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = sock.recv(65536)
            if not chunk:
                return data, None
            data += chunk
            if len(data) > 1 << 20:
                return data, None
        head, _, rest = data.partition(b"\r\n\r\n")
        return head + b"\r\n\r\n", rest

    def handle(self):
        sock = self.request
        sock.settimeout(600)
        directory = self.server.directory
        config = read_config(directory)
        fault = config.get("fault", "none")
        if fault == "close":
            sock.close()
            return
        try:
            head, body = self.read_headers(sock)
            if body is None:
                return
            length = 0
            for line in head.split(b"\r\n")[1:]:
                name, _, value = line.partition(b":")
                if name.strip().lower() == b"content-length":
                    length = int(value.strip() or 0)
            if fault == "reset":
                # Take some of the body, then reset the connection.
                want = max(0, length // 2 - len(body))
                while want > 0:
                    chunk = sock.recv(min(want, 65536))
                    if not chunk:
                        break
                    body += chunk
                    want -= len(chunk)
                record(directory, head + body)
                sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                sock.close()
                return
            while len(body) < length:
                chunk = sock.recv(min(length - len(body), 65536))
                if not chunk:
                    break
                body += chunk
            record(directory, head + body)
            if fault == "hang":
                deadline = time.time() + 600
                while time.time() < deadline:
                    if not sock.recv(65536):
                        break
                return
            status = 500 if fault == "status500" else int(config.get("status", 200))
            reason = {200: "OK", 500: "Internal Server Error"}.get(status, "Status")
            payload = config.get("body", "success").encode("latin-1", "replace")
            reply = (
                "HTTP/1.1 %d %s\r\nContent-Type: text/html\r\nContent-Length: %d\r\n"
                "Connection: close\r\n\r\n" % (status, reason, len(payload))
            ).encode("ascii") + payload
            sock.sendall(reply)
        except OSError:
            pass


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    args = parser.parse_args()
    os.makedirs(os.path.join(args.dir, "requests"), exist_ok=True)
    server = Server(("127.0.0.1", args.port), Handler)
    server.directory = args.dir
    port = server.server_address[1]
    if args.port_file:
        with open(args.port_file + ".tmp", "w") as f:
            f.write("%d\n" % port)
        os.replace(args.port_file + ".tmp", args.port_file)
    print("service stand-in on 127.0.0.1:%d, recording to %s" % (port, args.dir), flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
