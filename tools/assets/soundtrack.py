#!/usr/bin/python3
"""Tin Lantern soundtrack: the composition, and the files made from it.

The music is written here as code, section by section along the show's
timeline (in beats, at a fixed 125 beats per minute). Each section plays in
a slot of the show's timeline table (src/timeline.def) and is written in
beats from the start of its slot, so that moving a slot in the table moves
its music with it. The sections' lengths are the composition's: a slot whose
length differs from its music's is an error. At the table's present beats:

    0    storm    D minor: rain, thunder on the "Lightning" notes, the main
                  theme on horns, a build-up to the storm's peak
    96   dawn     D major: the storm breaks, birds, a train whistle far away
                  (the last 18 beats of the credits' slot)
    114  train    G major: a toy-train tune, three 48-beat rides
    258  clown    C major: a circus march; a bell ("KlovneRinger") for every
                  part of the clown figure, then the twelve ring drops
    354  robots   A minor: eight 12-beat competition categories, the
                  "Gabber" one (426-438) hard and fast; a flash at 450
    450  mosaic   F major: tiles fly in, the walls fold up until 534
    546  closing  D major: the main theme on the piano, to the end

Outputs, under <root>/data/common/music (the generators' command line,
generator.py: --root ROOT, --check, --list, --sources):

    sp10-invite.ogg   the stream (44.1 kHz stereo Ogg Vorbis)
    sp10-invite.mid   the MIDI file that the show reads for synchronisation:
                      the same tracks and notes as the rendered score, but
                      without program changes, which the show's reader refuses

The MIDI that fluidsynth renders (with the General MIDI program changes) is
written only on request (--render-midi).

Run with Debian's interpreter: /usr/bin/python3 tools/assets/soundtrack.py --root .
"""

import os
import random
import re
import sys

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

try:
    import numpy  # noqa: F401
except ImportError:
    sys.exit("soundtrack.py needs numpy: run it with Debian's /usr/bin/python3 (python3-numpy)")

import audio  # noqa: E402
import generator  # noqa: E402
import timeline  # noqa: E402
from score import Key, Score, pitch, progression  # noqa: E402

TEMPO = 125  # beats per minute: 480000 microseconds per beat, 21168 samples at 44.1 kHz
SECONDS_PER_BEAT = 60.0 / TEMPO
TAIL = 4  # beats the stream runs on after the closing text is gone
FADE_TAIL = 0.5  # the reverb tail fades out from this long after it to the end

MUSIC_DIR = "data/common/music"
STREAM_NAME = "sp10-invite.ogg"
MIDI_NAME = "sp10-invite.mid"
OGG_QUALITY = 5

# The sections: (name, the timeline slot it plays in, its first beat in the
# slot, the beats it was composed for, intended loudness). The robots play
# in the slot that the code scroller, the metaballs and the robots share.
SECTIONS = [
    ("storm", "Credits", 0, 96, "pp, growing to ff at 92-96"),
    ("dawn", "Credits", 96, 18, "ff hit, then p"),
    ("train", "Train", 0, 144, "mp, mf, f; halts at 142"),
    ("clown", "Clown", 0, 96, "mf, f at 64, mp for the rings"),
    ("robots", "DadezAruv", 0, 96, "f; 4K and Graphics softer; Gabber ff; Photo p to f"),
    ("mosaic", "Tiles", 0, 96, "ff hit, mp, crescendo to ff at 84, dim."),
    ("closing", "Endtext", 0, 33, "p to pp"),
]
# Scenes that share a section's slot and must keep the same beats.
SHARED_SLOTS = {"DadezAruv": ("CodeScroller", "Metaballmarch")}


class Plan:
    """Where the sections play, from the show's timeline table.

    start[name] is a section's first beat, end[name] its end beat; length is
    the stream's length in beats (TAIL beats after the last slot's end) and
    fade_from the beat where the master fades out. Raises ValueError when
    the table's slots do not fit the music as it was composed (a slot of
    another length, a missing slot, a shared slot split, sections sounding
    over each other or after the closing)."""

    def __init__(self, slots):
        by_scene = {}
        for s in slots:
            if s.scene in by_scene:
                raise ValueError("timeline: two slots for the scene %s" % s.scene)
            by_scene[s.scene] = s
        composed = {}
        for _name, scene, offset, beats, _intended in SECTIONS:
            composed[scene] = max(composed.get(scene, 0), offset + beats)
        for scene, beats in composed.items():
            if scene not in by_scene:
                raise ValueError("timeline: no slot for the scene %s, whose music is %g beats long" % (scene, beats))
            s = by_scene[scene]
            if s.end - s.start != beats:
                raise ValueError("timeline: the %s slot runs from beat %g to %g (%g beats), but its music was "
                                 "composed for %g beats; change the music in tools/assets/soundtrack.py with it"
                                 % (scene, s.start, s.end, s.end - s.start, beats))
            for other in SHARED_SLOTS.get(scene, ()):
                o = by_scene.get(other)
                if o is None or (o.start, o.end) != (s.start, s.end):
                    raise ValueError("timeline: the %s slot does not run from beat %g to %g with the %s slot, "
                                     "whose music they share" % (other, s.start, s.end, scene))
        self.start = {}
        self.end = {}
        for name, scene, offset, beats, _intended in SECTIONS:
            self.start[name] = by_scene[scene].start + offset
            self.end[name] = self.start[name] + beats
        order = sorted(self.start, key=lambda name: self.start[name])
        for before, after in zip(order, order[1:]):
            if self.start[after] < self.end[before]:
                raise ValueError("timeline: the %s music (from beat %g) would sound over the %s music (up to %g)"
                                 % (after, self.start[after], before, self.end[before]))
        if self.start[order[0]] < 0:
            raise ValueError("timeline: the %s music would start before the show, at beat %g"
                             % (order[0], self.start[order[0]]))
        last = self.end[SECTIONS[-1][0]]
        if last != self.end[order[-1]]:
            raise ValueError("timeline: the %s music would end after the closing one, at beat %g"
                             % (order[-1], self.end[order[-1]]))
        show_end = max(s.end for s in slots)
        self.length = show_end + TAIL
        self.fade_from = show_end + FADE_TAIL

    def sections(self):
        """(name, first beat, end beat, intended loudness) of every section;
        the last runs to the end of the stream."""
        out = [(name, self.start[name], self.end[name], intended) for name, *_rest, intended in SECTIONS]
        name, first, _end, intended = out[-1]
        out[-1] = (name, first, self.length, intended)
        return out


def plan(table=None):
    """The Plan of the timeline table at `table` (default: src/timeline.def)."""
    return Plan(timeline.read(table) if table else timeline.read())


# Lightning flashes over the storm: (beat in the storm, strength). The picture
# shows the first logo on the first flash and the second logo on the fourth;
# the flashes come closer and more often until the storm breaks at 96.
LIGHTNING = [(8, 66), (19, 72), (26.5, 80), (34, 90), (46, 84), (55, 96), (64, 100),
             (69, 88), (76, 104), (80, 96), (87, 110), (90, 102), (92.5, 116), (94.5, 124)]

# The clown figure is stacked by seven bells (beats in the clown's section);
# the seventh completes it.
CLOWN_BELLS = [8, 16, 24, 32, 40, 48, 64]
# The rings drop in pairs, 0.2 beats apart, every four beats from 72.
RING_DROPS = [(b, d) for b in (72, 76, 80, 84, 88, 92) for d in (0.0, 0.2)]

# General MIDI programs (0-based) used by the score.
PIANO, CELESTA, GLOCKENSPIEL, MUSIC_BOX, VIBRAPHONE, MARIMBA, XYLOPHONE = 0, 8, 9, 10, 11, 12, 13
TUBULAR_BELLS, ACCORDION = 14, 21
DISTORTION_GUITAR, FINGERED_BASS, SYNTH_BASS = 30, 33, 39
CELLO, CONTRABASS, TREMOLO_STRINGS, PIZZICATO, HARP, TIMPANI = 42, 43, 44, 45, 46, 47
STRINGS, SLOW_STRINGS, SYNTH_STRINGS, CHOIR, SYNTH_VOICE, ORCHESTRA_HIT = 48, 49, 50, 52, 54, 55
TROMBONE, TUBA, FRENCH_HORNS, BRASS, SYNTH_BRASS = 57, 58, 60, 61, 62
OBOE, CLARINET, FLUTE = 68, 71, 73
SQUARE_LEAD, SAW_LEAD, CALLIOPE = 80, 81, 82
WARM_PAD, POLYSYNTH, HALO_PAD, SWEEP_PAD, CRYSTAL = 89, 90, 94, 95, 98
BANJO, TAIKO, BIRD_TWEET = 105, 116, 123

