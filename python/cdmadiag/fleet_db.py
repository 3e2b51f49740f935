"""A fleet of captures loaded into one PostgreSQL database with PostGIS.

    python3 -m cdmadiag.fleet DIR --db postgresql://... [--with-writes] [--out OUTDIR] [...]

Each log is decoded once, on a Dask worker, and loaded in one transaction: a row per
device in `drives` (path, size, content hash, span, distance, counts, each catalogue
number's mean, the route as a LineString), its per-second rows in `seconds` and its events
in `events` (the columns of the one definition the SQLite file and Python use, a `drive`
key and a point `geom`), and with writes its messages and attribute writes. A log loaded
before with the same path, content hash and options is skipped; one whose content changed
replaces the rows of its path; --force replaces them anyway. Loads of one path take turns
(a transaction-level advisory lock on it), so runs and workers at the same time never
duplicate or interleave a drive. A log that fails leaves no rows and is listed in
`failures` with its error until a load of its path succeeds.

The schema is created on first use (every geometry in SRID 4326, with GiST indexes) and its
version kept in `schema_version`; a measurement added to the catalogue since becomes a new
column. psycopg (Debian's python3-psycopg) is imported only here.
"""
import hashlib
import json
import os
import re
import stat
import threading
import time

from . import _cdmadiag

SCHEMA_VERSION = 1
# pg_advisory_xact_lock key of the schema's creation; each path takes one of its own.
_SCHEMA_LOCK = 0x63646D6164696167  # "cdmadiag"

# Counters a drive keeps per device, from the module's summary.
_COUNTS = ["packets", "packets_1x", "packets_evdo", "responses", "unknown_codes", "not_decoded", "decoder_errors",
           "decode_failures", "time_suspect"]


class DatabaseError(RuntimeError):
    """The database cannot be used (connection, PostGIS, schema): nothing was written."""


def _number_measurements():
    return [m["name"] for m in _cdmadiag.catalogue() if not m["list"]]


def masked(db):
    """A connection string with its password hidden, for messages."""
    db = re.sub(r"(://[^:/@?#]*:)[^@/?#]*@", r"\1***@", db)
    return re.sub(r"(password\s*=\s*)('(?:[^'\\]|\\.)*'|\S+)", r"\1***", db)


def connect(db):
    """A connection in autocommit mode (transactions are explicit), or DatabaseError."""
    try:
        import psycopg
    except ImportError as e:
        raise DatabaseError(f"--db needs psycopg (Debian: apt-get install python3-psycopg): {e}") from None
    try:
        return psycopg.connect(db, autocommit=True, connect_timeout=20, application_name="cdmadiag.fleet")
    except psycopg.Error as e:
        raise DatabaseError(f"cannot connect to the database {masked(db)}: {_first_line(e)}") from None


def _first_line(e):
    text = str(e).strip()
    return text.splitlines()[0] if text else type(e).__name__


def _ident(name):
    from psycopg import sql

    return sql.Identifier(name)


def _table_sql(kind, extra_before, extra_after):
    """CREATE TABLE of seconds, events, messages or writes: the module's columns between
    the key columns and the geometry."""
    from psycopg import sql

    cols = [sql.SQL(c) for c in extra_before]
    cols += [sql.SQL("{} {}").format(_ident(name), sql.SQL(kind_type)) for name, kind_type in _cdmadiag.sql_columns(kind)]
    cols += [sql.SQL(c) for c in extra_after]
    return sql.SQL("CREATE TABLE {} ({})").format(_ident(kind), sql.SQL(", ").join(cols))


# A point of the row's fix, kept with it by the database itself.
_POINT = ("geom geometry(Point, 4326) GENERATED ALWAYS AS "
          "(ST_SetSRID(ST_MakePoint(fix_lon, fix_lat), 4326)) STORED")
_DRIVE = "drive bigint NOT NULL REFERENCES drives(id) ON DELETE CASCADE"

