#!/usr/bin/python3
"""A stand-in for the J-Quants API v2 on the loopback address, for the tests.

    jquants_standin.py [--port 0] [--key test-key] [--refuse] [--delay SECONDS] [--log FILE] [--page-size N]
    jquants_standin.py --write-days DIR

The second form writes the same market as per-day CSV files (日付, コード,
始値, 高値, 安値, 終値, 出来高; UTF-8), one a trading day, and exits.

Prints "PORT PID" on its first line, then serves until killed. Every request
must carry the header x-api-key with the key (else 401 with a message);
--refuse answers 403 to everything (a plan that does not cover the request).
Answers are paged (--page-size rows a page, 2 by default) through
pagination_key; the first request for the bars of 2024-12-02 is answered 429
with Retry-After: 0. --delay waits before each answer; --log appends one line
per request (the path and query; never the key).

The market: business days from 2024-11-01 to 2024-12-27, 2024-11-04 a holiday
(no rows); 7203 (プライム) closes 2500.5 + 10 a day; 6758 (プライム) 3000 + 20 a
day until a 1:2 split on 2024-12-16 (AdjFactor 0.5 that day, prices halved
from it); 130A (グロース) 480 + 1.5 a day; 1301 (スタンダード) 3500, without a
trade on 2024-12-10 (null prices); 1306 an ETF (Mkt 0109); 9432 (プライム) 150.3
+ 0.1 a day.
"""
import argparse
import datetime
import json
import os
import sys
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlparse

HOLIDAYS = {datetime.date(2024, 11, 4)}
FIRST, LAST = datetime.date(2024, 11, 1), datetime.date(2024, 12, 27)
SPLIT = datetime.date(2024, 12, 16)

MASTER = [
    ("72030", "トヨタ自動車", "TOYOTA MOTOR", "0111", "プライム"),
    ("67580", "ソニーグループ", "SONY GROUP", "0111", "プライム"),
    ("130A0", "Veritas In Silico", "Veritas In Silico", "0113", "グロース"),
    ("13010", "極洋", "KYOKUYO", "0112", "スタンダード"),
    ("13060", "ＮＥＸＴ　ＦＵＮＤＳ　ＴＯＰＩＸ連動型上場投信", "NEXT FUNDS TOPIX", "0109", "その他"),
    ("94320", "日本電信電話", "NTT", "0111", "プライム"),
]


def trading_days():
    d, out = FIRST, []
    while d <= LAST:
        if d.weekday() < 5 and d not in HOLIDAYS:
            out.append(d)
        d += datetime.timedelta(days=1)
    return out


DAYS = trading_days()


def bar(code, day, k):
    """O, H, L, C, Vo, AdjFactor of a stock's k-th trading day."""
    if code == "72030":
        c = 2500.5 + 10 * k
    elif code == "67580":
        c = 3000 + 20 * k
        if day >= SPLIT:
            c = c / 2
    elif code == "130A0":
        c = 480 + 1.5 * k
    elif code == "13010":
        if day == datetime.date(2024, 12, 10):
            return None
        c = 3500.0
    elif code == "13060":
        c = 2800 + k
    else:
        c = round(150.3 + 0.1 * k, 1)
    factor = 0.5 if (code == "67580" and day == SPLIT) else 1.0
    return (c - 5 if c > 5 else c, c + 10, c - 10 if c > 10 else c, c, 100000 + 1000 * k, factor)


def daily_rows(day):
    if day not in DAYS:
        return []
    k = DAYS.index(day)
    rows = []
    for code, *_ in MASTER:
        b = bar(code, day, k)
        row = {"Date": day.isoformat(), "Code": code, "UL": "0", "LL": "0", "Va": None}
        if b is None:
            row.update({"O": None, "H": None, "L": None, "C": None, "Vo": None, "AdjFactor": 1.0})
        else:
            o, h, l, c, vo, f = b
            row.update({"O": o, "H": h, "L": l, "C": c, "Vo": vo, "AdjFactor": f,
                        "AdjO": o, "AdjH": h, "AdjL": l, "AdjC": c, "AdjVo": vo})
        rows.append(row)
    return rows


def master_rows():
    return [{"Date": "20241227", "Code": c, "CoName": n, "CoNameEn": e, "S17": "1", "S17Nm": "食品",
             "S33": "0050", "S33Nm": "水産・農林業", "ScaleCat": "TOPIX Small 1", "Mkt": m, "MktNm": mn,
             "Mrgn": "1", "MrgnNm": "信用"} for c, n, e, m, mn in MASTER]


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    answered_429 = False

    def log_message(self, *args):
        pass

    def answer(self, status, body, headers=()):
        data = json.dumps(body, ensure_ascii=False).encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "application/json; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        for k, v in headers:
            self.send_header(k, v)
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):
        opts = self.server.opts
        url = urlparse(self.path)
        query = {k: v[0] for k, v in parse_qs(url.query).items()}
        if opts.log:
            with open(opts.log, "a", encoding="utf-8") as f:
                f.write(url.path + ("?" + url.query if url.query else "") + "\n")
        if opts.delay:
            time.sleep(opts.delay)
        if self.headers.get("x-api-key") != opts.key:
            return self.answer(401, {"message": "The incoming token is invalid or expired."})
        if opts.refuse:
            return self.answer(403, {"message": "This plan does not cover the request."})
        if url.path == "/v2/equities/master":
            rows = master_rows()
        elif url.path == "/v2/equities/bars/daily":
            if "date" not in query:
                return self.answer(400, {"message": "date or code is required"})
            day = datetime.datetime.strptime(query["date"], "%Y%m%d").date()
            if day == datetime.date(2024, 12, 2) and not Handler.answered_429:
                Handler.answered_429 = True
                return self.answer(429, {"message": "Too Many Requests"}, [("Retry-After", "0")])
            rows = daily_rows(day)
        else:
            return self.answer(404, {"message": "Not Found"})
        start = int(query.get("pagination_key", "p0")[1:])
        page = rows[start:start + opts.page_size]
        body = {"data": page}
        if start + opts.page_size < len(rows):
            body["pagination_key"] = "p%d" % (start + opts.page_size)
        return self.answer(200, body)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--key", default="test-key")
    p.add_argument("--refuse", action="store_true")
    p.add_argument("--delay", type=float, default=0)
    p.add_argument("--log")
    p.add_argument("--page-size", type=int, default=2)
    p.add_argument("--write-days")
    opts = p.parse_args()
    if opts.write_days:
        import csv
        os.makedirs(opts.write_days, exist_ok=True)
        for day in DAYS:
            with open(os.path.join(opts.write_days, day.strftime("%Y%m%d") + ".csv"), "w", newline="",
                      encoding="utf-8") as f:
                w = csv.writer(f)
                w.writerow(["日付", "コード", "始値", "高値", "安値", "終値", "出来高"])
                for r in daily_rows(day):
                    if r["C"] is None:
                        continue
                    w.writerow([r["Date"], r["Code"][:4], r["O"], r["H"], r["L"], r["C"], r["Vo"]])
        return 0
    server = ThreadingHTTPServer(("127.0.0.1", opts.port), Handler)
    server.opts = opts
    print(server.server_address[1], os.getpid(), flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
