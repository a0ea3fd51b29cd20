#!/usr/bin/env python3
"""The plain way to load per-stock history files into SQLite, for comparison:
pandas read_csv per file, then one executemany per file, in one transaction.

pandas_history_import.py DB FILE...   (prints the seconds it took)"""
import sqlite3
import sys
import time

import pandas as pd


def main():
    db, files = sys.argv[1], sys.argv[2:]
    start = time.perf_counter()
    con = sqlite3.connect(db)
    con.execute("create table if not exists prices (code text, day text, open real, high real, low real,"
                " close real, volume integer, primary key (code, day)) without rowid")
    with con:
        for f in files:
            frame = pd.read_csv(f, header=[0, 1], index_col=0, skiprows=[2])
            ticker = frame.columns[0][1]
            code = ticker.split(".")[0]
            cols = {name: frame[(name, ticker)] for name in ("Open", "High", "Low", "Close", "Volume")}
            rows = zip([code] * len(frame), frame.index, cols["Open"], cols["High"], cols["Low"], cols["Close"],
                       cols["Volume"].astype("int64"))
            con.executemany("insert or replace into prices values (?, ?, ?, ?, ?, ?, ?)", rows)
    con.close()
    print(f"{time.perf_counter() - start:.2f}")


if __name__ == "__main__":
    main()
