#!/usr/bin/env python3
"""The soak test of the real window: random but valid user actions against Quavella.exe under
Wine, with invariants checked after every step.

This is the half outside Wine. It makes the songs, the damaged files and the virtual CD, runs
the driver (soak_driver.exe, which works the window and checks what it can see there) and
answers what the driver asks on its standard output:
  @@check PATH FORMAT SECONDS  decode the ringtone at PATH (a Windows path) with ffmpeg, told
                               its format: its length must be SECONDS within one frame of FORMAT
  @@files                      were files written outside the start folder and the songs'
                               folders since the run began?
  @@figures ...                the run's figures, printed at the end
Runs inside a test session (scripts/lib/session.sh): the Wine prefix, display, sound sink and
service stand-in come from the environment.

Usage: soak.py --driver EXE --dir FOLDER [--seconds N] [--seed N]
"""
import argparse
import os
import random
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "win"))
import encoders_audio as audio  # noqa: E402

# What others write while the program runs, where they keep their own stores: WinINet caches
# each reply to an upload in the user's profile (the request's flags are the program's
# contract with the service and do not ask otherwise).
SYSTEM_STORES = [os.path.join("AppData", "Local", "Microsoft", "Windows", "INetCache", ""),
                 os.path.join("Local Settings", "Temporary Internet Files", "")]

# The ringtone formats as the profile numbers them, and how exactly each one's length can be
# told after encoding: (shortest, longest) decoded length minus the clip's, in seconds. The
# name is also ffmpeg's name of the format, which the check passes it.
FRAME_SLACK = {
    0: ("qcp", -0.020, 0.020),          # 20 ms QCELP frames
    1: ("amr", -0.020, 0.020),          # 20 ms AMR frames
    2: ("wav", -1 / 8000, 1 / 8000),    # the clip itself
    # No gapless tag fits in 48 kbit/s MPEG-2 frames: decoders keep the encoder's delay (1105
    # samples at 22050 Hz) and the padding LAME puts at the end (one or two frames of 576):
    # long, never short.
    3: ("mp3", -1 / 22050, (1105 + 2 * 576) / 22050),
    4: ("mmf", -1 / 8000, 1 / 8000),    # 4-bit ADPCM, one sample a frame
}


def unix_path(windows):
    if len(windows) >= 2 and windows[1] == ":" and windows[0] in "Zz":
        return windows[2:].replace("\\", "/")
    return windows


def sox(*args):
    audio.run(["sox"] + [str(a) for a in args])


def make_library(root, rng):
    """Songs of every kind the program takes, damaged files, and the virtual CD."""
    songs, damaged, disc = (os.path.join(root, d) for d in ("songs", "damaged", "disc"))
    for d in (songs, damaged, disc, os.path.join(root, "elsewhere")):
        os.makedirs(d, exist_ok=True)
    speech = os.path.join(root, "speech.wav")
    audio.run(["espeak-ng", "-w", speech, "Here is a ringtone made by the soak test. "
               "One, two, three, four, five, six, seven, eight, nine, ten."])
    voice = os.path.join(songs, "voice.wav")
    speech44, tone = os.path.join(root, "speech44.wav"), os.path.join(root, "tone.wav")
    sox(speech, "-r", "44100", "-c", "2", "-b", "16", speech44)
    sox("-n", "-r", "44100", "-c", "2", "-b", "16", tone, "synth", "20", "sine", "440", "vol", "0.3")
    sox("-m", speech44, tone, voice, "trim", "0", "20")
    sox("-n", "-r", "8000", "-c", "1", "-b", "16", os.path.join(songs, "phone8k.wav"),
        "synth", "12", "sine", "300-3000", "vol", "0.5")
    sox("-n", "-r", "22050", "-c", "1", "-b", "8", os.path.join(songs, "bytes22k.wav"),
        "synth", "15", "pinknoise", "vol", "0.4")
    sox("-n", "-r", "48000", "-c", "2", "-b", "16", os.path.join(songs, "studio48k.wav"),
        "synth", "9", "sine", "523", "sine", "659", "vol", "0.4")
    sox("-n", "-r", "44100", "-c", "2", "-b", "16", os.path.join(songs, "tiny.wav"),
        "synth", "0.6", "square", "880", "vol", "0.3")
    sox("-n", "-r", "44100", "-c", "2", "-b", "16", os.path.join(songs, "long.wav"),
        "synth", "110", "pinknoise", "sine", "200", "vol", "0.3")
    for name, args in (("voice.mp3", ["-b", "128"]), ("vbr.mp3", ["-V", "4"])):
        audio.run(["lame", "--silent"] + args + [voice, os.path.join(songs, name)])
    audio.run(["lame", "--silent", "-m", "m", "--resample", "22.05", "-b", "64",
               os.path.join(songs, "phone8k.wav"), os.path.join(songs, "mono22k.mp3")])
    audio.run(["lame", "--silent", "-m", "m", "--resample", "8", "-b", "16",
               os.path.join(songs, "bytes22k.wav"), os.path.join(songs, "low8k.mp3")])
    # About five minutes: the import stops at its limit with a warning.
    part = os.path.join(root, "part.mp3")
    audio.run(["lame", "--silent", "-t", "-b", "128", voice, part])
    with open(os.path.join(songs, "five-minutes.mp3"), "wb") as out:
        data = open(part, "rb").read()
        for _ in range(15):
            out.write(data)

    def write(name, data):
        with open(os.path.join(damaged, name), "wb") as f:
            f.write(data)
    write("garbage.wav", bytes(rng.getrandbits(8) for _ in range(5000)))
    header_only = open(os.path.join(songs, "tiny.wav"), "rb").read()[:36]
    write("no-data.wav", header_only)
    write("empty.wav", b"")
    write("garbage.mp3", bytes(rng.getrandbits(8) for _ in range(30000)))
    write("wave-inside.mp3", open(os.path.join(songs, "phone8k.wav"), "rb").read())
    write("notes.txt", b"not a song\r\n")
    write("Track07.cda", b"")  # the disc has five tracks
    with open(os.path.join(damaged, "too-large.wav"), "wb") as f:
        f.truncate(21000000)  # refused by Browse for its size
    # The virtual CD: five tracks of 27, 43, 7, 44 and 53 seconds.
    with open(os.path.join(disc, "disc.txt"), "w") as f:
        f.write("tracks 150 2150 5350 5850 9150 13150\n")
    for n in range(1, 6):
        open(os.path.join(disc, "Track%02d.cda" % n), "wb").close()
    for tmp in ("speech.wav", "speech44.wav", "tone.wav", "part.mp3"):
        os.remove(os.path.join(root, tmp))


