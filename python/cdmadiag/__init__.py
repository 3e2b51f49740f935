"""Decoding of CDMA DIAG logs (1x, EV-DO, MediaFLO) from Python.

decode() yields each packet as a dict, in order; to_frames() gives pandas tables of the
messages and of the attribute writes; decode_to_file() writes one capture as the command
does (text, jsonl, csv or sqlite) and sums the drive up. cdmadiag.fleet decodes many
captures on a Dask cluster.
"""
from ._cdmadiag import Packets, columns
from ._cdmadiag import decode_to_file as _decode_to_file

__all__ = ["decode", "to_frames", "decode_to_file", "Packets"]


def decode(path, cells=None, projection=None, details=True, codes=None, input=None):
    """The packets of one capture, in order, each a dict:

    seq, time (seconds since 1970, None for a command response), code, class ("1x" or
    "evdo"), title, details, category, position ((x, y) where the message has a map
    location, else None), kind ("log" or "response"), command (a response's command code,
    else None), fix (the last position fix so far: dict of lat, lon in WGS 84 degrees, x, y
    when projected, age_ms; None before the first), writes (list of (name, op, index,
    value)), error (text of a decoder failure, else None).

    cells: CSV of cell sites (pn,latitude,longitude,sector_id,site_name); projection: EPSG
    code of the map coordinates; codes: the codes to yield (every packet is still decoded,
    since later packets read earlier ones' values); input: None (detected), "log" or "hdlc".
    The iterator's counters and framing_errors tell how the reading went. A file with no
    DIAG record in it raises ValueError, an unreadable one OSError.
    """
    return Packets(_path(path), _path(cells), projection, details, None if codes is None else set(codes), input)


def decode_to_file(path, out, format="sqlite", cells=None, projection=None, details=True, input=None, kpis=None):
    """Decodes one capture into the file out as `cdmadiag decode --format FORMAT -o out`
    does (format text, jsonl, csv or sqlite), and returns its counters and a summary of the
    drive (first_time, last_time, duration_s, distance_km, fixes, codes, and kpis: the
    mean of the index-0 writes of each {column: [attribute names]} of kpis), with written:
    whether out was written.

    The command's output rules hold: an out that is the input or the cell list raises
    ValueError; out is replaced only by a run that decoded packets and did not fail, so an
    empty input leaves the old file as it was (written False) and an unreadable one
    (OSError) or one that is no DIAG log (ValueError) does too. SIGINT and SIGTERM stop
    the decode after the packet at hand, in a decode on the main thread: Python's handler
    then sees the signal (KeyboardInterrupt for SIGINT) and the old file is left as it was.
    """
    return _decode_to_file(_path(path), _path(out), format, _path(cells), projection, details, input, kpis or {})


def to_frames(path, cells=None, projection=None, details=True, codes=None, input=None):
    """(messages, writes) as pandas DataFrames.

    messages: seq, time (datetime64 UTC), code, class, title, details, category, x, y (NaN
    without a position), error. writes: seq, name, op, index, value (float64; NaN for
    SetNoValue and strings; integers past 2**53 rounded, as in any float column), text
    (the SetString values).
    """
    import numpy as np
    import pandas as pd

    c = columns(_path(path), _path(cells), projection, details, None if codes is None else set(codes), input)
    m, w = c["messages"], c["writes"]
    messages = pd.DataFrame(
        {
            "seq": m["seq"],
            "time": _utc_times(m["time"]),
            "code": m["code"],
            "class": pd.Categorical.from_codes(m["class"].astype(np.int8), categories=list(c["classes"])),
            "title": pd.Series(m["title"], dtype=object),
            "details": pd.Series(m["details"], dtype=object),
            "category": m["category"],
            "x": m["x"],
            "y": m["y"],
            "error": pd.Series(m["error"], dtype=object),
        }
    )
    writes = pd.DataFrame(
        {
            "seq": w["seq"],
            "name": pd.Categorical.from_codes(w["name"], categories=c["names"]),
            "op": pd.Categorical.from_codes(w["op"], categories=c["ops"]),
            "index": w["index"],
            "value": w["value"],
            "text": pd.Series(w["text"], dtype=object),
        }
    )
    return messages, writes


def _utc_times(seconds):
    """datetime64[ns, UTC] of seconds since 1970, to the microsecond (packet times are
    multiples of 1.25 ms; through float nanoseconds they would come out a few ns off)."""
    import numpy as np
    import pandas as pd

    ok = np.isfinite(seconds)
    ns = np.full(len(seconds), np.iinfo(np.int64).min, dtype=np.int64)  # NaT
    ns[ok] = np.round(seconds[ok] * 1e6).astype(np.int64) * 1000
    return pd.Series(ns.view("datetime64[ns]")).dt.tz_localize("UTC")


def _path(p):
    """A path as the system names it: bytes, so a name that is not UTF-8 still opens."""
    import os

    return None if p is None else os.fsencode(p)
