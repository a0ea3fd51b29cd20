#!/usr/bin/python3
"""Writes a price workbook with a real spreadsheet writer from JSON on stdin.

{"path": "out.xlsx", "writer": "xlsxwriter",
 "sheets": [{"name": "s261209", "rows": [["コード", "銘柄", "終値"], [7203, "name", 2500.5],
                                         [9984, "x", {"formula": "=C2*2", "value": 5001}]]}]}

writer: xlsxwriter, xlsxwriter-inline (inline strings: constant-memory mode),
openpyxl (formulas are stored without a value), odfpy, or ssconvert-xlsx /
ssconvert-ods (written by xlsxwriter, then converted by gnumeric's ssconvert,
which computes formulas). Numbers become number cells, strings text cells,
null an empty cell, {"formula": F, "value": V} a formula cell.
"""
import json
import os
import subprocess
import sys
import tempfile


def write_xlsxwriter(path, sheets, inline=False):
    import xlsxwriter

    options = {"constant_memory": True} if inline else {}
    book = xlsxwriter.Workbook(path, options)
    for sheet in sheets:
        ws = book.add_worksheet(sheet["name"])
        for r, row in enumerate(sheet["rows"]):
            for c, value in enumerate(row):
                if value is None:
                    continue
                if isinstance(value, dict):
                    ws.write_formula(r, c, value["formula"], None, value.get("value", 0))
                elif isinstance(value, str):
                    ws.write_string(r, c, value)
                else:
                    ws.write_number(r, c, value)
    book.close()


def write_openpyxl(path, sheets):
    import openpyxl

    book = openpyxl.Workbook()
    book.remove(book.active)
    for sheet in sheets:
        ws = book.create_sheet(sheet["name"])
        for r, row in enumerate(sheet["rows"], start=1):
            for c, value in enumerate(row, start=1):
                if value is None:
                    continue
                ws.cell(row=r, column=c, value=value["formula"] if isinstance(value, dict) else value)
    book.save(path)


def write_odfpy(path, sheets):
    from odf.opendocument import OpenDocumentSpreadsheet
    from odf.table import Table, TableCell, TableRow
    from odf.text import P

    doc = OpenDocumentSpreadsheet()
    for sheet in sheets:
        table = Table(name=sheet["name"])
        for row in sheet["rows"]:
            tr = TableRow()
            for value in row:
                if value is None:
                    tr.addElement(TableCell())
                elif isinstance(value, dict):
                    formula = "of:" + value["formula"]
                    cell = TableCell(valuetype="float", value=value.get("value", 0), formula=formula)
                    cell.addElement(P(text=str(value.get("value", 0))))
                    tr.addElement(cell)
                elif isinstance(value, str):
                    cell = TableCell(valuetype="string")
                    cell.addElement(P(text=value))
                    tr.addElement(cell)
                else:
                    cell = TableCell(valuetype="float", value=value)
                    cell.addElement(P(text=str(value)))
                    tr.addElement(cell)
            table.addElement(tr)
        doc.spreadsheet.addElement(table)
    doc.save(path)


def write_ssconvert(path, sheets, target):
    with tempfile.TemporaryDirectory() as tmp:
        source = os.path.join(tmp, "source.xlsx")
        write_xlsxwriter(source, sheets)
        exporter = "Gnumeric_Excel:xlsx2" if target == "xlsx" else "Gnumeric_OpenCalc:odf"
        subprocess.run(["ssconvert", "-T", exporter, source, path], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def main() -> int:
    request = json.load(sys.stdin)
    path, writer, sheets = request["path"], request["writer"], request["sheets"]
    if writer == "xlsxwriter":
        write_xlsxwriter(path, sheets)
    elif writer == "xlsxwriter-inline":
        write_xlsxwriter(path, sheets, inline=True)
    elif writer == "openpyxl":
        write_openpyxl(path, sheets)
    elif writer == "odfpy":
        write_odfpy(path, sheets)
    elif writer in ("ssconvert-xlsx", "ssconvert-ods"):
        write_ssconvert(path, sheets, writer.split("-")[1])
    else:
        raise SystemExit("unknown writer " + writer)
    return 0


if __name__ == "__main__":
    sys.exit(main())