_DRIVES = """
CREATE TABLE drives (
  id bigserial PRIMARY KEY,
  file text NOT NULL,          -- the log's path; a byte that is not UTF-8 reads as U+FFFD
  file_bytes bytea NOT NULL,   -- the path as the system names it
  size bigint NOT NULL,
  hash text NOT NULL,          -- SHA-256 of the content, hex
  device integer NOT NULL,
  devices integer NOT NULL,
  start_time timestamptz,
  end_time timestamptz,
  duration_s double precision,
  distance_km double precision,
  packets bigint, packets_1x bigint, packets_evdo bigint, responses bigint, unknown_codes bigint,
  not_decoded bigint, decoder_errors bigint, decode_failures bigint, time_suspect bigint,
  framing_errors bigint,       -- of the whole log
  codes integer,
  seconds integer,
  events integer,
  options jsonb NOT NULL,
  tool_version text,
  loaded_at timestamptz NOT NULL DEFAULT now(),
  route geometry(LineString, 4326),
  UNIQUE (file_bytes, hash, device)
)"""

_REST = [
    "CREATE INDEX drives_route ON drives USING gist (route)",
    "CREATE INDEX drives_start ON drives (start_time)",
    "CREATE INDEX seconds_geom ON seconds USING gist (geom)",
    "CREATE INDEX events_drive ON events (drive)",
    "CREATE INDEX events_geom ON events USING gist (geom)",
    "CREATE INDEX messages_geom ON messages USING gist (geom)",
    "CREATE INDEX writes_attr ON writes (attr)",
    """CREATE FUNCTION cdmadiag_drop_writes() RETURNS trigger LANGUAGE plpgsql AS
  'BEGIN DELETE FROM writes WHERE drive IN (SELECT id FROM gone); RETURN NULL; END'""",
    """CREATE TRIGGER drives_take_writes AFTER DELETE ON drives REFERENCING OLD TABLE AS gone
  FOR EACH STATEMENT EXECUTE FUNCTION cdmadiag_drop_writes()""",
    """CREATE TABLE failures (
  file text NOT NULL, file_bytes bytea PRIMARY KEY, size bigint, hash text, error text NOT NULL,
  failed_at timestamptz NOT NULL DEFAULT now())""",
    """CREATE VIEW measurements AS
  SELECT w.drive, w.seq, m.time_iso, m.code, a.name, w.idx, w.value, w.text, a.unit, m.fix_lat, m.fix_lon, m.geom
    FROM writes w JOIN attributes a ON a.id = w.attr JOIN messages m ON m.drive = w.drive AND m.seq = w.seq""",
]

_TABLES = ["schema_version", "drives", "seconds", "events", "attributes", "messages", "writes", "failures"]


def _expected_columns():
    """Columns the catalogue decides, by table: name -> type."""
    means = {f"{m}_mean": "double precision" for m in _number_measurements()}
    return {"drives": means, "seconds": dict(_cdmadiag.sql_columns("seconds")),
            "events": dict(_cdmadiag.sql_columns("events"))}


def _create(cur):
    from psycopg import sql

    cur.execute("CREATE TABLE schema_version (version integer NOT NULL, tool_version text,"
                " created timestamptz NOT NULL DEFAULT now())")
    cur.execute("INSERT INTO schema_version (version, tool_version) VALUES (%s, %s)",
                (SCHEMA_VERSION, _tool_version()))
    cur.execute(_DRIVES)
    for name in _expected_columns()["drives"]:
        cur.execute(sql.SQL("ALTER TABLE drives ADD COLUMN {} double precision").format(_ident(name)))
    cur.execute(_table_sql("seconds", [_DRIVE], [_POINT, "PRIMARY KEY (drive, second)"]))
    cur.execute(_table_sql("events", ["id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY", _DRIVE], [_POINT]))
    cur.execute("CREATE TABLE attributes (id serial PRIMARY KEY, name text NOT NULL UNIQUE, unit text, meaning text,"
                " ops text, idx text)")
    cur.execute(_table_sql("messages", [_DRIVE], [_POINT, "PRIMARY KEY (drive, seq)"]))
    # No foreign key: checking one per write would take longer than the rest of the load.
    # A statement-level trigger takes a drive's writes with it instead.
    cur.execute(_table_sql("writes", ["drive bigint NOT NULL"], ["PRIMARY KEY (drive, seq, n)"]))
    for statement in _REST:
        cur.execute(statement)


def _catch_up(cur):
    """Adds the columns of measurements the catalogue gained since the schema was made."""
    from psycopg import sql

    for table, columns in _expected_columns().items():
        cur.execute("SELECT a.attname, format_type(a.atttypid, a.atttypmod) FROM pg_attribute a"
                    " WHERE a.attrelid = to_regclass(%s) AND a.attnum > 0 AND NOT a.attisdropped", (table,))
        have = dict(cur.fetchall())
        for name, kind in columns.items():
            if name not in have:
                cur.execute(sql.SQL("ALTER TABLE {} ADD COLUMN {} {}").format(_ident(table), _ident(name), sql.SQL(kind)))
            elif have[name] != ("timestamp with time zone" if kind == "timestamptz" else kind):
                raise DatabaseError(f"column {table}.{name} is {have[name]}, not {kind}: the database was made by "
                                    "another version of cdmadiag; load into a new database")