class FileWatch:
    """Files written since the start under the watched folders, outside the allowed ones."""

    def __init__(self, watched, allowed):
        self.watched = watched
        self.allowed = [os.path.join(a, "") for a in allowed]
        self.seen = self.scan()

    def scan(self):
        found = {}
        for top in self.watched:
            for folder, _, names in os.walk(top):
                for name in names:
                    path = os.path.join(folder, name)
                    try:
                        st = os.lstat(path)
                    except OSError:
                        continue
                    found[path] = (st.st_mtime_ns, st.st_size)
        return found

    def check(self):
        now = self.scan()
        strays = [p for p, stamp in now.items()
                  if self.seen.get(p) != stamp and not any(p.startswith(a) for a in self.allowed)
                  and not any(store in p for store in SYSTEM_STORES)]
        self.seen = now
        return sorted(strays)


def check_ringtone(path, fmt, expected):
    name, shortest, longest = FRAME_SLACK[fmt]
    try:
        rate = audio.probe_rate(path, name)
        seconds = len(audio.decode(path, rate, fmt=name)) / rate
    except Exception as e:  # noqa: BLE001 (any failure to decode is the finding)
        return "bad ffmpeg cannot decode the %s ringtone: %s" % (name, str(e).splitlines()[-1:])
    difference = seconds - expected
    if shortest - 1e-9 <= difference <= longest + 1e-9:
        return "ok %.4f" % seconds
    return "bad the %s ringtone decodes to %.4f s for a selection of %.4f s" % (name, seconds, expected)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--driver", required=True)
    parser.add_argument("--dir", required=True)
    parser.add_argument("--seconds", type=int, default=180)
    parser.add_argument("--seed", type=int)
    args = parser.parse_args()

    seed = args.seed if args.seed is not None else random.SystemRandom().randrange(1, 2 ** 31)
    print("soak: seed %d for %d s; replay with --seed %d (scripts/soak.sh SECONDS %d)"
          % (seed, args.seconds, seed, seed), flush=True)
    root = os.path.abspath(args.dir)
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(root)
    make_library(root, random.Random(seed))

    prefix = os.environ.get("WINEPREFIX", "")
    watched = [root] + ([os.path.join(prefix, "drive_c")] if prefix else [])
    allowed = [os.path.join(root, d) for d in ("start", "songs", "damaged", "disc", "checks", "logs")]
    watch = FileWatch(watched, allowed)

    env = dict(os.environ, QV_SOAK_DIR=root, QV_SOAK_SECONDS=str(args.seconds),
               QV_SOAK_SEED=str(seed))
    driver = subprocess.Popen(["wine", args.driver, "--gtest_brief=1"], env=env,
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1,
                              errors="replace")
    deadline = time.monotonic() + args.seconds + 900
    os.makedirs(os.path.join(root, "logs"))
    log = open(os.path.join(root, "logs", "soak.log"), "w", errors="replace")
    figures = ""
    for line in driver.stdout:
        # The program and the encoders write to the same output, not always whole lines: a
        # request may follow their text on one line.
        at = line.find("@@")
        if at > 0:
            log.write(line[:at] + "\n")
            line = line[at:]
        if line.startswith("@@check "):
            path, fmt, expected = line[len("@@check "):].strip().rsplit(" ", 2)
            answer = check_ringtone(unix_path(path), int(fmt), float(expected))
        elif line.startswith("@@files"):
            strays = watch.check()
            answer = "ok" if not strays else "bad " + "; ".join(strays[:10])
        elif line.startswith("@@figures "):
            figures = line[len("@@figures "):].strip()
            continue
        else:
            # The driver's own lines and failures; the program's diagnostics go to the log.
            log.write(line)
            if line.startswith("soak:") or "Failure" in line or line.startswith("[  FAILED"):
                sys.stdout.write(line)
                sys.stdout.flush()
            if time.monotonic() > deadline:
                driver.kill()
            continue
        driver.stdin.write(answer + "\n")
        driver.stdin.flush()
    code = driver.wait()
    log.close()
    summary = "soak: seed %d, %d s: %s" % (seed, args.seconds,
                                             figures or "no figures (the driver did not finish)")
    print(summary)
    artefacts = os.environ.get("QV_ARTEFACTS")
    if artefacts:
        with open(os.path.join(artefacts, "soak.txt"), "w") as f:
            f.write(summary + "\n")
    print("soak: %s" % ("passed" if code == 0 and figures else "FAILED"), flush=True)
    return 0 if code == 0 and figures else 1


if __name__ == "__main__":
    sys.exit(main())
