#!/usr/bin/python3
"""Checks the soundtrack files that the show loads.

Reads data/common/music/sp10-invite.xml (or the directory given with --dir),
the MIDI file and the stream that it names, and the controller templates, and
checks what the show relies on. Beats are counted from the start of the slot
in the show's timeline table (src/timeline.def, or the table given with
--timeline) that the music belongs to: the credits' slot for the storm and
the dawn, the clown's for the bells, and so on; "the end" is the end of the
last slot.

- the MIDI file uses only what the show's reader accepts (no program change,
  pitch bend or system exclusive; only the meta events text, notice, track
  name, tempo, time and key signature and end of track; one name per track;
  texts of 1..127 bytes; one text and one notice per file);
- the tempo is exact (a whole number of microseconds per beat that the
  reader's rounding to two decimals keeps) and is the composition's;
- "Lightning": at least four flashes on note 60, the first after the
  credits' beat 2, the fourth before 42, and flashes on through the storm
  (no gap over 16 beats, the last one from 88 on, all before the dawn at 96);
- "KlovneRinger": at least seven bells on note 60 between the clown's beats
  4 and 70, and one on each of the twelve ring drops 72, 72.2, ..., 92.2;
- the sections' landmarks sit at their slots' beats: the storm breaking at
  the credits' 96, the train's whistles as it sets off and its halt, the
  robots' Gabber guitar, the mosaic's flash and arrival, the closing's
  music box;
- the configuration's entries name tracks with notes, in the documented
  format, with at least one envelope and one oscillator;
- the stream is 44.1 kHz stereo Ogg Vorbis, from 2 to 8 beats longer than
  the show, peaks below -1 dBFS, and no stretch of it is silent by mistake;
- the kick drum sounds on its beats: in every section the onset of the
  kicks (their envelopes averaged) lies within 10 ms of the "Kick" notes, and
  so does the onset of at least 95 % of the kicks that stand out one by one.

Exit code 0 when everything holds, 1 with a message on the first failure.
"""

import argparse
import math
import os
import struct
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

try:
    import numpy as np
except ImportError:
    sys.exit("check_soundtrack.py needs numpy: run it with Debian's /usr/bin/python3 (python3-numpy)")

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import timeline  # noqa: E402
from soundtrack import TAIL, TEMPO, plan  # noqa: E402

RATE = 44100
CONFIG_NAME = "sp10-invite.xml"
SYNC_KEY = 60
MIN_TAIL_BEATS = 2  # the stream runs on after the end of the show, at least
MAX_TAIL_BEATS = 8  # and at the most
PEAK_LIMIT_DBFS = -1.0
KICK_TOLERANCE_S = 0.010
# Beats in the clown's slot.
RING_DROPS = [b + d for b in (72, 76, 80, 84, 88, 92) for d in (0.0, 0.2)]
# Notes the sections are recognised by: (slot, track, key, beats in the slot,
# what they are). A note-on must stand on each of those beats.
LANDMARKS = [
    ("Credits", "Percussion", 49, [96], "the crash as the storm breaks"),
    ("Credits", "Percussion", 72, [110.75], "the far train's long whistle at dawn"),
    ("Train", "Percussion", 71, [6.5, 7, 44, 44.5], "the train's short whistles"),
    ("Train", "Snare", 40, [142], "the brush swirl of the train's halt"),
    ("DadezAruv", "Guitar", 45, [72], "the Gabber category's guitar on A"),
    ("DadezAruv", "Guitar", 40, [78], "the Gabber category's guitar on E"),
    ("Tiles", "Percussion", 57, [0, 84], "the mosaic's flash and the walls' arrival"),
    ("Endtext", "Arp", 86, [30], "the closing's music box"),
]
# Notes that sound in one stretch of one slot only: (slot, track, key or None
# for all, from beat, to before beat).
ONLY_IN = [
    ("Train", "Snare", 40, 142, 143),
    ("DadezAruv", "Guitar", None, 72, 84),
]


class Failure(Exception):
    pass


def require(condition, message, *args):
    if not condition:
        raise Failure(message % args if args else message)


# --------------------------------------------------------------------------
# The MIDI file, read as strictly as the show reads it

class Track:
    def __init__(self):
        self.name = None
        self.note_events = 0
        self.notes = {}  # key -> list of +beat (on) / -beat (off), as the show keeps them
        self.controllers = {}


