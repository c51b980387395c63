#!/usr/bin/env python3
"""Test songs of known form for the best-part evaluation: General MIDI arrangements (drums,
bass, chords, a lead melody) of verse, pre-chorus, chorus and bridge sections, written as MIDI
files with the standard library only. Every section has its own chord progression, melody and
groove; each occurrence of a section repeats it, the chorus with a denser, louder groove, and
some songs raise their last chorus by a key. Writes OUT/NAME.mid for each song and prints the
truth table, one song a line:
    NAME TEMPO SECONDS CHORUS_ONSETS(comma-separated seconds)
    make_songs.py OUT"""
import os
import random
import sys

from midi_file import write_file

PPQ = 480
MAJOR = [0, 2, 4, 5, 7, 9, 11]
# Progressions as scale degrees (0 = I), one chord a bar.
PROGRESSIONS = [[0, 4, 5, 3], [5, 3, 0, 4], [0, 5, 3, 4], [3, 4, 2, 5], [1, 4, 0, 5],
                [0, 3, 4, 3], [5, 4, 3, 4], [3, 0, 4, 5], [2, 5, 1, 4], [0, 2, 3, 4]]
# name, tempo, key (MIDI note of the tonic), form, raise of the last chorus, chords, lead
SONGS = [
    ('pop_a', 120, 60, 'I V C V C B C C', 1, 0, 80),
    ('pop_b', 96, 62, 'I V P C V P C B C C', 2, 48, 73),
    ('ballad', 70, 57, 'I V C V C B C', 0, 0, 65),
    ('slow_rock', 84, 64, 'I V V C V C B C C', 1, 29, 30),
    ('mid_pop', 104, 65, 'V P C V P C B C', 0, 4, 81),
    ('chorus_first', 110, 59, 'C V C V C B C C', 2, 16, 56),
    ('dance', 128, 61, 'I V P C I V P C B C C', 0, 81, 80),
    ('fast_rock', 144, 52, 'I V C V C B B C C', 2, 30, 29),
    ('punk', 160, 55, 'I V C V C B C C', 0, 29, 30),
    ('shuffle', 136, 58, 'I V C V C B C', 1, 0, 71),
    ('anthem', 76, 63, 'I V P C V P C B C C', 2, 48, 57),
    ('synth', 118, 56, 'I V C I V C B C C', 0, 88, 81),
]
BARS = {'I': 4, 'V': 8, 'P': 4, 'C': 8, 'B': 8}


def chord_notes(key, degree):
    return [key + MAJOR[(degree + i) % 7] + 12 * ((degree + i) // 7) for i in (0, 2, 4)]


class Song:
    def __init__(self, name, tempo, key, form, lift, chords, lead):
        self.name, self.tempo, self.key, self.form = name, tempo, key, form.split()
        self.lift, self.chords, self.lead = lift, chords, lead
        rng = random.Random(name)
        picks = rng.sample(PROGRESSIONS, 4)
        self.progression = dict(zip('VPCB', picks))
        self.progression['I'] = self.progression['V']
        self.melody = {s: self.make_melody(rng, s) for s in 'VPCB'}
        self.tracks = [[(0, bytes([0xFF, 0x51, 3]) + (60000000 // tempo).to_bytes(3, 'big'))],
                       [], [], [], []]
        for channel, program in ((0, chords), (1, 33), (2, lead), (3, 48)):
            self.tracks[channel + 1].append((0, bytes([0xC0 | channel, program])))

    def make_melody(self, rng, section):
        """4 bars of (beat, length, scale step) on an eighth-note grid; sung twice in 8 bars."""
        notes, beat = [], 0.0
        step = rng.randint(2, 6)
        while beat < 16:
            length = rng.choice([0.5, 0.5, 1, 1, 1.5, 2] if section != 'C' else [0.5, 1, 1, 2])
            if rng.random() < 0.8:
                notes.append((beat, min(length, 16 - beat), step))
            step = max(0, min(9, step + rng.choice([-2, -1, -1, 1, 1, 2, 0])))
            beat += length
        return notes

    def note(self, channel, at, length, pitch, velocity):
        tick, end = int(at * PPQ), int((at + length) * PPQ) - 10
        track = self.tracks[channel + 1] if channel != 9 else self.tracks[4]
        track.append((tick, bytes([0x90 | channel, pitch, velocity])))
        track.append((max(tick + 1, end), bytes([0x80 | channel, pitch, 0])))

    def section(self, kind, beat, shift, is_last):
        bars, prog = BARS[kind], self.progression[kind]
        dense, loud = kind == 'C', kind == 'C'
        for bar in range(bars):
            at = beat + 4 * bar
            degree = prog[bar % 4]
            tones = [n + shift for n in chord_notes(self.key, degree)]
            # Chords: held in the verse, struck on every beat in the chorus.
            hits = [(0, 4)] if not dense else [(b, 1) for b in range(4)]
            for start, length in hits:
                for n in tones:
                    self.note(0, at + start, length, n, 100 if loud else 70)
            if dense:
                for n in tones:
                    self.note(3, at, 4, n + 12, 80)
            # Bass: roots on the beat, eighths in the chorus.
            step = 0.5 if dense else 1
            for i in range(int(4 / step)):
                self.note(1, at + i * step, step, tones[0] - 24, 105 if loud else 85)
            # Drums.
            if kind != 'I' or bar >= 2:
                kicks = [0, 1.5, 2, 3.5] if dense else [0, 2]
                for k in kicks:
                    self.note(9, at + k, 0.25, 36, 110)
                for s in (1, 3):
                    self.note(9, at + s, 0.25, 38, 110 if loud else 90)
                hat = 0.5 if dense else 1
                for i in range(int(4 / hat)):
                    self.note(9, at + i * hat, 0.25, 42 if kind != 'B' else 51, 90 if loud else 70)
                if dense and bar % 4 == 0:
                    self.note(9, at, 1, 49, 110)
            elif bar == 0:
                self.note(9, at, 1, 49, 80)
        if kind in 'VPCB':
            for rep in range(bars // 4):
                for b, length, step in self.melody[kind]:
                    pitch = self.key + 12 + MAJOR[step % 7] + 12 * (step // 7) + shift
                    self.note(2, beat + 16 * rep + b, length, pitch, 110 if loud else 90)

    def build(self):
        beat, onsets = 0.0, []
        last_chorus = max(i for i, k in enumerate(self.form) if k == 'C')
        for i, kind in enumerate(self.form):
            shift = self.lift if i == last_chorus else 0
            if kind == 'C':
                onsets.append(beat * 60 / self.tempo)
            self.section(kind, beat, shift, i == last_chorus)
            beat += 4 * BARS[kind]
        # Two bars of the tonic to end on.
        for n in chord_notes(self.key, 0):
            self.note(0, beat, 8, n, 80)
        self.note(9, beat, 1, 49, 100)
        return onsets, (beat + 8) * 60 / self.tempo


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for row in SONGS:
        song = Song(*row)
        onsets, seconds = song.build()
        write_file(os.path.join(out, song.name + '.mid'), song.tracks, PPQ)
        print(song.name, song.tempo, f'{seconds:.2f}', ','.join(f'{t:.2f}' for t in onsets))


if __name__ == '__main__':
    main()
