"""Emulation of the engine's 80-bit extended reals (64-bit significand).

A value is a tuple (m, e) standing for m * 2**e, with m a signed integer
whose magnitude has exactly 64 bits (or (0, 0) for zero).  Every operation
rounds its exact result to 64 significant bits, round half to even, as the
x87 unit does with its precision control at 64 bits.  The exponent range is
not limited (the values met in a song are far from overflow and denormals).
"""

from __future__ import annotations

from fractions import Fraction

ZERO = (0, 0)
PREC = 64


def rnd(m: int, e: int):
    """Round the exact value m * 2**e to PREC significant bits."""
    if m == 0:
        return ZERO
    neg = m < 0
    a = -m if neg else m
    n = a.bit_length()
    if n > PREC:
        sh = n - PREC
        q = a >> sh
        r = a & ((1 << sh) - 1)
        half = 1 << (sh - 1)
        if r > half or (r == half and (q & 1)):
            q += 1
            if q >> PREC:
                q >>= 1
                sh += 1
        a = q
        e += sh
    elif n < PREC:
        a <<= PREC - n
        e -= PREC - n
    return (-a if neg else a, e)


def rnd_ratio(p: int, q: int, e: int = 0):
    """Round p / q * 2**e (q != 0) to PREC bits."""
    if q < 0:
        p, q = -p, -q
    if p == 0:
        return ZERO
    neg = p < 0
    a = -p if neg else p
    shift = max(0, PREC + 3 + q.bit_length() - a.bit_length())
    quo, rem = divmod(a << shift, q)
    mant = (quo << 1) | (1 if rem else 0)
    return rnd(-mant if neg else mant, e - shift - 1)


def from_int(n: int):
    return rnd(n, 0)


def from_fraction(f: Fraction):
    return rnd_ratio(f.numerator, f.denominator)


def from_str(s: str):
    """Nearest extended real to a decimal string (21 significant digits
    identify an extended real uniquely)."""
    return from_fraction(Fraction(s))


def to_fraction(a) -> Fraction:
    m, e = a
    return Fraction(m << e) if e >= 0 else Fraction(m, 1 << -e)


def to_float(a) -> float:
    return float(to_fraction(a))


def _align(a, b):
    (am, ae), (bm, be) = a, b
    e = min(ae, be)
    return am << (ae - e), bm << (be - e), e


def add(a, b):
    if a[0] == 0:
        return b
    if b[0] == 0:
        return a
    am, bm, e = _align(a, b)
    return rnd(am + bm, e)


def sub(a, b):
    if b[0] == 0:
        return a
    return add(a, (-b[0], b[1]))


def mul(a, b):
    return rnd(a[0] * b[0], a[1] + b[1])


def div(a, b):
    if b[0] == 0:
        raise ZeroDivisionError("extended real division by zero")
    return rnd_ratio(a[0], b[0], a[1] - b[1])


def neg(a):
    return (-a[0], a[1])


def absv(a):
    return (abs(a[0]), a[1])


def cmp(a, b) -> int:
    am, bm, _ = _align(a, b)
    return (am > bm) - (am < bm)


def lt(a, b) -> bool:
    return cmp(a, b) < 0


def sign(a) -> int:
    return (a[0] > 0) - (a[0] < 0)


def trunc(a) -> int:
    """Integer part, toward zero."""
    m, e = a
    if e >= 0:
        return m << e
    if m >= 0:
        return m >> -e
    return -((-m) >> -e)


def frac(a):
    """a - Trunc(a), exact."""
    return sub(a, from_int(trunc(a)))


def round_half_even(a) -> int:
    f = to_fraction(a)
    return round(f)  # Fraction.__round__ rounds halves to even


def maxv(a, b):
    return b if lt(a, b) else a
