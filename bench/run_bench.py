#!/usr/bin/env python3
"""Times wordperm against sort and cp on generated word files, then runs the micro-benchmarks.

Usage: bench/run_bench.py BUILD_DIR   (a Release build with wordperm, wordgen, wordperm_micro)

Each word file is timed on one core and on two. On one core, `wordperm d`, `wordperm x` and
`LC_ALL=C sort --parallel=1 -S 2G` run pinned to the same CPU with taskset, so that wordperm's
second thread cannot borrow a core sort does not have; on two, wordperm runs unpinned against
`sort --parallel=2`. `cp` is the floor: reading and writing the same bytes. All of them are
interleaved within each round, so that a slow spell of the machine hits all alike, and each
time is the median of the rounds. Peak memory is each tool's maximum resident set size, as GNU
time reports it, over all its runs; wordperm's is given as a ratio to that of sort on one core.
All runs read a file that was just written or read, so they measure warm page-cache runs, not
the disk.

Every run is checked: the restored file must equal the word file and the sorted list must equal
sort's output, byte for byte; a mismatch stops the benchmark with status 1. The big file is
checked without sort's output (sort would spill to disk): its sorted list must be in order
(`sort -c`) and its restored file equal to it; it is deleted afterwards.

Environment:
  BENCH_FILES  which word files, by name (default all but big), e.g. "1m dict"; the names are
               in the README and in FILES below
  BENCH_RUNS   rounds per file (default 5, 3 for the 10,000,000-line files, 1 for big)
  BENCH_MICRO  "all" (default), "none", or a regular expression of micro-benchmarks to run
"""

import math
import os
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "out")
DICTIONARIES = ["/usr/share/dict/american-english-insane", "/usr/share/dict/british-english-insane"]
DICTIONARY_PACKAGES = ["wamerican-insane", "wbritish-insane"]
TIME = "/usr/bin/time"
DICT = "<dictionary>"  # stands for the dictionary file in the recipes below

# name: (wordgen arguments, standard input or None). "dict" is the dictionary itself.
FILES = {
    "1m": (["1000000"], None),
    "10m": (["10000000"], None),
    "dict": (None, DICT),
    "dict-shuffled": (["--shuffle", "--seed", "7"], DICT),
    "dict-sorted": (["--sorted"], DICT),
    "dict-desc": (["--sorted", "--descending"], DICT),
    "identical": (["1000000", "--distinct", "1"], None),
    "1000-words": (["1000000", "--distinct", "1000"], None),
    "empty": (["1000000", "--min", "0", "--max", "0"], None),
    "prefix": (["200000", "--prefix", "290", "--min", "9", "--max", "9"], None),
    "descending": (["10000000", "--descending"], None),
    "adversarial": (["--adversarial", "1000000"], None),
    "adv-shuffled": (["--shuffle", "--seed", "7"], "adversarial"),
    # 2.5 GiB of 100-byte lines: only when asked for by name.
    "big": (["26843546", "--min", "99", "--max", "99"], None),
}
DEFAULT_FILES = [name for name in FILES if name != "big"]


def fail(message):
    print(f"run_bench: {message}", file=sys.stderr)
    sys.exit(1)


def run_measured(argv, env=None):
    """Runs argv with standard output discarded; returns (wall seconds, CPU seconds, peak RSS in
    KiB). CPU seconds (user and system) are what the run itself spent: on a busy machine they
    still tell a one-core run's cost when the wall time also counts the waits for the CPU. They
    come from wait4 on GNU time, whose usage includes that of the program it waited for.

    The peak comes from GNU time, not from this process's own wait4: a child forked or spawned
    from here starts out sharing this interpreter's pages, and Linux keeps that high-water mark
    across exec, so every tool would seem to need at least as much memory as Python holds."""
    with tempfile.NamedTemporaryFile("r", dir=OUT, suffix=".rss") as rss:
        actions = [(os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0)]
        timed = [TIME, "-f", "%M", "-o", rss.name, *argv]
        start = time.perf_counter()
        pid = os.posix_spawn(TIME, timed, env if env is not None else os.environ,
                             file_actions=actions)
        _, status, usage = os.wait4(pid, 0)
        seconds = time.perf_counter() - start
        code = os.waitstatus_to_exitcode(status)
        if code != 0:
            fail(f"{shlex.join(argv)} exited with status {code}")
        return seconds, usage.ru_utime + usage.ru_stime, int(rss.read().split()[-1])


def generate(wordgen, name, args, stdin_path=None):
    """Writes OUT/name.txt with wordgen unless it is already there from the same command and a
    wordgen no newer than it. Returns the path."""
    path = os.path.join(OUT, f"{name}.txt")
    recipe_path = path + ".cmd"
    recipe = shlex.join([wordgen, *args]) + (f" < {stdin_path}" if stdin_path else "")
    try:
        with open(recipe_path) as f:
            fresh = (f.read() == recipe
                     and os.path.getmtime(path) >= os.path.getmtime(wordgen))
    except OSError:
        fresh = False
    if not fresh:
        print(f"generating {path}", flush=True)
        with open(path, "wb") as out, open(stdin_path or os.devnull, "rb") as inp:
            subprocess.run([wordgen, *args], stdin=inp, stdout=out, check=True)
        with open(recipe_path, "w") as f:
            f.write(recipe)
    return path


