#!/usr/bin/env python3
"""Plays a ringtone page's player in headless Chromium under the page's own policy, driven
over the DevTools pipe (no script becomes part of the page); prints "ended SECONDS", "error
CODE", "refused NAME" (play() refused: a blocked source) or "no player".
Usage: page_player.py URL PROFILE-FOLDER"""
import json, os, subprocess, sys, time

PLAY = """new Promise(done => { const a = document.querySelector('audio');
  if (!a) return done('no player');
  a.onended = () => done('ended ' + a.duration.toFixed(2));
  a.onerror = () => done('error ' + (a.error && a.error.code));
  a.play().catch(e => done('refused ' + e.name)); })"""
LOADED = "document.readyState == 'complete' && location.href"

commands_in, commands = os.pipe()
replies, replies_out = os.pipe()
browser = subprocess.Popen(
    ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--remote-debugging-pipe",
     "--autoplay-policy=no-user-gesture-required", "--user-data-dir=" + sys.argv[2], "about:blank"],
    pass_fds=(3, 4), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
    preexec_fn=lambda: (os.dup2(commands_in, 3), os.dup2(replies_out, 4)))
os.close(commands_in)
os.close(replies_out)
out, inp, pending, sent = os.fdopen(commands, "wb", 0), os.fdopen(replies, "rb", 0), b"", 0


def ask(method, params, session=None):
    global pending, sent
    sent += 1
    out.write(json.dumps({"id": sent, "method": method, "params": params,
                          **({"sessionId": session} if session else {})}).encode() + b"\0")
    while True:
        while b"\0" not in pending:
            chunk = inp.read(65536)
            if not chunk:
                sys.exit("chromium went away")
            pending += chunk
        line, pending = pending.split(b"\0", 1)
        if json.loads(line).get("id") == sent:
            return json.loads(line)


try:
    target = ask("Target.createTarget", {"url": sys.argv[1]})["result"]["targetId"]
    session = ask("Target.attachToTarget", {"targetId": target, "flatten": True})["result"]["sessionId"]
    for _ in range(100):  # until the page itself has loaded
        loaded = ask("Runtime.evaluate", {"expression": LOADED, "returnByValue": True}, session)
        if loaded.get("result", {}).get("result", {}).get("value") == sys.argv[1]:
            break
        time.sleep(0.1)
    played = ask("Runtime.evaluate", {"expression": PLAY, "awaitPromise": True, "returnByValue": True}, session)
    print(played.get("result", {}).get("result", {}).get("value", played))
finally:
    browser.kill()
    browser.wait()
