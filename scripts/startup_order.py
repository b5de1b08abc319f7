#!/usr/bin/python3
"""Writes cmake/startup_order.txt: the functions of libNavoTools.so and of the navotools
tool that a run of `navotools fileversion` executes, in the order the profile lists them.
The linker lays them out together (lld's --symbol-ordering-file), so that a run maps a few
pages of each object's code instead of one or two in every 64 KiB of it.

usage: scripts/startup_order.py [FILE...]

Runs the build tree's tool (build/default/navotools) under valgrind's callgrind over the
FILEs: by default the first 60 of Wine's x86_64 DLLs where libwine is installed, else the
version fixtures of the test build. Run it again after a change to the start-up or to the
version read; a name that no longer exists is skipped by the linker, and the test
navotools_startup_order fails once too many have gone.
"""
import glob
import os
import re
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TOOL = os.path.join(ROOT, "build/default/navotools")
OUT = os.path.join(ROOT, "cmake/startup_order.txt")
OBJECTS = ("libNavoTools.so", "/navotools")


def default_files():
    wine = sorted(glob.glob("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/*.dll"))
    if wine:
        return wine[:60]
    fixtures = sorted(glob.glob(os.path.join(ROOT, "build/default/tests/*.dll")))
    if not fixtures:
        sys.exit("no files to read: install libwine or build the tests")
    return fixtures


def executed_functions(profile):
    """The functions of our objects that the callgrind profile names, first mention first."""
    objects, names, found = {}, {}, []
    seen = set()
    current = None
    with open(profile, errors="replace") as lines:
        for line in lines:
            match = re.match(r"^(c?ob)=\((\d+)\)(?: (.*))?$", line.rstrip("\n"))
            if match:
                if match.group(3):
                    objects[match.group(2)] = match.group(3)
                if match.group(1) == "ob":
                    current = objects[match.group(2)]
                continue
            match = re.match(r"^(c?fn)=\((\d+)\)(?: (.*))?$", line.rstrip("\n"))
            if not match:
                continue
            if match.group(3):
                names[match.group(2)] = match.group(3)
            name = names[match.group(2)]
            if match.group(1) == "fn" and current and any(o in current for o in OBJECTS) and name not in seen:
                seen.add(name)
                found.append(name)
    return found


def main():
    if not os.access(TOOL, os.X_OK):
        sys.exit("no tool at %s (cmake --build --preset default)" % TOOL)
    files = sys.argv[1:] or default_files()
    with tempfile.TemporaryDirectory() as folder:
        profile = os.path.join(folder, "callgrind.out")
        subprocess.run(["valgrind", "--tool=callgrind", "--demangle=no", "--callgrind-out-file=" + profile,
                        TOOL, "fileversion", *files], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        functions = executed_functions(profile)
    if not functions:
        sys.exit("the profile names no function of the library or the tool")
    with open(OUT, "w") as out:
        out.write("# Written by scripts/startup_order.py: the functions a run of `navotools fileversion`\n"
                  "# executes, which the linker lays out first. Regenerate rather than edit.\n")
        out.write("\n".join(functions) + "\n")
    print("%s: %d functions" % (os.path.relpath(OUT, ROOT), len(functions)))


if __name__ == "__main__":
    main()