# Drum kits (programs on the percussion channel) and General MIDI drum keys.
# (Kicks that reach their low end quickly keep the beat tight: the standard,
# electronic and TR-808 kits do; the room and power kits' kicks swell slowly.)
STANDARD_KIT, ELECTRONIC_KIT, TR808_KIT, BRUSH_KIT, ORCHESTRA_KIT = 0, 24, 25, 40, 48
KICK, SIDE_STICK, SNARE, CLAP, BRUSH_SWIRL, HI_HAT, OPEN_HAT = 36, 37, 38, 39, 40, 42, 46
CRASH, SPLASH, CRASH2, SHORT_WHISTLE, LONG_WHISTLE, TRIANGLE, SHAKER = 49, 55, 57, 71, 72, 81, 82

SYNC_NOTE = 60  # "Lightning" and "KlovneRinger" carry their events on this key

# Controllers
VOLUME, PAN, EXPRESSION, PACE, REVERB, CHORUS = 7, 10, 11, 16, 91, 93

# The music's pace for the animation: a general-purpose controller (which
# the synthesiser ignores) on the Pad and Bass tracks. The sync configuration's
# oscillators read it through their controller template (lfo-rates.xml).
# (section, beat in the section, pace)
PACE_LANE = [("storm", 0, 16), ("storm", 72, 40), ("dawn", 0, 8), ("train", 0, 48), ("clown", 0, 56),
             ("clown", 72, 40), ("robots", 0, 100), ("robots", 72, 124), ("robots", 84, 70),
             ("mosaic", 0, 72), ("mosaic", 48, 88), ("mosaic", 84, 40), ("closing", 0, 8)]

VELOCITY_SEED = 0x7117
_rng = random.Random(VELOCITY_SEED)  # reseeded by compose(): every run plays alike


def human(velocity, amount=4.0):
    """A velocity with a little life in it."""
    return velocity + _rng.uniform(-amount, amount)


# ==========================================================================
# The band: one track per part, each on its own channel (the drums share the
# percussion channel).

class Band:
    def __init__(self, score):
        part = score.part
        self.lightning = part("Lightning", 8)
        self.bells = part("KlovneRinger", 7)
        self.kick = part("Kick", 9)
        self.snare = part("Snare", 9)
        self.hats = part("Hats", 9)
        self.perc = part("Percussion", 9)
        self.timpani = part("Timpani", 10)
        self.bass = part("Bass", 3)
        self.strings = part("Strings", 2)
        self.pad = part("Pad", 4)
        self.choir = part("Choir", 15)
        self.lead = part("Lead", 0)
        self.counter = part("Counter", 1)
        self.keys = part("Keys", 5)
        self.arp = part("Arp", 13)
        self.brass = part("Brass", 6)
        self.banjo = part("Banjo", 11)
        self.guitar = part("Guitar", 12)
        self.birds = part("Birds", 14)

    @staticmethod
    def voice(part, beat, program, volume=100, pan=64, reverb=50, chorus=0):
        """Sets a part's instrument and mixer strip from `beat` on."""
        part.program(beat, program)
        part.control(beat, VOLUME, volume)
        part.control(beat, PAN, pan)
        part.control(beat, REVERB, reverb)
        part.control(beat, CHORUS, chorus)
        part.control(beat, EXPRESSION, 127)

    def kit(self, beat, program, volume=110, reverb=40):
        """Selects the drum kit (one program for the whole percussion channel)."""
        self.voice(self.kick, beat, program, volume=volume, reverb=reverb)


# ==========================================================================
# Patterns

def chord_at(chords, t):
    """The chord of a progression (a list of (beat, length, Chord)) at beat t."""
    for beat, length, chord in chords:
        if beat - 1e-9 <= t < beat + length - 1e-9:
            return chord
    return None


def span(chords):
    """First and end beat of a progression."""
    return chords[0][0], chords[-1][0] + chords[-1][1]


_BASS_TOKEN = re.compile(r"(R|F|3|B|r)([',]*)(?:/(\d*\.?\d+))?(>?)$")


def bass(part, chords, template, low, velocity, legato=0.85):
    """A bass figure repeated every bar over the chords.

    `template` is a bar of tokens: R root, F fifth, 3 third, B the slash bass,
    r rest; "'" an octave up, "," down; durations as in phrases."""
    items = []
    t = 0.0
    length = 1.0
    for token in template.split():
        m = _BASS_TOKEN.match(token)
        if not m:
            raise ValueError("bad bass token %r" % token)
        if m.group(3):
            length = float(m.group(3))
        items.append((t, length, m.group(1), m.group(2).count("'") - m.group(2).count(","), bool(m.group(4))))
        t += length
    bar = t
    first, last = span(chords)
    at = first
    while at < last - 1e-9:
        for offset, length, tone, octave, accent in items:
            when = at + offset
            chord = chord_at(chords, when)
            if tone == "r" or chord is None or when >= last:
                continue
            if tone == "R":
                note = chord.root_note(low)
            elif tone == "B":
                note = chord.bass_note(low)
            elif tone == "F":
                note = chord.fifth_note(chord.root_note(low))
            else:
                note = chord.tone(1, chord.root_note(low))
            part.note(when, note + 12 * octave, length * legato, human(velocity + (14 if accent else 0), 3))
        at += bar


def comp(part, chords, template, centre, count, velocity, legato=0.8, spread=0.0):
    """Chord hits repeated every bar: template tokens "x" (hit) and "r" (rest)
    with durations, e.g. "r/1 x r x" for after-beats."""
    items = []
    t = 0.0
    length = 1.0
    for token in template.split():
        kind, _, dur = token.partition("/")
        if dur:
            length = float(dur)
        items.append((t, length, kind.rstrip(">"), kind.endswith(">")))
        t += length
    bar = t
    first, last = span(chords)
    at = first
    while at < last - 1e-9:
        for offset, length, kind, accent in items:
            when = at + offset
            chord = chord_at(chords, when)
            if kind != "x" or chord is None or when >= last:
                continue
            v = human(velocity + (14 if accent else 0), 3)
            for i, note in enumerate(chord.near(centre, count)):
                part.note(when + i * spread, note, length * legato, v)
        at += bar


def hold(part, chords, centre, count, velocity, legato=1.0, swell=None):
    """Sustained chords (pads, choir, strings)."""
    first, last = span(chords)
    for beat, length, chord in chords:
        v = velocity
        if swell:
            v = swell[0] + (swell[1] - swell[0]) * (beat - first) / max(1e-9, last - first)
        part.chord(beat, chord.near(centre, count), length * legato, v)


def arpeggio(part, chords, step, shape, low, velocity, legato=1.6, swell=None, begin=None):
    """Broken chords: `shape` lists chord-tone indices (0 root, 1 third, ...,
    stacked from the root at or above `low`), cycled every `step` beats;
    nothing before `begin`."""
    first, last = span(chords)
    n = int(round((last - first) / step))
    for i in range(n):
        when = first + i * step
        chord = chord_at(chords, when)
        if chord is None or (begin is not None and when < begin - 1e-9):
            continue
        v = velocity
        if swell:
            v = swell[0] + (swell[1] - swell[0]) * i / max(1, n - 1)
        part.note(when, chord.tone(shape[i % len(shape)], low), step * legato, human(v, 3))


def strum(part, when, notes, length, velocity, spread=0.02, up=False):
    """One strum across the strings: the notes a few milliseconds apart."""
    order = list(reversed(notes)) if up else notes
    for i, note in enumerate(order):
        part.note(when + i * spread, note, length, human(velocity - 3 * i, 2))


_LEVELS = {"X": 118, "x": 92, "o": 62, "g": 40}


def grid(part, start, pattern, note, step=0.25, scale=1.0, bars=1, length=None):
    """A drum line from a step pattern: X loud, x normal, o soft, g ghost,
    "." or "-" rest; blanks and "|" are ignored. Repeated `bars` times."""
    steps = [c for c in pattern if c not in " |"]
    for b in range(bars):
        origin = start + b * len(steps) * step
        for i, c in enumerate(steps):
            if c in _LEVELS:
                part.note(origin + i * step, note, length or step * 0.9, human(_LEVELS[c] * scale, 3))


def roll(part, start, end, note, step, first, last, length=None):
    """Repeated strokes from `start` to `end`, velocity moving first -> last."""
    n = int(round((end - start) / step))
    for i in range(n):
        v = first + (last - first) * i / max(1, n - 1)
        part.note(start + i * step, note, length or step * 0.95, human(v, 2))


def head_sequence(part, chords, low, velocity, swell=None):
    """The main theme's head (root, fifth, fifth) built on each chord's root,
    every root above the one before: the climbing sequences of the storm's
    and the mosaic's build-ups."""
    first, last = span(chords)
    root = None
    for beat, length, chord in chords:
        root = chord.root_note(low if root is None else root + 1)
        v = velocity
        if swell:
            v = swell[0] + (swell[1] - swell[0]) * (beat - first) / max(1e-9, last - first)
        part.note(beat, root, 1.4, v)
        part.note(beat + 1.5, root + 7, 0.45, v - 6)
        part.note(beat + 2, root + 7, 1.9, v)


