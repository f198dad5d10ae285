#!/usr/bin/env python3
"""Checks that no two top-level folders of src/ include each other's headers.

A folder A depends on B when a file below src/A has `#include "B/..."`. The folders must
form layers: a cycle (A -> B -> A, or a longer loop) means neither can be built, tested or
understood without the other. The check finds the strongly connected parts of the folder
graph and prints, for every edge inside one, the shortest loop it closes, each edge with
an example file:line and how many include lines make it. Exit status 0 when there is no
cycle, 1 when there is, 2 on a usage error.

    scripts/include_cycles.py [--src DIR] [--graph]
"""
import argparse
import collections
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
SOURCE_SUFFIXES = ('.h', '.hpp', '.cpp', '.cc', '.inc', '.ipp')


def folder_edges(src):
    """Returns {(from, to): [(path, line), ...]} for includes between top-level folders."""
    folders = {d for d in os.listdir(src) if os.path.isdir(os.path.join(src, d))}
    edges = collections.defaultdict(list)
    for top in sorted(folders):
        for dirpath, dirnames, filenames in os.walk(os.path.join(src, top)):
            dirnames.sort()
            for name in sorted(filenames):
                if not name.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.join(dirpath, name)
                with open(path, encoding='utf-8', errors='replace') as f:
                    for number, text in enumerate(f, 1):
                        m = INCLUDE.match(text)
                        if not m:
                            continue
                        target = m.group(1).split('/', 1)
                        if len(target) == 2 and target[0] in folders and target[0] != top:
                            edges[(top, target[0])].append((path, number))
    return edges


def strongly_connected(nodes, succ):
    """Tarjan's algorithm; returns the components with more than one node."""
    index, low, stack, on_stack, parts = {}, {}, [], set(), []

    def visit(v):
        index[v] = low[v] = len(index)
        stack.append(v)
        on_stack.add(v)
        for w in succ[v]:
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on_stack:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            part = []
            while True:
                w = stack.pop()
                on_stack.discard(w)
                part.append(w)
                if w == v:
                    break
            if len(part) > 1:
                parts.append(sorted(part))

    for v in sorted(nodes):
        if v not in index:
            visit(v)
    return parts


def shortest_path(succ, start, goal, allowed):
    """Breadth-first path start -> goal inside `allowed`, as a list of nodes."""
    previous = {start: None}
    queue = collections.deque([start])
    while queue:
        v = queue.popleft()
        if v == goal:
            path = []
            while v is not None:
                path.append(v)
                v = previous[v]
            return path[::-1]
        for w in succ[v]:
            if w in allowed and w not in previous:
                previous[w] = v
                queue.append(w)
    return None


def find_cycles(edges):
    """Every edge inside a cycle, covered by the shortest loop through it; loops are
    returned once each, rotated to start at their smallest folder name."""
    succ = collections.defaultdict(list)
    nodes = set()
    for a, b in sorted(edges):
        succ[a].append(b)
        nodes.update((a, b))
    cycles = []
    for part in strongly_connected(nodes, succ):
        allowed = set(part)
        for a, b in sorted(edges):
            if a in allowed and b in allowed:
                loop = [a] + shortest_path(succ, b, a, allowed)[:-1]
                first = loop.index(min(loop))
                loop = loop[first:] + loop[:first]
                if loop not in cycles:
                    cycles.append(loop)
    return sorted(cycles, key=lambda c: (len(c), c))


def report(edges, cycles, root, out):
    def where(a, b):
        path, line = edges[(a, b)][0]
        more = len(edges[(a, b)]) - 1
        extra = f' (+{more} more)' if more else ''
        return f'{os.path.relpath(path, root)}:{line}{extra}'

    for loop in cycles:
        print('include cycle: ' + ' -> '.join(loop + [loop[0]]), file=out)
        for a, b in zip(loop, loop[1:] + loop[:1]):
            print(f'  {a} -> {b}: {where(a, b)}', file=out)


def main(argv=None):
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--src', default=os.path.join(here, '..', 'src'))
    parser.add_argument('--graph', action='store_true', help='also print every folder edge')
    args = parser.parse_args(argv)
    src = os.path.normpath(args.src)
    if not os.path.isdir(src):
        print(f'include_cycles: no such folder: {src}', file=sys.stderr)
        return 2
    root = os.path.dirname(src)
    edges = folder_edges(src)
    if args.graph:
        for a, b in sorted(edges):
            path, line = edges[(a, b)][0]
            print(f'{a} -> {b}: {len(edges[(a, b)])} includes, e.g. '
                  f'{os.path.relpath(path, root)}:{line}')
    cycles = find_cycles(edges)
    report(edges, cycles, root, sys.stdout)
    if cycles:
        print(f'{len(cycles)} include cycle(s) between the folders of {os.path.relpath(src, root)}/')
        return 1
    print(f'no include cycle between the folders of {os.path.relpath(src, root)}/ '
          f'({len(edges)} folder edges)')
    return 0


if __name__ == '__main__':
    sys.exit(main())
