#!/usr/bin/env python3
"""Checks that libOrvixPlatform.so exports only what the platform's public headers declare.

A public header wraps its declarations in "#pragma GCC visibility push(default)" ... "pop".
Every symbol the library defines in its dynamic table must name an identifier declared
there; the only others allowed are the standard library's template instances (weak), which
libstdc++ marks for export itself. Prints the offenders and fails when there are any.
"""

import argparse
import pathlib
import re
import subprocess
import sys

PUSH = "#pragma GCC visibility push(default)"
POP = "#pragma GCC visibility pop"
PREFIXES = ("vtable for ", "typeinfo for ", "typeinfo name for ", "VTT for ",
            "non-virtual thunk to ", "virtual thunk to ", "guard variable for ")
STANDARD = ("std", "__gnu_cxx", "__cxxabiv1")
LINKER = ("__bss_start", "_edata", "_end")  # the linker's own markers
SANITIZER = ("__asan", "___asan", "__ubsan", "__sancov", "__lsan")
# The address sanitizer's mark beside an exported global (GCC's and clang's spelling).
ODR_INDICATORS = ("__odr_asan.", "__odr_asan_gen_")


def public_identifiers(root):
    words = set()
    for header in root.rglob("*.h"):
        inside = False
        for line in header.read_text().splitlines():
            if line.strip() == PUSH:
                inside = True
            elif line.strip() == POP:
                inside = False
            elif inside and not line.lstrip().startswith("//"):
                words.update(re.findall(r"[A-Za-z_][A-Za-z0-9_]*", line.split("//")[0]))
    return words


def strip_templates(name):
    out, depth = [], 0
    for c in name:
        if c == "<":
            depth += 1
        elif c == ">":
            depth -= 1
        elif depth == 0:
            out.append(c)
    return "".join(out)


def scope_and_name(symbol):
    """['platform', 'display', 'Display', 'Create'] for platform::display::Display::Create(...)."""
    for prefix in PREFIXES:
        if symbol.startswith(prefix):
            symbol = symbol[len(prefix):]
    name = strip_templates(symbol.replace("(anonymous namespace)", "@anonymous"))
    name = re.sub(r"\boperator\b.*", "operator", name)  # an operator's name is its scope's
    name = re.sub(r"\[abi:[^\]]*\]", "", name)  # the tag of a function giving a std::string
    name = re.split(r"\(|\s\[", name, maxsplit=1)[0].strip()
    name = name.split(" ")[-1]  # a return type before a template function's name
    return [p.lstrip("~") for p in name.split("::") if p]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--nm", default="nm")
    parser.add_argument("--library", required=True)
    parser.add_argument("--headers", required=True, help="the platform folder")
    args = parser.parse_args()

    words = public_identifiers(pathlib.Path(args.headers))
    listing = subprocess.run([args.nm, "-D", "--defined-only", "-C", args.library],
                             check=True, capture_output=True, text=True).stdout
    exported, standard, offenders = 0, 0, []
    for line in listing.splitlines():
        fields = line.split(" ", 2)
        if len(fields) != 3 or fields[1] == "A" or fields[2] in LINKER:
            continue
        kind, symbol = fields[1], fields[2]
        if symbol.startswith(SANITIZER):
            continue
        exported += 1
        for indicator in ODR_INDICATORS:
            if symbol.startswith(indicator):
                symbol = symbol[len(indicator):]
        parts = scope_and_name(symbol)
        if parts and parts[0] in STANDARD:
            standard += 1
            if kind not in "WVu":
                offenders.append(f"{kind} {symbol}: a standard-library symbol defined strongly")
            continue
        if "@anonymous" in parts:
            offenders.append(f"{kind} {symbol}: from an anonymous namespace")
            continue
        # The namespace "platform::<family>" is given; the class and member names must be
        # declared in a public header.
        named = [p for p in parts if p not in ("platform", "operator")]
        missing = [p for p in named if p not in words]
        if missing:
            offenders.append(f"{kind} {symbol}: {', '.join(missing)} not in a public header")
    print(f"{args.library}: {exported} exported symbols, {exported - standard} of the interface "
          f"and {standard} standard-library instances")
    for o in offenders:
        print("not interface: " + o)
    return 1 if offenders else 0


if __name__ == "__main__":
    sys.exit(main())
