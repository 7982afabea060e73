#!/usr/bin/env python3
"""Measures wordpack against the general compressors on word lists of every kind.

Usage: bench/run_pack_bench.py [--sizes-only] [--check] [--wordpack FILE] BUILD_DIR
       bench/run_pack_bench.py --lists
BUILD_DIR is a Release build with wordpack and wordgen (wordgen makes two of the lists).

For each list (bench/pack_lists.py makes them; `--lists` names them by group): the archive's
size from `wordpack -c`, where its bytes go (set, counts and order, from `wordpack -lv`), and
the sizes of `xz -9e`, `zstd -19 --long=27`, `bzip2 -9`, `brotli -q 11 -w 24` and 7-Zip's PPMd
(`-m0=PPMd:o=32:mem=192m -mx=9`), the smallest of which is "best general", and of `zpaq -m5`,
each on the list as it is. The general tools' sizes are kept in bench/out/pack/general-sizes.json
under the SHA-256 of the list and the tool's command, so a list costs their time only once.

The full run then times packing and unpacking with wordpack, and `xz -9e`, all pinned to one
core (`taskset -c 0`) so that no tool gains from the machine's second core; wordpack's own
parallel steps then share that core. Times are medians of BENCH_PACK_RUNS rounds (default 3),
with each program's peak memory. Every archive is unpacked and compared with the list byte for
byte; a difference stops the benchmark with status 1.

`--sizes-only` packs each list once, runs no timing rounds and measures no memory, and prints
per list wordpack's size beside the best general tool's and zpaq's, with the section split;
`--check` also unpacks and compares each archive. Lists are packed BENCH_PACK_JOBS at a time.

The tools and lists a fresh machine lacks (zstd, brotli, 7-Zip, zpaq, GNU time, the
dictionaries, python3-zxcvbn, john-data, man-db and groff-base) are installed with apt-get.

Environment:
  BENCH_PACK_LISTS       which lists, by name or group (default all)
  BENCH_PACK_RUNS        timed rounds per list (default 3)
  BENCH_PACK_SIZES_ONLY  1 for --sizes-only, as `make bench-pack` passes no options
  BENCH_PACK_CHECK       1 for --check
  BENCH_PACK_JOBS        lists packed, and general tools run, at once where nothing is timed
                         (default: the number of cores)
"""

import argparse
import fcntl
import hashlib
import json
import os
import re
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from concurrent.futures import ThreadPoolExecutor

import pack_lists

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "out", "pack")
GENERAL_CACHE = os.path.join(OUT, "general-sizes.json")
TIME = "/usr/bin/time"
PIN = ["taskset", "-c", "0"]

# Bookworm's 7zip names its program 7zz; older releases have 7z in p7zip-full.
SEVEN_ZIP = shutil.which("7zz") or shutil.which("7z") or "7zz"
# label: the command that reads the list on standard input and writes its packed form, or None
# for the tools that pack a file into an archive (sized by their own functions below).
GENERAL = {
    "xz -9e": ["xz", "-9e", "-c"],
    "zstd -19 --long=27": ["zstd", "-q", "-19", "--long=27", "-c"],
    "bzip2 -9": ["bzip2", "-9", "-c"],
    "brotli -q 11 -w 24": ["brotli", "-q", "11", "-w", "24", "-c"],
    "PPMd o=32": None,
}
ZPAQ = "zpaq -m5"
# package: a path that shows it is installed.
TOOL_PACKAGES = {
    "xz-utils": "xz", "zstd": "zstd", "bzip2": "bzip2", "brotli": "brotli", "zpaq": "zpaq",
    "time": TIME, "7zip": SEVEN_ZIP,
}


def fail(message):
    print(f"run_pack_bench: {message}", file=sys.stderr)
    sys.exit(1)


def note(message):
    print(message, file=sys.stderr, flush=True)


def install_missing(names):
    needed = [package for package, probe in TOOL_PACKAGES.items() if not shutil.which(probe)]
    needed += pack_lists.needed_packages(names)
    if not needed:
        return
    sudo = [] if os.geteuid() == 0 else ["sudo", "-n"]
    note("installing " + " ".join(needed))
    quiet = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
    subprocess.run(sudo + ["apt-get", "update"], **quiet)
    for package in needed:
        if subprocess.run(sudo + ["apt-get", "install", "-y", "--no-install-recommends", package],
                          **quiet).returncode != 0 and package == "7zip":
            subprocess.run(sudo + ["apt-get", "install", "-y", "--no-install-recommends",
                                   "p7zip-full"], **quiet)