def _tool_version():
    return _cdmadiag.version()


def prepare(db, with_writes=False):
    """Connects, checks PostGIS, creates the schema on first use or brings it up to date;
    returns the connection. Raises DatabaseError, having written nothing, when the
    database cannot take the fleet."""
    conn = connect(db)
    try:
        cur = conn.cursor()
        cur.execute("SELECT extversion FROM pg_extension WHERE extname = 'postgis'")
        if cur.fetchone() is None:
            cur.execute("SELECT count(*) FROM pg_available_extensions WHERE name = 'postgis'")
            where = "" if cur.fetchone()[0] else (
                "; its server lacks PostGIS too: install it there first (Debian: postgresql-15-postgis-3)")
            raise DatabaseError(f"the database {masked(db)} has no PostGIS: run CREATE EXTENSION postgis; in it as a "
                                f"superuser (or the database's owner){where}")
        with conn.transaction():
            cur.execute("SELECT pg_advisory_xact_lock(%s)", (_SCHEMA_LOCK,))
            cur.execute("SELECT to_regclass('schema_version') IS NOT NULL")
            if cur.fetchone()[0]:
                cur.execute("SELECT max(version) FROM schema_version")
                version = cur.fetchone()[0]
                if version is None or version > SCHEMA_VERSION:
                    raise DatabaseError(f"the database's schema_version is {version}; this cdmadiag knows version "
                                        f"{SCHEMA_VERSION} (load into a new database, or use a newer cdmadiag)")
                # (A later version changes an older schema here, step by step.)
                _catch_up(cur)
            else:
                cur.execute("SELECT c.relname FROM pg_class c WHERE c.relname = ANY(%s)"
                            " AND c.relnamespace = current_schema()::regnamespace", (_TABLES,))
                clash = sorted(r[0] for r in cur.fetchall())
                if clash:
                    raise DatabaseError(f"the database already has {', '.join(clash)}, not made by cdmadiag: load into "
                                        "another database, or another schema (options=-csearch_path=NAME,public)")
                _create(cur)
            if with_writes:
                cur.executemany(
                    "INSERT INTO attributes (name, unit, meaning, ops, idx) VALUES (%(name)s, %(unit)s, %(meaning)s,"
                    " %(ops)s, %(idx)s) ON CONFLICT (name) DO UPDATE SET unit = EXCLUDED.unit,"
                    " meaning = EXCLUDED.meaning, ops = EXCLUDED.ops, idx = EXCLUDED.idx",
                    _cdmadiag.attributes())
    except DatabaseError:
        conn.close()
        raise
    except Exception as e:
        conn.close()
        raise DatabaseError(f"cannot set up the schema in {masked(db)}: {_first_line(e)}") from None
    return conn


def forget_failures(conn, root, present):
    """Takes out of failures the paths under root (bytes) that are no longer there."""
    prefix = root.rstrip(b"/") + b"/"
    conn.execute("DELETE FROM failures WHERE substring(file_bytes FROM 1 FOR %s) = %s AND NOT file_bytes = ANY(%s)",
                 (len(prefix), prefix, list(present)))


def record_failures(conn, failures):
    """Lists (path bytes, size, hash, error) in failures, each replacing its path's earlier row."""
    if not failures:
        return
    with conn.transaction():
        cur = conn.cursor()
        for path, size, digest, error in failures:
            cur.execute("SELECT pg_advisory_xact_lock(%s)", (_path_key(path),))
            cur.execute("INSERT INTO failures (file, file_bytes, size, hash, error) VALUES (%s, %s, %s, %s, %s)"
                        " ON CONFLICT (file_bytes) DO UPDATE SET file = EXCLUDED.file, size = EXCLUDED.size,"
                        " hash = EXCLUDED.hash, error = EXCLUDED.error, failed_at = now()",
                        (_text(path), path, size, digest, error))


def _text(path):
    return path.decode("utf-8", errors="replace")


def _path_key(path):
    return int.from_bytes(hashlib.sha256(b"cdmadiag path\0" + path).digest()[:8], "big", signed=True)


