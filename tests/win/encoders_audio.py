"""Helpers shared by the shipped encoders' checks and their benchmark: test clips, running
Windows programs under Wine, decoding with ffmpeg, levels, SNR and an MMF reader that does
not share code with the encoder."""
import array
import binascii
import math
import os
import struct
import subprocess
import sys
import time
import wave

TIMEOUT = 120


def run(cmd, cwd=None, check=True):
    started = time.monotonic()
    result = subprocess.run(cmd, cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, timeout=TIMEOUT)
    if os.environ.get("QV_ENCODERS_TRACE"):
        sys.stderr.write("%.2fs %s\n" % (time.monotonic() - started, " ".join(cmd)))
    if check and result.returncode != 0:
        raise RuntimeError("%s failed (%d): %s" % (cmd[0], result.returncode,
                                                   result.stderr.decode(errors="replace")[-2000:]))
    return result


def windows_path(path):
    """Wine's Z: drive is the Unix root."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Wine:
    def __init__(self, wine_run, tool):
        self.wine_run = wine_run
        self.tool = tool

    def exe(self, program, args, cwd=None):
        return run([self.wine_run, program] + list(args), cwd=cwd, check=False)

    def start(self, program, parameters, folder):
        """Starts `program` the way the program's process runner does: the quoted path, two
        spaces and the parameter text, in `folder`. Returns the exit code."""
        result = run([self.wine_run, self.tool, "run", windows_path(program), parameters,
                      windows_path(folder)], check=False)
        return result.returncode

    def mmf(self, wav, bin_dir, capacity=None):
        """Converts through ringm.dll as the program does; returns (exit code, output)."""
        args = [self.wine_run, self.tool, "mmf", windows_path(wav)]
        if capacity is not None:
            args.append(str(capacity))
        result = run(args, cwd=bin_dir, check=False)
        return result.returncode, result.stdout.decode(errors="replace")


def make_speech(path, text, rate=8000, channels=1):
    raw = path + ".espeak.wav"
    run(["espeak-ng", "-w", raw, text])
    run(["sox", raw, "-r", str(rate), "-c", str(channels), "-b", "16", path])
    os.remove(raw)


def make_music(path, seconds=3.0, rate=8000):
    """A tune without pauses: notes of a major scale with three harmonics and a little
    vibrato, inside the telephone band so that every codec keeps its level."""
    scale = [262, 294, 330, 349, 392, 440, 494, 523]
    samples, phase = [], 0.0
    note_length = int(rate * 0.25)
    for i in range(int(seconds * rate)):
        note = scale[(i // note_length) % len(scale)]
        t = i / rate
        phase += 2 * math.pi * note * (1 + 0.004 * math.sin(2 * math.pi * 5 * t)) / rate
        within = (i % note_length) / note_length
        envelope = 0.55 + 0.45 * math.exp(-4 * within)
        value = math.sin(phase) + 0.5 * math.sin(2 * phase) + 0.25 * math.sin(3 * phase)
        samples.append(int(round(7000 * envelope * value)))
    write_wav(path, samples, rate)


def read_wav(path):
    with wave.open(path, "rb") as w:
        frames = w.readframes(w.getnframes())
        samples = array.array("h", frames)
        if sys.byteorder == "big":
            samples.byteswap()
        return w.getframerate(), w.getnchannels(), samples


def write_wav(path, samples, rate=8000, channels=1, bits=16, layout="plain", tag=1):
    """Writes PCM with a chosen chunk layout: plain, "list-first" (LIST before fmt, fact
    between fmt and data), "data-first" or "odd-junk" (an odd-sized chunk first)."""
    if bits == 16:
        data = array.array("h", samples)
        if sys.byteorder == "big":
            data.byteswap()
        data = data.tobytes()
    else:
        data = bytes(samples)
    align = channels * bits // 8
    fmt = struct.pack("<HHIIHH", tag, channels, rate, rate * align, align, bits)

    def chunk(cid, body):
        return cid + struct.pack("<I", len(body)) + body + (b"\0" if len(body) % 2 else b"")

    fmt_c, data_c = chunk(b"fmt ", fmt), chunk(b"data", data)
    chunks = {
        "plain": fmt_c + data_c,
        "list-first": chunk(b"LIST", b"INFOISFT\x05\x00\x00\x00test\x00") + fmt_c +
                      chunk(b"fact", struct.pack("<I", len(samples) // channels)) + data_c,
        "data-first": data_c + fmt_c,
        "odd-junk": chunk(b"JUNK", b"abc") + fmt_c + data_c,
    }[layout]
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", len(chunks) + 4) + b"WAVE" + chunks)


def input_format(fmt):
    """ffmpeg's arguments naming the input's format: probing by content alone cannot recognise
    a very short headerless file (a 0.1 s MP3)."""
    return ["-f", fmt] if fmt else []


def decode(path, rate, channels=1, fmt=None):
    """Decodes any file ffmpeg reads (of format `fmt`, an ffmpeg demuxer name, when given) into
    16-bit samples at `rate`."""
    result = run(["ffmpeg", "-v", "error"] + input_format(fmt) + ["-i", path, "-f", "s16le",
                  "-ac", str(channels), "-ar", str(rate), "-"])
    samples = array.array("h", result.stdout)
    if sys.byteorder == "big":
        samples.byteswap()
    return samples


def probe_rate(path, fmt=None):
    result = run(["ffprobe", "-v", "error"] + input_format(fmt) +
                 ["-select_streams", "a:0", "-show_entries", "stream=sample_rate",
                  "-of", "default=nw=1:nk=1", path])
    return int(result.stdout.decode().strip())


def rms_db(samples):
    if not samples:
        return -200.0
    energy = sum(s * s for s in samples) / len(samples)
    return 10 * math.log10(max(energy, 1e-9) / (32768.0 ** 2))


def best_lag(ref, test, max_lag=400):
    """The delay of `test` against `ref` (codecs with look-ahead), by cross-correlation on
    the first two seconds."""
    n = min(len(ref), len(test), 16000) - max_lag
    if n <= 0:
        return 0
    best, best_score = 0, None
    for lag in range(0, max_lag + 1):
        score = sum(ref[i] * test[i + lag] for i in range(0, n, 2))
        if best_score is None or score > best_score:
            best, best_score = lag, score
    return best


def segmental_snr(ref, test, frame=160, lag=0):
    """Mean SNR over frames of `frame` samples, each clamped to -10..35 dB, skipping frames
    whose level is below -50 dBFS."""
    total, count = 0.0, 0
    for start in range(0, len(ref) - frame + 1, frame):
        if start + lag + frame > len(test):
            break
        s = e = 0.0
        for i in range(start, start + frame):
            r = ref[i]
            d = r - test[i + lag]
            s += r * r
            e += d * d
        if s < frame * (32768 * 10 ** (-50 / 20)) ** 2:
            continue
        total += min(35.0, max(-10.0, 10 * math.log10(s / max(e, 1.0))))
        count += 1
    return total / count if count else 0.0


def smaf_crc(data):
    """CRC-16 with polynomial 0x1021, start 0xFFFF, inverted: the CCITT sum of binascii."""
    return binascii.crc_hqx(data, 0xFFFF) ^ 0xFFFF


def parse_mmf(data):
    """Reads an MMF file; returns a dict of what it found or raises ValueError."""
    if len(data) < 10 or data[:4] != b"MMMD":
        raise ValueError("no MMMD header")
    size = struct.unpack(">I", data[4:8])[0]
    if size != len(data) - 8:
        raise ValueError("MMMD size %d for a file of %d bytes" % (size, len(data)))
    info = {"crc_stored": struct.unpack(">H", data[-2:])[0], "crc": smaf_crc(data[:-2]),
            "chunks": []}
    pos, end = 8, len(data) - 2
    while pos + 8 <= end:
        cid, csize = data[pos:pos + 4], struct.unpack(">I", data[pos + 4:pos + 8])[0]
        body = data[pos + 8:pos + 8 + csize]
        if len(body) != csize:
            raise ValueError("chunk %r runs past the end" % cid)
        info["chunks"].append(cid)
        if cid[:3] == b"ATR":
            info["wave_type"] = body[2]
            tpos = 6
            while tpos + 8 <= len(body):
                sid, ssize = body[tpos:tpos + 4], struct.unpack(">I", body[tpos + 4:tpos + 8])[0]
                info["chunks"].append(sid)
                if sid[:3] == b"Awa":
                    info["wave"] = body[tpos + 8:tpos + 8 + ssize]
                tpos += 8 + ssize
            if tpos != len(body):
                raise ValueError("track chunks do not fill the track")
        pos += 8 + csize
    if pos != end:
        raise ValueError("chunks do not end at the CRC")
    return info
