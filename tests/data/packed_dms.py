"""Packed D.MMSS angles for the scripts that make and check reference data."""
from decimal import Decimal


def degrees(packed):
    """Packed D.MMSS text (ddd.mmssfff) -> decimal degrees, exactly as written."""
    d = Decimal(packed)
    sign = -1 if d < 0 else 1
    d = abs(d)
    whole = int(d)
    rest = (d - whole) * 100
    minutes = int(rest)
    seconds = (rest - minutes) * 100
    return float(sign * (whole + Decimal(minutes) / 60 + seconds / 3600))