def guide_tones(part, chords, low, velocity, legato=0.95):
    """A slow inner voice: the third, then the seventh or fifth, of each
    chord, each the nearest such tone to the last, kept within an octave
    above `low`."""
    last = low + 6
    for beat, length, chord in chords:
        third = chord.nearest(1, last)
        third += 12 if third < low else (-12 if third > low + 12 else 0)
        other = chord.nearest(3 if len(chord.intervals) > 3 else 2, third)
        other += 12 if other < low else (-12 if other > low + 12 else 0)
        last = other
        if length >= 2:
            part.note(beat, third, length / 2 * legato, human(velocity, 2))
            part.note(beat + length / 2, other, length / 2 * legato, human(velocity, 2))
        else:
            part.note(beat, third, length * legato, human(velocity, 2))


# ==========================================================================
# Themes

# The main theme (eight bars), in scale degrees: it works in major and minor.
# Its first half alone opens the storm.
THEME = ("1/1.5 5/.5 5/2 | 6/1 5 4 3 | 2/1.5 3/.5 4/1 5 | 3/3 r/1 | "
         "1/1.5 5/.5 5/2 | 6/1 8 7 6 | 5/1.5 4/.5 3/1 2 | 1/3 r/1")
# The toy train's tune and its second strain.
TRAIN_TUNE = ("5/.5 5 6 5 3/1 1 | 2/.5 3 4 3 2/2 | 4/.5 4 5 4 2/1 7, | 1/.5 2 3 2 1/2 | "
              "6/.5 6 7 6 4/1 6 | 5/.5 5 6 5 3/1 1 | 2/1 5 4 7, | 1/1.5 r/.5 5,/.5 5, 1/1")
THEME_FIRST_HALF = "|".join(THEME.split("|")[:4])
TRAIN_TUNE_CHORDS = "G | D | D7 | G | C | G | D7 | G"
TRAIN_STRAIN = ("8/1.5 7/.5 6/1 5 | 3/1.5 4/.5 5/2 | 6/1.5 5/.5 4/1 2 | 5/3 r/1 | "
                "8/1.5 7/.5 6/1 5 | 3/1.5 2/.5 1/1 6, | 2/.5 3 4 5 4/1 7, | 1/3 r/1")
TRAIN_STRAIN_CHORDS = "C | G | Am | D | C | G - Em - | Am - D7 - | G"
# The clown's march (absolute pitches, C major).
CLOWN_MARCH = ("E5/.5 D#5 E5 G5 C6/1 A5 | G5/.5 F#5 G5 E5 C5/2 | D5/.5 C#5 D5 F5 A5/1 G5 | "
               "F5/.5 E5 D5 B4 C5/1 r | E5/.5 D#5 E5 G5 C6/1 A5 | A5/.5 G#5 A5 C6 F5/2 | "
               "E5/.5 D#5 E5 G5 D5/1 B4 | C5/2 G4/.5 C5 r/1")
CLOWN_MARCH_CHORDS = "C | C | Dm - G7 - | G7 - C - | C | F | C - G7 - | C"


# ==========================================================================
# The storm (the credits' first 96 beats)

def storm(b, t):
    key = Key("D4", "minor")
    b.kit(t, ORCHESTRA_KIT, volume=105, reverb=90)
    b.voice(b.lightning, t, TAIKO, volume=110, reverb=110)
    b.voice(b.strings, t, TREMOLO_STRINGS, volume=96, reverb=85)
    b.voice(b.bass, t, CONTRABASS, volume=104, pan=58, reverb=60)
    b.voice(b.pad, t, SWEEP_PAD, volume=82, reverb=100, chorus=40)
    b.voice(b.counter, t, CELLO, volume=100, pan=44, reverb=70)
    b.voice(b.lead, t, FRENCH_HORNS, volume=108, pan=76, reverb=85)
    b.voice(b.choir, t, CHOIR, volume=92, reverb=110)
    b.voice(b.timpani, t, TIMPANI, volume=112, pan=60, reverb=80)
    b.voice(b.brass, t, BRASS, volume=96, pan=70, reverb=85)

    # The flashes: each one a deep drum on the sync key; the thunder itself
    # is synthesised in the mix (audio.storm) on the same beats.
    for beat, strength in LIGHTNING:
        b.lightning.note(t + beat, SYNC_NOTE, 0.5, strength)

    # 0-16: darkness. A low D under the rain, the first flash at 8.
    b.bass.note(t, pitch("D2"), 16, 70)
    b.bass.ramp(EXPRESSION, t, t + 8, 40, 115)
    b.strings.chord(t, [pitch("D3"), pitch("A3")], 8, 58)
    b.strings.chord(t + 8, [pitch("D3"), pitch("A3"), pitch("D4"), pitch("F4")], 4, 62)
    b.strings.chord(t + 12, [pitch("D3"), pitch("G3"), pitch("Bb3"), pitch("D4")], 4, 64)
    b.strings.ramp(EXPRESSION, t, t + 10, 30, 110)
    b.pad.chord(t, [pitch("D3"), pitch("F3"), pitch("A3")], 12, 56)
    b.pad.chord(t + 12, [pitch("D3"), pitch("G3"), pitch("Bb3")], 4, 56)
    b.pad.ramp(EXPRESSION, t, t + 6, 50, 120)
    roll(b.timpani, t + 4, t + 8, pitch("D2"), 0.125, 30, 84)
    b.timpani.note(t + 8, pitch("D2"), 2, 96)
    b.counter.line(t + 8, "1/2 5/2 | 6/3 5/1", Key("D3", "minor"), velocity=70, legato=0.98)

    # 16-32: the main theme's first half, low on the horns.
    first = progression("Dm | Gm | Em7b5 - A7 - | Bb", t + 16)
    b.lead.line(t + 16, THEME_FIRST_HALF, key,
                velocity=72, swell=(66, 80), legato=0.97)
    hold(b.strings, first, 55, 4, 64, swell=(60, 72))
    bass(b.bass, first, "R/2 R/2", pitch("D2") - 2, 74)
    b.counter.line(t + 16, "1/2 3/2 | 4/2 6/2 | 2/2 #7,/2 | 6,/4", Key("D3", "minor"), velocity=68, legato=0.98)
    hold(b.pad, first, 57, 3, 50)
    b.timpani.note(t + 16, pitch("D2"), 2, 70)
    b.timpani.note(t + 26, pitch("A1"), 2, 64)

    # 32-40: a half cadence; the timpani roll into the full theme.
    bridge = progression("Gm | A7", t + 32)
    b.lead.line(t + 32, "4/2 3/2 | 2/2 #7,/2", key, velocity=82, swell=(78, 92), legato=0.98)
    hold(b.strings, bridge, 57, 4, 74, swell=(72, 86))
    b.strings.ramp(EXPRESSION, t + 32, t + 40, 95, 127)
    bass(b.bass, bridge, "R/2 R/2", pitch("D2") - 2, 80)
    guide_tones(b.counter, bridge, pitch("D3"), 72)
    hold(b.pad, bridge, 57, 3, 54)
    roll(b.timpani, t + 36, t + 40, pitch("A1"), 0.125, 40, 100)
    roll(b.perc, t + 38, t + 40, CRASH2, 0.125, 30, 80)

    # 40-72: the whole theme on horns with choir and strings.
    full = progression("Dm | Gm | Em7b5 - A7 - | Bb | Dm | Gm | A7 | Dm", t + 40)
    b.voice(b.strings, t + 40, STRINGS, volume=100, reverb=80)
    b.lead.line(t + 40, THEME, key, velocity=88, swell=(84, 100), legato=0.96)
    hold(b.choir, full, 64, 3, 60, swell=(56, 78))
    hold(b.strings, progression("Dm | Gm | Em7b5 - A7 - | Bb", t + 40), 57, 4, 72)
    comp(b.strings, progression("Dm | Gm | A7 | Dm", t + 56), "x/.5 x x x x x x x", 57, 4, 70, legato=0.9)
    bass(b.bass, full, "R/2 R/2", pitch("D2") - 2, 84)
    guide_tones(b.counter, full, pitch("D3"), 74)
    for beat in (40, 56, 68):
        b.timpani.note(t + beat, pitch("D2"), 2, 94)
    b.timpani.note(t + 60, pitch("G1"), 2, 100)  # the party's name shows on 60
    b.timpani.note(t + 52, pitch("Bb1"), 2, 84)
    b.perc.note(t + 40, CRASH2, 3, 70)
    b.perc.note(t + 56, CRASH2, 3, 80)
    b.perc.note(t + 60, CRASH, 3, 92)
    roll(b.perc, t + 70, t + 72, SNARE, 0.125, 40, 90)

    # 72-96: the build-up. The theme's head climbs chord by chord, the drums
    # thicken and the storm peaks on the dominant at 92.
    build = progression("Gm | Bb | C | Dm | Bb - C - | A7sus4 - A7 -", t + 72)
    b.voice(b.counter, t + 72, CELLO, volume=108, pan=44, reverb=70)
    climb = progression("Gm | Bb | C | Dm", t + 72)
    head_sequence(b.lead, climb, pitch("F3"), 92, swell=(92, 108))
    head_sequence(b.strings, climb, pitch("F4"), 92, swell=(92, 110))
    head_sequence(b.brass, progression("C | Dm", t + 80), pitch("F3"), 86, swell=(86, 100))
    b.lead.line(t + 88, "6/2 7/2 | 8/2 #7/2", key, velocity=108, legato=0.98)
    b.brass.line(t + 88, "6,/2 7,/2 | 1/2 #7,/2", key, velocity=104, legato=0.98)
    hold(b.brass, progression("Bb - C - | A7sus4 - A7 -", t + 88), 57, 3, 92)
    hold(b.choir, build, 66, 4, 80, swell=(76, 104))
    comp(b.strings, progression("Gm | Bb | C | Dm", t + 72), "x/.5 x x x x x x x", 60, 4, 78, legato=0.85)
    comp(b.strings, progression("Bb - C - | A7sus4 - A7 -", t + 88), "x/.25 x x x x x x x x x x x x x x x", 62, 4,
         90, legato=0.9)
    bass(b.bass, progression("Gm | Bb | C | Dm", t + 72), "R/2 R/2", pitch("D2") - 2, 92)
    bass(b.bass, progression("Bb - C - | A7sus4 - A7 -", t + 88), "R/.5 R R R R R R R", pitch("D2") - 2, 98)
    guide_tones(b.counter, build, pitch("D3"), 84)
    hold(b.pad, build, 57, 3, 60)
    for bar, root in zip(range(0, 16, 4), ("G1", "Bb1", "C2", "D2")):
        grid(b.timpani, t + 72 + bar, "Xoxo Xoxo", pitch(root), step=0.5, scale=0.72 + bar * 0.012)
    grid(b.timpani, t + 88, "XoXo", pitch("Bb1"), step=0.5, scale=0.9)
    grid(b.timpani, t + 90, "XoXo", pitch("C2"), step=0.5, scale=0.95)
    roll(b.timpani, t + 92, t + 96, pitch("A1"), 0.125, 70, 122)
    for bar in range(0, 16, 4):
        b.perc.note(t + 72 + bar, KICK, 1.5, 80 + bar)  # the concert bass drum
    grid(b.perc, t + 88, "X.......X.......", KICK, bars=2)
    b.perc.note(t + 84, CRASH2, 3, 96)  # the dates show on 84
    b.perc.note(t + 88, CRASH, 3, 96)
    roll(b.perc, t + 88, t + 96, SNARE, 0.125, 40, 118)
    roll(b.perc, t + 92, t + 96, CRASH2, 0.25, 50, 110)


