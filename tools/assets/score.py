"""The score: parts with notes in beats, and the few music-theory helpers
that the soundtrack is written with.

Pitches are MIDI note numbers; names are scientific, so "C4" is middle C,
note 60 (which the show's MIDI reader calls "C5"). Times are beats (quarter
notes) from the start of the show, and lengths are beats too.

Notation used by the soundtrack:

- Keys: Key("D3", "minor"). Degrees count from 1, as musicians do.
- Phrases: a line of tokens separated by blanks. A token is a pitch, an
  optional duration and an optional accent:
      5  #4  b7  1'  5,  8  scale degrees of the key ("'" one octave up, "," down;
                            8, 9, ... continue into the next octave)
      E5  F#4  Bb3          absolute pitches (no key needed)
      r                     a rest
      /1.5  /.5  /1:3       the duration in beats (x:y is x/y); it is sticky:
                            a token without one lasts as long as the last one
      >                     accent
  "|" marks a bar line and is checked: it must fall on a whole bar.
- Chord progressions: "Dm | Bb | Gm - - A7 | Bb". The chords of a bar share it
  evenly; "-" holds the previous chord for one more share. Symbols are a root
  (C, F#, Bb, ...), a quality (m, 7, m7, maj7, dim, aug, sus2, sus4, 6, m6,
  add9, 5, 9, m9, 7sus4, dim7, m7b5) and an optional "/bass".
"""

import re

from midi_writer import MidiFile

DIVISION = 480  # ticks per beat in the MIDI files
BEATS_PER_BAR = 4

_LETTERS = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def pitch(name):
    """Scientific pitch name to a MIDI note number: "C4" -> 60, "Bb2" -> 46."""
    match = re.fullmatch(r"([A-G])([#b]*)(-?\d+)", name)
    if not match:
        raise ValueError("not a pitch name: %r" % name)
    letter, accidentals, octave = match.groups()
    return 12 * (int(octave) + 1) + _LETTERS[letter] + accidentals.count("#") - accidentals.count("b")


def pitch_class(name):
    match = re.fullmatch(r"([A-G])([#b]*)", name)
    if not match:
        raise ValueError("not a note name: %r" % name)
    letter, accidentals = match.groups()
    return (_LETTERS[letter] + accidentals.count("#") - accidentals.count("b")) % 12


# --------------------------------------------------------------------------
# Keys and chords