class Midi:
    SUPPORTED_META = {0x01, 0x02, 0x03, 0x2F, 0x51, 0x58, 0x59}
    UNSUPPORTED_META = {0x00, 0x04, 0x05, 0x06, 0x07, 0x20, 0x54, 0x7F}

    def __init__(self, data):
        self.data = data
        self.tracks = []
        self.tempo_micros = []
        self.text = None
        self.notice = None
        require(data[:4] == b"MThd" and data[4] == 0, "MIDI: not a standard MIDI file header")
        _fmt, count, self.division = struct.unpack(">HHH", data[8:14])
        require(not self.division & 0x8000, "MIDI: time-code division is not supported")
        at = 14
        for index in range(count):
            require(data[at:at + 4] == b"MTrk", "MIDI: track chunk %d has no MTrk header", index)
            length = struct.unpack(">I", data[at + 4:at + 8])[0]
            end = at + 8 + length
            require(end <= len(data), "MIDI: track chunk %d runs past the end of the file", index)
            track = self._track(at + 8, end, index)
            if track.note_events:
                self.tracks.append(track)
            at = end

    def _vlq(self, at):
        value = 0
        for i in range(4):
            byte = self.data[at + i]
            value = (value << 7) | (byte & 0x7F)
            if not byte & 0x80:
                return value, at + i + 1
        raise Failure("MIDI: delta time of four bytes without an end")

    def _text(self, at, what):
        length = self.data[at]
        require(0 < length < 128, "MIDI: %s of length %d (1..127 allowed)", what, length)
        return self.data[at + 1:at + 1 + length].decode("latin-1"), at + 1 + length

    def _track(self, at, end, index):
        track = Track()
        ticks = 0
        status = 0
        while at < end:
            delta, at = self._vlq(at)
            ticks += delta
            beat = float(np.float32(ticks / self.division))
            if self.data[at] & 0x80:
                status = self.data[at]
                at += 1
            require(status, "MIDI: track %d: data byte without a status", index)
            kind = status & 0xF0
            where = "MIDI: track %d (%s) at beat %g" % (index, track.name, beat)
            if kind in (0x80, 0x90):
                key, velocity = self.data[at], self.data[at + 1]
                at += 2
                if kind == 0x80:
                    velocity = 0
                track.note_events += 1
                events = track.notes.setdefault(key, [])
                # A note-on of a key that is on, or a note-off of a key that
                # is off, leaves no trace (-0.0 counts as on, as in the show).
                if velocity:
                    if not events or events[-1] < 0:
                        events.append(beat)
                elif not events or events[-1] >= 0:
                    events.append(-beat)
            elif kind == 0xA0:
                at += 2
            elif kind == 0xB0:
                track.controllers.setdefault(self.data[at], []).append((beat, self.data[at + 1]))
                at += 2
            elif kind == 0xC0:
                raise Failure(where + ": program change (the show's reader refuses it)")
            elif kind == 0xD0:
                at += 1
            elif kind == 0xE0:
                raise Failure(where + ": pitch bend (the show's reader refuses it)")
            elif status in (0xF0, 0xF7):
                raise Failure(where + ": system exclusive (the show's reader refuses it)")
            elif status == 0xFF:
                meta = self.data[at]
                at += 1
                require(meta not in self.UNSUPPORTED_META, where + ": meta event 0x%02X is refused", meta)
                require(meta in self.SUPPORTED_META, where + ": unknown meta event 0x%02X", meta)
                if meta == 0x01:
                    require(self.text is None, where + ": a second text event")
                    self.text, at = self._text(at, "text")
                elif meta == 0x02:
                    require(self.notice is None, where + ": a second notice event")
                    self.notice, at = self._text(at, "notice")
                elif meta == 0x03:
                    require(track.name is None, where + ": a second track name")
                    track.name, at = self._text(at, "track name")
                else:
                    expected = {0x2F: 0, 0x51: 3, 0x58: 4, 0x59: 2}[meta]
                    require(self.data[at] == expected, where + ": meta 0x%02X with length %d", meta, self.data[at])
                    if meta == 0x51:
                        self.tempo_micros.append(int.from_bytes(self.data[at + 1:at + 4], "big"))
                    at += 1 + expected
            else:
                raise Failure(where + ": unknown event 0x%02X" % status)
        require(at == end, "MIDI: track %d: the last event runs past its chunk", index)
        return track

    def track(self, name):
        return next((t for t in self.tracks if t.name == name), None)


def note_ons(track, key=SYNC_KEY):
    return [e for e in track.notes.get(key, []) if e > 0 or (e == 0 and math.copysign(1, e) > 0)]