# ==========================================================================
# The dawn (the credits' last 18 beats)

def dawn(b, t):
    # 0: the storm breaks on D major, then the light comes slowly.
    hit = [pitch(n) for n in ("D3", "A3", "D4", "F#4", "A4", "D5")]
    b.strings.chord(t, hit, 1.9, 100)
    b.brass.chord(t, [pitch(n) for n in ("D3", "F#3", "A3", "D4")], 1.9, 104)
    b.choir.chord(t, [pitch(n) for n in ("F#4", "A4", "D5")], 1.9, 96)
    b.lead.note(t, pitch("D5"), 1.9, 110)
    b.bass.note(t, pitch("D2"), 1.9, 104)
    b.timpani.note(t, pitch("D2"), 2, 120)
    b.perc.note(t, CRASH, 4, 118)
    b.perc.note(t, KICK, 2, 110)

    key = Key("D5", "major")
    morning = progression("D | G/D | Em7 - A7 - | D7", t + 2)
    b.voice(b.strings, t + 2, SLOW_STRINGS, volume=94, reverb=90)
    b.voice(b.lead, t + 2, FLUTE, volume=100, pan=70, reverb=90)
    b.voice(b.keys, t + 2, HARP, volume=100, pan=50, reverb=90)
    b.voice(b.counter, t + 2, CELLO, volume=92, pan=44, reverb=80)
    b.voice(b.birds, t + 2, BIRD_TWEET, volume=110, pan=90, reverb=100)
    b.lead.line(t + 2, "1/1.5 5/.5 5/2 | 6/1 5 4 3 | 2/1.5 3/.5 4/1 5 | 8/2 r/2", key, velocity=74, legato=0.95)
    hold(b.strings, morning, 62, 4, 60, swell=(56, 66))
    b.strings.ramp(EXPRESSION, t + 2, t + 6, 80, 120)
    arpeggio(b.keys, morning, 0.5, [0, 1, 2, 3, 4, 3, 2, 1], pitch("D3"), 58, legato=2.5)
    bass(b.bass, morning, "B/4", pitch("D2") - 2, 64)
    guide_tones(b.counter, morning, pitch("D3"), 58)
    hold(b.pad, morning, 62, 3, 44)

    # Birds wake up as the rain thins out.
    birds = random.Random(96)
    when = t + 3.0
    while when < t + 17:
        for k in range(birds.randint(1, 3)):
            b.birds.note(when + k * 0.3, birds.choice((74, 76, 79, 81, 84)), 0.25, birds.randint(70, 100))
        when += birds.uniform(1.2, 2.6)

    # The train, far away: its wheels fade in, it whistles at 14.
    b.kit(t + 2, BRUSH_KIT, volume=108, reverb=50)
    for bar, scale in zip((10, 14), (0.3, 0.5)):
        grid(b.snare, t + bar, "Xoxo Xoxo Xoxo Xoxo", SNARE, scale=scale)
    b.perc.note(t + 14, SHORT_WHISTLE, 0.5, 70)
    b.perc.note(t + 14.75, LONG_WHISTLE, 1.5, 78)


# ==========================================================================
# The toy train (three rides of 48 beats)

def train_band(b, beat):
    b.voice(b.lead, beat, CLARINET, volume=116, pan=72, reverb=55)
    b.voice(b.counter, beat, FLUTE, volume=96, pan=52, reverb=60)
    b.voice(b.strings, beat, PIZZICATO, volume=100, pan=40, reverb=50)
    b.voice(b.bass, beat, TUBA, volume=90, pan=64, reverb=40)
    b.voice(b.keys, beat, GLOCKENSPIEL, volume=120, pan=84, reverb=60)
    b.voice(b.pad, beat, SLOW_STRINGS, volume=86, reverb=70)
    b.voice(b.arp, beat, MARIMBA, volume=92, pan=36, reverb=50)
    b.voice(b.brass, beat, BRASS, volume=96, pan=70, reverb=60)


def chuff(b, start, bars, scale=1.0, kick=True):
    """The wheels: brushed sixteenths, accented on the beat, and a soft thump."""
    grid(b.snare, start, "Xoxo Xoxo Xoxo Xoxo", SNARE, scale=0.62 * scale, bars=bars)
    grid(b.hats, start, "x.o. x.o. x.o. x.o.", SHAKER, scale=0.55 * scale, bars=bars)
    if kick:
        grid(b.kick, start, "X... .... x... ....", KICK, scale=0.85 * scale, bars=bars)