class Key:
    MODES = {
        "major": (0, 2, 4, 5, 7, 9, 11),
        "minor": (0, 2, 3, 5, 7, 8, 10),
        "harmonic": (0, 2, 3, 5, 7, 8, 11),
        "dorian": (0, 2, 3, 5, 7, 9, 10),
        "mixolydian": (0, 2, 4, 5, 7, 9, 10),
    }

    def __init__(self, tonic, mode="major"):
        self.tonic = pitch(tonic) if isinstance(tonic, str) else tonic
        self.mode = mode
        self.steps = self.MODES[mode]

    def degree(self, number, alter=0, octave=0):
        """Pitch of scale degree `number` (1 = tonic; 8 is the octave)."""
        index = number - 1
        return self.tonic + 12 * (index // 7 + octave) + self.steps[index % 7] + alter

    def transposed(self, semitones):
        return Key(self.tonic + semitones, self.mode)


_QUALITIES = {
    "": (0, 4, 7),
    "m": (0, 3, 7),
    "5": (0, 7),
    "7": (0, 4, 7, 10),
    "m7": (0, 3, 7, 10),
    "maj7": (0, 4, 7, 11),
    "6": (0, 4, 7, 9),
    "m6": (0, 3, 7, 9),
    "9": (0, 4, 7, 10, 14),
    "m9": (0, 3, 7, 10, 14),
    "add9": (0, 4, 7, 14),
    "madd9": (0, 3, 7, 14),
    "sus2": (0, 2, 7),
    "sus4": (0, 5, 7),
    "7sus4": (0, 5, 7, 10),
    "dim": (0, 3, 6),
    "dim7": (0, 3, 6, 9),
    "m7b5": (0, 3, 6, 10),
    "aug": (0, 4, 8),
}


class Chord:
    """A chord symbol: root pitch class, intervals above it, bass pitch class."""

    def __init__(self, symbol):
        match = re.fullmatch(r"([A-G][#b]?)([a-z0-9#]*)(?:/([A-G][#b]?))?", symbol)
        if not match or match.group(2) not in _QUALITIES:
            raise ValueError("unknown chord symbol: %r" % symbol)
        root, quality, bass = match.groups()
        self.symbol = symbol
        self.root = pitch_class(root)
        self.intervals = _QUALITIES[quality]
        self.bass = pitch_class(bass) if bass else self.root

    @property
    def pitch_classes(self):
        return sorted({(self.root + i) % 12 for i in self.intervals})

    def tone(self, index, low):
        """The index-th tone (0 root, 1 third, 2 fifth, ...) of the chord
        stacked upward from its root at or above `low`."""
        octaves, step = divmod(index, len(self.intervals))
        return self.root_note(low) + self.intervals[step] + 12 * octaves

    def nearest(self, index, target):
        """The chord's index-th tone in the octave nearest to `target`."""
        pc = (self.root + self.intervals[index % len(self.intervals)]) % 12
        return target + ((pc - target + 6) % 12) - 6

    def bass_note(self, low):
        """The bass pitch class at or above `low` (within the octave from low)."""
        return _at_or_above(self.bass, low)

    def root_note(self, low):
        return _at_or_above(self.root, low)

    def fifth_note(self, low):
        fifth = next((i for i in self.intervals if i in (6, 7, 8)), 7)
        return _at_or_above((self.root + fifth) % 12, low)

    def tones_between(self, low, high):
        """Every chord tone in [low, high], ascending."""
        pcs = set(self.pitch_classes)
        return [p for p in range(low, high + 1) if p % 12 in pcs]

    def voicing(self, low, count):
        """`count` chord tones stacked upward from `low` in close position."""
        pcs = set(self.pitch_classes)
        out = []
        p = low
        while len(out) < count:
            if p % 12 in pcs:
                out.append(p)
            p += 1
        return out

    def near(self, centre, count):
        """A close voicing of `count` tones whose middle lies near `centre`."""
        candidates = self.tones_between(centre - 12, centre + 12)
        best = None
        for i in range(len(candidates) - count + 1):
            group = candidates[i:i + count]
            score = abs(sum(group) / count - centre)
            if best is None or score < best[0]:
                best = (score, group)
        return best[1]


def _at_or_above(pc, low):
    return low + (pc - low) % 12


def progression(text, start, bar=BEATS_PER_BAR):
    """Parses a progression ("Dm | Bb | Gm - - A7") placed at `start`.

    Returns a list of (beat, length, Chord)."""
    out = []
    t = start
    for cell in text.split("|"):
        tokens = cell.split()
        if not tokens:
            raise ValueError("empty bar in progression %r" % text)
        share = bar / len(tokens)
        for token in tokens:
            if token == "-":
                beat, length, chord = out[-1]
                out[-1] = (beat, length + share, chord)
            else:
                out.append((t, share, Chord(token)))
            t += share
    return out


# --------------------------------------------------------------------------
# Phrases

_TOKEN = re.compile(
    r"(?P<pitch>r|[#b]*\d+[',]*|[A-G][#b]?-?\d+)"
    r"(?:/(?P<dur>\d*\.?\d+(?::\d+)?))?"
    r"(?P<accent>>?)$")


def parse_phrase(text, key=None, bar=BEATS_PER_BAR):
    """Reads a phrase into a list of (offset, length, pitch or None, accent).

    Offsets are beats from the phrase's start."""
    out = []
    t = 0.0
    length = 1.0
    for token in text.split():
        if token == "|":
            if abs(t / bar - round(t / bar)) > 1e-9:
                raise ValueError("bar line at beat %g in phrase %r" % (t, text))
            continue
        match = _TOKEN.match(token)
        if not match:
            raise ValueError("bad phrase token %r in %r" % (token, text))
        if match.group("dur"):
            num, _, den = match.group("dur").partition(":")
            length = float(num) / (float(den) if den else 1.0)
        name = match.group("pitch")
        if name == "r":
            note = None
        elif name[0] in "ABCDEFG":
            note = pitch(name)
        else:
            if key is None:
                raise ValueError("phrase %r uses degrees but has no key" % text)
            alter = name.count("#") - name.count("b")
            digits = name.strip("#b',")
            octave = name.count("'") - name.count(",")
            note = key.degree(int(digits), alter, octave)
        out.append((t, length, note, bool(match.group("accent"))))
        t += length
    return out


# --------------------------------------------------------------------------
# Parts and the score

class Part:
    """One track of the score: an instrument part on one MIDI channel."""

    def __init__(self, name, channel):
        self.name = name
        self.channel = channel
        self.notes = []     # (start, length, pitch, velocity)
        self.programs = []  # (beat, program)
        self.controls = []  # (beat, controller, value)

    # --- single events

    def note(self, start, note, length, velocity):
        if length <= 0:
            raise ValueError("%s: note of length %g at %g" % (self.name, length, start))
        velocity = max(1, min(127, int(round(velocity))))
        if not 0 <= note <= 127:
            raise ValueError("%s: pitch %d out of range at %g" % (self.name, note, start))
        self.notes.append((start, length, note, velocity))

    def chord(self, start, notes, length, velocity):
        for n in notes:
            self.note(start, n, length, velocity)

    def program(self, beat, number):
        self.programs.append((beat, number))

    def control(self, beat, number, value):
        self.controls.append((beat, number, max(0, min(127, int(round(value))))))

    def ramp(self, number, start, end, first, last, step=0.25):
        """A controller moving linearly from `first` at `start` to `last` at `end`."""
        steps = max(1, int(round((end - start) / step)))
        previous = None
        for i in range(steps + 1):
            value = int(round(first + (last - first) * i / steps))
            if value != previous:
                self.control(start + (end - start) * i / steps, number, value)
                previous = value

    # --- phrases

    def line(self, start, text, key=None, velocity=80, legato=0.92, transpose=0,
             accent=18, swell=None):
        """Plays a phrase from `start`; returns the beat where it ends.

        `swell` = (first, last) scales the velocity linearly across the phrase."""
        notes = parse_phrase(text, key)
        total = notes[-1][0] + notes[-1][1] if notes else 0.0
        for offset, length, note, accented in notes:
            if note is None:
                continue
            v = velocity
            if swell:
                v = swell[0] + (swell[1] - swell[0]) * (offset / total if total else 0.0)
            if accented:
                v += accent
            self.note(start + offset, note + transpose, length * legato, v)
        return start + total


class Score:
    """The whole piece: its parts, tempo, signatures and length in beats."""

    def __init__(self, tempo, title):
        self.tempo = tempo
        self.title = title
        self.parts = []
        self.time_signatures = [(0.0, 4, 4)]
        self.key_signature = (0, False)
        self.text = None
        self.notice = None
        self.length = 0.0  # beats; the render runs to here

    def part(self, name, channel):
        if any(p.name == name for p in self.parts):
            raise ValueError("two parts named %r" % name)
        part = Part(name, channel)
        self.parts.append(part)
        return part

    def find(self, name):
        return next(p for p in self.parts if p.name == name)

    def to_midi(self, with_programs):
        """The score as a standard MIDI file (bytes).

        With programs for the synthesiser; without them for the show, whose
        MIDI reader refuses program changes."""
        def tick(beat):
            return int(round(beat * DIVISION))

        midi = MidiFile(DIVISION, self.title)
        midi.tempo(0, self.tempo)
        for beat, numerator, denominator in self.time_signatures:
            midi.time_signature(tick(beat), numerator, denominator)
        midi.key_signature(0, *self.key_signature)
        if self.text:
            midi.text(self.text)
        if self.notice:
            midi.notice(self.notice)
        for part in self.parts:
            if not part.notes:
                continue
            track = midi.add_track(part.name)
            ch = part.channel
            if with_programs:
                for beat, number in part.programs:
                    track.program(tick(beat), ch, number)
            for beat, number, value in part.controls:
                track.control(tick(beat), ch, number, value)
            for on, off, note, velocity in _note_spans(part, tick):
                track.note_on(on, ch, note, velocity)
                track.note_off(off, ch, note)
        return midi.to_bytes(end_tick=tick(self.length))


def _note_spans(part, tick):
    """The part's notes as (on, off, pitch, velocity) in ticks.

    A note struck again on the same key before it was released is cut short
    where the new one starts, so that every key alternates strictly between
    on and off (the show's reader drops a second note-on of a held key)."""
    spans = []
    last_on = {}
    for start, length, note, velocity in sorted(part.notes):
        on, off = tick(start), max(tick(start + length), tick(start) + 1)
        if note in last_on:
            previous = spans[last_on[note]]
            if previous[0] == on:  # struck twice at once: keep the stronger
                spans[last_on[note]] = (on, max(off, previous[1]), note, max(velocity, previous[3]))
                continue
            if previous[1] > on:
                spans[last_on[note]] = (previous[0], on, note, previous[3])
        last_on[note] = len(spans)
        spans.append((on, off, note, velocity))
    return sorted(spans)
