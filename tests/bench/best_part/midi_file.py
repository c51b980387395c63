"""Reading and writing Standard MIDI Files with nothing but the standard library: the notes of
a file with their times in seconds (through its tempo map), and the bytes of a format-1 file."""
import struct


def _varlen(data, at):
    value = 0
    while True:
        byte = data[at]
        at += 1
        value = (value << 7) | (byte & 0x7F)
        if not byte & 0x80:
            return value, at


def read_notes(path):
    """[(seconds, track, channel, note, velocity)] of every note-on, and the ticks per beat."""
    data = open(path, 'rb').read()
    if data[:4] != b'MThd':
        raise ValueError(f'{path}: not a MIDI file')
    _, tracks, division = struct.unpack('>HHH', data[8:14])
    at = 8 + struct.unpack('>I', data[4:8])[0]
    events, tempos = [], []
    for track in range(tracks):
        if data[at:at + 4] != b'MTrk':
            break
        end = at + 8 + struct.unpack('>I', data[at + 4:at + 8])[0]
        at += 8
        tick, status = 0, 0
        while at < end:
            delta, at = _varlen(data, at)
            tick += delta
            if data[at] & 0x80:
                status = data[at]
                at += 1
            if status == 0xFF:
                kind = data[at]
                length, at = _varlen(data, at + 1)
                if kind == 0x51:
                    tempos.append((tick, int.from_bytes(data[at:at + 3], 'big')))
                at += length
            elif status in (0xF0, 0xF7):
                length, at = _varlen(data, at)
                at += length
            else:
                kind = status & 0xF0
                size = 1 if kind in (0xC0, 0xD0) else 2
                if kind == 0x90 and data[at + 1] > 0:
                    events.append((tick, track, status & 0x0F, data[at], data[at + 1]))
                at += size
        at = end
    tempos.sort()
    if not tempos or tempos[0][0] > 0:
        tempos.insert(0, (0, 500000))

    def seconds(tick):
        total, last_tick, last_tempo = 0.0, 0, tempos[0][1]
        for t, tempo in tempos:
            if t > tick:
                break
            total += (t - last_tick) * last_tempo / division / 1e6
            last_tick, last_tempo = t, tempo
        return total + (tick - last_tick) * last_tempo / division / 1e6

    return [(seconds(t), tr, ch, n, v) for t, tr, ch, n, v in sorted(events)], division, tempos


def _track(events):
    """events: [(tick, bytes)], any order."""
    body, last = bytearray(), 0
    for tick, message in sorted(events, key=lambda e: (e[0], e[1][0] & 0xF0 != 0x80)):
        delta = tick - last
        last = tick
        var = bytearray([delta & 0x7F])
        delta >>= 7
        while delta:
            var.insert(0, 0x80 | (delta & 0x7F))
            delta >>= 7
        body += var + message
    body += b'\x00\xFF\x2F\x00'
    return b'MTrk' + struct.pack('>I', len(body)) + bytes(body)


def write_file(path, tracks, division=480):
    """tracks: lists of (tick, message bytes); the first should hold the tempo."""
    with open(path, 'wb') as f:
        f.write(b'MThd' + struct.pack('>IHHH', 6, 1, len(tracks), division))
        for events in tracks:
            f.write(_track(events))