def check_alternating(track, name):
    events = track.notes.get(SYNC_KEY, [])
    require(events, "%s: no events on note %d", name, SYNC_KEY)
    for i, e in enumerate(events):
        on = e > 0 or (e == 0 and math.copysign(1, e) > 0)
        require(on == (i % 2 == 0), "%s: event %d at beat %g breaks the on/off alternation", name, i, abs(e))


def slot_starts(table=None):
    """The first beat of every scene's slot in the timeline table."""
    return {s.scene: s.start for s in (timeline.read(table) if table else timeline.read())}


def check_landmarks(midi, starts):
    tick = 1.0 / midi.division
    for scene, name, key, beats, what in LANDMARKS:
        track = midi.track(name)
        require(track, "MIDI: no track \"%s\"", name)
        ons = note_ons(track, key)
        for beat in beats:
            at = starts[scene] + beat
            require(any(abs(b - at) <= tick / 2 for b in ons),
                    "%s: no note %d at beat %g (%s, beat %g of the %s slot); the music does not follow the timeline",
                    name, key, at, what, beat, scene)
    for scene, name, key, first, end in ONLY_IN:
        track = midi.track(name)
        require(track, "MIDI: no track \"%s\"", name)
        keys = [key] if key is not None else sorted(track.notes)
        for k in keys:
            for b in note_ons(track, k):
                require(starts[scene] + first <= b < starts[scene] + end,
                        "%s: note %d at beat %g, outside beats %g-%g of the %s slot (%g-%g)",
                        name, k, b, first, end, scene, starts[scene] + first, starts[scene] + end)


def check_midi(midi, starts):
    """The MIDI file against the show's reader and the timeline (`starts`:
    the first beat of every scene's slot)."""
    require(len(midi.tempo_micros) == 1, "MIDI: %d tempo events (one expected)", len(midi.tempo_micros))
    micros = midi.tempo_micros[0]
    exact = 60000000 / micros
    rounded = math.floor(exact * 100 + 0.5) / 100
    require(rounded == exact, "MIDI: tempo %d us per beat is %r bpm, which the reader rounds to %r",
            micros, exact, rounded)
    require(exact == TEMPO, "MIDI: tempo %r bpm, the composition's is %r", exact, TEMPO)
    for track in midi.tracks:
        require(track.name, "MIDI: a track with notes has no name")

    credits = starts["Credits"]
    lightning = midi.track("Lightning")
    require(lightning, "MIDI: no track \"Lightning\"")
    check_alternating(lightning, "Lightning")
    flashes = note_ons(lightning)
    require(len(flashes) >= 4, "Lightning: %d flashes, at least 4 needed", len(flashes))
    require(flashes[0] > credits + 2, "Lightning: the first flash is at beat %g, not after %g", flashes[0],
            credits + 2)
    require(flashes[3] < credits + 42, "Lightning: the fourth flash is at beat %g, not before %g", flashes[3],
            credits + 42)
    gaps = [b - a for a, b in zip(flashes, flashes[1:])]
    require(max(gaps) <= 16, "Lightning: a gap of %g beats between flashes", max(gaps))
    require(flashes[-1] >= credits + 88, "Lightning: the flashes stop at beat %g, before the storm ends",
            flashes[-1])
    require(flashes[-1] < credits + 96, "Lightning: a flash at beat %g, after the dawn at %g", flashes[-1],
            credits + 96)

    clown = starts["Clown"]
    bells = midi.track("KlovneRinger")
    require(bells, "MIDI: no track \"KlovneRinger\"")
    check_alternating(bells, "KlovneRinger")
    rings = note_ons(bells)
    figure = [b for b in rings if clown + 4 < b < clown + 70]
    require(len(figure) >= 7, "KlovneRinger: %d bells between beats %g and %g, at least 7 needed", len(figure),
            clown + 4, clown + 70)
    require(rings[:7] == figure[:7], "KlovneRinger: the first seven bells are not all between %g and %g",
            clown + 4, clown + 70)
    tick = 1.0 / midi.division
    for drop in RING_DROPS:
        require(any(abs(b - (clown + drop)) <= tick / 2 for b in rings),
                "KlovneRinger: no bell on the ring drop at beat %g (beat %g of the clown's slot)", clown + drop, drop)

    check_landmarks(midi, starts)
    kick = midi.track("Kick")
    require(kick, "MIDI: no track \"Kick\"")
    return flashes, rings