def train(b, t):
    key = Key("G4", "major")
    train_band(b, t)
    b.kit(t, BRUSH_KIT, volume=112, reverb=45)

    # Ride 1 (0-48): the engine sets off, the clarinet plays the tune.
    intro = progression("G | G", t)
    chuff(b, t, 2, scale=0.8)
    bass(b.bass, intro, "R/2 F,/2", pitch("G2") - 5, 80)
    comp(b.strings, intro, "r/1 x r x", 62, 3, 62)
    b.perc.note(t + 6.5, SHORT_WHISTLE, 0.4, 76)
    b.perc.note(t + 7, SHORT_WHISTLE, 0.6, 80)

    tune = progression(TRAIN_TUNE_CHORDS, t + 8)
    b.lead.line(t + 8, TRAIN_TUNE, key, velocity=90, legato=0.85)
    bass(b.bass, tune, "R/2 F,/2", pitch("G2") - 5, 84)
    comp(b.strings, tune, "r/1 x r x", 62, 3, 64)
    chuff(b, t + 8, 8)
    hold(b.pad, tune, 60, 3, 42)

    turn = progression("C | D7", t + 40)
    b.keys.line(t + 40, "8/.5 9 10 11 12/2 | 11/.5 10 9 8 7/1 5", key, velocity=86)
    b.arp.line(t + 40, "8/.5 9 10 11 12/2 | 11/.5 10 9 8 7/1 5", key.transposed(-12), velocity=74)
    bass(b.bass, turn, "R/2 F,/2", pitch("G2") - 5, 84)
    comp(b.strings, turn, "r/1 x r x", 62, 3, 66)
    chuff(b, t + 40, 2)
    b.perc.note(t + 44, SHORT_WHISTLE, 0.4, 80)
    b.perc.note(t + 44.5, SHORT_WHISTLE, 0.4, 80)
    b.perc.note(t + 45, LONG_WHISTLE, 1.5, 86)

    # Ride 2 (48-96): the second strain on glockenspiel and flute, then the
    # main theme in the middle of the toy room.
    strain = progression(TRAIN_STRAIN_CHORDS, t + 48)
    b.keys.line(t + 48, TRAIN_STRAIN, key, velocity=100, legato=0.9)
    b.counter.line(t + 48, TRAIN_STRAIN, key, velocity=80, legato=0.9)
    guide_tones(b.lead, strain, pitch("B3"), 64)
    bass(b.bass, strain, "R/2 F,/2", pitch("G2") - 5, 86)
    comp(b.strings, strain, "r/1 x r x", 62, 3, 66)
    hold(b.pad, strain, 62, 3, 56)
    chuff(b, t + 48, 8, scale=1.05)
    for bar in range(48, 80, 8):
        b.perc.note(t + bar, TRIANGLE, 2, 70)

    interlude = progression("G | C | Am - D7 - | Em - D7 -", t + 80)
    b.voice(b.counter, t + 80, OBOE, volume=100, pan=52, reverb=70)
    b.counter.line(t + 80, "1/1.5 5/.5 5/2 | 6/1 5 4 3 | 2/1.5 3/.5 4/1 5 | 3/2 2/2", key, velocity=84, legato=0.95)
    arpeggio(b.arp, interlude, 0.5, [0, 1, 2, 1], pitch("G3"), 62)
    bass(b.bass, interlude, "R/2 F,/2", pitch("G2") - 5, 78)
    hold(b.pad, interlude, 62, 3, 60)
    chuff(b, t + 80, 4, scale=0.8)
    b.perc.note(t + 94, LONG_WHISTLE, 1.5, 86)

    # Ride 3 (96-144): everybody aboard; the train slows down and halts.
    b.voice(b.counter, t + 96, FLUTE, volume=98, pan=52, reverb=60)
    tutti = progression(TRAIN_TUNE_CHORDS, t + 96)
    b.lead.line(t + 96, TRAIN_TUNE, key, velocity=92, legato=0.85)
    b.counter.line(t + 96, TRAIN_TUNE, key.transposed(12), velocity=84, legato=0.85)
    b.keys.line(t + 96, TRAIN_TUNE, key, velocity=100, legato=0.85)
    comp(b.brass, tutti, "r/1 x> r x", 60, 3, 78, legato=0.5)
    bass(b.bass, tutti, "R/2 F,/2", pitch("G2") - 5, 94)
    comp(b.strings, tutti, "r/1 x r x", 67, 3, 70)
    hold(b.pad, tutti, 62, 4, 64)
    arpeggio(b.arp, tutti, 0.5, [0, 1, 2, 3], pitch("G4"), 60)
    chuff(b, t + 96, 8, scale=1.15)
    grid(b.snare, t + 96, "....X.......X...", CLAP, scale=0.7, bars=8)
    b.perc.note(t + 96, CRASH, 3, 96)
    b.perc.note(t + 112, CRASH, 3, 90)

    coda = progression("Em | C | D7 | G7", t + 128)
    b.lead.line(t + 128, "B4/2 G4/2 | C5/2 E5/2 | D5/1 F#5/1 A5/1 C6/1 | B5/3 r/1", velocity=88, legato=0.95)
    b.brass.line(t + 128, "G3/2 E3/2 | E3/2 G3/2 | F#3/2 A3/2 | F3/3 r/1", velocity=80, legato=0.95)
    hold(b.pad, coda, 60, 4, 60)
    bass(b.bass, coda, "R/2 F,/2", pitch("G2") - 5, 88)
    # The wheels slow down: sixteenths, eighths, quarters, then a hiss of steam.
    grid(b.snare, t + 128, "Xoxo Xoxo Xoxo Xoxo", SNARE, scale=0.7, bars=2)
    grid(b.snare, t + 136, "X.x. X.x. X.x. X.x.", SNARE, scale=0.65)
    grid(b.snare, t + 140, "X... x... ", SNARE, scale=0.6)
    grid(b.kick, t + 128, "X... .... x... ....", KICK, scale=0.85, bars=3)
    grid(b.kick, t + 140, "X... .... ", KICK, scale=0.85)
    b.perc.note(t + 138, LONG_WHISTLE, 2, 90)
    b.snare.note(t + 142, BRUSH_SWIRL, 2, 80)


# ==========================================================================
# The clown and the toy room

