#!/usr/bin/env python3
"""Finds loops that GCC's SH back end left without their test.

GCC 12 (sh4-linux-gnu-gcc -O1 and above) drops the load from an empty wait
loop on a volatile word tested against zero, such as `while (!flag) {}`:
what is left is a conditional branch to itself, which spins on whatever the
T bit held before the loop. This reads assembly files as GCC writes them and
names every conditional branch that is the first instruction after its own
target label. Exit status 1 when it finds one."""
import re
import sys

SKIPPED = re.compile(r'^(\.loc|\.LVL|\.LBB|\.LBE|\.LFB|\.LFE|\.cfi|!|#)')


def stale_loops(path):
    lines = [line.strip() for line in open(path, encoding='utf-8', errors='replace')]
    for index, line in enumerate(lines):
        label = re.match(r'^(\.L\d+):$', line)
        if not label:
            continue
        after = index + 1
        while after < len(lines) and (not lines[after] or SKIPPED.match(lines[after])):
            after += 1
        if after < len(lines) and re.match(r'^b[tf](/s|\.s)?\s+' + re.escape(label.group(1)) + r'$', lines[after]):
            yield after + 1, lines[after]


def main(paths):
    found = 0
    for path in paths:
        for number, text in stale_loops(path):
            print(f'{path}:{number}: "{text}" branches to itself on a T bit that nothing in the loop sets')
            found += 1
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