# --------------------------------------------------------------------------
# The configuration and the templates

def _child(element, name, where):
    found = element.find(name)
    require(found is not None, "%s: no <%s>", where, name)
    return found


def _integer(text):
    """An integer as "%i" reads it: 0x.. hexadecimal, 0.. octal."""
    s = (text or "").strip()
    if s[:2].lower() == "0x":
        return int(s, 16)
    return int(s, 8) if len(s) > 1 and s.startswith("0") else int(s)


def _denominator(element, where):
    text = (element.text or "").strip()
    digits = text.rstrip("tT").rstrip()
    require(digits.isdigit(), "%s: denominator %r", where, text)
    return int(digits)


def check_template(path):
    require(os.path.isfile(path), "template %s does not exist", path)
    root = ElementTree.parse(path).getroot()
    require(root.tag == "unit", "%s: the root element is <%s>, not <unit>", path, root.tag)
    template = _child(root, "template", path)
    ranges = template.findall("range")
    require(ranges, "%s: no <range>", path)
    for i, item in enumerate(ranges):
        where = "%s: range %d" % (path, i)
        low = _integer(_child(item, "min", where).text)
        high = _integer(_child(item, "max", where).text)
        value = _child(item, "value", where)
        _integer(_child(value, "numerator", where).text)
        _denominator(_child(value, "denominator", where), where)
        require(0 <= low <= high <= 127, "%s: range %d..%d", where, low, high)


def check_config(path, midi):
    root = ElementTree.parse(path).getroot()
    require(root.tag == "modulators", "%s: the root element is <%s>, not <modulators>", path, root.tag)
    folder = os.path.dirname(path)
    stream = root.get("stream_filename")
    midi_name = root.get("mididata_filename")
    require(stream and stream.endswith(".ogg"), "%s: stream_filename %r", path, stream)
    require(midi_name, "%s: no mididata_filename", path)
    kinds = {"envelope": 0, "lfo": 0}
    names = {t.name for t in midi.tracks}
    for entry in root:
        association = entry.get("association")
        where = "%s: <%s association=%r>" % (path, entry.tag, association)
        require(association in names, where + ": no MIDI track with notes has that name")
        lfo = entry.find("lfo")
        envelope = entry.find("envelope")
        require(lfo is not None or envelope is not None, where + ": neither <lfo> nor <envelope>")
        if lfo is not None:
            kinds["lfo"] += 1
            wave = (_child(lfo, "wave", where).text or "").strip()
            require(wave in ("sine", "saw"), where + ": wave %r", wave)
            tempo = _child(lfo, "tempo", where)
            _integer(_child(tempo, "numerator", where).text)
            _denominator(_child(tempo, "denominator", where), where)
            controller = _child(tempo, "controller", where)
            _integer(_child(controller, "cc", where).text)
            template = _child(controller, "template", where).get("file")
            require(template, where + ": template without a file")
            check_template(os.path.join(folder, template))
        else:
            kinds["envelope"] += 1
            for phase in ("attack", "decay", "sustain", "release"):
                element = _child(envelope, phase, where)
                value = float(element.text)
                unit = element.get("unit")
                if phase == "sustain":
                    require(unit == "percent", where + ": sustain unit %r", unit)
                else:
                    require(unit == "s", where + ": %s unit %r", phase, unit)
                    require(element.get("slope") in ("linear", "exp", "exp_inv"), where + ": %s slope %r",
                            phase, element.get("slope"))
                    require(value > 0, where + ": %s of length 0", phase)
        intensity = entry.find("intensity")
        if intensity is not None:
            require(intensity.get("unit") == "float", where + ": intensity unit %r", intensity.get("unit"))
            float(intensity.text)
    require(kinds["envelope"] >= 1, "%s: no envelope", path)
    require(kinds["lfo"] >= 1, "%s: no oscillator", path)
    return os.path.join(folder, stream), os.path.join(folder, midi_name), kinds


# --------------------------------------------------------------------------
# The stream

def vorbis_format(path):
    """(channels, rate) from the Vorbis identification header."""
    with open(path, "rb") as f:
        head = f.read(4096)
    require(head[:4] == b"OggS", "%s is not an Ogg file", path)
    at = head.find(b"\x01vorbis")
    require(at >= 0, "%s holds no Vorbis stream", path)
    channels = head[at + 11]
    rate = struct.unpack("<I", head[at + 12:at + 16])[0]
    return channels, rate