def install_dictionary():
    """Installs the big English word lists when none is there and apt-get can run; a failure
    only leaves the dictionary files out."""
    if any(os.path.exists(d) for d in DICTIONARIES):
        return
    sudo = [] if os.geteuid() == 0 else ["sudo", "-n"]
    if not shutil.which("apt-get") or (sudo and not shutil.which("sudo")):
        return
    print("installing " + " ".join(DICTIONARY_PACKAGES), flush=True)
    quiet = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
    subprocess.run(sudo + ["apt-get", "update"], **quiet)
    subprocess.run(sudo + ["apt-get", "install", "-y", *DICTIONARY_PACKAGES], **quiet)


def has_adversarial(wordgen):
    return subprocess.run([wordgen, "--adversarial", "10"], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode == 0


def word_files(wordgen, chosen):
    """(name, path) of every chosen word file that can be made, generating as needed."""
    dictionary = None
    if any(FILES[name][1] == DICT for name in chosen):
        install_dictionary()
        dictionary = next((d for d in DICTIONARIES if os.path.exists(d)), None)
        if not dictionary:
            print("no large dictionary in /usr/share/dict: leaving out the dict files")
    adversarial = any(FILES[name][1] == "adversarial" or name == "adversarial"
                      for name in chosen) and has_adversarial(wordgen)
    files = []
    for name in chosen:
        args, source = FILES[name]
        if source == DICT and not dictionary:
            continue
        if "adversarial" in (name, source) and not adversarial:
            print(f"wordgen has no --adversarial: leaving out {name}")
            continue
        if args is None:
            files.append((name, dictionary))
            continue
        if source == DICT:
            source = dictionary
        elif source is not None:
            source = generate(wordgen, source, FILES[source][0])
        files.append((name, generate(wordgen, name, args, source)))
    return files


def line_count(path):
    lines, last = 0, b"\n"
    with open(path, "rb") as f:
        while block := f.read(1 << 24):
            lines += block.count(b"\n")
            last = block[-1:]
    return lines + (last != b"\n")


def code_bound_bytes(n):
    """log2(N!)/8, the fewest bytes that can tell N distinct lines' order."""
    return math.lgamma(n + 1) / math.log(2) / 8 if n > 1 else 0.0


def same_bytes(a, b):
    return subprocess.run(["cmp", "-s", a, b]).returncode == 0


def one_cpu():
    """The CPU the one-core runs are pinned to: the first this process may use."""
    return str(min(os.sched_getaffinity(0)))


def measure(wordperm, name, path, n):
    big = name == "big"
    runs = int(os.environ.get("BENCH_RUNS") or (1 if big else 3 if n >= 10_000_000 else 5))
    base = os.path.join(OUT, name)
    sorted_path, restored, code = base + ".sorted", base + ".restored", base + ".code"
    sort_out, copy = base + ".sort", base + ".copy"
    sort_env = dict(os.environ, LC_ALL="C")
    pin = ["taskset", "-c", one_cpu()]
    encode = [wordperm, "d", path, sorted_path, code]
    decode = [wordperm, "x", sorted_path, restored, code]
    commands = {
        "encode1": (pin + encode, None),
        "decode1": (pin + decode, None),
        "sort1": (pin + ["sort", "--parallel=1", "-S", "2G", "-o", sort_out, path], sort_env),
        "encode2": (encode, None),
        "decode2": (decode, None),
        "sort2": (["sort", "--parallel=2", "-S", "2G", "-o", sort_out, path], sort_env),
        "cp": (["cp", path, copy], None),
    }
    if big:
        for tool in ("sort1", "sort2"):
            del commands[tool]
    seconds = {tool: [] for tool in commands}
    cpu = {tool: [] for tool in commands}
    memory = {tool: [] for tool in commands}
    for _ in range(runs):
        for tool, (argv, env) in commands.items():
            s, c, m = run_measured(argv, env)
            seconds[tool].append(s)
            cpu[tool].append(c)
            memory[tool].append(m)
            if tool.startswith("decode") and not same_bytes(path, restored):
                fail(f"{name}: the restored file differs from the word file "
                     f"({path} vs {restored})")
            if tool.startswith("sort") and not same_bytes(sorted_path, sort_out):
                fail(f"{name}: wordperm's sorted list differs from sort's "
                     f"({sorted_path} vs {sort_out})")
    if big and subprocess.run(["sort", "-c", sorted_path], env=sort_env).returncode != 0:
        fail(f"{name}: wordperm's sorted list is not in order ({sorted_path})")
    row = {tool: statistics.median(values) for tool, values in seconds.items()}
    row.update({f"{tool}_cpu": statistics.median(values) for tool, values in cpu.items()})
    row.update({f"{tool}_kib": max(values) for tool, values in memory.items()})
    row.update(name=name, n=n, runs=runs, size=os.path.getsize(path),
               code=os.path.getsize(code), bound=code_bound_bytes(n))
    for leftover in (restored, sort_out, copy) + ((sorted_path, code, path) if big else ()):
        if os.path.exists(leftover):
            os.remove(leftover)
    return row


HEADER = ("| file | N | size | enc/sort 1 core | dec/sort 1 core | enc/sort 2 cores "
          "| dec/sort 2 cores | enc mem/sort | dec mem/sort | enc/sort CPU | dec/sort CPU "
          "| encode s | decode s | sort s "
          "| encode s 2 cores | decode s 2 cores | sort s 2 cores | cp s "
          "| enc ns/line | dec ns/line | sort mem | code bytes | log2(N!)/8 |")
# Times and ratios are wall times on one core unless the column says two cores; "CPU" ratios
# compare the CPU seconds of the one-core runs, which a busy machine disturbs less.


def format_row(r):
    """One table row; "-" where the big file has no sort to compare with."""
    def ratio(a, b):
        return f"{r[a] / r[b]:.2f}" if b in r else "-"

    def secs(key):
        return f"{r[key]:.3f}" if key in r else "-"

    sort_kib = r.get("sort1_kib")
    mem = [max(r[f"{tool}1_kib"], r[f"{tool}2_kib"]) for tool in ("encode", "decode")]
    size = r["size"]
    cells = [
        r["name"], f"{r['n']:,}", f"{size / 1e6:.1f} MB" if size < 1e9 else f"{size / 2**30:.2f} GiB",
        ratio("encode1", "sort1"), ratio("decode1", "sort1"),
        ratio("encode2", "sort2"), ratio("decode2", "sort2"),
        *(f"{m / sort_kib:.2f}" if sort_kib else f"{m / 1024:.0f} MB" for m in mem),
        ratio("encode1_cpu", "sort1_cpu"), ratio("decode1_cpu", "sort1_cpu"),
        secs("encode1"), secs("decode1"), secs("sort1"),
        secs("encode2"), secs("decode2"), secs("sort2"), secs("cp"),
        f"{r['encode1'] / r['n'] * 1e9:.0f}", f"{r['decode1'] / r['n'] * 1e9:.0f}",
        f"{sort_kib / 1024:.0f} MB" if sort_kib else "-", f"{r['code']:,}", f"{r['bound']:,.0f}",
    ]
    return "| " + " | ".join(cells) + " |"


def run_micro(build):
    choice = os.environ.get("BENCH_MICRO", "all")
    if choice == "none":
        return
    argv = [os.path.join(build, "bench", "wordperm_micro")]
    if not os.path.exists(argv[0]):
        fail(f"{argv[0]} is missing: configure with -DWORDPERM_BENCH=ON")
    if choice != "all":
        argv.append(f"--benchmark_filter={choice}")
    print(flush=True)
    subprocess.run(argv, check=True)


def main():
    if len(sys.argv) != 2:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    build = sys.argv[1]
    wordperm = os.path.abspath(os.path.join(build, "wordperm"))
    wordgen = os.path.abspath(os.path.join(build, "bench", "wordgen"))
    for binary in (wordperm, wordgen):
        if not os.path.exists(binary):
            fail(f"{binary} is missing: build it first")
    for tool in (TIME, shutil.which("taskset")):
        if not tool or not os.access(tool, os.X_OK):
            fail("GNU time (/usr/bin/time, Debian package time) and taskset (util-linux) "
                 "are needed")
    chosen = (os.environ.get("BENCH_FILES") or " ".join(DEFAULT_FILES)).split()
    unknown = [c for c in chosen if c not in FILES]
    if unknown:
        fail(f"unknown BENCH_FILES entries {unknown}; known: {' '.join(FILES)}")
    os.makedirs(OUT, exist_ok=True)

    rows = []
    load_before = os.getloadavg()[0]
    for name, path in word_files(wordgen, chosen):
        n = line_count(path)
        print(f"timing {name} ({n:,} lines)", flush=True)
        rows.append(measure(wordperm, name, path, n))

    print()
    # Timings are wall times, so other work on the machine inflates them; the load shows it.
    print(f"{os.cpu_count()} CPUs, load average {load_before:.2f} before and "
          f"{os.getloadavg()[0]:.2f} after; medians of "
          f"{', '.join(sorted({str(r['runs']) for r in rows}))} runs; one core means pinned to "
          "CPU " + one_cpu() + " against sort --parallel=1, two cores unpinned against sort "
          "--parallel=2; CPU ratios of user+system seconds on one core; memory is peak RSS as a "
          "ratio to sort's on one core; every restored file checked with cmp")
    print()
    print(HEADER)
    print("|" + "---|" * (HEADER.count(" | ") + 1))
    for r in rows:
        print(format_row(r))
    by_name = {r["name"]: r for r in rows}
    if "adversarial" in by_name and "adv-shuffled" in by_name:
        ratio_ = by_name["adversarial"]["encode1"] / by_name["adv-shuffled"]["encode1"]
        print(f"\nadversarial encode / the same words shuffled, one core: {ratio_:.2f}")
    sys.stdout.flush()
    run_micro(build)
    return 0


if __name__ == "__main__":
    sys.exit(main())
