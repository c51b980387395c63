"""The shipped encoders under Wine against the reference tools: wav2amr.exe bit-exact with
sox's AMR-NB encoder, lame.exe with the program's command line, ringm.dll's MMF files (layout,
CRC checked here independently, quality against ffmpeg's MMF encoder), the iPhone ringtone
through FFmpeg's DLLs, every output decoded by ffmpeg with its length and level checked."""
import argparse
import glob
import math
import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import encoders_audio as audio  # noqa: E402

ARGS = None
MODES = ["MR475", "MR515", "MR59", "MR67", "MR74", "MR795", "MR102", "MR122"]
AMR_FRAME_BYTES = [13, 14, 16, 18, 20, 21, 27, 32, 6, 1, 1, 1, 1, 1, 1, 1]


def amr_frame_types(data):
    types, pos = [], 6  # after "#!AMR\n", frames led by a type byte
    while pos < len(data):
        types.append((data[pos] >> 3) & 15)
        pos += AMR_FRAME_BYTES[types[-1]]
    assert pos == len(data), "AMR frames do not end with the file"
    return types


def has_dtx_frames(data):
    return any(t in (8, 15) for t in amr_frame_types(data))  # comfort noise, no data


def read(path):
    with open(path, "rb") as f:
        return f.read()


class ShippedEncoders(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="qv enc ")  # a space, as users' folders have
        cls.wine = audio.Wine(ARGS.wine, ARGS.tool)
        cls.speech = os.path.join(cls.root, "speech.wav")
        audio.make_speech(cls.speech, "Your ringtone is ready. Call me back at seven thirty.")
        cls.music = os.path.join(cls.root, "music.wav")
        audio.make_music(cls.music)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)

    def folder(self, name, clip=None):
        path = os.path.join(self.root, name)
        os.makedirs(path, exist_ok=True)
        if clip:
            shutil.copy(clip, os.path.join(path, "test.wav"))
        return path

    def need(self, name):
        if not os.path.exists(os.path.join(ARGS.bin, name)):
            self.skipTest(name + " is not built (no QV_DEPS_PREFIX)")

    def sox_amr(self, wav, mode):
        """sox's AMR-NB encoder, which always runs with discontinuous transmission (DTX)."""
        out = wav + ".sox.amr"
        audio.run(["sox", wav, "-C", str(MODES.index(mode)), "-t", "amr-nb", out])
        return read(out)

    def wav2amr(self, folder, wav_name="test.wav", mode="MR67", extra=""):
        """wav2amr.exe started with the program's command line; a.amr's bytes or None."""
        out = os.path.join(folder, "a.amr")
        if os.path.exists(out):
            os.remove(out)
        self.wine.start(os.path.join(ARGS.bin, "wav2amr.exe"),
                        "wav2amr %s a.amr %s%s" % (wav_name, mode, extra), folder)
        return read(out) if os.path.exists(out) else None

    def assert_decodes_like(self, encoded, wav, length_slack, level_db=1.0):
        """ffmpeg decodes `encoded` to the input's length (within `length_slack` seconds)
        and level (within `level_db`)."""
        rate, channels, ref = audio.read_wav(wav)
        ref = ref[::channels]
        out_rate = audio.probe_rate(encoded)
        decoded = audio.decode(encoded, out_rate)
        seconds_in, seconds_out = len(ref) / rate, len(decoded) / out_rate
        self.assertLessEqual(abs(seconds_out - seconds_in), length_slack + 1e-9,
                             "%s: %.4f s decoded for %.4f s" % (encoded, seconds_out, seconds_in))
        level_in, level_out = audio.rms_db(ref), audio.rms_db(decoded)
        self.assertLess(abs(level_out - level_in), level_db,
                        "%s: level %.2f dB for %.2f dB" % (encoded, level_out, level_in))
        return decoded

    def test_wav2amr_matches_sox_in_every_mode(self):
        # With "-dtx" the outputs match sox's on any clip; without (the program's command
        # line) they match wherever the clip has no pause for DTX to replace.
        self.need("wav2amr.exe")
        folder = self.folder("modes", self.speech)
        shutil.copy(self.music, os.path.join(folder, "music.wav"))
        for mode in MODES:
            with self.subTest(mode=mode):
                self.assertEqual(self.wav2amr(folder, mode=mode, extra=" -dtx"),
                                 self.sox_amr(self.speech, mode))
                reference = self.sox_amr(self.music, mode)
                self.assertFalse(has_dtx_frames(reference), "the tune has a pause")
                self.assertEqual(self.wav2amr(folder, "music.wav", mode), reference)
        # Without DTX every 20 ms of the speech, pauses too, is a coded frame.
        ours = self.wav2amr(folder)
        self.assertTrue(has_dtx_frames(self.sox_amr(self.speech, "MR67")))
        _, _, speech = audio.read_wav(self.speech)
        self.assertEqual(len(amr_frame_types(ours)), (len(speech) + 159) // 160)
        self.assertFalse(has_dtx_frames(ours))

    def test_wav2amr_reads_any_chunk_layout_and_pads_the_last_frame(self):
        self.need("wav2amr.exe")
        folder = self.folder("layouts")
        _, _, speech = audio.read_wav(self.speech)
        cases = [(3201, layout) for layout in ("plain", "list-first", "data-first", "odd-junk")]
        cases += [(3200, "plain"), (100, "plain"), (0, "plain")]
        for count, layout in cases:
            with self.subTest(count=count, layout=layout):
                canonical = os.path.join(folder, "canonical.wav")
                audio.write_wav(canonical, speech[:count])
                audio.write_wav(os.path.join(folder, "test.wav"), speech[:count], layout=layout)
                self.assertEqual(self.wav2amr(folder, extra=" -dtx"),
                                 self.sox_amr(canonical, "MR67"))

    def test_wav2amr_refuses_other_input_and_leaves_no_file(self):
        self.need("wav2amr.exe")
        folder = self.folder("refusals")
        _, _, speech = audio.read_wav(self.speech)
        audio.write_wav(os.path.join(folder, "stereo.wav"), speech[:1600] * 2, channels=2)
        audio.write_wav(os.path.join(folder, "rate.wav"), speech[:1600], rate=44100)
        audio.write_wav(os.path.join(folder, "eight.wav"), [128] * 1600, bits=8)
        audio.write_wav(os.path.join(folder, "float.wav"), speech[:1600], tag=3)
        with open(os.path.join(folder, "garbage.wav"), "wb") as f:
            f.write(b"this is not a wave file at all" * 20)
        open(os.path.join(folder, "empty.wav"), "wb").close()
        shutil.copy(self.speech, os.path.join(folder, "good.wav"))
        cases = [["wav2amr", name, "a.amr", "MR67"] for name in
                 ("stereo.wav", "rate.wav", "eight.wav", "float.wav", "garbage.wav",
                  "empty.wav", "missing.wav")]
        cases += [["wav2amr", "good.wav", "a.amr", "MR68"], ["wav2amr", "good.wav"]]
        for args in cases:
            with self.subTest(args=" ".join(args)):
                result = self.wine.exe(os.path.join(ARGS.bin, "wav2amr.exe"), args, cwd=folder)
                self.assertNotEqual(result.returncode, 0)
                self.assertIn(b"wav2amr", result.stderr)
                self.assertFalse(os.path.exists(os.path.join(folder, "a.amr")))

    def test_amr_and_mp3_decode_to_the_clips_length_and_level(self):
        self.need("wav2amr.exe")
        self.need("lame.exe")
        # AMR-NB keeps the level of speech; sustained tones come out 1.3 to 3 dB quieter from
        # this codec whoever drives it (sox's bytes are the same).
        for clip, level_db in ((self.speech, 1.0), (self.music, 3.0)):
            with self.subTest(clip=os.path.basename(clip), format="amr"):
                folder = self.folder("amr-" + os.path.basename(clip), clip)
                self.assertIsNotNone(self.wav2amr(folder))
                self.assert_decodes_like(os.path.join(folder, "a.amr"), clip, 0.020, level_db)
            with self.subTest(clip=os.path.basename(clip), format="mp3"):
                folder = self.folder("mp3-" + os.path.basename(clip))
                wav = os.path.join(folder, "test.wav")
                audio.run(["sox", clip, "-r", "44100", "-c", "2", wav])
                self.assertEqual(self.wine.start(os.path.join(ARGS.bin, "lame.exe"),
                                                 "test.wav a.mp3 -b 48", folder), 0)
                mp3 = os.path.join(folder, "a.mp3")
                self.assertEqual(audio.probe_rate(mp3), 22050)  # 48 kbit/s: MPEG-2 layer III
                # No gapless tag fits in 48 kbit/s frames, so decoders keep the codec's delay
                # (1105 samples) and the last frame's padding (under 576): long, never short.
                decoded = self.assert_decodes_like(mp3, wav, (1105 + 576) / 22050)
                _, _, ref = audio.read_wav(wav)
                self.assertGreaterEqual(len(decoded) / 22050, len(ref) / 2 / 44100)

    def test_mmf_layout_crc_length_level_and_quality(self):
        for clip in (self.speech, self.music):
            with self.subTest(clip=os.path.basename(clip)):
                folder = self.folder("mmf-" + os.path.basename(clip), clip)
                wav = os.path.join(folder, "test.wav")
                code, log = self.wine.mmf(wav, ARGS.bin)
                self.assertEqual(code, 0, log)
                mmf = os.path.join(folder, "test.mmf")
                info = audio.parse_mmf(read(mmf))
                self.assertEqual(info["crc_stored"], info["crc"])
                self.assertEqual(info["chunks"], [b"CNTI", b"ATR\0", b"Atsq", b"Awa\1"])
                self.assertEqual(info["wave_type"], 0x11)  # mono ADPCM at 8000 Hz
                decoded = self.assert_decodes_like(mmf, wav, 1 / 8000)

                reference = os.path.join(folder, "ffmpeg.mmf")
                audio.run(["ffmpeg", "-v", "error", "-y", "-i", wav, "-ar", "8000", "-ac", "1",
                           "-c:a", "adpcm_yamaha", reference])
                _, _, ref = audio.read_wav(wav)
                ours = audio.segmental_snr(ref, decoded)
                theirs = audio.segmental_snr(ref, audio.decode(reference, 8000))
                self.assertGreater(ours, theirs + 0.5, "segmental SNR %.2f dB, ffmpeg's %.2f dB"
                                   % (ours, theirs))

                # Started with too small a buffer, the same file after fourfold growth.
                first = read(mmf)
                code, log = self.wine.mmf(wav, ARGS.bin, capacity=64)
                self.assertEqual(code, 0, log)
                too_small, capacity = 0, 64
                while capacity < len(first):
                    too_small, capacity = too_small + 1, capacity * 4
                self.assertEqual(log.count("= -2"), too_small, log)
                self.assertEqual(read(mmf), first)

    def test_m4r_in_one_or_two_segments_has_the_clips_length_and_no_seam(self):
        # From 4 s on the clip is encoded in two segments, on two threads, that join at the
        # frame boundary nearest the middle; the error there is no worse than elsewhere.
        # The places differ by under 2 dB, so the clip is the same in every run (sox -R seeds
        # its noise) and 0.5 dB is left for another build of the codec: a join one sample
        # out of step already costs nearly 4 dB.
        dlls = glob.glob(os.path.join(ARGS.bin, "av*-*.dll"))
        dlls += glob.glob(os.path.join(ARGS.bin, "swresample-*.dll"))
        if len(dlls) != 4:
            self.skipTest("FFmpeg's DLLs are not built (no QV_DEPS_PREFIX)")
        folder = self.folder("m4r")
        for dll in dlls + [ARGS.tool]:
            shutil.copy(dll, folder)  # the encoder loads the DLLs from the tool's folder
        tool = os.path.join(folder, os.path.basename(ARGS.tool))
        for seconds in (3.0, 12.0):
            with self.subTest(seconds=seconds):
                wav = os.path.join(folder, "clip%d.wav" % seconds)
                audio.run(["sox", "-R", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth",
                           str(seconds), "pinknoise", "sine", "330", "sine", "554",
                           "tremolo", "3", "40", "vol", "0.4"])
                m4r = wav[:-4] + ".m4r"
                result = self.wine.exe(tool, ["m4r", audio.windows_path(wav),
                                              audio.windows_path(m4r)], cwd=folder)
                self.assertEqual(result.returncode, 0, result.stdout)
                self.assert_decodes_like(m4r, wav, 1024 / 44100)
                _, _, clip = audio.read_wav(wav)
                clip, decoded = clip[::2], audio.decode(m4r, 44100, channels=2)[::2]
                frames = len(clip)
                cut = (frames // 2 + 512) // 1024 * 1024

                def snr(start):  # over the 2048 samples from `start`
                    signal = sum(x * x for x in clip[start:start + 2048])
                    noise = sum((x - y) ** 2 for x, y in zip(clip[start:start + 2048],
                                                             decoded[start:start + 2048]))
                    return 10 * math.log10(signal / max(noise, 1))
                elsewhere = sorted(snr(start) for start in range(22050, frames - 22050, 2048))
                self.assertGreaterEqual(snr(cut - 1024), elsewhere[len(elsewhere) // 10] - 0.5,
                                        "at the cut, against the tenth-worst of %d places"
                                        % len(elsewhere))

    def test_mmf_refuses_stereo(self):
        folder = self.folder("mmf-stereo")
        _, _, speech = audio.read_wav(self.speech)
        wav = os.path.join(folder, "test.wav")
        audio.write_wav(wav, speech[:1600] * 2, channels=2)
        code, log = self.wine.mmf(wav, ARGS.bin)
        self.assertEqual(code, 2, log)
        self.assertIn("= -1", log)
        self.assertFalse(os.path.exists(os.path.join(folder, "test.mmf")))


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="distribution folder")
    parser.add_argument("--tool", required=True, help="encoders_win_tool.exe")
    parser.add_argument("--wine", required=True, help="wine runner script")
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