def decode(path):
    result = subprocess.run(["oggdec", "-Q", "-R", "-b", "16", "-e", "0", "-s", "1", "-o", "-", path],
                            check=True, stdout=subprocess.PIPE)
    return np.frombuffer(result.stdout, dtype="<i2").reshape(-1, 2).astype(np.float64) / 32768.0


def db(x):
    return 20 * math.log10(max(x, 1e-12))


def _low_envelope(samples):
    """Envelope of the 30-250 Hz band (the kick's body): the magnitude of the
    analytic signal, band-limited with gentle slopes so that nothing rings
    ahead of an onset."""
    mono = samples.mean(axis=1)
    n = len(mono)
    freqs = np.fft.rfftfreq(n, 1.0 / RATE)
    gain = 1 / np.sqrt(1 + (30 / np.maximum(freqs, 1e-3)) ** 8) / np.sqrt(1 + (freqs / 250) ** 8)
    spectrum = np.fft.rfft(mono) * gain
    analytic = np.zeros(n, dtype=complex)
    analytic[:len(spectrum)] = spectrum
    analytic[1:len(spectrum)] *= 2
    return np.abs(np.fft.ifft(analytic))


def _ms(value):
    return int(round(value * RATE / 1000.0))


def _onset(envelope, centre, before_ms=60, early_ms=15, after_ms=30):
    """Onset near sample `centre`: the first point after centre - early_ms
    where the envelope has climbed a tenth of the way from its level before
    (median over the preceding before_ms) to its peak. Returns (offset in
    seconds, peak / level before, whether the envelope was already up at
    the start of the search)."""
    base = np.median(envelope[centre - _ms(before_ms):centre - _ms(early_ms)])
    window = envelope[centre - _ms(early_ms):centre + _ms(after_ms)]
    peak = window.max()
    crossing = int(np.argmax(window > base + 0.1 * (peak - base)))
    return (crossing - _ms(early_ms)) / RATE, peak / max(base, 1e-12), crossing == 0


def kick_alignment(samples, kicks, seconds_per_beat, sections):
    """How the kick drum in the audio lines up with the "Kick" notes.

    Per section, the envelopes around all its kicks are averaged (what is not
    on the kicks' beats averages away) and the onset of the average is
    measured: this shows an offset or a drift of the whole stream. Per kick,
    the onset is measured where the kick stands out (its peak at least twice
    the level before it, not inside a roll). Returns [(section, kicks,
    offset)], the per-kick offsets, and the number of kicks that do not stand
    out."""
    envelope = _low_envelope(samples)
    centres = [int(round(beat * seconds_per_beat * RATE)) for beat in kicks]
    measured = []
    for name, first, end, _intended in sections:
        inside = [c for beat, c in zip(kicks, centres) if first <= beat < end]
        if len(inside) < 8:
            continue
        average = np.mean([envelope[c - _ms(100):c + _ms(100)] for c in inside], axis=0)
        offset, _ratio, _up = _onset(average, _ms(100))
        measured.append((name, len(inside), offset))
    offsets = []
    masked = 0
    for c in centres:
        offset, ratio, already_up = _onset(envelope, c, before_ms=40, early_ms=8)
        if ratio < 2 or already_up:
            masked += 1
        else:
            offsets.append(offset)
    return measured, np.array(offsets), masked


