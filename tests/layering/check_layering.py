#!/usr/bin/env python3
"""Lists the include edges between the source folders and checks them.

Every `#include "x/…"` of a file names the folder it reaches; an edge is
"from-folder -> to-folder". The edges must be on the allow-list
(allowed_edges.txt beside this script), and the allow-list itself must keep
to the layers: a folder includes only folders of its own layer or of the
layers below it. A file may not reach past the layers either by a relative
path ("../x.h"), and the core's folders form no cycle.

  check_layering.py SOURCE_DIR            check, print the edges
  check_layering.py SOURCE_DIR --write    write the allow-list from the sources
"""
import os
import re
import sys

# Layers, lowest first, with the folders of each (relative to src/).
LAYERS = [
    ("base", ["core/base"]),
    ("formats", ["core/formats", "core/formats/xls"]),
    ("data", ["core/data"]),
    ("features", ["core/app", "core/backtest", "core/chart", "core/datafetch", "core/exchange", "core/export",
                  "core/history", "core/registration", "core/sample", "core/screening", "core/splits",
                  "core/stocklist", "core/utilities", "core/watchlists"]),
    ("platform", ["platform"]),
    ("ui", ["ui", "ui/app", "ui/backtest", "ui/chart", "ui/common", "ui/datafetch", "ui/exchange", "ui/history",
            "ui/registration", "ui/screening", "ui/settings", "ui/splits", "ui/stocklist", "ui/utilities",
            "ui/watchlists"]),
    ("cli", ["cli"]),
]
# formats and data are side by side: neither includes the other.
SIDE_BY_SIDE = {("formats", "data"), ("data", "formats")}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def layer_of(folder):
    for rank, (name, folders) in enumerate(LAYERS):
        if folder in folders:
            return rank, name
    return None, None


def resolve(include):
    """The src/ folder an include names, by its include root."""
    if include.startswith("ui/"):
        return os.path.dirname(include)
    if include.startswith("cli/"):
        return "cli"
    if include.startswith("platform/"):
        return "platform"
    head = include.split("/")[0]
    folder = "core/" + os.path.dirname(include)
    if layer_of(folder)[0] is not None:
        return folder
    if layer_of("core/" + head)[0] is not None:
        return "core/" + head
    return None


def edges(src):
    found = {}
    problems = []
    for folder in sorted({f for _, fs in LAYERS for f in fs}):
        path = os.path.join(src, folder)
        if not os.path.isdir(path):
            continue
        for name in sorted(os.listdir(path)):
            if not name.endswith((".h", ".cpp")):
                continue
            text = open(os.path.join(path, name), encoding="utf-8").read()
            for inc in INCLUDE.findall(text):
                if inc.startswith(".."):
                    problems.append(f"{folder}/{name}: relative include {inc}")
                    continue
                if "/" not in inc:
                    continue  # a file beside it, or a generated header
                to = resolve(inc)
                if to is None:
                    problems.append(f"{folder}/{name}: include {inc} names no known folder")
                    continue
                if to != folder:
                    found.setdefault((folder, to), f"{folder}/{name}: {inc}")
    return found, problems


def allowed_by_layers(frm, to):
    fr, fname = layer_of(frm)
    tr, tname = layer_of(to)
    if (fname, tname) in SIDE_BY_SIDE:
        return False
    return tr <= fr


def main():
    src = sys.argv[1]
    here = os.path.dirname(os.path.abspath(__file__))
    list_file = os.path.join(here, "allowed_edges.txt")
    found, problems = edges(src)
    if "--write" in sys.argv:
        with open(list_file, "w", encoding="utf-8") as out:
            out.write("# Include edges between source folders (from -> to) that the layering test accepts.\n")
            for frm, to in sorted(found):
                out.write(f"{frm} -> {to}\n")
        print(f"wrote {len(found)} edges")
        return 0
    allowed = set()
    for line in open(list_file, encoding="utf-8"):
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        frm, to = [p.strip() for p in line.split("->")]
        allowed.add((frm, to))
    for frm, to in sorted(allowed):
        if layer_of(frm)[0] is None or layer_of(to)[0] is None:
            problems.append(f"allow-list: {frm} -> {to} names a folder of no layer")
        elif not allowed_by_layers(frm, to):
            problems.append(f"allow-list: {frm} -> {to} goes against the layers")
    for (frm, to), where in sorted(found.items()):
        print(f"{frm} -> {to}")
        if (frm, to) not in allowed:
            problems.append(f"edge {frm} -> {to} is not on the allow-list (first at {where})")
    # The core's folders form no cycle: each can be read, built and tested
    # with only the folders below it.
    graph = {}
    for frm, to in found:
        if frm.startswith("core/") and to.startswith("core/"):
            graph.setdefault(frm, set()).add(to)
    state = {}

    def visit(node, path):
        state[node] = "open"
        for nxt in sorted(graph.get(node, ())):
            if state.get(nxt) == "open":
                problems.append("cycle: " + " -> ".join(path[path.index(nxt):] + [nxt]))
            elif nxt not in state:
                visit(nxt, path + [nxt])
        state[node] = "done"

    for node in sorted(graph):
        if node not in state:
            visit(node, [node])
    for p in problems:
        print("FAIL: " + p)
    print(f"{len(found)} edges, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
