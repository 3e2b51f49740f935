"""Decoding of CDMA DIAG logs (1x, EV-DO, MediaFLO) from Python.

decode() yields each packet as a dict, in order; to_frames() gives pandas tables of the
messages and of the attribute writes; seconds() and events() give the per-second table and
the events of the drive; measurements() lists the catalogue of measurements the tables
hold; decode_to_file() writes one capture as the command does and sums the drive up.
cdmadiag.fleet decodes many captures on a Dask cluster.
"""
import importlib.util as _importlib_util
import sys as _sys

# What Debian's interpreter gets from apt and another one (pyenv, a venv) may lack: said
# at import, where a bare traceback would only come at the first table or fleet run.
_DEBIAN_PACKAGES = "python3-pandas python3-dask python3-distributed"


def _require(*modules):
    missing = []
    for name in modules:
        try:
            if _importlib_util.find_spec(name) is None:
                missing.append(name)
        except ImportError:
            missing.append(name)
    if missing:
        raise ImportError(
            f"cdmadiag needs {', '.join(missing)}, which {_sys.executable} cannot import: install Debian's "
            f"packages (sudo apt install {_DEBIAN_PACKAGES}) and run Debian's /usr/bin/python3, for which "
            f"cdmadiag is built", name=missing[0])


_require("numpy", "pandas")
try:
    from ._cdmadiag import Chunks, Packets, __version__, catalogue, columns, table
    from ._cdmadiag import decode_to_file as _decode_to_file
except ImportError as e:
    raise ImportError(f"cdmadiag's extension does not load in {_sys.executable} (Python "
                      f"{_sys.version_info.major}.{_sys.version_info.minor}): it is built for Debian's "
                      f"/usr/bin/python3 ({e})") from e

__all__ = ["decode", "to_frames", "seconds", "events", "measurements", "decode_to_file", "Packets"]


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


def decode_to_file(path, out, format="sqlite", cells=None, projection=None, details=True, input=None):
    """Decodes one capture into the file out as `cdmadiag decode --format FORMAT -o out`
    does (any format of the command), and returns its counters and a summary of the drive
    (first_time, last_time, duration_s, distance_km, devices, codes, and means: each
    catalogue measurement's mean over the per-second table), with written: whether out
    was written.

    The command's output rules hold: an out that is the input or the cell list raises
    ValueError; out is replaced only by a run that decoded packets and did not fail, so an
    empty input leaves the old file as it was (written False) and an unreadable one
    (OSError) or one that is no DIAG log (ValueError) does too. SIGINT and SIGTERM stop
    the decode after the packet at hand, in a decode on the main thread: Python's handler
    then sees the signal (KeyboardInterrupt for SIGINT) and the old file is left as it was.
    """
    return _decode_to_file(_path(path), _path(out), format, _path(cells), projection, details, input)


def to_frames(path, cells=None, projection=None, details=True, codes=None, input=None, chunksize=None):
    """(messages, writes) as pandas DataFrames; with chunksize, an iterator of such pairs of
    at most chunksize packets each, so a capture of any size is never held whole.

    messages: seq, time (datetime64 UTC), time_suspect, code, class, decoded, title,
    details, category, x, y (NaN without a position), error, diagnostic, device. writes: seq, name, op, index, value (float64; NaN for
    SetNoValue and strings; integers past 2**53 rounded, as in any float column), text
    (the SetString values).
    """
    args = (_path(path), _path(cells), projection, details, None if codes is None else set(codes), input)
    if chunksize is not None:
        return (_frames(c) for c in Chunks(*args, size=int(chunksize)))
    return _frames(columns(*args))


def seconds(path, cells=None, projection=None, input=None):
    """The per-second table of a capture as a DataFrame: one row per second of each device
    (device, second, time as datetime64 UTC, time_ms, seq, packet counts, the fix as
    fix_lat/fix_lon/fix_x/fix_y), one column per catalogue measurement (the mean over the
    second; _min and _max beside those charted with a range; lists of PNs as text), and per
    technology the serving sector, site and distance when cells is given."""
    return _table(path, "seconds", cells, projection, input)


def events(path, cells=None, projection=None, input=None):
    """The events of a capture as a DataFrame: device, seq, time (datetime64 UTC), fix,
    technology, kind (active_set, connection_attempt, connection_failure, release,
    access_failure, session_attempt, page, service_option), failure, code, pns_added,
    pns_removed, details."""
    return _table(path, "events", cells, projection, input)


def measurements():
    """The measurement catalogue as a DataFrame: name, unit, technology, meaning, source, list."""
    import pandas as pd

    return pd.DataFrame(catalogue())


def _table(path, kind, cells, projection, input):
    import pandas as pd

    c = table(_path(path), kind, _path(cells), projection, input)
    frame = pd.DataFrame(c["data"])
    for name in c["integers"]:
        frame[name] = frame[name].astype("Int64")
    ms = frame["time_ms"].fillna(_NO_TIME).astype("int64").to_numpy()
    frame.insert(frame.columns.get_loc("time_ms"), "time", _utc_times(ms))
    return frame


_NO_TIME = -(2**63)


def _frames(c):
    import numpy as np
    import pandas as pd

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
    """A path as the system names it: bytes, so a name that is not UTF-8 still opens."""
    import os

    return None if p is None else os.fsencode(p)
