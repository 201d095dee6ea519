#!/usr/bin/env python3
"""Checks that programs and libraries use the one shared platform library, holding no copy.

For each binary: ldd must show libOrvixPlatform.so once, resolved to the library built here,
and the binary must define none of the symbols the platform's objects define (the internal
archive holds the same objects, hidden pieces included). Prints what is wrong and fails.
"""

import argparse
import os
import re
import subprocess
import sys


def defined(nm, path, dynamic=False):
    args = [nm, "--defined-only"] + (["-D"] if dynamic else []) + [path]
    out = subprocess.run(args, check=True, capture_output=True, text=True).stdout
    names = set()
    for line in out.splitlines():
        fields = line.split()
        # Strong definitions only: weak and unique ones are template and inline instances
        # every module may hold.
        if len(fields) == 3 and fields[1] in "TDBR":
            names.add(fields[2])
    return names


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--nm", default="nm")
    parser.add_argument("--library", required=True, help="libOrvixPlatform.so")
    parser.add_argument("--archive", required=True, help="the platform's internal archive")
    parser.add_argument("binaries", nargs="+")
    args = parser.parse_args()

    platform = defined(args.nm, args.archive)
    library = os.path.realpath(args.library)
    failures = []
    for binary in args.binaries:
        ldd = subprocess.run(["ldd", binary], check=True, capture_output=True, text=True).stdout
        found = re.findall(r"libOrvixPlatform\.so\S* => (\S+)", ldd)
        if [os.path.realpath(f) for f in found] != [library]:
            failures.append(f"{binary}: libOrvixPlatform.so resolves to {found or 'nothing'}")
        copies = sorted(defined(args.nm, binary) & platform)
        for name in copies[:20]:
            failures.append(f"{binary}: holds its own copy of {name}")
        print(f"{binary}: {len(found)} libOrvixPlatform.so, {len(copies)} platform symbols")
    for f in failures:
        print(f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
