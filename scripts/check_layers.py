#!/usr/bin/env python3
"""Checks the layer rule over the source tree.

  scripts/check_layers.py [--root DIR]

Every C/C++ file belongs to the layer of its folder (the longest folder of the table below that
holds it). A file may include:
  - the C and C++ standard library and the compiler's intrinsics headers;
  - headers of its own layer and of the layers that layer is allowed to use;
  - the third-party headers allowed to its layer (some only in its tests and benchmarks);
  - anything at all, under platform/: it is the one layer that sees the operating system.
Tests, test support, benchmarks and fuzzers of any layer may also use the DVR simulator
(tools/dvrsim), the test frameworks (GoogleTest, Google Benchmark) and the few headers of
TEST_INCLUDES.

Every folder with C/C++ sources must have a line in the table. Each fault is printed as
FILE:LINE: the include and why it breaks the rule; the exit status is 1 when there is any.
"""

import argparse
import os
import re
import sys

# Layer: the layers it may include, lowest first. Arrows point down only (DESIGN's picture).
LAYERS = {
    "platform": [],
    "voice": ["platform"],
    "signaling": [],  # a separate library: Boost only, nothing else of ours
    "videolib": ["platform"],
    "stream": ["platform", "voice", "videolib"],
    # The language table sees the platform alone: every text-showing layer above it reads it.
    "device/lang": ["platform"],
    # The command protocol sits below the dialogs: records, sockets and the receive thread.
    "device/protocol": ["platform", "videolib"],
    "device": ["platform", "voice", "videolib", "stream", "device/lang", "device/protocol"],
    "control": ["platform", "voice", "videolib", "stream", "device", "device/lang",
                "device/protocol"],
    # The installer registers the viewers through the registry and regsvr32 alone.
    "installer": ["platform"],
    # The simulator is a DVR, not a viewer: it shares the platform and the voice codec only.
    "tools/dvrsim": ["platform", "voice"],
    "tools": ["platform", "voice", "signaling", "videolib", "stream", "device", "device/lang",
              "device/protocol", "control", "tools/dvrsim"],
}

SIMULATOR = "tools/dvrsim"

# Headers of a higher layer that the tests of a layer may use besides the simulator.
TEST_INCLUDES = {
    # The simulator's tests read what it sends with the stream client's RTP header reader,
    # a library of bytes alone (stream_rtp).
    "tools/dvrsim": ["stream/rtp_header.h"],
}

# Third-party headers by layer: (include prefix, only in tests and benchmarks, why).
THIRD_PARTY = {
    "signaling": [("boost/", False, "Boost.Asio and Boost.Thread")],
    "voice": [("libavcodec/", False, "FFmpeg codecs, the reference of the codec tests"),
              ("libavutil/", False, "FFmpeg codecs, the reference of the codec tests")],
    "videolib": [("libswscale/", True, "the reference converter of the benchmarks"),
                 ("libavutil/", True, "the reference converter of the benchmarks")],
    "tools/dvrsim": [("libavcodec/", False, "the simulator's H.264 encoder"),
                     ("libavutil/", False, "the simulator's H.264 encoder")],
    "tools": [("mujs.h", False, "MuJS, the host's page script engine")],
}
TEST_FRAMEWORKS = ("gtest/", "gmock/", "benchmark/")

CXX_STANDARD = set("""
algorithm any array atomic barrier bit bitset charconv chrono codecvt compare complex concepts
condition_variable coroutine deque exception execution expected filesystem format forward_list
fstream functional future initializer_list iomanip ios iosfwd iostream istream iterator latch
limits list locale map memory memory_resource mutex new numbers numeric optional ostream queue
random ranges ratio regex scoped_allocator semaphore set shared_mutex source_location span
sstream stack stdexcept stop_token streambuf string string_view syncstream system_error thread
tuple type_traits typeindex typeinfo unordered_map unordered_set utility valarray variant
vector version
cassert cctype cerrno cfenv cfloat cinttypes climits clocale cmath csetjmp csignal cstdarg
cstddef cstdint cstdio cstdlib cstring ctime cuchar cwchar cwctype
""".split())
C_STANDARD = set("""
assert.h complex.h ctype.h errno.h fenv.h float.h inttypes.h iso646.h limits.h locale.h math.h
setjmp.h signal.h stdalign.h stdarg.h stdatomic.h stdbool.h stddef.h stdint.h stdio.h stdlib.h
stdnoreturn.h string.h tgmath.h threads.h time.h uchar.h wchar.h wctype.h
""".split())
# The compiler's own vector intrinsics, the same on every operating system.
INTRINSICS = set("""
mmintrin.h xmmintrin.h emmintrin.h pmmintrin.h tmmintrin.h smmintrin.h nmmintrin.h
wmmintrin.h immintrin.h x86intrin.h
""".split())

SOURCE_EXTENSIONS = (".h", ".hpp", ".c", ".cc", ".cpp", ".inc")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
TEST_NAME = re.compile(r"(_test|_test_support|_bench|_fuzz)\.[a-z]+$|^test_")


def is_test_file(rel):
    parts = rel.split("/")
    return TEST_NAME.search(parts[-1]) is not None or "bench" in parts or "fuzz" in parts