def seven_zip_size(path):
    with tempfile.TemporaryDirectory(dir=OUT) as scratch:
        archive = os.path.join(scratch, "list.7z")
        with open(path, "rb") as inp:
            subprocess.run([shutil.which("7zz") or "7z", "a", "-si", "-m0=PPMd:o=32:mem=192m",
                            "-mx=9", archive], stdin=inp, stdout=subprocess.DEVNULL, check=True)
        return os.path.getsize(archive)


def zpaq_size(path):
    with tempfile.TemporaryDirectory(dir=OUT) as scratch:
        archive = os.path.join(scratch, "list.zpaq")
        subprocess.run(["zpaq", "a", archive, os.path.basename(path), "-m5"],
                       cwd=os.path.dirname(path), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True)
        return os.path.getsize(archive)


def tool_size(tool, path):
    if tool == ZPAQ:
        return zpaq_size(path)
    if GENERAL[tool] is None:
        return seven_zip_size(path)
    with open(path, "rb") as inp:
        return len(subprocess.run(GENERAL[tool], stdin=inp, capture_output=True,
                                  check=True).stdout)


def digest(path):
    sha = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            sha.update(block)
    return sha.hexdigest()


class GeneralSizes:
    """The general tools' sizes of each list, kept on disk between runs: {list digest: {tool:
    size}}; a tool's label is its command, so a changed command is measured afresh. Runs of the
    benchmark may measure at once: each size is merged into the file under a lock, and a size
    that another run has measured meanwhile is not measured again."""

    def __init__(self):
        self.lock = threading.Lock()
        self.sizes = {}
        self.load()

    def load(self):
        if os.path.exists(GENERAL_CACHE):
            with open(GENERAL_CACHE) as f:
                for key, sizes in json.load(f).items():
                    self.sizes.setdefault(key, {}).update(sizes)

    def missing(self, key):
        return [t for t in [*GENERAL, ZPAQ] if t not in self.sizes.get(key, {})]

    def measure(self, name, key, path, tool):
        with self.lock, open(GENERAL_CACHE + ".lock", "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            self.load()
        if tool not in self.missing(key):
            return
        start = time.perf_counter()
        size = tool_size(tool, path)
        with self.lock, open(GENERAL_CACHE + ".lock", "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            self.load()
            self.sizes.setdefault(key, {})[tool] = size
            with open(GENERAL_CACHE + ".part", "w") as f:
                json.dump(self.sizes, f, indent=1, sort_keys=True)
            os.replace(GENERAL_CACHE + ".part", GENERAL_CACHE)
        note(f"  {tool} of {name}: {size:,} bytes in {time.perf_counter() - start:.1f} s")

    def fill(self, lists, jobs):
        """Measures what is missing, the largest lists first so that the pool ends together."""
        tasks = [(name, key, path, tool) for name, (path, key) in lists.items()
                 for tool in self.missing(key)]
        if not tasks:
            return
        note(f"measuring the general tools: {len(tasks)} runs")
        tasks.sort(key=lambda task: -os.path.getsize(task[2]))
        start = time.perf_counter()
        with ThreadPoolExecutor(jobs) as pool:
            for done in [pool.submit(self.measure, *task) for task in tasks]:
                done.result()
        note(f"general tools measured in {time.perf_counter() - start:.0f} s")

    def row(self, key):
        general = {t: self.sizes[key][t] for t in GENERAL}
        best = min(general, key=general.get)
        return {"best": general[best], "best_tool": best, "zpaq": self.sizes[key][ZPAQ]}


def count_lines(path):
    lines, last = 0, b"\n"
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            lines += block.count(b"\n")
            last = block[-1:]
    return lines + (last != b"\n")


# A block's row of `wordpack -lv`: "... set MODEL (N bytes), counts N bytes, order MODEL (N bytes)".
SECTIONS = re.compile(r"set (\S+) \(([\d,]+) bytes\), counts ([\d,]+) bytes, "
                      r"order (.*?) \(([\d,]+) bytes\)")


def archive_split(wordpack, archive):
    """Where the archive's bytes go (summed over its blocks) and the models it names, from
    `wordpack -lv`."""
    listing = subprocess.run([wordpack, "-lv", archive], capture_output=True, text=True).stdout
    split, models = [0, 0, 0], set()
    for set_model, set_bytes, counts_bytes, order_model, order_bytes in SECTIONS.findall(listing):
        for i, f in enumerate((set_bytes, counts_bytes, order_bytes)):
            split[i] += int(f.replace(",", ""))
        models.add(f"{set_model}, {order_model}")
    return split, "; ".join(sorted(models))


def run(argv, stdin_path, stdout_path, pinned=True):
    """Runs argv, pinned to one core unless told; returns (seconds, peak RSS in KiB)."""
    with tempfile.NamedTemporaryFile("r", dir=OUT, suffix=".rss") as rss, \
            open(stdin_path, "rb") as inp, open(stdout_path, "wb") as out:
        start = time.perf_counter()
        done = subprocess.run([TIME, "-f", "%M", "-o", rss.name, *(PIN if pinned else []),
                               *argv], stdin=inp, stdout=out)
        seconds = time.perf_counter() - start
        if done.returncode != 0:
            fail(f"{shlex.join(argv)} exited with status {done.returncode}")
        return seconds, int(rss.read().split()[-1])


def round_trip(wordpack, name, path, archive, restored, pinned):
    """Unpacks the archive and compares it with the list; returns the unpack's (seconds, KiB)."""
    measured = run([wordpack, "-dc"], archive, restored, pinned)
    if subprocess.run(["cmp", "-s", path, restored]).returncode != 0:
        fail(f"{name}: the unpacked list differs from the list")
    return measured


def measure_sizes(wordpack, name, path, check):
    archive = os.path.join(OUT, name + ".wpk")
    restored = os.path.join(OUT, name + ".restored")
    seconds, _ = run([wordpack, "-c"], path, archive, pinned=False)
    if check:
        round_trip(wordpack, name, path, archive, restored, pinned=False)
        os.remove(restored)
    split, models = archive_split(wordpack, archive)
    row = {"wordpack": os.path.getsize(archive), "split": split, "models": models,
           "pack": seconds}
    os.remove(archive)
    return row


def measure_times(wordpack, name, path, rounds):
    archive = os.path.join(OUT, name + ".wpk")
    restored = os.path.join(OUT, name + ".restored")
    packs, unpacks, xzs = [], [], []
    pack_rss = unpack_rss = xz_rss = 0
    for _ in range(rounds):
        seconds, pack_rss = run([wordpack, "-c"], path, archive)
        packs.append(seconds)
        seconds, unpack_rss = round_trip(wordpack, name, path, archive, restored, pinned=True)
        unpacks.append(seconds)
        seconds, xz_rss = run(GENERAL["xz -9e"], path, os.devnull)
        xzs.append(seconds)
    row = {
        "wordpack": os.path.getsize(archive), "pack": statistics.median(packs),
        "unpack": statistics.median(unpacks), "xz": statistics.median(xzs),
        "pack_rss": pack_rss, "unpack_rss": unpack_rss, "xz_rss": xz_rss,
    }
    for path_made in (archive, restored):
        os.remove(path_made)
    return row


def chosen_lists():
    chosen = []
    for word in os.environ.get("BENCH_PACK_LISTS", " ".join(pack_lists.LISTS)).split():
        if word in pack_lists.GROUPS:
            chosen += pack_lists.GROUPS[word]
        elif word in pack_lists.LISTS:
            chosen.append(word)
        else:
            fail(f"no list or group named {word}; `run_pack_bench.py --lists` names them")
    return list(dict.fromkeys(chosen))


def print_lists():
    for group, names in pack_lists.GROUPS.items():
        print(f"{group}:")
        for name in names:
            entry = pack_lists.LISTS[name]
            source = entry.shipped or " ".join([entry.recipe.__name__, *map(str, entry.args)])
            print(f"  {name:<22} {source}")


def print_sizes(rows, check):
    print(f"sizes in bytes; best general is the smallest of {', '.join(GENERAL)}; "
          f"{'every archive unpacked and compared' if check else 'archives not unpacked'}")
    print()
    print("| list | group | lines | size | wordpack | best general | wordpack/best | zpaq -m5 | "
          "wordpack/zpaq | set | counts | order | models (set, order) |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|---|")
    for r in rows:
        print(f"| {r['name']} | {r['group']} | {r['lines']:,} | {r['bytes']:,} | "
              f"{r['wordpack']:,} | {r['best']:,} ({r['best_tool']}) | "
              f"{r['wordpack'] / r['best']:.3f} | {r['zpaq']:,} | {r['wordpack'] / r['zpaq']:.3f} | "
              f"{r['split'][0]:,} | {r['split'][1]:,} | {r['split'][2]:,} | {r['models']} |")
    print()
    print("| group | lists | worst wordpack/best | worst wordpack/zpaq | above best | above zpaq |")
    print("|---|---|---|---|---|---|")
    for group in dict.fromkeys(r["group"] for r in rows):
        members = [r for r in rows if r["group"] == group]
        best = max(members, key=lambda r: r["wordpack"] / r["best"])
        zpaq = max(members, key=lambda r: r["wordpack"] / r["zpaq"])
        print(f"| {group} | {len(members)} | {best['wordpack'] / best['best']:.3f} ({best['name']}) | "
              f"{zpaq['wordpack'] / zpaq['zpaq']:.3f} ({zpaq['name']}) | "
              f"{sum(r['wordpack'] > r['best'] for r in members)} | "
              f"{sum(r['wordpack'] > r['zpaq'] for r in members)} |")


def print_times(rows, rounds, load):
    print(f"{os.cpu_count()} CPUs, load average {load:.2f} before and {os.getloadavg()[0]:.2f} "
          f"after; sizes in bytes; times are medians of {rounds}, every tool pinned to one core; "
          "memory is peak RSS over the list's size")
    print()
    print("| list | lines | size | wordpack | best general | wordpack/best | zpaq -m5 | "
          "wordpack/zpaq | pack s | unpack s | xz -9e s | pack mem/list | unpack mem/list | "
          "xz -9e mem/list |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|")
    for r in rows:
        print(f"| {r['name']} | {r['lines']:,} | {r['bytes']:,} | {r['wordpack']:,} | "
              f"{r['best']:,} ({r['best_tool']}) | {r['wordpack'] / r['best']:.2f} | "
              f"{r['zpaq']:,} | {r['wordpack'] / r['zpaq']:.2f} | {r['pack']:.2f} | "
              f"{r['unpack']:.2f} | {r['xz']:.2f} | {r['pack_rss'] * 1024 / r['bytes']:.1f} | "
              f"{r['unpack_rss'] * 1024 / r['bytes']:.1f} | "
              f"{r['xz_rss'] * 1024 / r['bytes']:.1f} |")


def main():
    parser = argparse.ArgumentParser(description="wordpack against the general compressors")
    parser.add_argument("build", nargs="?", help="a Release build directory")
    parser.add_argument("--sizes-only", action="store_true",
                        default=os.environ.get("BENCH_PACK_SIZES_ONLY") == "1")
    parser.add_argument("--check", action="store_true",
                        default=os.environ.get("BENCH_PACK_CHECK") == "1")
    parser.add_argument("--wordpack", help="the wordpack to measure (default BUILD_DIR/wordpack)")
    parser.add_argument("--lists", action="store_true", help="name the lists by group and stop")
    options = parser.parse_args()
    if options.lists:
        print_lists()
        return
    if not options.build:
        parser.error("BUILD_DIR is needed")
    wordpack = os.path.abspath(options.wordpack or os.path.join(options.build, "wordpack"))
    rounds = int(os.environ.get("BENCH_PACK_RUNS", "3"))
    jobs = int(os.environ.get("BENCH_PACK_JOBS", str(os.cpu_count())))
    os.makedirs(OUT, exist_ok=True)
    chosen = chosen_lists()
    install_missing(chosen)
    for tool in ("xz", "zstd", "bzip2", "brotli", "zpaq", "taskset"):
        if not shutil.which(tool):
            fail(f"{tool} is missing and could not be installed")
    if not (shutil.which("7zz") or shutil.which("7z")):
        fail("7-Zip is missing and could not be installed")
    load = os.getloadavg()[0]

    start = time.perf_counter()
    lists = {}
    for name in chosen:
        path = pack_lists.make_list(name, options.build)
        if not path:
            note(f"{name}: its source is missing: left out")
            continue
        lists[name] = (path, digest(path))
    note(f"lists ready in {time.perf_counter() - start:.0f} s")
    general = GeneralSizes()
    general.fill(lists, jobs)

    def measure(name):
        path, key = lists[name]
        note(f"packing {name}")
        row = {"name": name, "group": pack_lists.LISTS[name].group, "lines": count_lines(path),
               "bytes": os.path.getsize(path), **general.row(key)}
        if options.sizes_only:
            row.update(measure_sizes(wordpack, name, path, options.check))
        else:
            row.update(measure_times(wordpack, name, path, rounds))
        return row

    start = time.perf_counter()
    if options.sizes_only:
        # The largest lists first, so that the pool's last list is a short one.
        with ThreadPoolExecutor(jobs) as pool:
            done = {name: pool.submit(measure, name)
                    for name in sorted(lists, key=lambda n: -os.path.getsize(lists[n][0]))}
            rows = [done[name].result() for name in lists]
    else:
        rows = [measure(name) for name in lists]
    note(f"wordpack measured in {time.perf_counter() - start:.0f} s")
    print()
    if options.sizes_only:
        print_sizes(rows, options.check)
    else:
        print_times(rows, rounds, load)


if __name__ == "__main__":
    main()
