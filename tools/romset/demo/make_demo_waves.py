#!/usr/bin/env python3
"""Writes the demo set's eight waveforms as lookup tables of 512 exact
10-bit sample values each into demo.toml beside this script, between its two
bank marker lines; the rest of demo.toml is edited by hand.

Run once; the output is checked in and never edited by hand. Everything is
computed with + - * / on IEEE doubles in a fixed order (a Taylor series for
the sine, quarter-turn reduction in integers), so the tables do not depend
on any platform's math library.
"""
import math
import os

SAMPLES = 512
PEAK = 1.75  # eight voices with both oscillators at this peak stay below the mix clip
HALF_PI = 1.5707963267948966
PI = 3.141592653589793


def sin_series(x):
    x2 = x * x
    term = x
    total = x
    for k in range(1, 21):
        term = -term * x2 / float((2 * k) * (2 * k + 1))
        total += term
    return total


def cos_series(x):
    x2 = x * x
    term = 1.0
    total = 1.0
    for k in range(1, 21):
        term = -term * x2 / float((2 * k - 1) * (2 * k))
        total += term
    return total


def sin_turns(num, den):
    """sin(2 pi num / den), reduced to a quarter turn in integers."""
    n = num % den
    quarters = 4 * n
    q = quarters // den
    r = quarters - q * den
    angle = HALF_PI * float(r) / float(den)
    return [sin_series, cos_series, lambda a: -sin_series(a), lambda a: -cos_series(a)][q](angle)


def sigma(h, limit):
    """Lanczos factor: tapers the top harmonics so the waves do not ring."""
    x = PI * h / (limit + 1)
    return sin_turns(h, 2 * (limit + 1)) / x


def additive(partials):
    wave = []
    for k in range(SAMPLES):
        total = 0.0
        for harmonic, amplitude, cosine in partials:
            turns = harmonic * k + (SAMPLES // 4 if cosine else 0)
            total += amplitude * sin_turns(turns, SAMPLES)
        wave.append(total)
    peak = 0.0
    for v in wave:
        peak = abs(v) if abs(v) > peak else peak
    scale = PEAK / peak
    return [v * scale for v in wave]


def saw(limit):
    return [(h, (1.0 if h % 2 == 1 else -1.0) / h * sigma(h, limit), False) for h in range(1, limit + 1)]


def square(limit):
    return [(h, 1.0 / h * sigma(h, limit), False) for h in range(1, limit + 1, 2)]


def triangle(limit):
    return [(h, (1.0 if (h // 2) % 2 == 0 else -1.0) / (h * h), False) for h in range(1, limit + 1, 2)]


def pulse(limit):
    """25 % duty cycle: cosine series with coefficients sin(pi h / 4) / h."""
    partials = []
    for h in range(1, limit + 1):
        coefficient = sin_turns(h, 8) / h
        if coefficient != 0.0:
            partials.append((h, coefficient * sigma(h, limit), True))
    return partials


def organ():
    """Drawbars 8', 4', 2 2/3', 2', 1 1/3', 1': harmonics 1, 2, 3, 4, 6, 8."""
    return [(1, 1.0, False), (2, 0.8, False), (3, 0.6, False), (4, 0.5, False), (6, 0.3, False),
            (8, 0.25, False)]


def bright_string(limit):
    """Saw-like with harmonics 3 to 10 lifted, sine and cosine phases alternating."""
    return [(h, (1.6 if 3 <= h <= 10 else 1.0) / h * sigma(h, limit), h % 2 == 0) for h in range(1, limit + 1)]


def hollow_reed(limit):
    """Odd harmonics strong, even ones faint."""
    return [(h, (1.0 if h % 2 == 1 else 0.12) / h * sigma(h, limit), False) for h in range(1, limit + 1)]


def quantise(v):
    """Sample value (1.0 = magnitude 512) to a signed 10-bit magnitude, rounded half away from zero."""
    x = abs(v) * 512.0
    whole = math.floor(x)
    magnitude = min(int(whole) + (1 if x - whole >= 0.5 else 0), 1023)
    return magnitude if v >= 0.0 else -magnitude


BANKS = [
    ("sine", [(1, 1.0, False)]),
    ("saw", saw(32)),
    ("square", square(31)),
    ("triangle", triangle(31)),
    ("pulse 25 %", pulse(32)),
    ("drawbar organ", organ()),
    ("bright string", bright_string(40)),
    ("hollow reed", hollow_reed(24)),
]


BEGIN = "# --- banks: written by make_demo_waves.py, do not edit by hand ---"
END = "# --- end of banks ---"


def main():
    lines = []
    for name, partials in BANKS:
        wave = additive(partials)
        values = [quantise(v) for v in wave]
        if any(v == 0 and w < 0.0 for v, w in zip(values, wave)):
            raise SystemExit(name + ": a negative value rounds to zero, which exact samples cannot hold")
        lines.append("")
        lines.append("[[bank]]  # " + name)
        lines.append("samples = [")
        for row in range(0, SAMPLES, 16):
            lines.append("  " + ", ".join(str(v) for v in values[row:row + 16]) + ",")
        lines.append("]")
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "demo.toml")
    with open(path) as f:
        text = f.read()
    head, rest = text.split(BEGIN + "\n", 1)
    tail = rest[rest.index(END):]
    with open(path, "w") as f:
        f.write(head + BEGIN + "\n" + "\n".join(lines).lstrip("\n") + "\n" + tail)


if __name__ == "__main__":
    main()
