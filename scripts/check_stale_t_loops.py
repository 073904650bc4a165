#!/usr/bin/env python3
"""Finds loops that GCC's SH back end left without their test.

GCC 12 (sh4-linux-gnu-gcc -O1 and above) drops the load from an empty wait
loop on a volatile word tested against zero, such as `while (!flag) {}`:
what is left is a conditional branch to itself, which spins on whatever the
T bit held before the loop. This reads assembly files as GCC writes them and
names every conditional branch back to a label that only conditional
branches follow (a delayed one counts with its slot unseen). Exit status 1 when it finds one."""
import re
import sys

SKIPPED = re.compile(r'^(\.loc|\.LVL|\.LBB|\.LBE|\.LFB|\.LFE|\.cfi|!|#)')


T_SETTERS = re.compile(r'^(cmp/\w+|tst|tst\.b|dt|shll|shlr|shal|shar|rotl|rotr|rotcl|rotcr|sett|clrt|addc|subc|'
                       r'addv|subv|negc|div0s|div0u|div1|tas\.b|ldc|ldc\.l|rte)\b')


def sets_t(instruction):
    """Whether the instruction may change T (LDC and LDC.L: when they load SR)."""
    if not T_SETTERS.match(instruction):
        return False
    return not instruction.startswith('ldc') or instruction.rstrip().endswith('sr')


def next_instruction(lines, index):
    while index < len(lines) and (not lines[index] or SKIPPED.match(lines[index])):
        index += 1
    return lines[index] if index < len(lines) else ''


def stale_loops(path):
    lines = [line.strip() for line in open(path, encoding='utf-8', errors='replace')]
    for index, line in enumerate(lines):
        label = re.match(r'^(\.L\d+):$', line)
        if not label:
            continue
        # Past the label only conditional branches, none of which sets T:
        # one of them back to the label loops on the T bit as it came in.
        after = index + 1
        while after < len(lines):
            line = lines[after]
            after += 1
            if not line or SKIPPED.match(line):
                continue
            branch = re.match(r'^b[tf](/s|\.s)?\s+(\S+)$', line)
            if not branch:
                break
            if branch.group(2) == label.group(1):
                # A delayed branch's slot runs before the next test: one that
                # sets T makes a sound loop.
                if not branch.group(1) or not sets_t(next_instruction(lines, after)):
                    yield after, line
                break
            if branch.group(1):
                break


def main(paths):
    found = 0
    for path in paths:
        for number, text in stale_loops(path):
            print(f'{path}:{number}: "{text}" branches to itself on a T bit that nothing in the loop sets')
            found += 1
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
