"""Standard MIDI file writer, small and strict.

Writes format-1 files: a conductor track (tempo, signatures, texts) followed
by one chunk per instrument track. Only the events that the show's MIDI reader
(src/util/music/midi) accepts can be written through it:

- note on / note off, control change, and program change (the last only when
  the caller asks for it: the file that the synthesiser renders needs program
  changes, the one that the show reads must not contain any);
- the meta events text, notice (copyright), track name, tempo, time signature,
  key signature and end of track.

No running status, no system exclusive, no pitch bend. Texts must be 1..127
bytes (the reader takes the length as one byte); a file holds at most one text
and one notice, a track at most one name. Violations raise ValueError here,
long before the show would stop on them.

Events at the same tick are written in a fixed order (program and controller
changes, then note-offs, then note-ons), so a note that ends where the next
one starts on the same key is released before it is struck again.
"""

import struct

# Sort rank of events that share a tick.
_RANK_META = 0
_RANK_PROGRAM = 1
_RANK_CONTROL = 2
_RANK_NOTE_OFF = 3
_RANK_NOTE_ON = 4

MAX_TEXT = 127


def _vlq(value):
    """Variable-length quantity, at most four bytes (up to 0x0FFFFFFF)."""
    if not 0 <= value <= 0x0FFFFFFF:
        raise ValueError("delta time out of range: %d" % value)
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def _text_bytes(text):
    data = text.encode("ascii")
    if not 1 <= len(data) <= MAX_TEXT:
        raise ValueError("text of %d bytes (1..%d allowed): %r" % (len(data), MAX_TEXT, text))
    return data


class Track:
    """One MTrk chunk: a name and a list of timed events."""

    def __init__(self, name):
        self.name = name
        self._events = []  # (tick, rank, sequence, bytes)

    def _add(self, tick, rank, data):
        if tick < 0:
            raise ValueError("event before tick 0 in track %r" % self.name)
        self._events.append((int(tick), rank, len(self._events), bytes(data)))

    def note_on(self, tick, channel, key, velocity):
        if not 1 <= velocity <= 127:
            raise ValueError("note-on velocity %d" % velocity)
        self._add(tick, _RANK_NOTE_ON, (0x90 | channel, key, velocity))

    def note_off(self, tick, channel, key):
        self._add(tick, _RANK_NOTE_OFF, (0x80 | channel, key, 0))

    def control(self, tick, channel, number, value):
        self._add(tick, _RANK_CONTROL, (0xB0 | channel, number, value))

    def program(self, tick, channel, program):
        self._add(tick, _RANK_PROGRAM, (0xC0 | channel, program))

    def meta(self, tick, kind, payload):
        if len(payload) > MAX_TEXT:
            raise ValueError("meta event too long")
        self._add(tick, _RANK_META, bytes((0xFF, kind, len(payload))) + payload)

    def chunk(self, end_tick=0):
        """The chunk's bytes; the end-of-track event sits at `end_tick` or at
        the last event, whichever is later."""
        body = bytearray()
        body += _vlq(0) + bytes((0xFF, 0x03)) + bytes((len(_text_bytes(self.name)),))
        body += _text_bytes(self.name)
        last = 0
        for tick, _rank, _seq, data in sorted(self._events):
            body += _vlq(tick - last) + data
            last = tick
        body += _vlq(max(0, end_tick - last)) + b"\xff\x2f\x00"
        return b"MTrk" + struct.pack(">I", len(body)) + bytes(body)


class MidiFile:
    """A format-1 file: the conductor track and the instrument tracks."""

    def __init__(self, division, title):
        self.division = division
        self.conductor = Track(title)
        self.tracks = []
        self._has_text = False
        self._has_notice = False

    def tempo(self, tick, beats_per_minute):
        micros = 60000000 / beats_per_minute
        if micros != int(micros):
            raise ValueError("tempo %r is not a whole number of microseconds per beat" % beats_per_minute)
        self.conductor.meta(tick, 0x51, int(micros).to_bytes(3, "big"))

    def time_signature(self, tick, numerator, denominator):
        power = denominator.bit_length() - 1
        if 1 << power != denominator:
            raise ValueError("time signature denominator %d" % denominator)
        self.conductor.meta(tick, 0x58, bytes((numerator, power, 24, 8)))

    def key_signature(self, tick, sharps, minor):
        self.conductor.meta(tick, 0x59, struct.pack(">bB", sharps, 1 if minor else 0))

    def text(self, text):
        if self._has_text:
            raise ValueError("a file holds one text event")
        self._has_text = True
        self.conductor.meta(0, 0x01, _text_bytes(text))

    def notice(self, text):
        if self._has_notice:
            raise ValueError("a file holds one notice event")
        self._has_notice = True
        self.conductor.meta(0, 0x02, _text_bytes(text))

    def add_track(self, name):
        track = Track(name)
        self.tracks.append(track)
        return track

    def to_bytes(self, end_tick=0):
        """The whole file; every track ends at `end_tick` (or its last event)."""
        chunks = [t.chunk(end_tick) for t in [self.conductor] + self.tracks]
        header = b"MThd" + struct.pack(">IHHH", 6, 1, len(chunks), self.division)
        return header + b"".join(chunks)
