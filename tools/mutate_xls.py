#!/usr/bin/python3
"""Damaged .xls workbooks from real ones, for trying the workbook readers.

  mutate_xls.py base DIR              writes the base workbooks (xlwt) into DIR
  mutate_xls.py mutate DIR N [SEED]   writes N mutated copies of them into DIR/m
                                      and DIR/m/manifest.json (the edits of each)
  mutate_xls.py apply BASE EDITS OUT  applies a JSON list of edits to BASE

An edit is ["flip", offset, bit], ["cut", length], ["insert", offset, hex] or
["put", offset, hex]; a mutated file is its base with its edits applied in
order, so any file of a run can be written again from its manifest entry.
"""
import json
import os
import random
import sys

import xlwt


def price_rows(count, day):
    rows = [["コード", "銘柄", "終値"]]
    for i in range(count):
        code = "%dA" % (130 + i) if i % 17 == 0 else 1300 + i * 7
        rows.append([code, "銘柄%d" % i, round(100 + (i * 37 + day * 11) % 9000 + 0.5 * (i % 2), 1)])
    return rows


BASES = {
    # Ten daily sheets as the registration reads them, like the sample workbook.
    "tenday": [("s2612%02d" % d, price_rows(300, d)) for d in range(1, 11)],
    # One sheet, a few stocks: small records, so every edit lands on a structure.
    "small": [("s261209", price_rows(12, 9))],
    # Shared strings, formulas and dates beside the prices.
    "mixed": [("s261209", price_rows(60, 9)), ("notes", [["a", 1.5, "テキスト"], ["b", None, "x" * 300]])],
}


def write_base(name, path):
    book = xlwt.Workbook(encoding="utf-8")
    for sheet_name, rows in BASES[name]:
        ws = book.add_sheet(sheet_name, cell_overwrite_ok=True)
        for r, row in enumerate(rows):
            for c, value in enumerate(row):
                if value is not None:
                    ws.write(r, c, value)
        if name == "mixed" and sheet_name == "s261209":
            ws.write(1, 4, xlwt.Formula("C2*2"))
            ws.write(2, 4, 46000.0, xlwt.easyxf(num_format_str="YYYY/MM/DD"))
    book.save(path)


def apply(data, edits):
    data = bytearray(data)
    for edit in edits:
        kind = edit[0]
        if kind == "flip":
            if edit[1] < len(data):
                data[edit[1]] ^= 1 << edit[2]
        elif kind == "cut":
            del data[edit[1]:]
        elif kind == "insert":
            data[edit[1]:edit[1]] = bytes.fromhex(edit[2])
        elif kind == "put":
            blob = bytes.fromhex(edit[2])
            data[edit[1]:edit[1] + len(blob)] = blob
    return bytes(data)


def random_edits(rng, size):
    kind = rng.choice(["flip", "flip", "flip", "cut", "insert", "put", "put"])
    if kind == "flip":
        return [["flip", rng.randrange(size), rng.randrange(8)] for _ in range(rng.randint(1, 8))]
    if kind == "cut":
        return [["cut", rng.randrange(size)]]
    if kind == "insert":
        return [["insert", rng.randrange(size), rng.randbytes(rng.randint(1, 64)).hex()]]
    # Overwrite a 16- or 32-bit field with an extreme value: record lengths,
    # row counts, string lengths and sector numbers are all of these sizes.
    value = rng.choice(["ffff", "0000", "ff7f", "ffffffff", "00000000", "ffffff7f", "feffffff"])
    return [["put", rng.randrange(size), value] for _ in range(rng.randint(1, 3))]


def main(argv):
    if len(argv) >= 3 and argv[1] == "base":
        os.makedirs(argv[2], exist_ok=True)
        for name in BASES:
            write_base(name, os.path.join(argv[2], name + ".xls"))
        return 0
    if len(argv) >= 4 and argv[1] == "mutate":
        folder, count = argv[2], int(argv[3])
        rng = random.Random(int(argv[4]) if len(argv) > 4 else 1)
        out = os.path.join(folder, "m")
        os.makedirs(out, exist_ok=True)
        bases = {}
        for name in BASES:
            path = os.path.join(folder, name + ".xls")
            if not os.path.exists(path):
                write_base(name, path)
            with open(path, "rb") as f:
                bases[name] = f.read()
        manifest = {}
        for i in range(count):
            base = rng.choice(sorted(bases))
            edits = random_edits(rng, len(bases[base]))
            file_name = "m%05d.xls" % i
            with open(os.path.join(out, file_name), "wb") as f:
                f.write(apply(bases[base], edits))
            manifest[file_name] = {"base": base, "edits": edits}
        with open(os.path.join(out, "manifest.json"), "w") as f:
            json.dump(manifest, f)
        return 0
    if len(argv) == 5 and argv[1] == "apply":
        with open(argv[2], "rb") as f:
            data = f.read()
        with open(argv[4], "wb") as f:
            f.write(apply(data, json.loads(argv[3])))
        return 0
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
