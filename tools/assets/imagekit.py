"""Picture helpers that the asset generators share: the files' encodings,
a smooth step, tileable noise and how well a picture tiles.

Encodings are deterministic: no text chunks, time stamps or EXIF; the same
picture gives the same bytes.
"""
import io

import numpy as np


def png_bytes(img):
    """The picture as a PNG file (PIL writes only IHDR, IDAT and IEND here)."""
    buf = io.BytesIO()
    img.save(buf, format="PNG", optimize=False, compress_level=9)
    return buf.getvalue()


def jpeg_bytes(img, quality=90, **options):
    """The picture as a baseline JPEG file, 4:4:4 (no chroma subsampling),
    with the further PIL save options given (dpi=...)."""
    buf = io.BytesIO()
    img.save(buf, format="JPEG", quality=quality, subsampling=0, progressive=False,
             optimize=False, **options)
    return buf.getvalue()


def seam_ratio(a):
    """How far a picture's opposite edges are apart, against a step of one
    pixel inside it: about 1 for a picture that tiles, both ways."""
    a = np.asarray(a, np.float64)
    inside = max(np.abs(np.diff(a, axis=0)).mean(), np.abs(np.diff(a, axis=1)).mean(), 1e-9)
    return max(np.abs(a[0] - a[-1]).mean(), np.abs(a[:, 0] - a[:, -1]).mean()) / inside


def smoothstep(e0, e1, x):
    """0 below e0, 1 above e1, a smooth cubic between (arrays too)."""
    t = np.clip((x - e0) / (e1 - e0), 0.0, 1.0)
    return t * t * (3.0 - 2.0 * t)


def spectral_field(rng, n, beta, low_cut=1.0, stretch=1.0):
    """An n x n tileable field: white noise shaped to a 1/f^beta spectrum in
    the frequency domain (frequencies below low_cut count as low_cut), which
    is periodic by construction. stretch > 1 squeezes the spectrum along x,
    so features run long along x (a grain). Its mean is near zero."""
    white = rng.standard_normal((n, n))
    fx = np.fft.fftfreq(n)[None, :] * n * stretch
    fy = np.fft.fftfreq(n)[:, None] * n
    amp = 1.0 / np.maximum(np.sqrt(fx * fx + fy * fy), low_cut) ** beta
    amp[0, 0] = 0.0
    return np.real(np.fft.ifft2(np.fft.fft2(white) * amp))


def spectral_noise(rng, n, beta, low_cut=1.0, stretch=1.0):
    """spectral_field with zero mean and unit deviation."""
    field = spectral_field(rng, n, beta, low_cut, stretch)
    field -= field.mean()
    return field / field.std()


def periodic_noise(rng, n, beta, low_cut=1.0):
    """spectral_field scaled to 0..1."""
    field = spectral_field(rng, n, beta, low_cut)
    field -= field.min()
    return field / field.max()
