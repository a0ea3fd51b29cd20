#!/usr/bin/python3
"""Writes an .xls workbook with xlwt from a JSON description on stdin.

{"path": "out.xls", "sheets": [{"name": "s261209", "rows": [["コード", "銘柄", "終値"], [7203, "name", 2500.5]]}]}

Numbers become number cells, strings text cells, null an empty cell, and
{"formula": "C2*2", "value": 10} a formula cell (xlwt stores no value with it).
"""
import json
import sys

import xlwt


def main() -> int:
    request = json.load(sys.stdin)
    book = xlwt.Workbook(encoding="utf-8")
    for sheet in request["sheets"]:
        ws = book.add_sheet(sheet["name"], cell_overwrite_ok=True)
        for r, row in enumerate(sheet["rows"]):
            for c, value in enumerate(row):
                if value is None:
                    continue
                if isinstance(value, dict):
                    ws.write(r, c, xlwt.Formula(value["formula"].lstrip("=")))
                    continue
                ws.write(r, c, value)
    book.save(request["path"])
    return 0


if __name__ == "__main__":
    sys.exit(main())