def clown(b, t):
    b.kit(t, STANDARD_KIT, volume=108, reverb=45)
    b.voice(b.bells, t, TUBULAR_BELLS, volume=127, pan=64, reverb=90)
    b.voice(b.lead, t, CALLIOPE, volume=96, pan=70, reverb=50)
    b.voice(b.keys, t, MUSIC_BOX, volume=100, pan=40, reverb=70)
    b.voice(b.bass, t, TUBA, volume=100, reverb=40)
    b.voice(b.strings, t, PIZZICATO, volume=96, pan=44, reverb=50)
    b.voice(b.arp, t, XYLOPHONE, volume=116, pan=84, reverb=50)
    b.voice(b.counter, t, CLARINET, volume=96, pan=54, reverb=55)
    b.voice(b.brass, t, TROMBONE, volume=96, pan=76, reverb=55)
    b.voice(b.pad, t, ACCORDION, volume=104, pan=30, reverb=50)

    # 0: a wind-up toy starts.
    b.keys.line(t, "C6/.5 G5 E5 G5 C6/1 r/.5 G4/.5", velocity=80)
    b.bass.line(t + 3, "G2/.5 B2", velocity=80)

    # The bells: each one drops a part of the clown figure.
    for beat in CLOWN_BELLS:
        b.bells.note(t + beat, SYNC_NOTE, 3, 124 if beat == CLOWN_BELLS[-1] else 110)

    for rep, start in enumerate((t + 4, t + 36)):
        march = progression(CLOWN_MARCH_CHORDS, start)
        b.lead.line(start, CLOWN_MARCH, velocity=86 + 6 * rep, legato=0.8)
        bass(b.bass, march, "R/2 F,/2", pitch("C2") - 2, 90)
        comp(b.pad, march, "r/1 x r x", 64, 3, 66 + 6 * rep, legato=0.45)
        comp(b.strings, march, "r/1 x r x", 60, 3, 62, legato=0.5)
        grid(b.kick, start, "X... .... X... ....", KICK, scale=0.9, bars=8)
        grid(b.snare, start, ".... X... .... X...", SNARE, scale=0.62, bars=8)
        grid(b.hats, start, "x.o. x.o. x.o. x.o.", HI_HAT, scale=0.6, bars=8)
        if rep == 1:
            b.arp.line(start, CLOWN_MARCH, velocity=92, legato=0.6, transpose=12)
            guide_tones(b.counter, march, pitch("E4"), 64)
            comp(b.brass, march, "x/1 r x r", 52, 2, 64, legato=0.4)
    b.perc.note(t + 36, CRASH, 3, 80)
    roll(b.snare, t + 60, t + 64, SNARE, 0.125, 40, 100)

    # 64: the figure is complete. Ta-da!
    tada = [pitch(n) for n in ("C4", "E4", "G4", "C5")]
    b.brass.chord(t + 64, [pitch(n) for n in ("C3", "G3", "C4", "E4")], 2.5, 108)
    b.pad.chord(t + 64, tada, 2.5, 100)
    b.strings.chord(t + 64, tada, 1, 96)
    b.perc.note(t + 64, CRASH, 4, 112)
    b.kick.note(t + 64, KICK, 1, 112)
    b.timpani.note(t + 64, pitch("C2"), 2, 100)
    b.bass.note(t + 64, pitch("C2"), 2.5, 100)
    roll(b.snare, t + 70, t + 72, SNARE, 0.125, 30, 80)
    b.arp.line(t + 71, "C5/.125 D5 E5 F5 G5 A5 B5 C6", velocity=76)  # the camera swings round

    # 72-96: the rings drop onto the pole, two at a time.
    rings = progression("C | F | C | G7 | F - G7 - | C", t + 72)
    b.voice(b.keys, t + 72, CELESTA, volume=100, pan=40, reverb=80)
    b.lead.line(t + 72, "E5/2 G5/2 | A5/2 F5/2 | G5/2 E5/2 | D5/2 B4/2 | C5/1 A4/1 B4/1 D5/1 | C5/4",
                velocity=70, legato=0.95)
    bass(b.bass, rings, "R/2 F,/2", pitch("C2") - 2, 78)
    comp(b.pad, rings, "r/1 x r x", 64, 3, 58, legato=0.45)
    grid(b.kick, t + 72, "X... .... X... ....", KICK, scale=0.8, bars=5)
    grid(b.hats, t + 72, "x.o. x.o. x.o. x.o.", HI_HAT, scale=0.5, bars=5)
    for k, (beat, apart) in enumerate(RING_DROPS):
        drop = t + beat + apart
        second = k % 2 == 1
        b.bells.note(drop, SYNC_NOTE, 3.0 if second else 0.15, 104 if second else 116)
        if not second:
            # The ring falls during the beat before it lands.
            b.arp.line(drop - 1, "C7/.125 B6 A6 G6 F6 E6 D6 C6", velocity=56 + 3 * k)
            b.perc.note(drop, SPLASH, 1.5, 70)
            b.keys.chord(drop, [pitch("C6"), pitch("G6")], 1, 64)

    # 92: the last ring; the final chord, then the machines wake up.
    b.pad.chord(t + 92, [pitch(n) for n in ("C4", "E4", "G4")], 3, 70)
    b.kick.note(t + 92, KICK, 1, 96)
    b.voice(b.arp, t + 94, SAW_LEAD, volume=90, pan=64, reverb=60, chorus=40)
    arpeggio(b.arp, progression("Am", t + 94, bar=2), 0.125, [i // 2 for i in range(16)],
             pitch("A2"), 40, legato=0.9, swell=(40, 96))


# ==========================================================================
# The robots and the competition categories, twelve beats each

def robot_band(b, beat):
    b.kit(beat, ELECTRONIC_KIT, volume=112, reverb=30)
    b.voice(b.lead, beat, SQUARE_LEAD, volume=88, pan=70, reverb=45, chorus=30)
    b.voice(b.bass, beat, SYNTH_BASS, volume=96, reverb=10)
    b.voice(b.pad, beat, POLYSYNTH, volume=84, reverb=70, chorus=60)
    b.voice(b.arp, beat, SAW_LEAD, volume=80, pan=40, reverb=50, chorus=40)
    b.voice(b.banjo, beat, BANJO, volume=100, pan=96, reverb=40)
    b.voice(b.strings, beat, SYNTH_STRINGS, volume=86, reverb=70)
    b.voice(b.keys, beat, VIBRAPHONE, volume=96, pan=36, reverb=60)
    b.voice(b.counter, beat, CRYSTAL, volume=116, pan=80, reverb=80)
    b.voice(b.guitar, beat, DISTORTION_GUITAR, volume=110, pan=40, reverb=30)
    b.voice(b.brass, beat, SYNTH_BRASS, volume=92, pan=84, reverb=40)
    b.voice(b.choir, beat, SYNTH_VOICE, volume=88, reverb=90)


def four_on_the_floor(b, start, bars, scale=1.0, open_hats=False):
    grid(b.kick, start, "X... x... X... x...", KICK, scale=scale, bars=bars)
    grid(b.snare, start, ".... X... .... X...", CLAP, scale=0.9 * scale, bars=bars)
    grid(b.hats, start, "x.o. x.o. x.o. x.o.", HI_HAT, scale=0.9 * scale, bars=bars)
    if open_hats:
        grid(b.hats, start, "..x. ..x. ..x. ..x.", OPEN_HAT, scale=0.7 * scale, bars=bars)


def banjo_strums(b, chords, step, velocity):
    """The banjo robot strums on every `step` beats, down and up in turn."""
    first, last = span(chords)
    n = int(round((last - first) / step))
    for i in range(n):
        when = first + i * step
        chord = chord_at(chords, when)
        notes = chord.voicing(pitch("G3"), 4)
        strum(b.banjo, when, notes, step * 0.9, velocity + (10 if i % 2 == 0 else 0), spread=0.03, up=i % 2 == 1)


def category_demo(b, t):  # "Combined Demo"
    key = Key("A4", "minor")
    chords = progression("Am | F | G", t)
    b.lead.line(t, "1/1.5 5/.5 5/2 | 6/1 5 4 3 | 2/1.5 3/.5 4/1 5", key, velocity=90, legato=0.9)
    bass(b.bass, chords, "R/.5 R' R R' R R' R R'", pitch("A1") - 5, 92)
    hold(b.pad, chords, 64, 4, 62)
    banjo_strums(b, chords, 0.5, 62)
    four_on_the_floor(b, t, 3)
    b.perc.note(t, CRASH, 3, 96)


def category_64k(b, t):  # "Combined 64K Intro"
    key = Key("A4", "minor")
    chords = progression("Am | F | G", t)
    b.lead.line(t, "1/1.5 5/.5 5/2 | 6/1 8 7 6 | 5/1.5 4/.5 3/1 2", key, velocity=92, legato=0.9)
    arpeggio(b.arp, chords, 0.25, [0, 1, 2, 3, 2, 1], pitch("A3"), 64)
    bass(b.bass, chords, "R/.5 R' R R' R R' R R'", pitch("A1") - 5, 92)
    hold(b.pad, chords, 64, 4, 62)
    banjo_strums(b, chords, 0.5, 62)
    four_on_the_floor(b, t, 3)
    b.perc.note(t, CRASH, 3, 90)


def category_4k(b, t):  # "Combined 4K Intro": a tiny tune from very little
    key = Key("A4", "minor")
    chords = progression("Am | Am | G", t)
    b.lead.line(t, "8/.5 5 3 5 8 5 3 5 | 8/.5 5 3 5 9 8 7 5 | 7/.5 4 2 4 7 4 2 4", key, velocity=74, legato=0.5)
    bass(b.bass, chords, "R/1 r R r", pitch("A1") - 5, 88)
    grid(b.kick, t, "X... .... X... ....", KICK, bars=3)
    grid(b.hats, t, "..x. ..x. ..x. ..x.", HI_HAT, scale=0.6, bars=3)
    banjo_strums(b, chords, 1.0, 52)


def category_graphics(b, t):  # "Graphics": the painter robot paints
    key = Key("A4", "minor")
    chords = progression("Fmaj7 | Em7 | Dm7 - E7 -", t)
    b.voice(b.pad, t, HALO_PAD, volume=72, reverb=100, chorus=60)
    b.counter.line(t, "10/2 9/1 8 | 7/2 5/2 | 6/2 #7/2", key, velocity=100, legato=0.97)
    arpeggio(b.keys, chords, 0.5, [0, 1, 2, 3, 4, 3, 2, 1], pitch("F3"), 66, legato=2.0)
    hold(b.pad, chords, 62, 4, 54)
    bass(b.bass, chords, "R/1 R R R", pitch("A1") - 5, 80)
    grid(b.kick, t, "X... .... .... ..x.", KICK, bars=3)
    grid(b.snare, t, ".... .... X... ....", SNARE, scale=0.7, bars=3)
    grid(b.hats, t, "x.x. x.x. x.x. x.x.", HI_HAT, scale=0.45, bars=3)
    banjo_strums(b, chords, 1.0, 54)


def category_32k_music(b, t):  # "32K Executable Music": a tracker tune
    key = Key("A4", "minor")
    chords = progression("Am | F | G", t)
    b.voice(b.pad, t, POLYSYNTH, volume=84, reverb=70, chorus=60)
    b.voice(b.arp, t, SQUARE_LEAD, volume=78, pan=30, reverb=30)
    b.lead.line(t, "5/.5 8 5 8 7 8 5 4 | 6/.5 5 4 3 1/1 r | 7,/.5 2 4 7 9/1 r", key, velocity=90, legato=0.6)
    arpeggio(b.arp, chords, 0.125, [0, 1, 2], pitch("A4"), 60, legato=0.9)
    bass(b.bass, chords, "R/.25 R R' R R R R' R R R R' R R R R' R", pitch("A1") - 5, 86)
    grid(b.kick, t, "X... X... X... X...", KICK, bars=3)
    grid(b.snare, t, ".... X... .... X.x.", SNARE, scale=0.8, bars=3)
    grid(b.hats, t, "xoxo xoxo xoxo xoxo", HI_HAT, scale=0.6, bars=3)
    banjo_strums(b, chords, 0.5, 56)


def category_dance(b, t):  # "Dance Music"
    key = Key("A4", "minor")
    chords = progression("Am | C | G", t)
    b.kit(t, TR808_KIT, volume=116, reverb=30)
    b.voice(b.keys, t, PIANO, volume=100, pan=40, reverb=50)
    b.voice(b.arp, t, SAW_LEAD, volume=80, pan=40, reverb=50, chorus=40)
    b.lead.line(t, "1/.75 5/.75 5/2.5 | 6/.75 5/.75 4/.5 3/2 | 2/.75 3/.75 4/.5 5/2", key, velocity=92, legato=0.9)
    comp(b.keys, chords, "r/.5 x> r x r x> r x", 67, 4, 76, legato=0.6)
    bass(b.bass, chords, "R/.5 R' R R' R R' R R'", pitch("A1") - 5, 96)
    four_on_the_floor(b, t, 3, scale=1.05, open_hats=True)
    banjo_strums(b, chords, 0.5, 60)
    b.perc.note(t, CRASH, 3, 96)


def category_gabber(b, t):  # "Gabber": hard and fast
    key = Key("A4", "harmonic")
    chords = progression("Am | Dm - E - | Am - E -", t)
    b.kit(t, ELECTRONIC_KIT, volume=122, reverb=20)
    b.voice(b.arp, t, SAW_LEAD, volume=90, pan=40, reverb=30, chorus=40)
    b.voice(b.lead, t, SAW_LEAD, volume=100, pan=70, reverb=30, chorus=50)
    b.lead.line(t, "1/.75 5/.25 5/1 6/.5 5 4 3 | 2/.75 3/.25 4/.5 5 #7/2 | "
                   "8/.25 7 6 5 4 3 2 1 #7, 1 2 3 4 5 6 #7", key, velocity=96, legato=0.9)
    b.lead.line(t, "1/.75 5/.25 5/1 6/.5 5 4 3 | 2/.75 3/.25 4/.5 5 #7/2 | "
                   "8/.25 7 6 5 4 3 2 1 #7, 1 2 3 4 5 6 #7", key.transposed(12), velocity=78, legato=0.9)
    for when in [t + i * 0.5 for i in range(24)]:
        chord = chord_at(chords, when)
        root = chord.root_note(pitch("E2"))
        b.guitar.chord(when, [root, root + 7, root + 12], 0.4, human(112 if when % 1 == 0 else 98, 3))
    bass(b.bass, chords, "R/.25 R R R R R R R R R R R R R R R", pitch("A1") - 5, 104)
    comp(b.brass, chords, "r/.5 x r x r x r x", 64, 3, 86, legato=0.4)
    banjo_strums(b, chords, 0.25, 70)  # the banjo robot plays twice as fast
    grid(b.kick, t, "X.x. X.x. X.x. X.x.", KICK, scale=1.08, bars=2)
    grid(b.kick, t + 8, "X.x. X.x. XxXx XxXx", KICK, scale=1.08)
    grid(b.snare, t, ".... X... .... X...", SNARE, scale=1.0, bars=2)
    grid(b.snare, t + 8, ".... X... xxxx XXXX", SNARE, scale=1.0)
    grid(b.hats, t, "xxxx xxxx xxxx xxxx", HI_HAT, scale=0.8, bars=3)
    for bar in range(3):
        b.perc.note(t + 4 * bar, CRASH if bar % 2 == 0 else CRASH2, 2, 110)


def category_photo(b, t):  # "Photo": quiet shutter clicks, then the run-up to the flash
    chords = progression("F | G | E7", t)
    b.kit(t, ELECTRONIC_KIT, volume=112, reverb=40)
    b.voice(b.lead, t, SQUARE_LEAD, volume=88, pan=70, reverb=45, chorus=30)
    b.voice(b.keys, t, CELESTA, volume=96, pan=40, reverb=80)
    b.voice(b.arp, t, SAW_LEAD, volume=84, pan=40, reverb=50, chorus=40)
    for click in (t, t + 1.5, t + 3, t + 5, t + 5.5):
        b.perc.note(click, SIDE_STICK, 0.2, 80)
        b.keys.note(click, pitch("E6"), 0.5, 60)
    hold(b.pad, chords, 64, 4, 58, swell=(54, 80))
    hold(b.choir, chords, 64, 3, 52, swell=(46, 84))
    b.choir.ramp(EXPRESSION, t + 4, t + 12, 70, 127)
    bass(b.bass, chords, "R/2 R/2", pitch("A1") - 5, 76)
    b.lead.line(t + 4, "B4/2 D5/2 | E5/2 G#5/2", velocity=80, legato=0.95)
    grid(b.kick, t + 8, "X... X... X... X...", KICK)
    roll(b.snare, t + 6, t + 10, SNARE, 0.25, 40, 90)
    roll(b.snare, t + 10, t + 12, SNARE, 0.125, 90, 120)
    roll(b.perc, t + 8, t + 12, CRASH2, 0.25, 30, 100)
    arpeggio(b.arp, progression("E7 | E7", t + 4), 0.25, [i // 2 for i in range(32)], pitch("E2"), 40,
             legato=0.9, swell=(36, 100))


CATEGORIES = [
    ("Combined Demo", category_demo),
    ("Combined 64K Intro", category_64k),
    ("Combined 4K Intro", category_4k),
    ("Graphics", category_graphics),
    ("32K Executable Music", category_32k_music),
    ("Dance Music", category_dance),
    ("Gabber", category_gabber),
    ("Photo", category_photo),
]


def robots(b, t):
    robot_band(b, t)
    for index, (_name, play) in enumerate(CATEGORIES):
        play(b, t + 12 * index)


# ==========================================================================
# The tile mosaic

def mosaic(b, t):
    key = Key("F5", "major")
    # 0: the flash to white, on F major.
    b.kit(t, STANDARD_KIT, volume=110, reverb=60)
    b.voice(b.brass, t, BRASS, volume=104, pan=70, reverb=70)
    b.voice(b.strings, t, STRINGS, volume=100, reverb=80)
    b.voice(b.keys, t, ORCHESTRA_HIT, volume=100, reverb=80)
    b.voice(b.timpani, t, TIMPANI, volume=112, reverb=80)
    b.voice(b.choir, t, CHOIR, volume=92, reverb=110)
    b.voice(b.bass, t, FINGERED_BASS, volume=108, reverb=30)
    flash = [pitch(n) for n in ("F3", "A3", "C4", "F4")]
    b.keys.chord(t, flash, 1.2, 110)
    b.brass.chord(t, flash, 2.5, 110)
    b.strings.chord(t, [pitch(n) for n in ("F2", "C3", "F3", "A3", "C4", "F4", "A4")], 3, 104)
    b.timpani.note(t, pitch("F2"), 2, 120)
    b.kick.note(t, KICK, 1, 118)
    b.perc.note(t, CRASH, 4, 120)
    b.perc.note(t, CRASH2, 4, 110)
    b.bass.note(t, pitch("F1"), 3, 110)

    # 0-48: the tiles fly in. Harp and marimba glitter, the flute sings.
    b.voice(b.keys, t + 1.5, HARP, volume=104, pan=40, reverb=90)
    b.voice(b.arp, t + 2, MARIMBA, volume=108, pan=88, reverb=60)
    b.voice(b.pad, t + 2, WARM_PAD, volume=86, reverb=100, chorus=50)
    b.voice(b.lead, t + 2, FLUTE, volume=102, pan=66, reverb=85)
    b.voice(b.counter, t + 2, CELESTA, volume=92, pan=84, reverb=90)
    intro = progression("F | Bb", t)
    theme = progression("F | Bb | Gm7 - C7 - | Dm | F | Bb | C7 | F", t + 8)
    outro = progression("Bb | C", t + 40)
    fly = intro + theme + outro
    arpeggio(b.keys, progression("F | Bb | F | Bb | Gm7 - C7 - | Dm | F | Bb | C7 | F | Bb | C", t),
             0.25, [0, 1, 2, 3, 4, 5, 4, 3, 2, 1, 2, 3, 4, 3, 2, 1], pitch("F3"), 60, legato=3.0, begin=t + 2)
    arpeggio(b.arp, fly[1:], 0.5, [4, 2, 3, 1], pitch("F4"), 54)
    b.lead.line(t + 8, THEME, key, velocity=80, legato=0.95)
    guide_tones(b.counter, progression("F | Bb | C7 | F", t + 24), pitch("A5"), 60)
    hold(b.pad, fly[1:], 62, 4, 56)
    bass(b.bass, fly[1:], "R/1.5 R/.5 F/1 R'/1", pitch("F1") - 2, 84)
    grid(b.kick, t + 4, "X... ...x ..X. ....", KICK, bars=11)
    grid(b.snare, t + 4, ".... .... X... ....", SIDE_STICK, scale=0.8, bars=11)
    grid(b.hats, t + 4, "xoxo xoxo xoxo xoxo", SHAKER, scale=0.6, bars=11)
    roll(b.timpani, t + 44, t + 48, pitch("C2"), 0.125, 40, 96)
    roll(b.perc, t + 44, t + 48, CRASH2, 0.25, 30, 90)

    # 48-84: the walls fold up, the theme's head climbing bar by bar.
    fold = progression("F | Gm | Am | Bb | C | Dm | Eb | F | G", t + 48)
    b.voice(b.bass, t + 48, CONTRABASS, volume=110, reverb=60)
    b.voice(b.lead, t + 48, FRENCH_HORNS, volume=104, pan=70, reverb=85)
    b.strings.control(t + 48, VOLUME, 116)
    head_sequence(b.strings, fold, pitch("F4"), 96, swell=(92, 120))
    head_sequence(b.lead, fold[4:], pitch("F3"), 90, swell=(90, 112))
    hold(b.choir, fold[5:], 64, 4, 78, swell=(74, 104))
    hold(b.pad, fold, 60, 4, 62)
    comp(b.brass, fold[4:], "x/1 x x x", 55, 4, 62, legato=0.7)
    arpeggio(b.keys, fold[:4], 0.25, [0, 1, 2, 3, 4, 5, 6, 7, 8, 7, 6, 5, 4, 3, 2, 1], pitch("F3"), 62,
             legato=2.0)
    arpeggio(b.arp, fold, 0.5, [0, 2, 1, 2], pitch("F4"), 62, swell=(60, 84))
    root = pitch("F1") - 1
    for i, (beat, _length, chord) in enumerate(fold):
        root = chord.root_note(root + 1)  # the bass climbs with the walls
        b.bass.note(beat, root, 3.6, 92 + i * 2)
        b.bass.note(beat, root + 12, 3.6, 80 + i * 2)
        b.timpani.note(beat, chord.root_note(pitch("E2")), 1.5, 80 + i * 4)
    grid(b.kick, t + 48, "X... .... X... ....", KICK, bars=4)
    grid(b.kick, t + 64, "X... X... X... X...", KICK, bars=5)
    grid(b.snare, t + 64, ".... X... .... X...", SNARE, scale=0.9, bars=3)
    grid(b.snare, t + 76, ".... X... .... X.x.", SNARE, bars=1)
    roll(b.snare, t + 80, t + 84, SNARE, 0.125, 60, 118)
    grid(b.hats, t + 48, "x.x. x.x. x.x. x.x.", HI_HAT, scale=0.6, bars=8)
    for beat in (0, 8, 16, 24, 28, 32):
        b.perc.note(t + 48 + beat, CRASH, 3, 80 + beat)
    roll(b.timpani, t + 80, t + 84, pitch("A1"), 0.125, 80, 122)

    # 84: the walls stand; A major, then it settles for the closing.
    arrival = [pitch(n) for n in ("A2", "E3", "A3", "C#4", "E4", "A4")]
    b.strings.chord(t + 84, arrival, 4, 112)
    b.brass.chord(t + 84, [pitch(n) for n in ("A2", "E3", "A3", "C#4")], 3.5, 114)
    b.lead.note(t + 84, pitch("A4"), 3.5, 112)
    b.choir.chord(t + 84, [pitch(n) for n in ("C#4", "E4", "A4")], 4, 104)
    b.timpani.note(t + 84, pitch("A1"), 3, 122)
    b.kick.note(t + 84, KICK, 1, 120)
    b.perc.note(t + 84, CRASH, 4, 124)
    b.perc.note(t + 84, CRASH2, 4, 116)
    b.bass.note(t + 84, pitch("A1"), 4, 112)
    settle = progression("Asus4 - A - | A7", t + 88)
    hold(b.strings, settle, 62, 4, 70, swell=(74, 54))
    hold(b.choir, settle, 64, 3, 66, swell=(70, 48))
    hold(b.pad, settle, 60, 4, 60)
    bass(b.bass, settle, "R/4", pitch("A1") - 2, 70)
    roll(b.timpani, t + 88, t + 92, pitch("A1"), 0.125, 70, 30)
    b.keys.line(t + 94, "A5/.125 G5 E5 C#5 A4 G4 E4 C#4 A3 G3 E3 C#3 A2 G2 E2 C#2", velocity=64)


# ==========================================================================
# The closing

def closing(b, t):
    key = Key("D5", "major")
    b.voice(b.keys, t, PIANO, volume=104, pan=56, reverb=80)
    b.voice(b.strings, t, SLOW_STRINGS, volume=92, reverb=100)
    b.voice(b.counter, t, CELLO, volume=90, pan=44, reverb=90)
    b.voice(b.bass, t, CONTRABASS, volume=100, reverb=80)
    b.voice(b.arp, t, MUSIC_BOX, volume=92, pan=70, reverb=100)
    chords = progression("D | G | Em - A7 - | Bm | D | G | A7 | D", t)
    b.keys.line(t, THEME, key, velocity=86, legato=0.98)
    arpeggio(b.keys, chords[:-1], 0.5, [0, 2, 4, 2], pitch("D3"), 48, legato=2.2)
    hold(b.strings, chords[:-1], 62, 4, 46, swell=(50, 40))
    guide_tones(b.counter, chords[:-1], pitch("D3"), 54)
    bass(b.bass, chords[:-1], "R/4", pitch("D2") - 2, 62)
    hold(b.pad, chords[:-1], 62, 3, 40)
    # The last chord rings out; the music box remembers the opening.
    b.keys.chord(t + 28, [pitch(n) for n in ("D2", "A2", "D3")], 7, 56)
    for i, n in enumerate(("F#3", "A3", "D4", "F#4", "A4")):
        b.keys.note(t + 28.5 + 0.25 * i, pitch(n), 6, 44)
    b.strings.chord(t + 28, [pitch(n) for n in ("D3", "A3", "D4", "F#4", "A4")], 7, 50)
    b.strings.ramp(EXPRESSION, t + 28, t + 35, 120, 40)
    b.bass.note(t + 28, pitch("D2"), 7, 56)
    b.arp.line(t + 30, "D6/1.5 A6/.5 A6/3", velocity=46, legato=1.0)


# ==========================================================================
# The whole piece

# The sections' music, in the order of SECTIONS: each is given its first beat.
COMPOSERS = {"storm": storm, "dawn": dawn, "train": train, "clown": clown, "robots": robots,
             "mosaic": mosaic, "closing": closing}


def compose(where=None):
    """The whole piece as a Score, its sections where the Plan `where`
    (default: the show's timeline table) puts them."""
    where = where or plan()
    _rng.seed(VELOCITY_SEED)
    score = Score(TEMPO, "Tin Lantern")
    score.length = where.length
    dawn_at = where.start["dawn"]
    score.time_signatures = [(0, 4, 4), (dawn_at, 2, 4), (dawn_at + 2, 4, 4)]
    score.key_signature = (-1, True)  # D minor, where the storm starts
    score.text = "Tin Lantern - soundtrack of the invitation"
    score.notice = "Tin Lantern soundtrack, written for the show"
    band = Band(score)
    for name, *_rest in SECTIONS:
        COMPOSERS[name](band, where.start[name])
    for section, beat, value in PACE_LANE:
        band.pad.control(where.start[section] + beat, PACE, value)
        band.bass.control(where.start[section] + beat, PACE, value)
    for part in score.parts:
        overrun = [n for n in part.notes if n[0] + n[1] > where.length]
        if overrun:
            raise ValueError("%s: a note runs past the end at beat %g" % (part.name, overrun[0][0]))
    return score


def lightning_beats(score):
    return sorted((start, velocity) for start, _l, note, velocity in score.find("Lightning").notes
                  if note == SYNC_NOTE)


def render(score, where):
    """Renders the score and the weather (over the storm and the dawn of the
    Plan `where`); returns 16-bit stereo samples."""
    seconds = where.length * SECONDS_PER_BEAT
    mix = audio.render_midi(score.to_midi(with_programs=True), seconds)
    storm_at = where.start["storm"]
    rain = [(storm_at + beat, level) for beat, level in ((0, 0.0), (3, 1.0), (72, 1.0), (92, 1.35), (96, 1.2))]
    weather = audio.storm(lightning_beats(score), SECONDS_PER_BEAT,
                          rain_curve=rain + [(where.end["dawn"], 0.0)])
    mix[:len(weather)] += weather[:len(mix)]
    mix = audio.compress(mix, threshold_db=-22.0, ratio=2.0)
    return audio.master(mix, peak_dbfs=-1.5, fade_start_s=where.fade_from * SECONDS_PER_BEAT,
                        fade_end_s=seconds)


def section_levels(pcm16, where):
    """RMS level of every section, in dBFS."""
    samples = pcm16.astype(float) / 32768.0
    out = []
    for name, first, end, intended in where.sections():
        a = int(first * SECONDS_PER_BEAT * audio.RATE)
        z = int(end * SECONDS_PER_BEAT * audio.RATE)
        out.append((name, first, end, audio.db(audio.rms(samples[a:z])), intended))
    return out


def options(parser):
    parser.add_argument("--midi-only", action="store_true",
                        help="write only the synchronisation MIDI file (no rendering)")
    parser.add_argument("--render-midi", metavar="FILE",
                        help="also write the MIDI file that the synthesiser plays (with programs)")
    parser.add_argument("--levels", action="store_true", help="print the level of every section")
    parser.add_argument("--timeline", metavar="TABLE",
                        help="the timeline table the sections follow (default: src/timeline.def)")


def generate(out, args):
    try:
        where = plan(args.timeline)
    except ValueError as error:
        raise generator.Refused(error)
    score = compose(where)
    midi_path = os.path.join(out, MIDI_NAME)
    generator.write(midi_path, score.to_midi(with_programs=False))
    if args.render_midi:
        generator.write(args.render_midi, score.to_midi(with_programs=True))
    if args.midi_only:
        print("soundtrack: %s (%d bytes)" % (midi_path, os.path.getsize(midi_path)))
        return

    pcm = render(score, where)
    ogg_path = os.path.join(out, STREAM_NAME)
    audio.encode_ogg(pcm, ogg_path, OGG_QUALITY, "Tin Lantern", "Tin Lantern soundtrack")
    print("soundtrack: %s (%d bytes), %s (%d bytes), %.2f s of music"
          % (ogg_path, os.path.getsize(ogg_path), midi_path, os.path.getsize(midi_path), len(pcm) / audio.RATE))
    if args.levels:
        for name, first, end, level, intended in section_levels(pcm, where):
            print("  %-8s %3g-%3g  %6.1f dBFS  (%s)" % (name, first, end, level, intended))


def check(root, args):
    """The soundtrack check (check_soundtrack.py) on the written files."""
    import check_soundtrack
    argv = ["--dir", os.path.join(root, MUSIC_DIR)]
    if args.timeline:
        argv += ["--timeline", args.timeline]
    return [] if check_soundtrack.main(argv) == 0 else ["check_soundtrack found the files wrong (above)"]


def main(argv=None):
    return generator.main(__doc__, "soundtrack", MUSIC_DIR, check, generate, [STREAM_NAME, MIDI_NAME],
                          inputs=[timeline.TABLE, audio.SOUNDFONT], options=options, argv=argv)


if __name__ == "__main__":
    sys.exit(main())
