#!/usr/bin/python3
"""Times `navotools fileversion` over a corpus of PE DLLs as a whole process, next to
Python's pefile (bench/pefile_version.py --list) and a floor (bench/pread_floor.c: open,
two 8 KiB preads, close), in paired rounds, and checks that navotools and pefile agree
on every file.

usage: bench/fileversion_vs_pefile.py [--navotools PATH] [--count N] [--runs N] [FILE...]

Without FILEs the corpus is the first COUNT (400) x86_64 DLLs of Debian's libwine in
sorted order, as `dpkg -L libwine` lists them. Each round runs the three programs one
after the other over the same files; the figures are the medians over the rounds, per
file, and the median of the per-round ratios. One untimed round first warms the page
cache and gives the outputs that are compared. Each round also runs the three over the
first file alone, which tells a program's start-up from the cost of each further file.
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def wine_dlls(count):
    arch = subprocess.run(["dpkg", "--print-architecture"], capture_output=True, text=True,
                          check=True).stdout.strip()
    listing = subprocess.run(["dpkg", "-L", "libwine:" + arch], capture_output=True, text=True)
    if listing.returncode != 0:
        sys.exit("no libwine:%s installed (apt-get install libwine): %s" % (arch, listing.stderr.strip()))
    dlls = sorted(line for line in listing.stdout.splitlines()
                  if "/x86_64-windows/" in line and line.endswith(".dll") and os.path.isfile(line))
    if len(dlls) < count:
        sys.exit("libwine lists %d x86_64 DLLs, fewer than %d" % (len(dlls), count))
    return dlls[:count]


def pefile_python():
    """An interpreter that imports pefile: this one, else the system's, where Debian's
    python3-pefile lives."""
    for python in (sys.executable, "/usr/bin/python3"):
        if python and subprocess.run([python, "-c", "import pefile"], capture_output=True).returncode == 0:
            return python
    sys.exit("no Python with pefile (apt-get install python3-pefile)")


def build_floor(folder):
    compiler = shutil.which("cc") or shutil.which("gcc") or sys.exit("no C compiler (cc) to build the floor")
    program = os.path.join(folder, "pread_floor")
    subprocess.run([compiler, "-O2", "-o", program, os.path.join(HERE, "pread_floor.c")], check=True)
    return program


def run(command, capture=False):
    """Elapsed and CPU (user + system) nanoseconds of the whole process, and its outputs
    when captured. The CPU time shows the work when a busy machine stretches the elapsed
    time."""
    if capture:
        start = time.perf_counter_ns()
        done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        return time.perf_counter_ns() - start, 0, done
    start = time.perf_counter_ns()
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, _, usage = os.wait4(child.pid, 0)
    elapsed = time.perf_counter_ns() - start
    child.returncode = 0  # reaped by wait4
    return elapsed, int((usage.ru_utime + usage.ru_stime) * 1e9), None


# "FILE: 1.02.04 (1.2.3.4)" from navotools; "FILE: 1.2.3.4" from pefile_version.py --list.
OURS = re.compile(r"^(.*): \S+ \((\d+\.\d+\.\d+\.\d+)\)$")
THEIRS = re.compile(r"^(.*): (\d+\.\d+\.\d+\.\d+)$")
FAILED = re.compile(r"^(?:navotools: fileversion: )?(.*): no version information")


def versions(done, pattern):
    found = {}
    for line in done.stdout.splitlines():
        match = pattern.match(line)
        if match:
            found[match.group(1)] = match.group(2)
    for line in done.stderr.splitlines():
        match = FAILED.match(line)
        if match:
            found[match.group(1)] = "none"
    return found


def compare(files, ours, theirs):
    """The files on which the two outputs differ, or that either left out."""
    differ = []
    for path in files:
        a, b = ours.get(path), theirs.get(path)
        if a is None or b is None or a != b:
            differ.append((path, a, b))
    return differ


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--navotools", default=os.path.join(ROOT, "build/default/navotools"))
    parser.add_argument("--count", type=int, default=400)
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("files", nargs="*")
    args = parser.parse_args()
    files = args.files or wine_dlls(args.count)
    if not os.access(args.navotools, os.X_OK):
        sys.exit("no navotools at %s (build it: cmake --build --preset default --target navotools)" % args.navotools)

    with tempfile.TemporaryDirectory() as folder:
        floor = build_floor(folder)
        commands = {
            "navotools": [args.navotools, "fileversion", *files],
            "pefile": [pefile_python(), os.path.join(HERE, "pefile_version.py"), "--list", *files],
            "floor": [floor, *files],
        }
        outputs = {name: run(command, capture=True)[2] for name, command in commands.items()}
        for name in ("pefile", "floor"):
            if not outputs[name].stdout.strip():
                sys.exit("%s failed: %s" % (name, outputs[name].stderr.strip()[-2000:]))
        differ = compare(files, versions(outputs["navotools"], OURS), versions(outputs["pefile"], THEIRS))
        with_version = sum(1 for line in outputs["pefile"].stdout.splitlines() if THEIRS.match(line))

        # The same programs over the first file alone: what a run costs before its files,
        # so that the cost of each further file can be told from the start-up.
        single = {
            "navotools": [args.navotools, "fileversion", files[0]],
            "pefile": [pefile_python(), os.path.join(HERE, "pefile_version.py"), "--list", files[0]],
            "floor": [floor, files[0]],
        }
        times = {name: [] for name in commands}
        cpu = {name: [] for name in commands}
        starts = {name: [] for name in commands}
        for _ in range(args.runs):
            for name, command in commands.items():
                elapsed, used, _ = run(command)
                times[name].append(elapsed)
                cpu[name].append(used)
                starts[name].append(run(single[name])[0])

    def report(label, samples):
        per_file = {name: statistics.median(values) / len(files) / 1000.0 for name, values in samples.items()}
        ratio_pefile = statistics.median(p / n for p, n in zip(samples["pefile"], samples["navotools"]))
        ratio_floor = statistics.median(n / f for n, f in zip(samples["navotools"], samples["floor"]))
        print("%s, medians:" % label)
        print("  navotools fileversion  %8.1f us per file" % per_file["navotools"])
        print("  pefile                 %8.1f us per file" % per_file["pefile"])
        print("  floor (open, 2 preads) %8.1f us per file" % per_file["floor"])
        print("  pefile / navotools     %8.1f x" % ratio_pefile)
        print("  navotools / floor      %8.1f x" % ratio_floor)

    print("%d files (%d with a version resource), %d paired rounds" % (len(files), with_version, args.runs))
    report("elapsed time", times)
    report("CPU time (user + system)", cpu)
    if len(files) > 1:
        print("elapsed time of a run over one file, and of each further file, medians:")
        for name in commands:
            one = statistics.median(starts[name]) / 1000.0
            further = (statistics.median(times[name]) / 1000.0 - one) / (len(files) - 1)
            print("  %-22s %8.0f us, then %6.1f us per file" % (name, one, further))
    if differ:
        print("navotools and pefile disagree on %d files:" % len(differ))
        for path, a, b in differ[:20]:
            print("  %s: navotools %s, pefile %s" % (path, a, b))
        return 1
    print("navotools and pefile agree on all %d files" % len(files))
    return 0


if __name__ == "__main__":
    sys.exit(main())
