#!/usr/bin/python3
"""Writes history files as their writers write them, for the history-layout tests.

    history_files.py DIR

pandas writes the downloader's frames (a two-level column index through
DataFrame.to_csv), the one-level export layout and the per-day files in code
page 932; Python's csv module writes the bulk-download layout and the small
files of refused lines; openpyxl and zipfile write files of other kinds.
"""
import csv
import os
import random
import sys
import zipfile

import numpy as np
import openpyxl
import pandas as pd

PRICES = ["Adj Close", "Close", "High", "Low", "Open", "Volume"]


def frame(rows, tickers, prices=PRICES, index_name="Date"):
    """A frame as the downloader keeps it: columns (price, ticker), one row a day."""
    columns = pd.MultiIndex.from_tuples([(p, t) for p in prices for t in tickers], names=["Price", "Ticker"])
    index = pd.DatetimeIndex([r[0] for r in rows], name=index_name)
    return pd.DataFrame([r[1:] for r in rows], index=index, columns=columns)


def downloader(d):
    nan = np.nan
    # 280.7 as a float32 price widened to a double.
    f32 = float(np.float32(280.7))
    rows = [
        ("2024-12-19", 2700.0, 2771.5, 2807.5, 2735.5, 2748.5, 51442500),
        ("2024-12-20", f32, f32, 281.5, 279.0, 280.0, nan),
        ("2024-12-23", nan, nan, nan, nan, nan, nan),
        ("2024-12-24", 2790.0, 2800.0, 2810.0, 2790.0, 2795.0, 0),
    ]
    frame(rows, ["7203.T"]).to_csv(os.path.join(d, "downloader.csv"))
    # Without Close: the adjusted closes are all there is.
    no_close = [p for p in PRICES if p != "Close"]
    frame([(r[0], r[1], *r[3:]) for r in rows], ["7203.T"], no_close).to_csv(os.path.join(d, "adjusted.csv"))
    frame(rows[:1], ["130A.T"]).to_csv(os.path.join(d, "letters.csv"))

    # Two tickers as the downloader groups them (by price name), the second
    # listed from the second day on; and the same grouped by ticker.
    prices = ["Close", "Open", "Volume"]
    two = frame([("2024-12-19", 2771.5, nan, 2748.5, nan, 51442500, nan),
                 ("2024-12-20", 2780.0, 3100.0, 2770.0, 3050.0, 40000000, 1200)], ["7203.T", "6758.T"], prices)
    two.to_csv(os.path.join(d, "two.csv"))
    two.swaplevel(axis=1).sort_index(axis=1, level=0, sort_remaining=False).to_csv(os.path.join(d, "by-ticker.csv"))
    # A time zone's datetime index without a name: no Date row, times after the dates.
    tz = frame([("2024-12-19 09:00", 2700.0, 2771.5, 2807.5, 2735.5, 2748.5, 100)], ["7203.T"])
    tz.index = tz.index.tz_localize("Asia/Tokyo")
    tz.index.name = None
    tz.to_csv(os.path.join(d, "tz.csv"))


def one_level(d):
    days = pd.DatetimeIndex(["2024-01-04", "2024-01-05"], name="Date")
    pd.DataFrame({"Open": [2500.0, 2510.0], "High": [2550.0, 2560.0], "Low": [2490.0, 2500.0],
                  "Close": [2530.0, 2540.5], "Adj Close": [2400.0, 2410.0], "Volume": [1000000, 900000]},
                 index=days).to_csv(os.path.join(d, "7203.T.csv"))
    # Tab separated, the columns in another order, dates as YYYYMMDD.
    with open(os.path.join(d, "6758.txt"), "w", newline="") as f:
        w = csv.writer(f, delimiter="\t")
        w.writerow(["Volume", "Close", "Date"])
        w.writerow(["1200", "3050", "20240104"])


def stooq(d):
    with open(os.path.join(d, "stooq.txt"), "w", newline="") as f:
        w = csv.writer(f)
        w.writerow(["<TICKER>", "<PER>", "<DATE>", "<TIME>", "<OPEN>", "<HIGH>", "<LOW>", "<CLOSE>", "<VOL>",
                    "<OPENINT>"])
        w.writerow(["7203.JP", "D", "20240104", "000000", "2500", "2550", "2490", "2530", "1000000", "0"])
        w.writerow(["7203.JP", "D", "20240105", "000000", "2530", "2560", "2500", "2540.5", "900000", "0"])
        w.writerow(["130A.JP", "D", "20240105", "000000", "812", "813", "811", "812.5", "100", "0"])


def per_day(d):
    pd.DataFrame({"日付": ["2024/1/4", "2024/1/4", "2024/1/4", "2024/1/4"],
                  "コード": ["7203", "130A", "6758", "9984"],
                  "銘柄名": ["トヨタ自動車", "ＡＢＣ", "ソニーグループ", "ソフトバンクＧ"],
                  "始値": ["2,500", "812", "3,000", ""], "高値": ["2,550", "813", "3,100", ""],
                  "安値": ["2,490", "811", "2,990", ""], "終値": ["2,530", "812.5", "１２３４", "-"],
                  "出来高": ["1,000,000", "100", "", ""]}).to_csv(os.path.join(d, "perday.csv"), index=False,
                                                              encoding="cp932")
    # Code, date and a close under other header words, UTF-8 with a byte order mark.
    pd.DataFrame({"銘柄コード": ["7203"], "日時": ["2024-01-04 15:00"], "株価": [2530]}).to_csv(
        os.path.join(d, "perday-short.csv"), index=False, encoding="utf-8-sig")


