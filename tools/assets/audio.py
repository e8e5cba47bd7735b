"""Sound for the soundtrack: the synthesiser run, the storm's weather, the
master bus and the Ogg Vorbis encoder.

The instruments come from fluidsynth playing the score with the FluidR3
General MIDI soundfont. General MIDI has no weather, so the storm's rain,
wind and thunder are synthesised here from filtered noise, with the thunder
struck on the beats of the "Lightning" track, and mixed under the music.
Every random number comes from generators seeded with fixed values, the
synthesiser renders by sample count (not by the wall clock) and the encoder
gets a fixed stream serial number, so the same score gives the same bytes.
"""

import os
import subprocess
import tempfile

import numpy as np

RATE = 44100
SOUNDFONT = "/usr/share/sounds/sf2/FluidR3_GM.sf2"
# fluidsynth starts a note at the first 64-sample block boundary after its
# time and then 72 samples in: 72 to 135 samples late, 104 on average
# (measured; constant over the whole file). The render is moved earlier by
# that mean, so every note sounds within 0.75 ms of its beat.
SYNTH_LATENCY = 104
OGG_SERIAL = 0x54494E4C  # "TINL": a fixed serial number keeps the file stable


# --------------------------------------------------------------------------
# Synthesiser

def render_midi(midi_bytes, seconds, gain=0.5):
    """Renders a MIDI file with fluidsynth; returns float stereo samples.

    Sample 0 is the file's beat 0 (less the synthesiser's latency); the
    result is cut or padded to `seconds`."""
    with tempfile.TemporaryDirectory(prefix="soundtrack-") as work:
        midi_path = os.path.join(work, "render.mid")
        raw_path = os.path.join(work, "render.f32")
        with open(midi_path, "wb") as f:
            f.write(midi_bytes)
        subprocess.run(
            ["fluidsynth", "-n", "-i", "-q",
             "-F", raw_path, "-T", "raw", "-O", "float", "-E", "little",
             "-r", str(RATE), "-g", str(gain),
             "-o", "synth.polyphony=512",
             "-o", "synth.reverb.room-size=0.62",
             "-o", "synth.reverb.damp=0.35",
             "-o", "synth.reverb.width=0.9",
             "-o", "synth.reverb.level=0.8",
             "-o", "synth.chorus.level=1.2",
             SOUNDFONT, midi_path],
            check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        audio = np.fromfile(raw_path, dtype="<f4").reshape(-1, 2).astype(np.float64)[SYNTH_LATENCY:]
    frames = int(round(seconds * RATE))
    if len(audio) < frames:
        audio = np.vstack([audio, np.zeros((frames - len(audio), 2))])
    return audio[:frames]


# --------------------------------------------------------------------------
# Filters (FFT based: the effects are rendered offline in one piece)

def _shaped_noise(rng, frames, response):
    """White noise coloured by `response`, a gain as a function of frequency."""
    spectrum = np.fft.rfft(rng.standard_normal(frames))
    freqs = np.fft.rfftfreq(frames, 1.0 / RATE)
    out = np.fft.irfft(spectrum * response(freqs), frames)
    return out / (np.sqrt(np.mean(out ** 2)) + 1e-12)


def _filter(signal, response):
    spectrum = np.fft.rfft(signal)
    freqs = np.fft.rfftfreq(len(signal), 1.0 / RATE)
    return np.fft.irfft(spectrum * response(freqs), len(signal))


def _lowpass(f, corner, order=2):
    return 1.0 / np.sqrt(1.0 + (f / corner) ** (2 * order))


def _highpass(f, corner, order=2):
    safe = np.maximum(f, 1e-3)
    return 1.0 / np.sqrt(1.0 + (corner / safe) ** (2 * order))


def _slow_random(rng, frames, rate_hz, low, high):
    """A smooth random curve between low and high, changing at about rate_hz."""
    points = max(4, int(frames / RATE * rate_hz) + 4)
    knots = rng.uniform(low, high, points)
    # Cosine interpolation between the knots: smooth, no overshoot.
    x = np.linspace(0, points - 3, frames)
    i = np.floor(x).astype(int)
    u = x - i
    w = (1 - np.cos(np.pi * u)) * 0.5
    return knots[i] * (1 - w) + knots[i + 1] * w


# --------------------------------------------------------------------------
# The storm

def rain(seconds, seed, gusts=True):
    """Stereo rain: a hiss of many drops with some close, distinct ones."""
    rng = np.random.default_rng(seed)
    frames = int(seconds * RATE)
    out = np.zeros((frames, 2))
    for ch in range(2):
        hiss = _shaped_noise(rng, frames,
                             lambda f: _highpass(f, 700, 2) * _lowpass(f, 7000, 1) * (1000.0 / np.maximum(f, 1000.0)) ** 0.3)
        # Close drops: sparse impulses ringing briefly in the upper mids.
        impulses = np.zeros(frames)
        count = int(seconds * 180)
        where = rng.integers(0, frames, count)
        impulses[where] = rng.uniform(-1, 1, count) * rng.uniform(0, 1, count) ** 3
        drops = _filter(impulses, lambda f: _highpass(f, 1800, 2) * _lowpass(f, 6000, 2))
        drops /= np.sqrt(np.mean(drops ** 2)) + 1e-12
        level = _slow_random(rng, frames, 0.35, 0.6, 1.0) if gusts else 1.0
        out[:, ch] = (0.8 * hiss + 0.35 * drops) * level
    return out


def wind(seconds, seed):
    """A low, moaning wind in slow gusts."""
    rng = np.random.default_rng(seed)
    frames = int(seconds * RATE)
    out = np.zeros((frames, 2))
    gust = _slow_random(rng, frames, 0.25, 0.15, 1.0) ** 2
    for ch in range(2):
        noise = _shaped_noise(rng, frames, lambda f: _highpass(f, 80, 2) * _lowpass(f, 420, 2))
        out[:, ch] = noise * gust
    return out


def thunder(seed, closeness):
    """One thunder clap: a crack and a long, rolling rumble.

    closeness 0..1: a distant strike is dark and soft, a close one starts
    with a bright crack and rolls longer. Returns (stereo samples) at unit
    level, starting at the strike."""
    rng = np.random.default_rng(seed)
    seconds = 4.5 + 3.0 * closeness
    frames = int(seconds * RATE)
    t = np.arange(frames) / RATE

    # The rumble rolls: overlapping swells, later ones weaker.
    rolls = np.zeros(frames)
    for k in range(int(3 + 3 * closeness)):
        at = rng.uniform(0.0, 0.4) if k == 0 else rng.uniform(0.15, seconds * 0.55)
        rise = rng.uniform(0.03, 0.25)
        fall = rng.uniform(0.5, 1.6) * (0.7 + closeness)
        height = (1.0 if k == 0 else rng.uniform(0.35, 0.8)) * np.exp(-at / 2.5)
        s = np.maximum(t - at, 0.0)
        rolls += height * (1 - np.exp(-s / rise)) * np.exp(-s / fall) * (t >= at)
    rolls *= np.minimum(1.0, (seconds - t) / 0.5)  # no cut-off click at the end

    out = np.zeros((frames, 2))
    corner = 110 + 260 * closeness
    for ch in range(2):
        rumble = _shaped_noise(rng, frames, lambda f: _highpass(f, 22, 2) * _lowpass(f, corner, 2))
        flutter = _slow_random(rng, frames, 9.0, 0.55, 1.0)
        out[:, ch] = rumble * rolls * flutter

    if closeness > 0.3:
        crack = np.zeros(frames)
        for k in range(int(2 + 5 * closeness)):
            at = 0.0 if k == 0 else rng.uniform(0.01, 0.35)
            s = np.maximum(t - at, 0.0)
            crack += (t >= at) * np.exp(-s / rng.uniform(0.008, 0.03)) * (1.0 if k == 0 else rng.uniform(0.3, 0.7))
        for ch in range(2):
            hiss = _shaped_noise(rng, frames, lambda f: _highpass(f, 250, 1) * _lowpass(f, 5000, 1))
            out[:, ch] += 1.6 * closeness * hiss * crack
    return out


def storm(lightning, seconds_per_beat, rain_curve, seed=1995):
    """The weather bed of the opening: rain, wind and a thunder clap on every
    lightning note. `lightning` is a list of (beat, velocity); `rain_curve`
    is a list of (beat, level) points for the rain and wind, which stop at
    its last point. Returns stereo samples from beat 0 until the last
    thunder has rolled away."""
    weather_seconds = rain_curve[-1][0] * seconds_per_beat
    last_strike = max(beat for beat, _ in lightning) * seconds_per_beat
    frames = int(max(weather_seconds, last_strike + 8.0) * RATE)
    seconds = frames / RATE
    bed = np.zeros((frames, 2))
    beats = np.arange(frames) / RATE / seconds_per_beat
    level = np.interp(beats, [b for b, _ in rain_curve], [v for _, v in rain_curve], right=0.0)
    bed += 0.035 * rain(seconds, seed) * level[:, None]
    bed += 0.035 * wind(seconds, seed + 1) * level[:, None]
    for index, (beat, velocity) in enumerate(lightning):
        closeness = min(1.0, max(0.0, (velocity - 60) / 60.0))
        clap = thunder(seed + 100 + index, closeness) * (0.05 + 0.05 * closeness)
        start = int(round(beat * seconds_per_beat * RATE))
        end = min(frames, start + len(clap))
        bed[start:end] += clap[:end - start]
    return bed


# --------------------------------------------------------------------------
# Master bus

def db(x):
    return 20.0 * np.log10(max(x, 1e-12))


def rms(samples):
    return float(np.sqrt(np.mean(samples ** 2))) if len(samples) else 0.0


def _smooth(x, width):
    """Centred moving average over `width` samples, applied twice (a
    triangular window), by running sums."""
    for _ in range(2):
        padded = np.concatenate([np.full(width, x[0]), x, np.full(width, x[-1])])
        sums = np.cumsum(padded)
        x = (sums[2 * width:] - sums[:-2 * width]) / (2 * width)
        x = x[:len(padded) - 2 * width]
    return x


def compress(audio, threshold_db=-20.0, ratio=2.0, window_s=0.08):
    """Gentle bus compression on the stereo sum's short-term level.

    Loud passages are pulled down above the threshold; with the peak
    normalisation after it, the soft parts end up louder in the mix."""
    width = int(window_s * RATE)
    level = np.sqrt(_smooth(np.mean(audio ** 2, axis=1), width)) + 1e-9
    over = np.maximum(20 * np.log10(level) - threshold_db, 0.0)
    gain_db = -over * (1.0 - 1.0 / ratio)
    # Smooth the gain so that it never pumps on single notes.
    gain_db = _smooth(gain_db, width)
    return audio * (10 ** (gain_db / 20.0))[:, None]


def master(audio, peak_dbfs, fade_start_s, fade_end_s):
    """Fades the end, normalises to the peak and returns 16-bit samples."""
    out = audio.copy()
    start = int(round(fade_start_s * RATE))
    end = min(len(out), int(round(fade_end_s * RATE)))
    if end > start:
        ramp = np.cos(np.linspace(0, np.pi / 2, end - start)) ** 2
        out[start:end] *= ramp[:, None]
        out[end:] = 0.0
    peak = np.max(np.abs(out))
    out *= 10 ** (peak_dbfs / 20.0) / peak
    return np.round(out * 32767.0).astype("<i2")


def encode_ogg(pcm16, path, quality, title, artist):
    """Encodes 16-bit stereo samples as Ogg Vorbis at `path`."""
    subprocess.run(
        ["oggenc", "-Q", "-r", "-B", "16", "-C", "2", "-R", str(RATE),
         "--raw-endianness", "0", "-q", str(quality), "-s", str(OGG_SERIAL),
         "-t", title, "-a", artist, "-o", path, "-"],
        input=pcm16.tobytes(), check=True)


def decode_ogg(path):
    """Decodes an Ogg Vorbis file into float stereo samples (-1..1)."""
    result = subprocess.run(["oggdec", "-Q", "-R", "-b", "16", "-e", "0", "-s", "1", "-o", "-", path],
                            check=True, stdout=subprocess.PIPE)
    return np.frombuffer(result.stdout, dtype="<i2").reshape(-1, 2).astype(np.float64) / 32768.0
