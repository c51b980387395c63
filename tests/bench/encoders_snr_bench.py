"""Prints the segmental SNR of the shipped encoders' outputs against their input, beside
the reference encoders: wav2amr.exe (MR67) against sox's AMR-NB encoder, ringm.dll's MMF
against ffmpeg's adpcm_yamaha MMF. Also the time each of ours took under Wine. Figures only:
nothing here passes or fails.

Usage: encoders_snr_bench.py --bin DIST --tool encoders_win_tool.exe --wine wine-run.sh
                             [extra.wav ...]   (extra clips: any WAV; converted to 8 kHz mono)"""
import argparse
import os
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "win"))
import encoders_audio as audio  # noqa: E402


def timed(action):
    started = time.monotonic()
    result = action()
    return result, time.monotonic() - started


def aligned_snr(ref, decoded):
    lag = audio.best_lag(ref, decoded, max_lag=80)
    return audio.segmental_snr(ref, decoded, lag=lag)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--tool", required=True)
    parser.add_argument("--wine", required=True)
    parser.add_argument("clips", nargs="*")
    args = parser.parse_args()
    wine = audio.Wine(args.wine, args.tool)
    root = tempfile.mkdtemp(prefix="qv-enc-bench-")
    try:
        clips = []
        speech = os.path.join(root, "speech.wav")
        audio.make_speech(speech, "Thanks for calling. Please leave your message after the "
                          "tone, and I will ring you back as soon as I can.")
        clips.append(("speech", speech))
        music = os.path.join(root, "tune.wav")
        audio.make_music(music, seconds=6)
        clips.append(("tune", music))
        for i, extra in enumerate(args.clips):
            path = os.path.join(root, "extra%d.wav" % i)
            audio.run(["sox", extra, "-r", "8000", "-c", "1", "-b", "16", path])
            clips.append((os.path.basename(extra), path))

        print("Segmental SNR against the input (20 ms frames, -10..35 dB, silent frames "
              "skipped); higher is better")
        print("%-16s %7s | %-22s %-22s | %-22s %-22s" % (
            "clip", "seconds", "AMR MR67 wav2amr.exe", "AMR MR67 sox (DTX)",
            "MMF ringm.dll", "MMF ffmpeg adpcm_yamaha"))
        for name, path in clips:
            folder = os.path.join(root, "run-" + name.replace(os.sep, "_"))
            os.makedirs(folder)
            wav = os.path.join(folder, "test.wav")
            shutil.copy(path, wav)
            _, _, ref = audio.read_wav(wav)

            _, amr_time = timed(lambda: wine.start(os.path.join(args.bin, "wav2amr.exe"),
                                                   "wav2amr test.wav a.amr MR67", folder))
            ours_amr = aligned_snr(ref, audio.decode(os.path.join(folder, "a.amr"), 8000))
            sox_amr = os.path.join(folder, "sox.amr")
            audio.run(["sox", wav, "-C", "3", "-t", "amr-nb", sox_amr])
            ref_amr = aligned_snr(ref, audio.decode(sox_amr, 8000))

            (code, _), mmf_time = timed(lambda: wine.mmf(wav, args.bin))
            ours_mmf = (audio.segmental_snr(ref, audio.decode(os.path.join(folder, "test.mmf"),
                                                             8000)) if code == 0 else float("nan"))
            ff_mmf = os.path.join(folder, "ffmpeg.mmf")
            audio.run(["ffmpeg", "-v", "error", "-y", "-i", wav, "-ar", "8000", "-ac", "1",
                       "-c:a", "adpcm_yamaha", ff_mmf])
            ref_mmf = audio.segmental_snr(ref, audio.decode(ff_mmf, 8000))

            print("%-16s %7.2f | %6.2f dB (%5.2f s)      %6.2f dB              | "
                  "%6.2f dB (%5.2f s)      %6.2f dB" % (
                      name[:16], len(ref) / 8000.0, ours_amr, amr_time, ref_amr,
                      ours_mmf, mmf_time, ref_mmf))
        print("(times: one run under Wine, including the Wine start)")
    finally:
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
