#!/usr/bin/env python3
"""The form of a song as its time-aligned guitar chart (notes.mid) shows it: the expert part's
notes (96-100) cut into 2-bar phrases of 4/4 on the file's tempo, each phrase labelled by the
first earlier phrase whose notes it repeats (at least 75 % of (position, fret) in common), so
that repeated sections read as repeated runs of letters. Prints one line per phrase:
    START_SECONDS LABEL NOTES
and, with --runs, the runs of at least 4 bars that come back, with where they occur.
    chart_form.py NOTES.MID [--runs]"""
import string
import sys

from midi_file import read_notes

BARS = 2


def phrases(path):
    notes, division, tempos = read_notes(path)
    beat = tempos[0][1] / 1e6
    length = 4 * BARS * beat
    expert = [(t, n - 96) for t, _, _, n, _ in notes if 96 <= n <= 100]
    count = int(max(t for t, _ in expert) / length) + 1
    sets = [set() for _ in range(count)]
    for t, fret in expert:
        index = int(t / length + 1e-6)
        sets[index].add((round((t - index * length) / beat * 4), fret))
    return sets, length


def labels(sets):
    names, out = [], []
    for s in sets:
        name = '-'
        if s:
            for earlier, label in zip(sets, out):
                if earlier and len(s & earlier) >= 0.75 * max(len(s), len(earlier)):
                    name = label
                    break
            else:
                name = (string.ascii_uppercase + string.ascii_lowercase + string.digits)[len(names) % 62]
                names.append(name)
        out.append(name)
    return out


def main():
    sets, length = phrases(sys.argv[1])
    names = labels(sets)
    if '--runs' not in sys.argv:
        for i, (s, name) in enumerate(zip(sets, names)):
            print(f'{i * length:7.2f} {name} {len(s)}')
        return
    text = ''.join(names)
    print(text)
    seen = set()
    for size in range(len(text) // 2, 1, -1):
        for i in range(len(text) - size + 1):
            run = text[i:i + size]
            if '-' in run or run in seen:
                continue
            at = [j for j in range(len(text) - size + 1) if text[j:j + size] == run]
            if len(at) >= 2:
                seen.add(run)
                print(size * BARS, 'bars', run, ' '.join(f'{j * length:.1f}' for j in at))


if __name__ == '__main__':
    main()
