#!/usr/bin/env python3
"""Several quavella-service nodes on one PostgreSQL database (the tests' server, which ctest
started; see postgres_fixture.sh), in one run:

1. two nodes start together on an empty database: each migration is applied once;
2. an upload through node A; its page, its download and its delete through node B;
3. node A is killed with SIGKILL under a load of uploads: every upload that got its address
   back downloads byte for byte through node B;
4. the database is stopped under a load through two nodes and started again: while it is
   away, uploads get 503 and "error", pages a 503 page (kept as a screenshot), and nothing
   answers otherwise; once it is back, uploads succeed through both nodes without a restart
   of either, and every upload that was acknowledged, before or after, downloads through
   the other node.

Usage: nodes_test.py QUAVELLA-SERVICE FIXTURE POSTGRES-STATE
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.parse

from service_load import Load, Recorded, Service, fail as fail_as

HERE = os.path.dirname(os.path.abspath(__file__))
CLIENTS = 4              # per node
KILL_AFTER_ACKS = 60
AWAY_SECONDS = 2         # the database stays down this long at least
MAX_SECONDS = 60         # for each wait of the run


def fail(message):
    fail_as("nodes", message)


def psql(url, sql):
    done = subprocess.run(["psql", "-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1", url, "-c", sql],
                          capture_output=True, text=True, timeout=60)
    if done.returncode != 0:
        fail("psql: " + done.stderr.strip())
    return [line.split("|") for line in done.stdout.splitlines() if line]


def fixture(state, action):
    done = subprocess.run(["bash", os.path.join(HERE, "postgres_fixture.sh"), action, state],
                          capture_output=True, text=True, timeout=120)
    if done.returncode != 0:
        fail("the database did not %s: %s" % (action, done.stderr.strip()))


def check_downloads(acked, recorded, other_of):
    """Every acknowledged upload downloads byte for byte through the node it did not go to."""
    for n, url, node in acked:
        path = urllib.parse.urlsplit(url).path
        status, got = other_of(node).get(path + "/load-%d.wav" % n)
        if status != 200 or got != recorded.ringtone(n):
            fail("acknowledged upload %d does not download through the other node (%d)" % (n, status))


def start_together(program, work, url):
    a = Service(program, os.path.join(work, "a"), ["--database", url], wait=False)
    b = Service(program, os.path.join(work, "b"), ["--database", url], wait=False)
    a.wait_ready()
    b.wait_ready()
    versions = psql(url, "SELECT version, count(*) FROM quavella_schema GROUP BY version ORDER BY version")
    if not versions or any(count != "1" for _, count in versions):
        fail("migrations applied more than once: %s" % versions)
    applied = sum(node.log_text().count("applied schema migration") for node in (a, b))
    if applied != len(versions):
        fail("%d migration lines for %d migrations" % (applied, len(versions)))
    return a, b, len(versions)


def one_ringtone_two_nodes(a, b, recorded):
    status, answer = a.request("POST", recorded.path.decode(), recorded.body,
                               recorded.headers(recorded.body))
    if status != 200:
        fail("the upload through A was refused: %d %s" % (status, answer))
    page = urllib.parse.urlsplit(answer.decode()).path
    status, html = b.get(page)
    if status != 200 or b"Motorola MPx200" not in html:
        fail("the page through B answers %d" % status)
    status, got = b.get(page + "/My_Song___You.wav")
    if status != 200 or got != recorded.wav:
        fail("the download through B is not the ringtone (%d)" % status)
    status, _ = b.request("POST", page + "/delete", b"", {"Content-Length": "0"})
    if status != 303:
        fail("the delete through B answers %d" % status)
    status, html = a.get(page)
    if status != 410 or b"deleted" not in html:
        fail("after the delete through B, A answers %d" % status)


def kill_under_load(a, b, recorded):
    load = Load(recorded)
    load.start([a] * CLIENTS)
    load.wait_acked(KILL_AFTER_ACKS, MAX_SECONDS)
    a.kill()
    load.stop()
    if load.errors:
        fail(load.errors[0])
    if len(load.acked) < 10:
        fail("only %d uploads were acknowledged before the kill" % len(load.acked))
    check_downloads(load.acked, recorded, lambda node: b)
    return len(load.acked)


def database_away_under_load(a, b, recorded, state, work):
    clean = lambda status, text: status == 503 and text == "error"
    load = Load(recorded, clean)
    load.start([a] * CLIENTS + [b] * CLIENTS)
    load.wait_acked(40, MAX_SECONDS)
    fixture(state, "pause")
    away_from = len(load.acked)
    time.sleep(AWAY_SECONDS)
    # The page a phone opens meanwhile, as it shows it.
    page = urllib.parse.urlsplit(load.acked[0][1]).path
    status, html = b.get(page)
    if status != 503 or b"Temporarily unavailable" not in html:
        fail("a page while the database is away answers %d" % status)
    shot(b.url + page, work)
    status, _ = a.get("/healthz")
    if status != 503:
        fail("/healthz answers %d while the database is away" % status)
    refused_while_away = len(load.refused)
    fixture(state, "resume")
    back_at = len(load.acked)
    deadline = time.time() + MAX_SECONDS
    while time.time() < deadline and not load.errors:
        after = [node for _, _, node in load.acked[back_at:]]
        if after.count(a) >= 10 and after.count(b) >= 10:
            break
        time.sleep(0.05)
    load.stop()
    if load.errors:
        fail("an answer other than 200 or 503 \"error\": " + load.errors[0])
    if refused_while_away == 0:
        fail("no upload was refused while the database was away")
    after = [node for _, _, node in load.acked[back_at:]]
    if after.count(a) < 10 or after.count(b) < 10:
        fail("uploads did not succeed again through both nodes once the database was back")
    check_downloads(load.acked, recorded, lambda node: b if node is a else a)
    return away_from, len(load.refused), len(load.acked)


def shot(url, work):
    """The 503 page in headless Chromium, kept as an artefact."""
    artefacts = os.environ.get("QV_ARTEFACTS", os.path.join(HERE, "../../build/test-artefacts"))
    os.makedirs(artefacts, exist_ok=True)
    png = os.path.join(artefacts, "service-database-away.png")
    done = subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu",
                           "--hide-scrollbars", "--user-data-dir=" + os.path.join(work, "chromium"),
                           "--window-size=390,700", "--screenshot=" + png, url],
                          capture_output=True, timeout=60)
    if done.returncode != 0 or not os.path.exists(png):
        fail("chromium could not render the 503 page")


def main():
    program, fixture_path, state = sys.argv[1], sys.argv[2], sys.argv[3]
    recorded = Recorded(fixture_path)
    with open(os.path.join(state, "url")) as f:
        server = f.read().strip()
    name = "nodes_%d" % os.getpid()
    psql(server + "/postgres", "DROP DATABASE IF EXISTS %s WITH (FORCE)" % name)
    psql(server + "/postgres", "CREATE DATABASE %s" % name)
    url = server + "/" + name
    work = tempfile.mkdtemp(prefix="qv-nodes.")
    nodes = []
    try:
        a, b, migrations = start_together(program, work, url)
        nodes += [a, b]
        one_ringtone_two_nodes(a, b, recorded)
        killed = kill_under_load(a, b, recorded)
        a = Service(program, os.path.join(work, "a2"), ["--database", url])
        nodes.append(a)
        away_from, refused, acked = database_away_under_load(a, b, recorded, state, work)
        for node in (a, b):
            if node.stop() != 0:
                fail("SIGTERM did not stop a node cleanly")
        print("nodes: %d migrations applied once by two nodes starting together; a ringtone "
              "uploaded through A was shown, downloaded and deleted through B; %d uploads "
              "acknowledged before A's SIGKILL all download through B; with the database away "
              "under load (after %d uploads), %d uploads were refused with 503 \"error\", then "
              "uploads succeeded through both nodes again, and all %d acknowledged download "
              "through the other node" % (migrations, killed, away_from, refused, acked))
    finally:
        for node in nodes:
            if node.process.poll() is None:
                node.kill()
        shutil.rmtree(work, ignore_errors=True)
        subprocess.run(["psql", "-X", "-q", server + "/postgres", "-c",
                        "DROP DATABASE IF EXISTS %s WITH (FORCE)" % name], capture_output=True)


if __name__ == "__main__":
    main()
