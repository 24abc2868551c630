#!/usr/bin/env python3
"""Checks that the sources depend one way.

Reads every #include "..." under src/ and fails when the files, or the folders they live in,
include each other in a cycle, or when a folder includes one that sits above it in the layers
(ui -> app -> study -> store -> model; the user interface folders follow the same rule among
themselves: ui/app may include ui/browser and ui/study, never the reverse).
"""

import pathlib
import re
import sys

# A folder may include only the folders listed after it (and itself).
LAYERS = {
    "ui/app": {"ui/browser", "ui/study", "ui/stats", "ui/look"},
    "ui/browser": {"ui/look"},
    "ui/study": {"ui/look"},
    "ui/stats": {"ui/look"},
    "ui/look": set(),
    "core/app": {"core/study", "core/schedule", "core/stats", "core/store", "core/model"},
    "core/study": {"core/schedule", "core/store", "core/model"},
    "core/schedule": {"core/store", "core/model"},
    "core/stats": {"core/schedule", "core/store", "core/model"},
    "core/store": {"core/model"},
    "core/model": set(),
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def folder_of(path):
    parts = pathlib.PurePosixPath(path).parts
    return "/".join(parts[:2]) if len(parts) > 2 else str(pathlib.PurePosixPath(path).parent)


def allowed(source, target):
    # main.cpp wires everything together.
    if source == target or source == ".":
        return True
    if source.startswith("ui/") and target.startswith("core/"):
        return True
    return target in LAYERS.get(source, set())


def find_cycle(graph):
    """A list of nodes forming a cycle, or None."""
    state = {}
    for start in sorted(graph):
        if start in state:
            continue
        stack = [(start, iter(sorted(graph.get(start, ()))))]
        path = [start]
        state[start] = "open"
        while stack:
            node, children = stack[-1]
            child = next(children, None)
            if child is None:
                state[node] = "done"
                stack.pop()
                path.pop()
            elif state.get(child) == "open":
                return path[path.index(child):] + [child]
            elif child not in state:
                state[child] = "open"
                path.append(child)
                stack.append((child, iter(sorted(graph.get(child, ())))))
    return None


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".") / "src"
    files = {}
    for path in sorted(root.rglob("*")):
        if path.suffix in (".h", ".cpp") and path.is_file():
            relative = path.relative_to(root).as_posix()
            files[relative] = INCLUDE.findall(path.read_text(encoding="utf-8"))

    problems = []
    # A .cpp and its header are one unit: the cycle "a.cpp -> b.h, b.cpp -> a.h" is real.
    unit = lambda name: name.rsplit(".", 1)[0]
    unit_graph = {}
    folder_graph = {}
    for source, includes in files.items():
        for target in includes:
            if target not in files:
                continue
            if unit(source) != unit(target):
                unit_graph.setdefault(unit(source), set()).add(unit(target))
            a, b = folder_of(source), folder_of(target)
            if a != b:
                folder_graph.setdefault(a, set()).add(b)
                if not allowed(a, b):
                    problems.append(f"{source} includes {target}: {a} may not depend on {b}")

    for name, graph in (("files", unit_graph), ("folders", folder_graph)):
        cycle = find_cycle(graph)
        if cycle:
            problems.append(f"include cycle between {name}: " + " -> ".join(cycle))

    for problem in problems:
        print(problem)
    if problems:
        return 1
    print(f"includes: {len(files)} files, no cycle, every folder depends one way")
    return 0


if __name__ == "__main__":
    sys.exit(main())
