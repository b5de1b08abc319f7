#!/usr/bin/python3
"""Reads the file version of each FILE with Python's pefile, as file_version_bench reads
it, and prints the median time per file: the comparison point for CVersion.

usage: bench/pefile_version.py [--runs N] FILE...
       bench/pefile_version.py --list FILE...

With --list, each file is read once and printed as "FILE: a.b.c.d" (the four numbers of
its file version), or "FILE: no version information" on standard error: the whole-process
comparison that bench/fileversion_vs_pefile.py times against `navotools fileversion`.

pefile opens each file with fast_load and parses only the resource directory, which is
where the version block lives: the least work pefile can do for a version. Debian and
Ubuntu ship it as python3-pefile.
"""
import argparse
import statistics
import sys
import time

import pefile

RESOURCE = pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]


def read_version(path):
    pe = pefile.PE(path, fast_load=True)
    try:
        pe.parse_data_directories(directories=[RESOURCE])
        fixed = pe.VS_FIXEDFILEINFO[0]
    finally:
        pe.close()
    return (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
            fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=2000)
    parser.add_argument("--list", action="store_true",
                        help="read each file once and print its version, untimed")
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()
    if args.list:
        result = 0
        for path in args.files:
            try:
                print("%s: %d.%d.%d.%d" % (path, *read_version(path)))
            except (AttributeError, IndexError, pefile.PEFormatError, OSError):
                print("%s: no version information" % path, file=sys.stderr)
                result = 1
        return result
    for path in args.files:
        version = read_version(path)
        samples = []
        for _ in range(args.runs):
            start = time.perf_counter_ns()
            read_version(path)
            samples.append(time.perf_counter_ns() - start)
        print("%s: %d.%d.%d.%d, median %.1f us per file over %d runs"
              % (path, *version, statistics.median(samples) / 1000.0, args.runs))
    return 0


if __name__ == "__main__":
    sys.exit(main())
