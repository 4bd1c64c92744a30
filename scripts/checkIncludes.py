#!/usr/bin/env python3
"""Checks the include structure of the sources; CTest runs it (see tests/CMakeLists.txt).

  checkIncludes.py layers <source root>
      fails when a file of a lower layer includes a header of a higher one, naming
      the file, the line and the include. Layers, lowest first, are LAYERS below; a
      layer may include its own folder and every layer before it. tests/, bench/
      and fuzz/ may include anything.
  checkIncludes.py cycles <source root>
      fails when the units of one folder include each other in a cycle, printing
      the cycle. A unit is a .h/.cpp pair (or a lone .h or .cpp); unit A depends
      on unit B when A.h or A.cpp includes B.h.
"""

import os
import re
import sys

LAYERS = ["platform", "core", "scheme", "text", "elements",
          "pascal/generator", "pascal/elements", "pascal/generation", "ui", "app"]
FREE_FOLDERS = ["tests", "bench", "fuzz"]
SOURCE_SUFFIXES = (".h", ".cpp")

# Dependencies that close a cycle today and are being removed; each is
# (folder, unit, unit it includes). The cycle check ignores these edges and
# reports the entries that no longer exist. Empty this list once they are gone.
KNOWN_CYCLE_EDGES = []

INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^>"]+)[>"]')


def source_files(root):
    for folder in LAYERS + FREE_FOLDERS:
        top = os.path.join(root, folder)
        for path, dirs, files in os.walk(top):
            dirs[:] = sorted(d for d in dirs if not d.startswith("."))
            for name in sorted(files):
                if name.endswith(SOURCE_SUFFIXES):
                    yield os.path.relpath(os.path.join(path, name), root)


def includes(root, rel):
    """(line number, include as written, resolved path relative to root) of every
    include that names a file of the source tree."""
    here = os.path.dirname(rel)
    with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if not m:
                continue
            written = m.group(1)
            for candidate in (os.path.join(here, written), written):
                candidate = os.path.normpath(candidate)
                if os.path.isfile(os.path.join(root, candidate)):
                    yield number, written, candidate
                    break


def layer_of(rel):
    """Index in LAYERS of the layer holding rel; None for files outside the layers."""
    best = None
    for index, layer in enumerate(LAYERS):
        if rel.startswith(layer + "/") and (best is None or len(layer) > len(LAYERS[best])):
            best = index
    return best


def check_layers(root):
    faults = []
    for rel in source_files(root):
        own = layer_of(rel)
        if own is None:
            continue
        for number, written, target in includes(root, rel):
            theirs = layer_of(target)
            if theirs is not None and theirs > own:
                faults.append(f"{rel}:{number}: includes \"{written}\" of the higher layer "
                              f"{LAYERS[theirs]} ({LAYERS[own]} may use only "
                              f"{', '.join(LAYERS[:own + 1])})")
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} upward include(s)")
        return 1
    print("no upward includes")
    return 0


def unit_graph(root):
    """{folder: {unit: {included unit: (file, line, include)}}} within each folder."""
    graphs = {}
    for rel in source_files(root):
        folder = os.path.dirname(rel)
        unit = os.path.splitext(os.path.basename(rel))[0]
        edges = graphs.setdefault(folder, {}).setdefault(unit, {})
        for number, written, target in includes(root, rel):
            if os.path.dirname(target) != folder or not target.endswith(".h"):
                continue
            other = os.path.splitext(os.path.basename(target))[0]
            if other != unit:
                edges.setdefault(other, (rel, number, written))
    return graphs


def strongly_connected(graph):
    """Tarjan's components of more than one unit, each sorted."""
    index, low, on_stack, stack, found = {}, {}, set(), [], []
    counter = [0]

    def visit(node):
        index[node] = low[node] = counter[0]
        counter[0] += 1
        stack.append(node)
        on_stack.add(node)
        for nxt in sorted(graph.get(node, {})):
            if nxt not in index:
                visit(nxt)
                low[node] = min(low[node], low[nxt])
            elif nxt in on_stack:
                low[node] = min(low[node], index[nxt])
        if low[node] == index[node]:
            component = []
            while True:
                top = stack.pop()
                on_stack.discard(top)
                component.append(top)
                if top == node:
                    break
            if len(component) > 1:
                found.append(sorted(component))

    for node in sorted(graph):
        if node not in index:
            visit(node)
    return found


def one_cycle(graph, component):
    """A shortest cycle through the first unit of a component, as a list of units."""
    start = component[0]
    members = set(component)
    paths = {start: [start]}
    queue = [start]
    while queue:
        node = queue.pop(0)
        for nxt in sorted(graph.get(node, {})):
            if nxt not in members:
                continue
            if nxt == start:
                return paths[node] + [start]
            if nxt not in paths:
                paths[nxt] = paths[node] + [nxt]
                queue.append(nxt)
    return component


def check_cycles(root):
    graphs = unit_graph(root)
    known = set(KNOWN_CYCLE_EDGES)
    used = set()
    failed = 0
    for folder in sorted(graphs):
        graph = {unit: dict(edges) for unit, edges in graphs[folder].items()}
        for unit, edges in graph.items():
            for other in list(edges):
                if (folder, unit, other) in known:
                    used.add((folder, unit, other))
                    del edges[other]
        for component in strongly_connected(graph):
            failed += 1
            cycle = one_cycle(graph, component)
            print(f"{folder}: include cycle {' -> '.join(cycle)}")
            for a, b in zip(cycle, cycle[1:]):
                rel, number, written = graph[a][b]
                print(f"  {rel}:{number}: #include \"{written}\"")
            if len(component) > len(cycle) - 1:
                print(f"  (units in the same cycle group: {', '.join(component)})")
    for entry in KNOWN_CYCLE_EDGES:
        if entry not in used:
            print(f"note: known cycle edge {entry[0]}: {entry[1]} -> {entry[2]} is gone; "
                  "remove it from KNOWN_CYCLE_EDGES")
    if failed:
        print(f"{failed} include cycle(s)")
        return 1
    print(f"no include cycles ({len(used)} known edge(s) ignored)")
    return 0


def main(argv):
    if len(argv) != 3 or argv[1] not in ("layers", "cycles"):
        print(__doc__)
        return 2
    root = os.path.abspath(argv[2])
    return check_layers(root) if argv[1] == "layers" else check_cycles(root)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
