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
import os
import re
import shutil
import sqlite3
import sys
import tempfile
import urllib.parse

from service_load import Load, Recorded, Service, fail as fail_as

KILL_AFTER_ACKS = 150   # the load runs until this many uploads are acknowledged, then the kill
MAX_SECONDS = 60        # and never longer than this
CLIENTS = 8


def fail(message):
    fail_as("durability", message)


def main():
    program, fixture = sys.argv[1], sys.argv[2]
    recorded = Recorded(fixture)
    work = tempfile.mkdtemp(prefix="qv-durability.")
    try:
        data = os.path.join(work, "data")
        store = ["--data", data]
        service = Service(program, data, store)
        load = Load(recorded)
        load.start([service] * CLIENTS)
        load.wait_acked(KILL_AFTER_ACKS, MAX_SECONDS)
        service.kill()  # in the middle of the load
        load.stop()
        if load.errors:
            fail(load.errors[0])
        if len(load.acked) < 10:
            fail("only %d uploads were acknowledged before the kill" % len(load.acked))

        service = Service(program, data, store)
        for n, url, _ in load.acked:
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
        if len(rows) < len(load.acked):
            fail("%d acknowledged, but only %d stored" % (len(load.acked), len(rows)))

        if service.stop() != 0:
            fail("SIGTERM did not stop the service cleanly")
        print("durability: %d uploads sent, %d acknowledged before SIGKILL, %d stored; all "
              "acknowledged ones and all stored ones download byte for byte"
              % (load.counter, len(load.acked), len(rows)))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
