#!/usr/bin/env python3
"""Evaluation of the best-part detector: the hit rate (a proposal starting within 3 s of a
chorus onset) of its first proposal and of any of its three, beside three baselines (25 % into
the song, the loudest window, a fixed 43 s), on rendered General MIDI songs of known form (some
through an MP3 round trip) and on real songs with annotated choruses.
    evaluate.py WORK_DIR BEST_PART_CLI [SECONDS]"""
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SOUNDFONT = '/usr/share/sounds/sf2/FluidR3_GM.sf2'
SONGS = '/usr/share/games/fretsonfire/data/songs'
MP3_ROUND_TRIP = ['pop_b', 'dance', 'punk', 'anthem']
TOLERANCE = 3.0


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def duration(wav):
    return float(run('soxi', '-D', wav))


def synthetic(work):
    midi = os.path.join(work, 'midi')
    table = run(sys.executable, os.path.join(HERE, 'make_songs.py'), midi)
    songs = []
    for line in table.split('\n'):
        if not line:
            continue
        name, tempo, _, onsets = line.split()
        wav = os.path.join(work, name + '.wav')
        if not os.path.exists(wav):
            run('fluidsynth', '-ni', '-q', '-g', '0.35', '-r', '44100', '-F', wav, SOUNDFONT,
                os.path.join(midi, name + '.mid'))
        truth = [float(t) for t in onsets.split(',')]
        songs.append(('midi', f'{name} ({tempo} bpm)', wav, truth))
        if name in MP3_ROUND_TRIP:
            mp3, back = os.path.join(work, name + '.mp3'), os.path.join(work, name + '_mp3.wav')
            if not os.path.exists(back):
                run('lame', '--silent', '-b', '128', wav, mp3)
                run('ffmpeg', '-loglevel', 'error', '-nostdin', '-y', '-i', mp3, back)
            songs.append(('midi', f'{name} via MP3', back, truth))
    return songs


def real(work):
    songs = []
    for line in open(os.path.join(HERE, 'real_choruses.txt')):
        if line.startswith('#') or not line.strip():
            continue
        fields = line.split()
        folder, name, onsets = ' '.join(fields[:-2]), fields[-2], fields[-1]
        wav = os.path.join(work, name + '.wav')
        if not os.path.exists(wav):
            d = os.path.join(SONGS, folder)
            run('ffmpeg', '-loglevel', 'error', '-nostdin', '-y', '-i', os.path.join(d, 'song.ogg'),
                '-i', os.path.join(d, 'guitar.ogg'), '-filter_complex', 'amix=inputs=2:normalize=0',
                '-ac', '2', '-ar', '44100', '-c:a', 'pcm_s16le', wav)
        songs.append(('real', name, wav, [float(t) for t in onsets.split(',')]))
    return songs


def hit(start, truth):
    return start is not None and min(abs(start - t) for t in truth) <= TOLERANCE


def main():
    work, cli = sys.argv[1], sys.argv[2]
    seconds = sys.argv[3] if len(sys.argv) > 3 else '30'
    os.makedirs(work, exist_ok=True)
    methods = ['first', 'any of 3', '25 %', 'loudest', '43 s']
    tally = {}
    print(f'{"song":28} {"chorus onsets":22} {"proposals (start s, confidence)":38} hits')
    for group, name, wav, truth in synthetic(work) + real(work):
        lines = [l.split() for l in run(cli, wav, seconds).strip().split('\n') if l]
        starts = [float(l[0]) for l in lines]
        length = duration(wav)
        loudest = float(run(cli, wav, seconds, '--loudest'))
        results = [hit(starts[0] if starts else None, truth),
                   any(hit(s, truth) for s in starts),
                   hit(0.25 * length, truth), hit(loudest, truth), hit(43.0, truth)]
        for key in (group, 'all'):
            counts = tally.setdefault(key, [0] * (len(methods) + 1))
            counts[0] += 1
            for i, r in enumerate(results):
                counts[i + 1] += r
        shown = ' '.join(f'{float(l[0]):.1f}/{float(l[2]):.2f}' for l in lines)
        marks = ''.join('x' if r else '.' for r in results)
        print(f'{name:28} {",".join(f"{t:.0f}" for t in truth):22} {shown:38} {marks}')
    print(f'\nhit rate (start within {TOLERANCE:.0f} s of a chorus onset), {seconds}-second parts:')
    print(f'{"songs":14}' + ''.join(f'{m:>10}' for m in methods))
    for key in ('midi', 'real', 'all'):
        if key in tally:
            n, *hits = tally[key]
            print(f'{key + f" ({n})":14}' + ''.join(f'{100 * h / n:9.0f}%' for h in hits))


if __name__ == '__main__':
    main()
