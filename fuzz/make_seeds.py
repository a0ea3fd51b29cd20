#!/usr/bin/python3
"""Writes the seed files of the fuzzing targets with real writers:
xlwt (.xls), openpyxl and xlsxwriter (.xlsx), odfpy (.ods), and history files
in the layouts the history import reads (pandas for the downloader's frames).

  make_seeds.py DIR     ->  DIR/xls, DIR/xlsx, DIR/ods, DIR/csv, DIR/history, DIR/json
"""
import os
import sys

import numpy as np
import openpyxl
import pandas as pd
import xlsxwriter
import xlwt
from odf.opendocument import OpenDocumentSpreadsheet
from odf.table import Table, TableCell, TableRow
from odf.text import P

ROWS = [["コード", "銘柄", "終値"], [7203, "トヨタ", 2500.5], ["130A", "ＡＢＣ", 1234], [9984, "ソフト", None],
        [1000, "指数", 30000]]


def xls_seeds(folder):
    for i, sheets in enumerate([["s261209"], ["s261208", "s261209", "notes"]]):
        book = xlwt.Workbook(encoding="utf-8")
        for name in sheets:
            ws = book.add_sheet(name)
            for r, row in enumerate(ROWS):
                for c, v in enumerate(row):
                    if v is not None:
                        ws.write(r, c, v)
            ws.write(1, 3, xlwt.Formula("C2*2"))
        book.save(os.path.join(folder, "seed%d.xls" % i))


def xlsx_seeds(folder):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "s261209"
    for row in ROWS:
        ws.append(row)
    ws["D2"] = "=C2*2"
    wb.save(os.path.join(folder, "openpyxl.xlsx"))
    wb = xlsxwriter.Workbook(os.path.join(folder, "xlsxwriter.xlsx"))
    for name in ["s261208", "s261209"]:
        ws = wb.add_worksheet(name)
        for r, row in enumerate(ROWS):
            for c, v in enumerate(row):
                if v is not None:
                    ws.write(r, c, v)
        ws.write_formula(1, 3, "=C2*2", None, 5001)
        ws.write_string(2, 4, "1,234")
    wb.close()


def ods_seeds(folder):
    doc = OpenDocumentSpreadsheet()
    for name in ["s261208", "s261209"]:
        table = Table(name=name)
        for row in ROWS:
            tr = TableRow()
            for v in row:
                if v is None:
                    tc = TableCell()
                elif isinstance(v, str):
                    tc = TableCell(valuetype="string")
                    tc.addElement(P(text=v))
                else:
                    tc = TableCell(valuetype="float", value=v)
                    tc.addElement(P(text=str(v)))
                tr.addElement(tc)
            table.addElement(tr)
        doc.spreadsheet.addElement(table)
    doc.save(os.path.join(folder, "seed.ods"))


def history_seeds(folder):
    seeds = {
        "bulk.txt": "<TICKER>,<PER>,<DATE>,<TIME>,<OPEN>,<HIGH>,<LOW>,<CLOSE>,<VOL>,<OPENINT>\n"
                    "7203.JP,D,20261208,000000,2500,2550,2490,2530,1000000,0\n"
                    "130A.JP,D,20261209,000000,1200,1250,1190,1234.5,5000,0\n",
        "export.csv": "Date,Open,High,Low,Close,Volume\n2026-12-08,2500,2550,2490,2530,1000000\n"
                      "2026-12-09,2530,2560,2500,-,900000\n",
        "perday.csv": "\ufeff日付,コード,銘柄名,終値\n2026/12/09,7203,トヨタ,\"2,530\"\n2026/12/09,130A,ＡＢＣ,1234\n",
    }
    for name, text in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(text.encode("utf-8"))
    with open(os.path.join(folder, "perday-cp932.csv"), "wb") as f:
        f.write("コード\t日付\t終値\r\n7203\t20261209\t2530\r\n".encode("cp932"))
    # The downloader's frames through pandas: a two-level column index (one
    # ticker, two tickers grouped either way, without Close), and per-day
    # files with open, high, low and volume in code page 932.
    prices = ["Adj Close", "Close", "High", "Low", "Open", "Volume"]
    for name, tickers, names in [("downloader.csv", ["7203.T"], prices),
                                 ("downloader-two.csv", ["7203.T", "130A.T"], prices),
                                 ("downloader-adjusted.csv", ["7203.T"], [p for p in prices if p != "Close"])]:
        columns = pd.MultiIndex.from_tuples([(p, t) for p in names for t in tickers], names=["Price", "Ticker"])
        rows = [[2771.5 + k + i for i in range(len(columns))] for k in range(3)]
        rows[1][0] = np.nan
        frame = pd.DataFrame(rows, index=pd.DatetimeIndex(["2026-12-07", "2026-12-08", "2026-12-09"], name="Date"),
                             columns=columns)
        frame.to_csv(os.path.join(folder, name))
        if len(tickers) > 1:
            frame.swaplevel(axis=1).sort_index(axis=1).to_csv(os.path.join(folder, "by-ticker.csv"))
    pd.DataFrame({"日付": ["2026/12/9", "2026/12/9"], "コード": ["7203", "130A"], "始値": ["2,500", "812"],
                  "高値": ["2,550", "813"], "安値": ["2,490", "811"], "終値": ["2,530", "812.5"],
                  "出来高": ["1,000,000", ""]}).to_csv(os.path.join(folder, "perday-ohlcv-cp932.csv"), index=False,
                                                    encoding="cp932")


def csv_seeds(folder):
    """Daily price files in the layouts the imports read."""
    service = ('"SC","名称","市場","業種","日付","株価","前日比"\r\n'
               '"7203","トヨタ自動車","東証プライム","輸送用機器","2026/12/09","2,530","+30"\r\n'
               '"130A","ＡＢＣ","東証グロース","サービス業","2026/12/09","-","-"\r\n')
    with open(os.path.join(folder, "service-cp932.csv"), "wb") as f:
        f.write(service.encode("cp932"))
    texts = {
        "bom.csv": "\ufeff銘柄コード,銘柄名,終値\n72030,トヨタ,１２３４\n130A,x,1234.5\n",
        "english.csv": "Date;Symbol;Close\n2026-12-09;7203.T;2530\n20261209;6758.T;\"3,000\"\n",
        "plain.csv": "7203,トヨタ,2530\n6758,ソニー,3000\n",
    }
    for name, text in texts.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(text.encode("utf-8"))


def json_seeds(folder):
    """The data service's answers as the stand-in service writes them (json.dumps)."""
    import json
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data"))
    import jquants_standin
    day = jquants_standin.DAYS[-1]
    answers = {
        "daily.json": {"data": jquants_standin.daily_rows(day), "pagination_key": "p2"},
        "master.json": {"data": jquants_standin.master_rows()},
        "refused.json": {"message": "The incoming token is invalid or expired."},
    }
    for name, body in answers.items():
        with open(os.path.join(folder, name), "w", encoding="utf-8") as f:
            json.dump(body, f, ensure_ascii=(name == "master.json"))


def main():
    root = sys.argv[1]
    for kind, writer in [("xls", xls_seeds), ("xlsx", xlsx_seeds), ("ods", ods_seeds), ("csv", csv_seeds),
                         ("history", history_seeds), ("json", json_seeds)]:
        folder = os.path.join(root, kind)
        os.makedirs(folder, exist_ok=True)
        writer(folder)
    return 0


if __name__ == "__main__":
    sys.exit(main())
