#!/usr/bin/env python3
"""Sends a file's bytes, as they are, to a local HTTP server and prints the reply's body.

Usage: send_raw.py URL FILE   (URL: http://127.0.0.1:PORT; FILE holds a whole request)
Exits 1 when the status is not 200.
"""
import socket
import sys
import urllib.parse


def main():
    url = urllib.parse.urlsplit(sys.argv[1])
    with open(sys.argv[2], "rb") as f:
        request = f.read()
    with socket.create_connection((url.hostname, url.port), timeout=30) as s:
        s.sendall(request)
        reply = b""
        while b"\r\n\r\n" not in reply:
            chunk = s.recv(65536)
            if not chunk:
                break
            reply += chunk
        head, _, body = reply.partition(b"\r\n\r\n")
        length = 0
        for line in head.split(b"\r\n")[1:]:
            name, _, value = line.partition(b":")
            if name.strip().lower() == b"content-length":
                length = int(value)
        while len(body) < length:
            chunk = s.recv(65536)
            if not chunk:
                break
            body += chunk
    sys.stdout.write(body.decode("latin-1"))
    return 0 if head.split(b" ")[1] == b"200" else 1


if __name__ == "__main__":
    sys.exit(main())
