#!/usr/bin/env python3
"""The structure of a checkout as its includes draw it: the rooms (layers) with
their files, the arrows between rooms, the arrows that run back up (from a
lower layer into a higher one) and the circles of files that include each
other. A header and its source are one unit. Tests are left out.

Usage: tools/layer-structure.py [TREE]   (default: this checkout)
"""
import os
import re
import sys
from collections import defaultdict


def read_rooms():
    """Folder prefix -> room and its floor (higher floors may use lower ones),
    from the layer table the layers check reads too; in the table's order, as
    a path belongs to the first folder it begins with."""
    table = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cmake", "layers.txt")
    rooms = []
    with open(table, encoding="utf-8") as f:
        for line in f:
            fields = line.split()
            if fields and not fields[0].startswith("#") and fields[2] != "-":
                rooms.append((fields[0], fields[1], int(fields[2])))
    return rooms


ROOMS = read_rooms()
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)


def room_of(path):
    for prefix, name, floor in ROOMS:
        if path.startswith(prefix):
            return name, floor
    return None, None


def units(tree):
    found = {}
    for folder, dirs, files in os.walk(tree):
        dirs[:] = [d for d in dirs if d not in ("tests", ".git") and not d.startswith("build")]
        for f in files:
            if f.endswith((".h", ".cpp")):
                rel = os.path.relpath(os.path.join(folder, f), tree)
                if room_of(rel)[0]:
                    found[rel] = os.path.splitext(rel)[0]
    return found


def main():
    tree = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    files = units(tree)
    by_name = defaultdict(list)
    for rel in files:
        by_name[os.path.basename(rel)].append(rel)
    edges = defaultdict(set)
    for rel, unit in files.items():
        with open(os.path.join(tree, rel), encoding="utf-8", errors="replace") as f:
            for inc in INCLUDE.findall(f.read()):
                targets = by_name.get(os.path.basename(inc), [])
                same = [t for t in targets if os.path.dirname(t) == os.path.dirname(rel)]
                for t in same or targets[:1]:
                    if files[t] != unit:
                        edges[unit].add(files[t])
    unit_room = {u: room_of(u) for u in set(files.values())}
    rooms = defaultdict(int)
    for u, (name, _) in unit_room.items():
        rooms[name] += 1
    arrows, up = defaultdict(int), []
    for a, targets in edges.items():
        for b in targets:
            ra, rb = unit_room[a], unit_room[b]
            if ra[0] != rb[0]:
                arrows[(ra[0], rb[0])] += 1
                if rb[1] > ra[1]:
                    up.append(f"{a} -> {b}")
    circles = strongly_connected(set(files.values()), edges)
    print("rooms:", ", ".join(f"{r} {n}" for r, n in sorted(rooms.items())))
    print("arrows between rooms:", len(arrows))
    print("arrows running back up:", len(up))
    for line in sorted(up):
        print("  " + line)
    print("circles:", len(circles))
    for c in circles:
        inside = len({unit_room[u][0] for u in c}) == 1
        print(f"  {len(c)} units{' (inside one room)' if inside else ''}: " + ", ".join(sorted(c)))


def strongly_connected(nodes, edges):
    index, low, stack, on, out, counter = {}, {}, [], set(), [], [0]

    def visit(v):
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on.add(v)
        for w in edges.get(v, ()):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            part = []
            while True:
                w = stack.pop()
                on.discard(w)
                part.append(w)
                if w == v:
                    break
            if len(part) > 1:
                out.append(part)

    sys.setrecursionlimit(10000)
    for v in sorted(nodes):
        if v not in index:
            visit(v)
    return out


if __name__ == "__main__":
    main()
