#!/usr/bin/python3
"""Reads a saved table back the way other programs read it and prints it.

    read_table.py csv FILE ENCODING   the csv module (ENCODING utf-8-sig or cp932)
    read_table.py xlsx FILE           openpyxl

Output: one line per row, cells separated by U+241E, each cell written as
TYPE:VALUE with TYPE s (text), n (number) or e (empty) and line breaks in
values shown as \\n. The xlsx reading then adds lines "sheet:NAME",
"bold:" + which title cells are bold (1/0), "freeze:CELL" and
"widths:" + the column widths.
"""
import csv
import sys

SEP = "\u241e"


def show(value):
    if value is None or value == "":
        return "e:"
    if isinstance(value, bool):
        return "s:" + str(value)
    if isinstance(value, (int, float)):
        return "n:" + repr(value)
    return "s:" + str(value).replace("\n", "\\n")


def main():
    kind, path = sys.argv[1], sys.argv[2]
    out = []
    if kind == "csv":
        with open(path, newline="", encoding=sys.argv[3]) as f:
            for row in csv.reader(f, strict=True):
                out.append(SEP.join("s:" + c.replace("\n", "\\n") if c else "e:" for c in row))
    else:
        import openpyxl
        from openpyxl.utils import get_column_letter

        book = openpyxl.load_workbook(path)
        sheet = book.worksheets[0]
        for row in sheet.iter_rows(min_row=1, max_row=sheet.max_row, max_col=sheet.max_column):
            out.append(SEP.join(show(c.value) for c in row))
        out.append("sheet:" + sheet.title)
        out.append("bold:" + "".join("1" if c.font.b else "0" for c in sheet[1]))
        out.append("freeze:" + str(sheet.freeze_panes))
        widths = []
        for i in range(1, sheet.max_column + 1):
            widths.append(str(round(sheet.column_dimensions[get_column_letter(i)].width or 0)))
        out.append("widths:" + ",".join(widths))
    sys.stdout.write("\n".join(out) + "\n")


main()