def layer_of(rel):
    """The layer holding the tree path `rel`, or None."""
    best = None
    for layer in LAYERS:
        if rel == layer or rel.startswith(layer + "/"):
            if best is None or len(layer) > len(best):
                best = layer
    return best


def includes(path):
    """(line number, bracket, include path) of each include outside comments."""
    with open(path, encoding="utf-8", errors="replace") as f:
        text = f.read()
    in_comment = False
    for number, line in enumerate(text.splitlines(), 1):
        code = ""
        i = 0
        while i < len(line):
            if in_comment:
                end = line.find("*/", i)
                if end < 0:
                    i = len(line)
                else:
                    in_comment = False
                    i = end + 2
            elif line.startswith("/*", i):
                in_comment = True
                i += 2
            elif line.startswith("//", i):
                break
            else:
                code += line[i]
                i += 1
        m = INCLUDE.match(code)
        if m:
            yield number, m.group(1), m.group(2)


def source_files(root):
    for top in sorted(os.listdir(root)):
        if top.startswith(".") or top.startswith("build") or not os.path.isdir(
                os.path.join(root, top)):
            continue
        for folder, dirs, files in os.walk(os.path.join(root, top)):
            dirs[:] = sorted(d for d in dirs if not d.startswith(".") and not d.startswith("build"))
            for name in sorted(files):
                if name.endswith(SOURCE_EXTENSIONS):
                    yield os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/")


RESOURCES = re.compile(r"orvix_resources\([^)]*\bSYMBOL\s+(\w+)")


def resource_headers(root):
    """The headers orvix_resources generates ("<SYMBOL>.h"), named in any CMakeLists.txt."""
    names = set()
    for folder, dirs, files in os.walk(root):
        dirs[:] = [d for d in dirs if not d.startswith(".") and not d.startswith("build")]
        if "CMakeLists.txt" in files:
            with open(os.path.join(folder, "CMakeLists.txt"), encoding="utf-8") as f:
                names.update(m + ".h" for m in RESOURCES.findall(f.read()))
    return names


def check_include(root, rel, layer, bracket, target, generated=frozenset()):
    """Why including `target` from `rel` breaks the rule, or None."""
    test = is_test_file(rel)
    # A module's compiled resources are its own layer's.
    if bracket == '"' and target in generated:
        return None
    ours = layer_of(target) if target.split("/")[0] in {l.split("/")[0] for l in LAYERS} else None
    if ours is None and bracket == '"':
        near = os.path.normpath(os.path.join(os.path.dirname(rel), target)).replace(os.sep, "/")
        if os.path.exists(os.path.join(root, near)):
            ours = layer_of(near) or "?"
            if ours == "?":
                return "includes a file outside every layer"
    if ours is not None:
        if ours == layer or ours in LAYERS[layer]:
            return None
        if test and (ours == SIMULATOR or target in TEST_INCLUDES.get(layer, [])):
            return None
        return f"{layer}/ may not include {ours}/ (it may use: {', '.join(LAYERS[layer]) or 'none'})"
    if layer == "platform":
        return None
    if target in CXX_STANDARD or target in C_STANDARD or target in INTRINSICS:
        return None
    if test and target.startswith(TEST_FRAMEWORKS):
        return None
    for prefix, tests_only, _ in THIRD_PARTY.get(layer, []):
        if target.startswith(prefix) and (test or not tests_only):
            return None
    return ("operating-system or third-party header outside platform/ "
            "(not the standard library, nor allowed to this layer)")


def check(root):
    """The faults of the tree at `root`, as 'FILE:LINE: message' strings."""
    faults = []
    unplaced = set()
    generated = resource_headers(root)
    for rel in source_files(root):
        layer = layer_of(rel)
        if layer is None:
            unplaced.add(rel.split("/")[0])
            continue
        for number, bracket, target in includes(os.path.join(root, rel)):
            why = check_include(root, rel, layer, bracket, target, generated)
            if why:
                shown = f"<{target}>" if bracket == "<" else f'"{target}"'
                faults.append(f"{rel}:{number}: #include {shown}: {why}")
    for folder in sorted(unplaced):
        faults.append(f"{folder}/: holds C/C++ sources but has no line in the layer table "
                      "of scripts/check_layers.py")
    return faults


def main():
    parser = argparse.ArgumentParser(
        description=__doc__.split("\n")[0],
        epilog="Layers and what each may use:\n" + "\n".join(
            f"  {k + '/':14} {', '.join(v) or '-'}" for k, v in LAYERS.items()),
        formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--root", default=os.path.join(os.path.dirname(__file__), ".."),
                        help="top of the source tree (default: the one holding this script)")
    args = parser.parse_args()
    if not os.path.isdir(args.root):
        print(f"check_layers: no such folder: {args.root}", file=sys.stderr)
        return 2
    faults = check(os.path.abspath(args.root))
    for fault in faults:
        print(fault)
    if faults:
        print(f"check_layers: {len(faults)} include(s) break the layer rule", file=sys.stderr)
        return 1
    print("check_layers: every include keeps to its layer")
    return 0


if __name__ == "__main__":
    sys.exit(main())