def export_file(path, rows):
    with open(path, "w", newline="") as f:
        w = csv.writer(f)
        w.writerow(["Date", "Open", "High", "Low", "Close", "Volume"])
        w.writerow(["2024-01-04", "2500", "2550", "2490", "2530", "1000"])
        for r in rows:
            w.writerow(r)


def refused(d):
    """7203.<case>.csv: a good line, then the line of the case (line 3)."""
    cases = {
        "close-negative": ["2024-01-05", "", "", "", "-1", ""],
        "close-zero": ["2024-01-05", "", "", "", "0", ""],
        "close-tiny": ["2024-01-05", "", "", "", "1e-300", ""],
        "close-word": ["2024-01-05", "", "", "", "abc", ""],
        "open-zero": ["2024-01-05", "0", "", "", "2530", ""],
        "high-negative": ["2024-01-05", "", "-2550", "", "2530", ""],
        "low-word": ["2024-01-05", "", "", "x", "2530", ""],
        "volume-negative": ["2024-01-05", "", "", "", "2530", "-5"],
        "volume-fraction": ["2024-01-05", "", "", "", "2530", "1.5"],
        "volume-word": ["2024-01-05", "", "", "", "2530", "many"],
        "date-9999": ["9999-12-31", "", "", "", "2530", ""],
        "date-1900": ["1900-01-01", "", "", "", "2530", ""],
        "date-1949-05-15": ["1949-05-15", "", "", "", "2530", ""],
        "date-after-latest": ["2030-06-12", "", "", "", "2530", ""],
        "date-month-13": ["2024-13-01", "", "", "", "2530", ""],
        "date-feb-30": ["20240230", "", "", "", "2530", ""],
        "date-trailing": ["2024/1/4x", "", "", "", "2530", ""],
        "date-mixed-separators": ["2024-1/4", "", "", "", "2530", ""],
        "date-empty": ["", "", "", "", "2530", ""],
        "too-few-fields": ["2024-01-05", "2530"],
    }
    for name, row in cases.items():
        export_file(os.path.join(d, "7203." + name + ".csv"), [row])
    accepted = {
        "date-1949-05-16": ["1949-05-16", "", "", "", "2530", ""],
        "date-latest": ["2030-06-11", "", "", "", "2530", ""],
        "no-prices": ["2024-01-05", "-", "-", "-", "-", "-"],
        "volume-exponent": ["2024-01-05", "", "", "", "2530", "5.14425e7"],
        "blank-rows": ["", "", "", "", "", ""],
    }
    for name, row in accepted.items():
        export_file(os.path.join(d, "7203." + name + ".csv"), [row])


def differential(d):
    """Closes and dates of many forms, to compare with the reference readers."""
    rng = random.Random(7203)
    with open(os.path.join(d, "7203.prices.csv"), "w", newline="") as f:
        w = csv.writer(f)
        w.writerow(["Date", "Close"])
        for k in range(4000):
            whole = str(rng.randint(1, 10 ** rng.randint(1, 8)))
            form = rng.randint(0, 5)
            if form == 0:
                text = whole
            elif form == 1:  # a tie or near tie on the hundredths
                text = whole + "." + str(rng.randint(0, 9)) + "5" + rng.choice(["", "0", "00001", "000"])
            elif form == 2:  # a double's digits
                text = repr(float(np.float32(rng.uniform(1, 100000))))
            elif form == 3:
                text = whole + "." + "".join(str(rng.randint(0, 9)) for _ in range(rng.randint(0, 20)))
            elif form == 4:
                text = "%.3e" % rng.uniform(1, 1e6)
            else:
                text = "0" + whole + "." + str(rng.randint(0, 99))
            w.writerow(["2024-01-04", text])
    forms = ["2024-12-20", "20241220", "2024/1/4", "2024/01/04 15:00", "2024-12-20T00:00:00",
             "2024-12-20 00:00:00+09:00", "24-01-04", "24/1/4", "2024.1.4", "1949-05-16", "2000-02-29"]
    with open(os.path.join(d, "7203.dates.csv"), "w", newline="") as f:
        w = csv.writer(f)
        w.writerow(["Date", "Close"])
        for text in forms:
            w.writerow([text, "100"])


def other_kinds(d):
    open(os.path.join(d, "empty.csv"), "w").close()
    with open(os.path.join(d, "blank.csv"), "w") as f:
        f.write("\n   \n\t\n\n")
    book = openpyxl.Workbook()
    book.active.append(["Date", "Close"])
    book.active.append(["2024-01-04", 2530])
    book.save(os.path.join(d, "book.xlsx"))
    with zipfile.ZipFile(os.path.join(d, "archive.zip"), "w") as z:
        z.writestr("7203.csv", "Date,Close\n2024-01-04,2530\n")
    with open(os.path.join(d, "list.csv"), "w", newline="", encoding="cp932") as f:
        w = csv.writer(f)
        w.writerow(["コード", "銘柄名", "市場・商品区分", "33業種区分", "備考" * 20])
        w.writerow(["7203", "トヨタ自動車", "プライム（内国株式）", "輸送用機器", ""])
    with open(os.path.join(d, "big.csv"), "wb") as f:
        f.truncate((512 << 20) + 1)  # sparse: larger than any history file, no blocks written


def main():
    d = sys.argv[1]
    os.makedirs(d, exist_ok=True)
    for write in [downloader, one_level, stooq, per_day, refused, differential, other_kinds]:
        write(d)
    return 0


if __name__ == "__main__":
    sys.exit(main())
