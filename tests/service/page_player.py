#!/usr/bin/env python3
"""Plays the player of a ringtone's page in headless Chromium, under the page's own
Content-Security-Policy, and prints how it went: "ended SECONDS" once the audio has played to
its end, "error CODE" when the media element failed, "refused NAME" when play() was refused
(a source the policy blocks), "no player". Chromium is driven over its DevTools pipe, so no
script runs as part of the page. Usage: page_player.py URL PROFILE-FOLDER"""
import json
import os
import subprocess
import sys

PLAY = """new Promise(done => {
  const audio = document.querySelector('audio');
  if (!audio) return done('no player');
  audio.addEventListener('ended', () => done('ended ' + audio.duration.toFixed(2)));
  audio.addEventListener('error', () => done('error ' + (audio.error && audio.error.code)));
  audio.play().catch(e => done('refused ' + e.name));
})"""


def main():
    url, profile = sys.argv[1], sys.argv[2]
    to_chromium, commands = os.pipe()
    replies, from_chromium = os.pipe()

    def pipes():  # Chromium reads its commands on descriptor 3 and answers on 4
        os.dup2(to_chromium, 3)
        os.dup2(from_chromium, 4)

    browser = subprocess.Popen(
        ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--remote-debugging-pipe",
         "--autoplay-policy=no-user-gesture-required", "--user-data-dir=" + profile,
         "about:blank"], pass_fds=(3, 4), preexec_fn=pipes,
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(to_chromium)
    os.close(from_chromium)
    out = os.fdopen(commands, "wb", buffering=0)
    inp = os.fdopen(replies, "rb", buffering=0)
    pending = [b""]
    sent = [0]

    def ask(method, params, session=None):
        sent[0] += 1
        message = {"id": sent[0], "method": method, "params": params}
        if session:
            message["sessionId"] = session
        out.write(json.dumps(message).encode() + b"\0")
        while True:
            while b"\0" not in pending[0]:
                chunk = inp.read(65536)
                if not chunk:
                    sys.exit("chromium went away")
                pending[0] += chunk
            line, pending[0] = pending[0].split(b"\0", 1)
            answer = json.loads(line)
            if answer.get("id") == sent[0]:
                return answer

    try:
        target = ask("Target.createTarget", {"url": "about:blank"})["result"]["targetId"]
        session = ask("Target.attachToTarget", {"targetId": target, "flatten": True})["result"]["sessionId"]
        ask("Page.enable", {}, session)
        ask("Page.navigate", {"url": url}, session)
        ask("Runtime.evaluate", {"expression": "new Promise(r => document.readyState === 'complete'"
                                 " ? r() : addEventListener('load', () => r()))",
                                 "awaitPromise": True}, session)
        result = ask("Runtime.evaluate", {"expression": PLAY, "awaitPromise": True,
                                          "returnByValue": True}, session)
        print(result.get("result", {}).get("result", {}).get("value", result))
    finally:
        browser.kill()
        browser.wait()


main()
