"""Decoding of CDMA DIAG logs (1x, EV-DO, MediaFLO) from Python.

decode() yields each packet as a dict, in order; to_frames() gives pandas tables of the
messages and of the attribute writes; decode_to_file() writes one capture as the command
does (text, jsonl, csv or sqlite) and sums the drive up. cdmadiag.fleet decodes many
captures on a Dask cluster.
"""
from ._cdmadiag import Packets, columns, decode_to_file

__all__ = ["decode", "to_frames", "decode_to_file", "Packets"]


def decode(path, cells=None, projection=None, details=True, codes=None, input=None):
    """The packets of one capture, in order, each a dict:

    seq, time (seconds since 1970 as the log header counts them: GPS time, no leap seconds;
    None for a command response), time_ms (the same instant in UTC, whole milliseconds),
    time_suspect (the stamp is 0 or far from the packets around it), code, class ("1x" or
    "evdo"), decoded (False for a code no dispatcher knows), title, details, category,
    position ((x, y) where the message has a map location, else None), kind ("log" or
    "response"), command (a response's command code, else None), file and device (indexes
    from 0), fix (the device's last position fix so far: dict of lat, lon in WGS 84 degrees,
    x, y when projected, age_ms; None before the first), writes (list of (name, op, index,
    value)), error (text of a decoder failure, else None), diagnostic (the failures a
    decoder's guard kept out of the details, else None).

    cells: CSV of cell sites (pn,latitude,longitude,sector_id,site_name); projection: EPSG
    code of the map coordinates; codes: the codes to yield (every packet is still decoded,
    since later packets read earlier ones' values); input: None (detected), "log" or "hdlc".
    The iterator's counters and framing_errors tell how the reading went. A file with no
    DIAG record in it raises ValueError, an unreadable one OSError.
    """
    return Packets(_path(path), _path(cells), projection, details, None if codes is None else set(codes), input)


def to_frames(path, cells=None, projection=None, details=True, codes=None, input=None):
    """(messages, writes) as pandas DataFrames.

    messages: seq, time (datetime64 UTC), time_suspect, code, class, decoded, title,
    details, category, x, y (NaN without a position), error, diagnostic, device. writes: seq, name, op, index, value (float64; NaN for
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
            "time": _utc_times(m["time_ms"]),
            "time_suspect": m["time_suspect"],
            "code": m["code"],
            "class": pd.Categorical.from_codes(m["class"].astype(np.int8), categories=list(c["classes"])),
            "decoded": m["decoded"],
            "title": pd.Series(m["title"], dtype=object),
            "details": pd.Series(m["details"], dtype=object),
            "category": m["category"],
            "x": m["x"],
            "y": m["y"],
            "error": pd.Series(m["error"], dtype=object),
            "diagnostic": pd.Series(m["diagnostic"], dtype=object),
            "device": m["device"],
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


def _utc_times(ms):
    """datetime64[ns, UTC] of UTC milliseconds since 1970 (the int64 minimum: no time)."""
    import numpy as np
    import pandas as pd

    ms = np.asarray(ms, dtype=np.int64)
    none = ms == np.iinfo(np.int64).min
    ns = ms * 1000000
    ns[none] = np.iinfo(np.int64).min  # NaT
    return pd.Series(ns.view("datetime64[ns]")).dt.tz_localize("UTC")


def _path(p):
    import os

    return None if p is None else os.fspath(p)
