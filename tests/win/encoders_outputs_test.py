"""The shipped encoders under Wine against the reference tools:
wav2amr.exe bit-exact with sox's AMR-NB encoder, lame.exe with the program's command line,
ringm.dll's MMF files (layout, CRC, quality against ffmpeg's own MMF encoder), and every
output decoded by ffmpeg with its length and level checked."""
import argparse
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
    """The frame types of an AMR file ("#!AMR\n", then frames led by a type byte)."""
    types, pos = [], 6
    while pos < len(data):
        frame_type = (data[pos] >> 3) & 15
        types.append(frame_type)
        pos += AMR_FRAME_BYTES[frame_type]
    if pos != len(data):
        raise ValueError("AMR frames do not end with the file")
    return types


def has_dtx_frames(data):
    """Comfort-noise (8) or no-data (15) frames."""
    return any(t in (8, 15) for t in amr_frame_types(data))


class ShippedEncoders(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # A folder with a space, as users' folders have.
        cls.root = tempfile.mkdtemp(prefix="qv enc ")
        cls.wine = audio.Wine(ARGS.wine, ARGS.tool)
        cls.bin = ARGS.bin
        cls.speech = os.path.join(cls.root, "speech.wav")
        audio.make_speech(cls.speech, "Your ringtone is ready. Call me back at seven thirty.")
        cls.music = os.path.join(cls.root, "music.wav")
        audio.make_music(cls.music)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)

    def folder(self, name):
        path = os.path.join(self.root, name)
        os.makedirs(path, exist_ok=True)
        return path

    def sox_amr(self, wav, mode, out):
        """sox's AMR-NB encoder, which always runs with discontinuous transmission."""
        audio.run(["sox", wav, "-C", str(MODES.index(mode)), "-t", "amr-nb", out])
        with open(out, "rb") as f:
            return f.read()

    def wav2amr(self, folder, wav_name, mode="MR67", extra=""):
        """Runs wav2amr.exe with the program's own command line; returns the bytes of
        a.amr or None when it wrote none."""
        out = os.path.join(folder, "a.amr")
        if os.path.exists(out):
            os.remove(out)
        self.wine.start(os.path.join(self.bin, "wav2amr.exe"),
                        "wav2amr %s a.amr %s%s" % (wav_name, mode, extra), folder)
        if not os.path.exists(out):
            return None
        with open(out, "rb") as f:
            return f.read()

    def assert_decodes_like(self, encoded, wav, frame_seconds, level_db=1.0):
        """ffmpeg decodes `encoded` to within one frame of the input's length and within
        `level_db` of its level."""
        rate, channels, ref = audio.read_wav(wav)
        out_rate = audio.probe_rate(encoded)
        decoded = audio.decode(encoded, out_rate)
        ref_mono = ref if channels == 1 else ref[::channels]
        seconds_in = len(ref_mono) / rate
        seconds_out = len(decoded) / out_rate
        self.assertLessEqual(abs(seconds_out - seconds_in), frame_seconds + 1e-9,
                             "%s: %.4f s decoded for %.4f s" % (encoded, seconds_out, seconds_in))
        self.assertLess(abs(audio.rms_db(decoded) - audio.rms_db(ref_mono)), level_db,
                        "%s level %.2f dB, input %.2f dB" % (
                            encoded, audio.rms_db(decoded), audio.rms_db(ref_mono)))
        return decoded

    def test_wav2amr_is_bit_exact_with_sox_in_every_mode(self):
        # sox always encodes with DTX: with "-dtx" the outputs match whatever the clip;
        # without it they match where the clip has no pause for DTX to replace.
        folder = self.folder("modes")
        shutil.copy(self.speech, os.path.join(folder, "test.wav"))
        shutil.copy(self.music, os.path.join(folder, "music.wav"))
        for mode in MODES:
            with self.subTest(mode=mode):
                reference = self.sox_amr(self.speech, mode, os.path.join(folder, "ref.amr"))
                self.assertEqual(self.wav2amr(folder, "test.wav", mode, " -dtx"), reference)
                reference = self.sox_amr(self.music, mode, os.path.join(folder, "ref.amr"))
                self.assertFalse(has_dtx_frames(reference), "the music clip has a pause")
                ours = self.wav2amr(folder, "music.wav", mode)
                self.assertEqual(ours[:6], b"#!AMR\n")
                self.assertEqual(ours, reference)

    def test_wav2amr_without_dtx_codes_every_frame(self):
        folder = self.folder("no-dtx")
        shutil.copy(self.speech, os.path.join(folder, "test.wav"))
        ours = self.wav2amr(folder, "test.wav", "MR67")
        self.assertTrue(has_dtx_frames(self.sox_amr(self.speech, "MR67",
                                                    os.path.join(folder, "ref.amr"))))
        self.assertFalse(has_dtx_frames(ours))
        _, _, speech = audio.read_wav(self.speech)
        self.assertEqual(len(amr_frame_types(ours)), (len(speech) + 159) // 160)

    def test_wav2amr_reads_any_chunk_layout_and_length(self):
        folder = self.folder("layouts")
        _, _, speech = audio.read_wav(self.speech)
        cases = [(3201, layout) for layout in ("plain", "list-first", "data-first", "odd-junk")]
        cases += [(3200, "plain"), (100, "plain"), (0, "plain")]  # whole frames, part, none
        for count, layout in cases:
            canonical = os.path.join(folder, "canonical.wav")
            audio.write_wav(canonical, speech[:count])
            reference = self.sox_amr(canonical, "MR67", os.path.join(folder, "ref.amr"))
            with self.subTest(count=count, layout=layout):
                audio.write_wav(os.path.join(folder, "test.wav"), speech[:count], layout=layout)
                self.assertEqual(self.wav2amr(folder, "test.wav", "MR67", " -dtx"), reference)

    def test_wav2amr_refuses_other_input_and_leaves_no_file(self):
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
        exe = os.path.join(self.bin, "wav2amr.exe")
        for args in cases:
            with self.subTest(args=" ".join(args)):
                result = self.wine.exe(exe, args, cwd=folder)
                self.assertNotEqual(result.returncode, 0)
                self.assertIn(b"wav2amr", result.stderr)
                self.assertFalse(os.path.exists(os.path.join(folder, "a.amr")))

    def test_lame_takes_the_programs_command_line(self):
        folder = self.folder("mp3")
        audio.run(["sox", self.speech, "-r", "44100", "-c", "2", os.path.join(folder, "test.wav")])
        code = self.wine.start(os.path.join(self.bin, "lame.exe"), "test.wav a.mp3 -b 48", folder)
        self.assertEqual(code, 0)
        mp3 = os.path.join(folder, "a.mp3")
        self.assertTrue(os.path.exists(mp3))
        self.assertEqual(audio.probe_rate(mp3), 22050)  # 48 kbit/s: MPEG-2 layer III
        # No gapless tag fits in 48 kbit/s frames, so decoders cannot trim the codec's delay
        # (1105 samples) and the padding of the last frame (under 576): the decoded clip runs
        # up to 1681 samples long, never short.
        decoded = self.assert_decodes_like(mp3, os.path.join(folder, "test.wav"),
                                           (1105 + 576) / 22050)
        _, _, ref = audio.read_wav(os.path.join(folder, "test.wav"))
        self.assertGreaterEqual(len(decoded) / 22050, len(ref) / 2 / 44100)

    def test_amr_decodes_with_its_length_and_level(self):
        # AMR-NB keeps the level of speech; sustained tones come out 1.3 to 3 dB quieter
        # from this codec whoever drives it (sox's bytes are the same), so the tune only
        # has to keep its length and roughly its level.
        folder = self.folder("amr-decode")
        for clip, level_db in ((self.speech, 1.0), (self.music, 3.0)):
            with self.subTest(clip=os.path.basename(clip)):
                shutil.copy(clip, os.path.join(folder, "test.wav"))
                self.assertIsNotNone(self.wav2amr(folder, "test.wav", "MR67"))
                self.assert_decodes_like(os.path.join(folder, "a.amr"), clip, 0.020, level_db)

    def test_mmf_layout_crc_length_level_and_quality(self):
        folder = self.folder("mmf")
        for clip in (self.speech, self.music):
            with self.subTest(clip=os.path.basename(clip)):
                wav = os.path.join(folder, "test.wav")
                shutil.copy(clip, wav)
                code, log = self.wine.mmf(wav, self.bin)
                self.assertEqual(code, 0, log)
                mmf = os.path.join(folder, "test.mmf")
                with open(mmf, "rb") as f:
                    data = f.read()
                info = audio.parse_mmf(data)
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
                self.assertGreater(ours, theirs + 0.5, "segmental SNR %.2f dB against ffmpeg's "
                                   "%.2f dB" % (ours, theirs))

    def test_mmf_growth_gives_the_same_file(self):
        folder = self.folder("mmf-growth")
        wav = os.path.join(folder, "test.wav")
        shutil.copy(self.speech, wav)
        code, _ = self.wine.mmf(wav, self.bin)
        self.assertEqual(code, 0)
        with open(os.path.join(folder, "test.mmf"), "rb") as f:
            first = f.read()
        code, log = self.wine.mmf(wav, self.bin, capacity=64)
        self.assertEqual(code, 0, log)
        too_small, capacity = 0, 64
        while capacity < len(first):
            too_small, capacity = too_small + 1, capacity * 4
        self.assertEqual(log.count("= -2"), too_small, log)
        with open(os.path.join(folder, "test.mmf"), "rb") as f:
            self.assertEqual(f.read(), first)


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
