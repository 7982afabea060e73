#!/usr/bin/env python3
"""Measures wordpack against the general compressors on word lists of every kind.

Usage: bench/run_pack_bench.py BUILD_DIR   (a Release build with wordpack and wordgen)

For each list: the archive's size from `wordpack -c`, and the sizes of `xz -9e`,
`zstd -19 --long=27`, `bzip2 -9` and `brotli -q 11` (the smallest of them is "best general") and
of `zpaq -m5`, each on the list as it is. Then the time and peak memory of packing and unpacking
with wordpack, and of `xz -9e`, all pinned to one core (`taskset -c 0`) so that no tool
gains from the machine's second core; wordpack's own parallel steps then share that core. Times
are medians of BENCH_PACK_RUNS rounds (default 3). Every archive is unpacked and compared with
the list byte for byte; a difference stops the benchmark with status 1.

The tools and lists a fresh machine lacks (zstd, brotli, zpaq, GNU time, the dictionaries, the
password and frequency lists of python3-zxcvbn and john-data) are installed with apt-get.

Environment:
  BENCH_PACK_LISTS  which lists, by name (default all; see LISTS below)
  BENCH_PACK_RUNS   timed rounds per list (default 3)
"""

import os
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "out", "pack")
TIME = "/usr/bin/time"
PACKAGES = ["xz-utils", "zstd", "bzip2", "brotli", "zpaq", "time", "wamerican-insane", "wngerman",
            "wfrench", "python3-zxcvbn", "john-data"]
ZXCVBN = "/usr/bin/python3"
DICT = "/usr/share/dict/"

# name: (kind of list, how it is made). A "file" is used as it is; "shuffled" is that file in a
# seeded random order; "wordgen" runs wordgen; "zxcvbn" is one of that package's frequency lists,
# most frequent first; "command" runs a shell command.
LISTS = {
    "american": ("file", DICT + "american-english-insane"),
    "american-shuffled": ("shuffled", DICT + "american-english-insane"),
    "ngerman": ("file", DICT + "ngerman"),
    "ngerman-shuffled": ("shuffled", DICT + "ngerman"),
    "french": ("file", DICT + "french"),
    "french-shuffled": ("shuffled", DICT + "french"),
    "random": ("wordgen", ["1000000"]),
    "repeated": ("wordgen", ["1000000", "--distinct", "1000"]),
    "passwords": ("zxcvbn", "passwords"),
    "john-passwords": ("file", "/usr/share/john/password.lst"),
    "wikipedia-words": ("zxcvbn", "english_wikipedia"),
    "tv-words": ("zxcvbn", "us_tv_and_film"),
    "surnames": ("zxcvbn", "surnames"),
    "package-paths": ("command", "dpkg-query -L $(dpkg-query -W -f '${Package} ') 2>/dev/null"),
    "usr-paths": ("command", "find /usr -xdev 2>/dev/null | head -n 300000"),
}

GENERAL = {
    "xz -9e": ["xz", "-9e", "-c"],
    "zstd -19 --long=27": ["zstd", "-q", "-19", "--long=27", "-c"],
    "bzip2 -9": ["bzip2", "-9", "-c"],
    "brotli -q 11": ["brotli", "-q", "11", "-c"],
}
PIN = ["taskset", "-c", "0"]


def fail(message):
    print(f"run_pack_bench: {message}", file=sys.stderr)
    sys.exit(1)


def install_missing():
    needed = [p for p, probe in zip(PACKAGES, [
        shutil.which("xz"), shutil.which("zstd"), shutil.which("bzip2"), shutil.which("brotli"),
        shutil.which("zpaq"), os.path.exists(TIME), os.path.exists(DICT + "american-english-insane"),
        os.path.exists(DICT + "ngerman"), os.path.exists(DICT + "french"),
        os.path.exists("/usr/lib/python3/dist-packages/zxcvbn"),
        os.path.exists("/usr/share/john/password.lst")]) if not probe]
    if not needed:
        return
    sudo = [] if os.geteuid() == 0 else ["sudo", "-n"]
    print("installing " + " ".join(needed), flush=True)
    quiet = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
    subprocess.run(sudo + ["apt-get", "update"], **quiet)
    subprocess.run(sudo + ["apt-get", "install", "-y", "--no-install-recommends", *needed], **quiet)


