#!/usr/bin/env python3
"""Splits the instructions of a callgrind profile by ELF object.

    callgrind_share.py CALLGRIND_OUT PROGRAM LABEL

Prints the objects' self instruction counts to standard error and one ROW
line for bench/run: the program's own code (the engine is linked into it
statically) against everything else (the GL driver, its JIT code, libc).
"""
import collections
import os
import sys


def self_cost_by_object(path):
    names = {}  # compressed "(n)" ids of objects
    costs = collections.Counter()
    current = "???"
    skip_next_cost = False
    with open(path, errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("ob="):
                current = resolve(names, line[3:])
                continue
            if line.startswith("cob="):
                resolve(names, line[4:])  # defines an id; the call cost line is skipped
                continue
            if line.startswith("calls="):
                skip_next_cost = True
                continue
            if not line or not (line[0].isdigit() or line[0] in "+-*"):
                continue
            if skip_next_cost:  # inclusive cost of a call, not self cost
                skip_next_cost = False
                continue
            fields = line.split()
            if len(fields) >= 2:
                costs[current] += int(fields[1])
    return costs


def resolve(names, text):
    text = text.strip()
    if text.startswith("("):
        end = text.index(")")
        key, rest = text[: end + 1], text[end + 1 :].strip()
        if rest:
            names[key] = rest
        return names.get(key, key)
    return text


def main():
    profile, program, label = sys.argv[1], os.path.realpath(sys.argv[2]), sys.argv[3]
    costs = self_cost_by_object(profile)
    total = sum(costs.values())
    if total == 0:
        sys.exit("no instructions in " + profile)
    for obj, ir in costs.most_common(12):
        print("  %6.2f%%  %14d  %s" % (100.0 * ir / total, ir, obj), file=sys.stderr)
    own = sum(ir for obj, ir in costs.items() if os.path.realpath(obj) == program)
    share = 100.0 * own / total
    print("ROW\tEngine's own code, share of frame instructions %s (callgrind) vs GL driver and libraries"
          "\t%.1f M\t%.1f M\t%.2f%%\t< 5%%\t%s" % (label, own / 1e6, (total - own) / 1e6, share,
                                                   "yes" if share < 5 else "NO"))


if __name__ == "__main__":
    main()