_local = threading.local()


def _connection(db):
    """This thread's connection to db, kept from task to task (a broken one is replaced)."""
    conns = getattr(_local, "conns", None)
    if conns is None:
        conns = _local.conns = {}
    conn = conns.get(db)
    if conn is None or conn.closed or conn.broken:
        conn = conns[db] = connect(db)
    return conn


def _fingerprint(path):
    """(size, mtime_ns, SHA-256) of a regular file. Opened without waiting, so a FIFO put in
    the file's place is refused rather than waited on."""
    fd = os.open(path, os.O_RDONLY | os.O_NONBLOCK | os.O_CLOEXEC)
    try:
        st = os.fstat(fd)
        if not stat.S_ISREG(st.st_mode):
            raise ValueError(f"{os.fsdecode(path)}: not a regular file; not read")
        digest = hashlib.sha256()
        with os.fdopen(os.dup(fd), "rb") as f:
            for block in iter(lambda: f.read(1 << 20), b""):
                digest.update(block)
        return st.st_size, st.st_mtime_ns, digest.hexdigest()
    finally:
        os.close(fd)


_COPY_ROWS = 100000  # rows formatted at a time: a drive's writes never stand whole as text

_SUMMED = ["packets", "decoder_errors", "decode_failures", "not_decoded", "unknown_codes", "distance_km"]


def _loaded(cur, path, digest, options):
    """The summary of a log loaded before with this content and these options, else None."""
    from . import fleet

    means = ", ".join(f"sum({k}_mean * seconds) / nullif(sum(seconds) FILTER (WHERE {k}_mean IS NOT NULL), 0)"
                      for k in fleet.KPIS)
    cur.execute(f"SELECT bool_and(options = %s::jsonb), {', '.join(f'sum({c})' for c in _SUMMED)}, max(codes),"
                " max(framing_errors), extract(epoch FROM min(start_time)), extract(epoch FROM max(end_time)),"
                f" {means} FROM drives WHERE file_bytes = %s AND hash = %s", (json.dumps(options), path, digest))
    r = cur.fetchone()
    if not r[0]:
        return None
    row = dict(zip(_SUMMED + ["codes", "framing_errors", "first_time", "last_time"] + fleet.KPIS, r[1:]))
    row = {k: float(v) if k in ("first_time", "last_time") and v is not None else v for k, v in row.items()}
    row["duration_s"] = row["last_time"] - row["first_time"] if row["first_time"] is not None else 0.0
    row["errors"] = row["framing_errors"] + row["decoder_errors"]
    return row


def _store(conn, job, tables, summary, size, digest):
    """Loads one decoded log in one transaction; False when a load at the same time had
    already loaded this content (nothing done)."""
    from psycopg import sql

    path, options = job["path"], job["options"]
    with conn.transaction():
        cur = conn.cursor()
        cur.execute("SELECT pg_advisory_xact_lock(%s)", (_path_key(path),))
        if not job["force"] and _loaded(cur, path, digest, options) is not None:
            return False
        # The path names this content now: its earlier loads go, their rows with them.
        cur.execute("DELETE FROM drives WHERE file_bytes = %s", (path,))
        names = ["file", "file_bytes", "size", "hash", "device", "devices", "start_time", "end_time", "duration_s",
                 "distance_km", *_COUNTS, "framing_errors", "codes", "seconds", "events", "options", "tool_version"]
        means = [f"{m}_mean" for m in _number_measurements()]
        times = {"start_time", "end_time"}
        insert = sql.SQL("INSERT INTO drives ({}) VALUES ({}) RETURNING id").format(
            sql.SQL(", ").join(_ident(n) for n in names + means),
            sql.SQL(", ").join(sql.SQL("to_timestamp(%s)") if n in times else sql.Placeholder() for n in names + means))
        drives = []
        for d in summary["devices"]:
            values = [_text(path), path, size, digest, d["device"], len(summary["devices"]), d["first_time"],
                      d["last_time"], d["duration_s"], d["distance_km"], *(d[c] for c in _COUNTS),
                      summary["framing_errors"], d["codes"], d["seconds"], d["events"], json.dumps(options),
                      _tool_version()]
            cur.execute(insert, values + [d["means"].get(m) for m in _number_measurements()])
            drives.append(cur.fetchone()[0])
        kinds = ["seconds", "events"]
        attributes = None
        if job["with_writes"]:
            kinds += ["messages", "writes"]
            wanted = sorted(set(tables.attribute_names))  # one order: loads adding names at once never deadlock
            cur.execute("INSERT INTO attributes (name) SELECT unnest(%s::text[]) ON CONFLICT (name) DO NOTHING",
                        (wanted,))
            cur.execute("SELECT name, id FROM attributes WHERE name = ANY(%s)", (wanted,))
            ids = dict(cur.fetchall())
            attributes = [ids[n] for n in tables.attribute_names]
        for kind in kinds:
            columns = ["drive"] + [name for name, _ in _cdmadiag.sql_columns(kind)]
            with cur.copy(sql.SQL("COPY {} ({}) FROM STDIN").format(
                    _ident(kind), sql.SQL(", ").join(_ident(c) for c in columns))) as copy:
                first = 0
                while data := tables.copy(kind, drives, attributes, first, _COPY_ROWS):
                    copy.write(data)
                    first += _COPY_ROWS
        cur.execute("UPDATE drives d SET route = r.line FROM (SELECT drive, ST_MakeLine(geom ORDER BY second) AS line"
                    " FROM seconds WHERE drive = ANY(%s) AND geom IS NOT NULL GROUP BY drive HAVING count(*) > 1) r"
                    " WHERE d.id = r.drive", (drives,))
        cur.execute("DELETE FROM failures WHERE file_bytes = %s", (path,))
    return True


