#!/usr/bin/python3
"""Kills the weekly (or monthly) companion transfer at random moments and
counts what each kill leaves behind.

  kill_transfer.py CLI ROOT [RUNS] [week|month]

ROOT must hold sample data (tavrin-cli demo). Before every run the companion
copy (Wquelvo.mdb / Tquelvo.mdb) is set to an older state; the run is killed
(SIGKILL) after a random delay up to the length of a whole run. Afterwards the
file must be either the older state, untouched, or the whole new transfer;
anything else (missing, damaged, half made) is counted as a fault. Files of
the form NAME.part-PID-N left behind are counted, and must be gone after the
next complete run.
"""
import glob
import os
import random
import shutil
import signal
import sqlite3
import subprocess
import sys
import time


def content(path):
    if not os.path.exists(path):
        return None
    try:
        con = sqlite3.connect("file:%s?mode=ro" % path, uri=True)
        if con.execute("pragma integrity_check").fetchone()[0] != "ok":
            return "damaged"
        text = "\n".join(con.iterdump())
        con.close()
        return text
    except sqlite3.DatabaseError:
        return "damaged"


def main(argv):
    cli, root = argv[1], argv[2]
    runs = int(argv[3]) if len(argv) > 3 else 60
    unit = argv[4] if len(argv) > 4 else "week"
    target = os.path.join(root, "Wquelvo.mdb" if unit == "week" else "Tquelvo.mdb")
    command = [cli, "--root", root, "transfer", unit]

    # The whole new transfer, and an older state of the same file.
    t0 = time.monotonic()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    whole_run = time.monotonic() - t0
    new_state = content(target)
    older = target + ".older"
    shutil.copyfile(target, older)
    con = sqlite3.connect(older)
    con.execute("create table older_state (x)")
    con.commit()
    con.close()
    old_state = content(older)

    rng = random.Random(int(argv[5]) if len(argv) > 5 else 1)
    counts = {"old": 0, "new": 0, "missing": 0, "other": 0}
    leftovers = 0
    for _ in range(runs):
        shutil.copyfile(older, target)
        for side in glob.glob(target + "-journal"):
            os.remove(side)
        p = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(rng.uniform(0, whole_run * 1.2))
        try:
            p.send_signal(signal.SIGKILL)
        except ProcessLookupError:
            pass
        p.wait()
        state = content(target)
        if state is None:
            counts["missing"] += 1
        elif state == old_state:
            counts["old"] += 1
        elif state == new_state:
            counts["new"] += 1
        else:
            counts["other"] += 1
        leftovers += len(glob.glob(target + ".part-*"))
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    remaining = len(glob.glob(target + ".part-*"))
    os.remove(older)
    print("%d kills of 'transfer %s' (a whole run takes %.0f ms): old file intact %d, new file whole %d, "
          "missing %d, other %d; part files seen after kills %d, left after the next run %d"
          % (runs, unit, whole_run * 1000, counts["old"], counts["new"], counts["missing"], counts["other"],
             leftovers, remaining))
    return 0 if counts["missing"] == 0 and counts["other"] == 0 and remaining == 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
