#!/usr/bin/python3
"""Writes damaged .xls workbooks for the regression tests of the workbook
reader: each is a real workbook written by xlwt (tools/mutate_xls.py) with a
few edits applied, either the edits of a mutated file that once broke the
reader or FreeXL, or an edit aimed at one record of the format.

  damaged_xls.py OUT_DIR
"""
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import mutate_xls  # noqa: E402

# Mutated files that made FreeXL crash (found by tools/xls_campaign.sh, seed 9).
FOUND = {
    "freexl-segv-m02780": ("mixed", [["flip", 1461, 1], ["flip", 4186, 4], ["flip", 2988, 6], ["flip", 4125, 4],
                                     ["flip", 6111, 2]]),
}


def record_offsets(data, record_id, length=None):
    """Offsets of the records of that id (and length) in the file's bytes."""
    out = []
    head = struct.pack("<H", record_id)
    pos = data.find(head)
    while pos >= 0:
        if pos + 4 <= len(data):
            size = struct.unpack_from("<H", data, pos + 2)[0]
            if length is None or size == length:
                out.append(pos)
        pos = data.find(head, pos + 1)
    return out


def aimed(data):
    """Edits aimed at single records: name -> list of edits."""
    cases = {}
    dims = record_offsets(data, 0x0200, 14)
    if dims:
        # A sheet that claims 302 million rows.
        cases["rows-claim"] = [["put", dims[0] + 8, struct.pack("<I", 302000000).hex()]]
        cases["columns-claim"] = [["put", dims[0] + 14, "ff7f"]]
    sst = record_offsets(data, 0x00FC)
    if sst:
        # A shared-string table that claims more strings than the file holds.
        cases["strings-claim"] = [["put", sst[0] + 4, "ffffff7fffffff7f"]]
        # A string that claims to be longer than its record.
        cases["string-length"] = [["put", sst[0] + 12, "ff7f"]]
    sheets = record_offsets(data, 0x0085)
    if sheets:
        # A sheet whose records would start past the end of the file.
        cases["sheet-offset"] = [["put", sheets[0] + 4, "ffffff7f"]]
    labels = record_offsets(data, 0x00FD, 10)
    if labels:
        # A cell naming a shared string that does not exist.
        cases["string-index"] = [["put", labels[0] + 10, "ffffff7f"]]
    numbers = record_offsets(data, 0x0203, 14)
    if numbers:
        # A record length that runs past the end of its stream.
        cases["record-length"] = [["put", numbers[len(numbers) // 2] + 2, "ffff"]]
    cases["truncated"] = [["cut", len(data) * 2 // 3]]
    return cases


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    bases = {}
    for name in mutate_xls.BASES:
        path = os.path.join(out, "base-" + name + ".xls")
        mutate_xls.write_base(name, path)
        with open(path, "rb") as f:
            bases[name] = f.read()
        os.remove(path)
    for name, (base, edits) in FOUND.items():
        with open(os.path.join(out, name + ".xls"), "wb") as f:
            f.write(mutate_xls.apply(bases[base], edits))
    for name, edits in aimed(bases["mixed"]).items():
        with open(os.path.join(out, name + ".xls"), "wb") as f:
            f.write(mutate_xls.apply(bases["mixed"], edits))
    return 0


if __name__ == "__main__":
    sys.exit(main())