def load_one(job):
    """One log, on a worker: decoded once, loaded in one transaction; its summary row.
    Never raises for a bad input or a failed load: the row says what went wrong."""
    from . import fleet

    row = dict.fromkeys(fleet.DB_COLUMNS)
    row.update(file=job["file"], status="ok", error="", skipped=False, output="", size=job["size"])
    start = time.perf_counter()
    path = job["path"]
    conn = size = digest = None
    try:
        conn = _connection(job["db"])
        size, mtime_ns, digest = _fingerprint(path)
        row.update(size=size, hash=digest)
        out = os.path.join(job["outdir"], job["output"]) if job["outdir"] else None
        done = None if job["force"] else _loaded(conn.cursor(), path, digest, job["options"])
        if done is not None and (out is None or os.path.isfile(out)):
            row.update(done, skipped=True, output=job["output"] if out else "")
        else:
            if out:
                os.makedirs(os.path.dirname(out), exist_ok=True)
            o = job["options"]
            tables = _cdmadiag.DriveTables(path, out=None if out is None else os.fsencode(out), format=job["format"],
                                           cells=None if o["cells"] is None else os.fsencode(o["cells"]),
                                           projection=o["projection"], details=o.get("details", False),
                                           messages=job["with_writes"])
            s = tables.summary
            if s["packets"] == 0:
                raise ValueError(f"{job['file']}: no packet in it; nothing loaded")
            st = os.stat(path)
            if (st.st_size, st.st_mtime_ns) != (size, mtime_ns):
                raise ValueError(f"{job['file']}: changed while it was read; nothing loaded (run again)")
            loaded = _store(conn, job, tables, s, size, digest)
            row.update({k: s[k] for k in ("packets", "duration_s", "distance_km", "codes", "framing_errors",
                                          "decoder_errors", "decode_failures", "not_decoded", "unknown_codes",
                                          "first_time", "last_time")})
            row["errors"] = s["framing_errors"] + s["decoder_errors"]
            row.update({k: s["means"].get(k) for k in fleet.KPIS})
            row.update(skipped=not loaded, output=job["output"] if out else "")
        row["duration_s"] = round(row["duration_s"], 6)
    except Exception as e:  # a failed log is a row of the summary and of failures, not the end of the run
        row.update(status="failed", output="", error=_error_text(job["file"], e))
        if conn is not None and not conn.closed:
            try:
                record_failures(conn, [(path, size, digest, row["error"])])
            except Exception:  # the database itself failed: the summary still lists it
                pass
    row["decode_s"] = time.perf_counter() - start
    return row


def _error_text(file, e):
    if isinstance(e, OSError) and e.filename is not None and e.strerror:
        return f"{file}: {e.strerror}"  # the path as given, not the bytes' repr
    if isinstance(e, (OSError, ValueError, DatabaseError)):
        return str(e)
    try:
        import psycopg

        if isinstance(e, psycopg.Error):
            return f"database: {_first_line(e)}"
    except ImportError:
        pass
    return repr(e)