def make_list(build, name):
    """The list's path, made under OUT unless it is a file used as it is; None when its source
    is missing."""
    kind, source = LISTS[name]
    if kind == "file":
        return source if os.path.exists(source) else None
    path = os.path.join(OUT, name)
    if os.path.exists(path):
        return path
    wordgen = os.path.join(build, "bench", "wordgen")
    with open(path + ".part", "wb") as out:
        if kind == "shuffled":
            if not os.path.exists(source):
                return None
            with open(source, "rb") as inp:
                subprocess.run([wordgen, "--shuffle", "--seed", "7"], stdin=inp, stdout=out,
                               check=True)
        elif kind == "wordgen":
            subprocess.run([wordgen, *source], stdout=out, check=True)
        elif kind == "zxcvbn":
            script = ("import sys, zxcvbn.frequency_lists as f; "
                      f"sys.stdout.write(''.join(w + '\\n' for w in f.FREQUENCY_LISTS['{source}']))")
            if subprocess.run([ZXCVBN, "-c", script], stdout=out).returncode != 0:
                return None
        else:
            subprocess.run(["sh", "-c", source], stdout=out)
    os.rename(path + ".part", path)
    return path


def run(argv, stdin_path, stdout_path):
    """Runs argv pinned to one core; returns (seconds, peak RSS in KiB)."""
    with tempfile.NamedTemporaryFile("r", dir=OUT, suffix=".rss") as rss, \
            open(stdin_path, "rb") as inp, open(stdout_path, "wb") as out:
        start = time.perf_counter()
        done = subprocess.run([TIME, "-f", "%M", "-o", rss.name, *PIN, *argv], stdin=inp,
                              stdout=out)
        seconds = time.perf_counter() - start
        if done.returncode != 0:
            fail(f"{shlex.join(argv)} exited with status {done.returncode}")
        return seconds, int(rss.read().split()[-1])


def zpaq_size(path):
    with tempfile.TemporaryDirectory(dir=OUT) as scratch:
        archive = os.path.join(scratch, "list.zpaq")
        subprocess.run(["zpaq", "a", archive, os.path.basename(path), "-m5"],
                       cwd=os.path.dirname(path), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True)
        return os.path.getsize(archive)


def measure(build, name, path, rounds):
    wordpack = os.path.join(build, "wordpack")
    archive = os.path.join(OUT, name + ".wpk")
    restored = os.path.join(OUT, name + ".restored")
    packs, unpacks, xzs = [], [], []
    pack_rss = unpack_rss = xz_rss = 0
    for _ in range(rounds):
        seconds, pack_rss = run([wordpack, "-c"], path, archive)
        packs.append(seconds)
        seconds, unpack_rss = run([wordpack, "-dc"], archive, restored)
        unpacks.append(seconds)
        if subprocess.run(["cmp", "-s", path, restored]).returncode != 0:
            fail(f"{name}: the unpacked list differs from the list")
        seconds, xz_rss = run(GENERAL["xz -9e"], path, os.devnull)
        xzs.append(seconds)
    general = {}
    for tool, argv in GENERAL.items():
        with open(path, "rb") as inp:
            packed = subprocess.run(argv, stdin=inp, capture_output=True, check=True)
        general[tool] = len(packed.stdout)
    best_tool = min(general, key=general.get)
    lines = sum(1 for _ in open(path, "rb"))
    row = {
        "name": name, "lines": lines, "bytes": os.path.getsize(path),
        "wordpack": os.path.getsize(archive), "best": general[best_tool], "best_tool": best_tool,
        "zpaq": zpaq_size(path), "pack": statistics.median(packs),
        "unpack": statistics.median(unpacks), "xz": statistics.median(xzs),
        "pack_rss": pack_rss, "unpack_rss": unpack_rss, "xz_rss": xz_rss,
    }
    for path_made in (archive, restored):
        os.remove(path_made)
    return row


def main():
    if len(sys.argv) != 2:
        fail("usage: run_pack_bench.py BUILD_DIR")
    build = sys.argv[1]
    os.makedirs(OUT, exist_ok=True)
    install_missing()
    for tool in ("xz", "zstd", "bzip2", "brotli", "zpaq", "taskset"):
        if not shutil.which(tool):
            fail(f"{tool} is missing and could not be installed")
    chosen = os.environ.get("BENCH_PACK_LISTS", " ".join(LISTS)).split()
    rounds = int(os.environ.get("BENCH_PACK_RUNS", "3"))
    for name in chosen:
        if name not in LISTS:
            fail(f"no list named {name}; the lists are: {' '.join(LISTS)}")
    load = os.getloadavg()[0]
    rows = []
    for name in chosen:
        path = make_list(build, name)
        if not path:
            print(f"{name}: its source is missing: left out", flush=True)
            continue
        print(f"measuring {name}", flush=True)
        rows.append(measure(build, name, path, rounds))
    print()
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


if __name__ == "__main__":
    main()
