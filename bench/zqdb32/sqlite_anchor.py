"""Anchor for zqdb32_bench: SQLite in WAL mode with synchronous=FULL (one
flush per commit), timing one-row updates, one per transaction, in a table
of id -> record bytes shaped like the benchmark's records. Prints
"SQLITE_COMMIT_<objects>_MS <milliseconds of the median commit>"."""
import os
import sqlite3
import time

COMMITS = 300


def record(i):
    name = ("record-%d" % (i * 7919 % 1000003)).encode()
    fields = (i // 10, i, 0)  # parent, number, flag
    return len(name).to_bytes(4, "little") + name + b"".join(f.to_bytes(4, "little") for f in fields)


def measure(count):
    path = "sqlite-anchor.db"
    for leftover in (path, path + "-wal", path + "-shm"):
        if os.path.exists(leftover):
            os.remove(leftover)
    db = sqlite3.connect(path, isolation_level=None)
    db.execute("PRAGMA journal_mode=WAL")
    db.execute("PRAGMA synchronous=FULL")
    db.execute("CREATE TABLE records (id INTEGER PRIMARY KEY, data BLOB)")
    db.execute("BEGIN")
    db.executemany("INSERT INTO records VALUES (?, ?)", ((i + 1, record(i)) for i in range(count)))
    db.execute("COMMIT")
    times = []
    for i in range(COMMITS):
        start = time.perf_counter()
        row = 1 + i * 101 % count
        db.execute("BEGIN")
        db.execute("UPDATE records SET data = ? WHERE id = ?", (record(row + i), row))
        db.execute("COMMIT")
        times.append(time.perf_counter() - start)
    times.sort()
    db.close()
    for leftover in (path, path + "-wal", path + "-shm"):
        if os.path.exists(leftover):
            os.remove(leftover)
    return times[len(times) // 2]


for objects in (1000, 100000):
    print("SQLITE_COMMIT_%d_MS %.4f" % (objects, measure(objects) * 1e3))