def check_stream(path, kicks, seconds_per_beat, where):
    """The stream, its sections where the soundtrack's Plan `where` puts them."""
    require(os.path.isfile(path), "stream %s does not exist", path)
    channels, rate = vorbis_format(path)
    require((channels, rate) == (2, RATE), "%s: %d channels at %d Hz (stereo at 44100 Hz expected)",
            path, channels, rate)
    samples = decode(path)
    beats = len(samples) / RATE / seconds_per_beat
    end = where.length - TAIL
    require(end + MIN_TAIL_BEATS <= beats <= end + MAX_TAIL_BEATS,
            "%s: %.2f beats long; the show ends at %g, so %g to %g beats are needed", path, beats, end,
            end + MIN_TAIL_BEATS, end + MAX_TAIL_BEATS)
    peak = db(np.abs(samples).max())
    require(peak < PEAK_LIMIT_DBFS, "%s: peak %.2f dBFS, must stay below %.1f", path, peak, PEAK_LIMIT_DBFS)

    levels = []
    for name, first, last, _intended in where.sections():
        a, z = (int(b * seconds_per_beat * RATE) for b in (first, last))
        level = db(math.sqrt(np.mean(samples[a:z] ** 2)))
        levels.append((name, first, last, level))
        require(level > -40, "%s: the %s section (%g-%g) is nearly silent (%.1f dBFS)", path, name, first, last,
                level)
    beat = where.start["storm"] + 2
    while beat + 2 <= end:
        a, z = (int(b * seconds_per_beat * RATE) for b in (beat, beat + 2))
        level = db(math.sqrt(np.mean(samples[a:z] ** 2)))
        require(level > -50, "%s: silence at beats %g-%g (%.1f dBFS)", path, beat, beat + 2, level)
        beat += 2

    sections, offsets, masked = kick_alignment(samples, kicks, seconds_per_beat, where.sections())
    require(sections, "kick: no section has enough kicks to measure")
    for name, count, offset in sections:
        require(abs(offset) <= KICK_TOLERANCE_S, "kick: in the %s section the %d kicks sound %.1f ms off their beats",
                name, count, offset * 1000)
    require(len(offsets) >= 0.85 * len(kicks), "kick: only %d of %d kicks stand out in the audio",
            len(offsets), len(kicks))
    near = np.abs(offsets) <= KICK_TOLERANCE_S
    require(np.mean(near) >= 0.95, "kick: only %d of %d distinct kicks sound within %.0f ms of their beats",
            int(np.sum(near)), len(offsets), KICK_TOLERANCE_S * 1000)
    return beats, peak, levels, (sections, offsets, masked)


def main(argv=None):
    parser = argparse.ArgumentParser(description="Checks the soundtrack files that the show loads.")
    parser.add_argument("--dir", help="the music directory (default: data/common/music in the repository)")
    parser.add_argument("--timeline", metavar="TABLE",
                        help="the timeline table the music must follow (default: src/timeline.def)")
    parser.add_argument("--midi-only", action="store_true",
                        help="check the MIDI file and the configuration, not the stream")
    args = parser.parse_args(argv)
    folder = args.dir or os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                      "data", "common", "music")
    config = os.path.normpath(os.path.join(folder, CONFIG_NAME))
    try:
        starts = slot_starts(args.timeline)
        where = plan(args.timeline)
        require(os.path.isfile(config), "%s does not exist", config)
        root = ElementTree.parse(config).getroot()
        midi_path = os.path.join(os.path.dirname(config), root.get("mididata_filename") or "")
        require(os.path.isfile(midi_path), "MIDI file %s does not exist", midi_path)
        with open(midi_path, "rb") as f:
            midi = Midi(f.read())
        flashes, rings = check_midi(midi, starts)
        stream, _midi, kinds = check_config(config, midi)
        seconds_per_beat = midi.tempo_micros[0] / 1e6
        kicks = note_ons(midi.track("Kick"), key=36)
        if not args.midi_only:
            beats, peak, levels, (sections, offsets, masked) = check_stream(stream, kicks, seconds_per_beat, where)
    except (Failure, OSError, ValueError, ElementTree.ParseError, subprocess.CalledProcessError) as error:
        print("check_soundtrack: FAILED: %s" % error, file=sys.stderr)
        return 1

    print("check_soundtrack: all checks passed")
    print("  tempo %g bpm (%d us per beat); %d tracks with notes: %s"
          % (TEMPO, midi.tempo_micros[0], len(midi.tracks), ", ".join(t.name for t in midi.tracks)))
    print("  Lightning: %d flashes, %s" % (len(flashes), " ".join("%g" % b for b in flashes)))
    print("  KlovneRinger: %d bells, %s" % (len(rings), " ".join("%g" % b for b in rings)))
    print("  configuration: %d envelopes, %d oscillators" % (kinds["envelope"], kinds["lfo"]))
    if args.midi_only:
        return 0
    print("  stream: %.2f beats (%.2f s), peak %.2f dBFS" % (beats, beats * seconds_per_beat, peak))
    print("  kick, averaged per section: %s" % ", ".join("%s %+.1f ms (%d kicks)" % (name, offset * 1000, count)
                                                      for name, count, offset in sections))
    print("  kick, one by one: %d of %d distinct kicks within %.0f ms (median %+.1f ms); %d not distinct"
          % (int(np.sum(np.abs(offsets) <= KICK_TOLERANCE_S)), len(offsets), KICK_TOLERANCE_S * 1000,
             np.median(offsets) * 1000, masked))
    for name, first, end, level in levels:
        print("  %-8s %3g-%3g  %6.1f dBFS" % (name, first, end, level))
    return 0


if __name__ == "__main__":
    sys.exit(main())
