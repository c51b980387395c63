#!/usr/bin/env python3
"""Durability of quavella-service: under a bounded load of uploads, the service is killed
with SIGKILL, then started again on the same data folder. Every upload that got its page
address back must download byte for byte; every ringtone the store holds must be whole
(its bytes exactly those of one upload that was sent); and a SIGTERM at the end must stop
the service cleanly.

Each upload is the request Quavella.exe sent (tests/service/fixtures/upload-wav.raw) with its
song name and samples changed, so that each ringtone's bytes are its own.

Usage: durability_test.py QUAVELLA-SERVICE FIXTURE
"""
import http.client
import os
import re
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

CLIENTS = 8
KILL_AFTER_ACKS = 150   # the load runs until this many uploads are acknowledged, then the kill
MAX_SECONDS = 60        # and never longer than this


def fail(message):
    print("durability: " + message, file=sys.stderr)
    sys.exit(1)


class Recorded:
    """The recorded request, split so that song name and samples can be changed."""

    def __init__(self, raw):
        head, _, body = raw.partition(b"\r\n\r\n")
        self.head = head + b"\r\n\r\n"
        self.body = body
        self.boundary = re.search(rb"boundary=(\S+)", head).group(1)
        wav_at = body.index(b"RIFF")
        self.wav = body[wav_at:body.index(b"\r\n--" + self.boundary, wav_at)]
        self.path = head.split(b" ")[1]

    def ringtone(self, n):
        """The recorded WAV with samples of its own: the 44-byte header stays."""
        samples = bytearray(self.wav[44:])
        stamp = n.to_bytes(4, "little")
        for i in range(0, len(samples) - 4, 1024):
            samples[i:i + 4] = stamp
        return self.wav[:44] + bytes(samples)

    def upload(self, n):
        ringtone = self.ringtone(n)
        body = self.body.replace(b"My_Song___You.wav", b"load-%d.wav" % n, 1)
        body = body.replace(self.wav, ringtone, 1)
        body = re.sub(rb'(name="file_size"\r\n\r\n)\d+', rb"\g<1>%d" % len(ringtone), body, count=1)
        headers = {}
        for line in self.head.split(b"\r\n")[1:]:
            if b":" in line:
                name, _, value = line.partition(b":")
                headers[name.decode()] = value.strip().decode()
        headers["Content-Length"] = str(len(body))
        return body, headers


class Service:
    def __init__(self, program, data):
        self.ready = os.path.join(data, "service.address")
        if os.path.exists(self.ready):
            os.unlink(self.ready)
        self.log = open(os.path.join(data, "service.log"), "ab")
        self.process = subprocess.Popen(
            [program, "--listen", "127.0.0.1:0", "--data", data, "--ready-file", self.ready,
             "--uploads-per-hour", "100000000"],
            stdout=self.log, stderr=self.log, stdin=subprocess.DEVNULL)
        deadline = time.time() + 30
        while not os.path.exists(self.ready):
            if self.process.poll() is not None or time.time() > deadline:
                fail("the service did not start")
            time.sleep(0.05)
        with open(self.ready) as f:
            url = urllib.parse.urlsplit(f.read().strip())
        self.host, self.port = url.hostname, url.port

    def connection(self):
        return http.client.HTTPConnection(self.host, self.port, timeout=30)

    def get(self, path):
        c = self.connection()
        c.request("GET", path)
        r = c.getresponse()
        data = r.read()
        c.close()
        return r.status, data


def load(service, recorded, acked, lock, stop, counter, errors):
    connection = service.connection()
    while not stop.is_set():
        with lock:
            n = counter[0]
            counter[0] += 1
        body, headers = recorded.upload(n)
        try:
            connection.request("POST", recorded.path.decode(), body=body, headers=headers)
            reply = connection.getresponse()
            text = reply.read().decode("latin-1")
        except (OSError, http.client.HTTPException):
            return  # the service is gone
        if reply.status != 200:
            with lock:
                errors.append("upload %d refused under load: %d %s" % (n, reply.status, text))
            return
        with lock:
            acked.append((n, text))


def main():
    program, fixture = sys.argv[1], sys.argv[2]
    with open(fixture, "rb") as f:
        recorded = Recorded(f.read())
    work = tempfile.mkdtemp(prefix="qv-durability.")
    try:
        data = os.path.join(work, "data")
        os.makedirs(data)
        service = Service(program, data)
        acked, lock, stop, counter, errors = [], threading.Lock(), threading.Event(), [0], []
        clients = [threading.Thread(target=load,
                                    args=(service, recorded, acked, lock, stop, counter, errors))
                   for _ in range(CLIENTS)]
        for c in clients:
            c.start()
        deadline = time.time() + MAX_SECONDS
        while len(acked) < KILL_AFTER_ACKS and time.time() < deadline:
            time.sleep(0.01)
        service.process.send_signal(signal.SIGKILL)  # in the middle of the load
        service.process.wait()
        stop.set()
        for c in clients:
            c.join()
        sent = counter[0]
        if errors:
            fail(errors[0])
        if len(acked) < 10:
            fail("only %d uploads were acknowledged before the kill" % len(acked))

        service = Service(program, data)
        for n, url in acked:
            path = urllib.parse.urlsplit(url).path
            status, page = service.get(path)
            if status != 200:
                fail("acknowledged upload %d: its page answers %d after the restart" % (n, status))
            status, got = service.get(path + "/load-%d.wav" % n)
            if status != 200 or got != recorded.ringtone(n):
                fail("acknowledged upload %d does not download byte for byte (%d)" % (n, status))

        # Every ringtone the store holds is whole, acknowledged or not, and served whole.
        db = sqlite3.connect("file:%s?mode=ro" % os.path.join(data, "ringtones.db"), uri=True)
        rows = db.execute("SELECT token, song_name, size, bytes FROM ringtones").fetchall()
        db.close()
        for token, song, size, stored in rows:
            n = int(re.fullmatch(r"load-(\d+)\.wav", song).group(1))
            if size != len(stored) or bytes(stored) != recorded.ringtone(n):
                fail("stored ringtone %s (upload %d) is not whole" % (token, n))
            status, got = service.get("/r/%s/load-%d.wav" % (token, n))
            if status != 200 or got != recorded.ringtone(n):
                fail("stored ringtone %s is not served whole (%d)" % (token, status))
        if len(rows) < len(acked):
            fail("%d acknowledged, but only %d stored" % (len(acked), len(rows)))

        service.process.send_signal(signal.SIGTERM)
        if service.process.wait(timeout=30) != 0:
            fail("SIGTERM did not stop the service cleanly")
        print("durability: %d uploads sent, %d acknowledged before SIGKILL, %d stored; all "
              "acknowledged ones and all stored ones download byte for byte"
              % (sent, len(acked), len(rows)))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
