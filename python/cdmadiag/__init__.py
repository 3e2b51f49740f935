"""Decoding of CDMA DIAG logs (1x, EV-DO, MediaFLO) from Python.

decode() yields each packet as a dict, in order; to_frames() gives pandas tables of the
messages and of the attribute writes; decode_to_file() writes one capture as the command
does (text, jsonl, csv or sqlite) and sums the drive up. cdmadiag.fleet decodes many
captures on a Dask cluster.
"""
from ._cdmadiag import Packets, decode_to_file

__all__ = ["decode", "to_frames", "decode_to_file", "Packets"]


def decode(path, cells=None, projection=None, details=True, codes=None, input=None):
    """The packets of one capture, in order, each a dict:

    seq, time (seconds since 1970, None for a command response), code, class ("1x" or
    "evdo"), title, details, category, position ((x, y) where the message has a map
    location, else None), writes (list of (name, op, index, value)), error (text of a
    decoder failure, else None).

    cells: CSV of cell sites (pn,latitude,longitude,sector_id,site_name); projection: EPSG
    code of the map coordinates; codes: the codes to yield (every packet is still decoded,
    since later packets read earlier ones' values); input: None (detected), "log" or "hdlc".
    The iterator's counters and framing_errors tell how the reading went. A file with no
    DIAG record in it raises ValueError, an unreadable one OSError.
    """
    return Packets(_path(path), _path(cells), projection, details, None if codes is None else set(codes), input)


def to_frames(path, cells=None, projection=None, details=True, codes=None, input=None):
    """(messages, writes) as pandas DataFrames.

    messages: seq, time (datetime64 UTC), code, class, title, details, category, x, y (NaN
    without a position), error. writes: seq, name, op, index, value (float64; NaN for
    SetNoValue and strings; integers past 2**53 rounded, as in any float column), text
    (the SetString values).
    """
    import numpy as np
    import pandas as pd

    cols = {k: [] for k in ("seq", "time", "code", "class", "title", "details", "category", "x", "y", "error")}
    wseq, wname, wop, windex, wvalue, wtext = [], [], [], [], [], []
    nan = float("nan")
    for p in decode(path, cells, projection, details, codes, input):
        seq = p["seq"]
        for k in ("seq", "code", "class", "title", "details", "category", "error"):
            cols[k].append(p[k])
        cols["time"].append(nan if p["time"] is None else p["time"])
        pos = p["position"]
        cols["x"].append(nan if pos is None else pos[0])
        cols["y"].append(nan if pos is None else pos[1])
        for name, op, index, value in p["writes"]:
            wseq.append(seq)
            wname.append(name)
            wop.append(op)
            windex.append(index)
            if isinstance(value, str):
                wvalue.append(nan)
                wtext.append(value)
            else:
                wvalue.append(nan if value is None else float(value))
                wtext.append(None)

    messages = pd.DataFrame(
        {
            "seq": np.asarray(cols["seq"], dtype=np.uint32),
            "time": _utc_times(np.asarray(cols["time"], dtype=np.float64)),
            "code": np.asarray(cols["code"], dtype=np.uint32),
            "class": pd.Categorical(cols["class"], categories=["1x", "evdo"]),
            "title": pd.Series(cols["title"], dtype=object),
            "details": pd.Series(cols["details"], dtype=object),
            "category": np.asarray(cols["category"], dtype=np.int32),
            "x": np.asarray(cols["x"], dtype=np.float64),
            "y": np.asarray(cols["y"], dtype=np.float64),
            "error": pd.Series(cols["error"], dtype=object),
        }
    )
    writes = pd.DataFrame(
        {
            "seq": np.asarray(wseq, dtype=np.uint32),
            "name": pd.Categorical(wname),
            "op": pd.Categorical(wop),
            "index": np.asarray(windex, dtype=np.uint32),
            "value": np.asarray(wvalue, dtype=np.float64),
            "text": pd.Series(wtext, dtype=object),
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
    import os

    return None if p is None else os.fspath(p)
