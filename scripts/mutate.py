#!/usr/bin/env python3
"""Mutation check: how many small faults planted in the library do the tests
catch?

Copies the checkout (its tracked files) to a scratch folder, configures and
builds it once, then plants one fault at a time in a copy of a source file,
rebuilds, runs the tests and puts the file back. A fault that does not build
is "not viable", one that makes a test fail (or time out) is "killed", one
under which every test passes "survived". The same seed over the same
sources picks the same faults.

  scripts/mutate.py --seed 1 --count 60 --files 'src/isa/*' --files 'src/bus/*'

Results: SCRATCH/results.tsv (one row a fault) and a summary on stdout; the
build and test output of fault N in SCRATCH/logs/N.txt.
"""
import argparse
import fnmatch
import os
import random
import re
import shutil
import subprocess
import sys
import time

# Each operator: a pattern and what a match becomes. Applied to code only
# (not comments, strings or preprocessor lines).
OPERATORS = [
    (" == ", " != "), (" != ", " == "),
    (" < ", " <= "), (" <= ", " < "), (" > ", " >= "), (" >= ", " > "),
    (" && ", " || "), (" || ", " && "),
    (" + ", " - "), (" - ", " + "), (" << ", " >> "), (" >> ", " << "),
    (" & ", " | "), (" | ", " & "), (r"\+\+", "--"),
    (r"\btrue\b", "false"), (r"\bfalse\b", "true"),
    (r"(?<![\w.])(0x[0-9A-Fa-f]+|[0-9]+)u?(?![\w.])", None),  # a literal, plus one
]


def code_part(line):
    """The line up to a // comment, or None for lines that hold no code."""
    stripped = line.strip()
    if not stripped or stripped.startswith(("//", "#", "*", "/*")):
        return None
    return line.split("//", 1)[0]


def candidates(root, files):
    """Every (file, line number, start, end, replacement) a fault may take."""
    found = []
    for path in files:
        with open(os.path.join(root, path)) as f:
            lines = f.read().split("\n")
        for number, line in enumerate(lines):
            code = code_part(line)
            if code is None or '"' in code:
                continue
            for pattern, replacement in OPERATORS:
                for match in re.finditer(pattern if pattern[0] != " " else re.escape(pattern), code):
                    text = match.group(0)
                    if replacement is None:
                        value = int(text.rstrip("u"), 0)
                        new = (hex(value + 1) if text.startswith("0x") else str(value + 1)) + ("u" if text.endswith("u") else "")
                    else:
                        new = replacement
                    found.append((path, number, match.start(), match.end(), new))
    return found


def run(command, cwd, log, timeout=None):
    with open(log, "a") as out:
        out.write("$ " + " ".join(command) + "\n")
        out.flush()
        try:
            return subprocess.run(command, cwd=cwd, stdout=out, stderr=subprocess.STDOUT, timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            out.write("timed out\n")
            return None


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--count", type=int, default=40)
    parser.add_argument("--files", action="append", help="files to plant faults in (glob, repeatable)")
    parser.add_argument("--scratch", default=None, help="default /tmp/mutate-<folder>")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--timeout", type=int, default=60, help="per test, seconds")
    parser.add_argument("--cmake-arg", action="append", default=[])
    parser.add_argument("--list", action="store_true", help="print the chosen faults and stop")
    args = parser.parse_args()

    root = subprocess.check_output(["git", "rev-parse", "--show-toplevel"], text=True).strip()
    tracked = subprocess.check_output(["git", "ls-files"], cwd=root, text=True).split()
    globs = args.files or ["src/*"]
    files = sorted(p for p in tracked if p.endswith((".cpp", ".h")) and any(fnmatch.fnmatch(p, g) for g in globs))
    pool = candidates(root, files)
    chosen = random.Random(args.seed).sample(pool, min(args.count, len(pool)))
    if args.list:
        for index, (path, number, start, end, new) in enumerate(chosen, 1):
            print(f"{index}\t{path}:{number + 1}\t-> {new}")
        return 0

    scratch = args.scratch or f"/tmp/mutate-{os.path.basename(root)}"
    source, build, logs = (os.path.join(scratch, name) for name in ("src", "build", "logs"))
    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(logs)
    for path in tracked:
        os.makedirs(os.path.dirname(os.path.join(source, path)), exist_ok=True)
        shutil.copy2(os.path.join(root, path), os.path.join(source, path))
    setup = os.path.join(logs, "setup.txt")
    configure = ["cmake", "-S", source, "-B", build, "-DCMAKE_BUILD_TYPE=Release"] + args.cmake_arg
    if run(configure, scratch, setup) != 0 or run(["cmake", "--build", build, "-j", str(args.jobs)], scratch, setup) != 0:
        print(f"the unchanged tree does not build: {setup}", file=sys.stderr)
        return 1
    started = time.time()
    test = ["ctest", "--test-dir", build, "-j", str(args.jobs), "--timeout", str(args.timeout)]
    if run(test, scratch, setup) != 0:
        print(f"the unchanged tree fails its tests: {setup}", file=sys.stderr)
        return 1
    suite_limit = max(60, 3 * (time.time() - started))

    results = []
    for index, (path, number, start, end, new) in enumerate(chosen, 1):
        target = os.path.join(source, path)
        with open(target) as f:
            original = f.read()
        lines = original.split("\n")
        line = lines[number]
        lines[number] = line[:start] + new + line[end:]
        with open(target, "w") as f:
            f.write("\n".join(lines))
        log = os.path.join(logs, f"{index}.txt")
        if run(["cmake", "--build", build, "-j", str(args.jobs)], scratch, log) != 0:
            outcome = "not viable"
        else:
            status = run(test, scratch, log, timeout=suite_limit)
            outcome = "survived" if status == 0 else "killed"
        with open(target, "w") as f:
            f.write(original)
        os.utime(target)  # rebuilt as it was for the next fault
        results.append((index, f"{path}:{number + 1}", line.strip(), lines[number].strip(), outcome))
        print(f"{index}/{len(chosen)} {outcome}: {path}:{number + 1}", flush=True)
    run(["cmake", "--build", build, "-j", str(args.jobs)], scratch, os.path.join(logs, "setup.txt"))

    with open(os.path.join(scratch, "results.tsv"), "w") as f:
        f.write("fault\tplace\tbefore\tafter\toutcome\n")
        for row in results:
            f.write("\t".join(str(field) for field in row) + "\n")
    killed = sum(1 for r in results if r[4] == "killed")
    viable = sum(1 for r in results if r[4] != "not viable")
    print(f"killed {killed} of {viable} viable faults ({len(results) - viable} not viable); survivors:")
    for r in results:
        if r[4] == "survived":
            print(f"  {r[0]} {r[1]}: {r[2]}  ->  {r[3]}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
