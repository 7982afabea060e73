#!/usr/bin/env python3
"""Times wordperm against sort and cp on generated word files, then runs the micro-benchmarks.

Usage: bench/run_bench.py BUILD_DIR   (a Release build with wordperm, wordgen, wordperm_micro)

For each word file it times `wordperm d`, `wordperm x`, `LC_ALL=C sort --parallel=1 -S 2G` and
`cp` (the floor: reading and writing the same bytes), the four interleaved within each round so
that a slow spell of the machine hits all of them alike, and takes the median of each. Peak
memory is each tool's maximum resident set size, as GNU time reports it. All runs read a file
that was just written or read, so they measure warm page-cache runs, not the disk.

Every run is checked: the restored file must equal the word file and the sorted list must equal
sort's output, byte for byte; a mismatch stops the benchmark with status 1.

Environment:
  BENCH_FILES  which word files, by name (default all): 1m 10m distinct descending dict adversarial
  BENCH_RUNS   rounds per file (default 5, and 3 for the 10,000,000-line files)
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


def fail(message):
    print(f"run_bench: {message}", file=sys.stderr)
    sys.exit(1)


def run_measured(argv, env=None):
    """Runs argv with standard output discarded; returns (wall seconds, peak RSS in KiB).

    The peak comes from GNU time, not from this process's own wait4: a child forked or spawned
    from here starts out sharing this interpreter's pages, and Linux keeps that high-water mark
    across exec, so every tool would seem to need at least as much memory as Python holds."""
    with tempfile.NamedTemporaryFile("r", dir=OUT, suffix=".rss") as rss:
        actions = [(os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0)]
        timed = [TIME, "-f", "%M", "-o", rss.name, *argv]
        start = time.perf_counter()
        pid = os.posix_spawn(TIME, timed, env if env is not None else os.environ,
                             file_actions=actions)
        _, status = os.waitpid(pid, 0)
        seconds = time.perf_counter() - start
        code = os.waitstatus_to_exitcode(status)
        if code != 0:
            fail(f"{shlex.join(argv)} exited with status {code}")
        return seconds, int(rss.read().split()[-1])


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
    only leaves the dictionary file out."""
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
    files = []
    if "1m" in chosen:
        files.append(("1m", generate(wordgen, "1m", ["1000000"])))
    if "10m" in chosen:
        files.append(("10m", generate(wordgen, "10m", ["10000000"])))
    if "distinct" in chosen:
        files.append(("distinct", generate(wordgen, "distinct", ["1000000", "--distinct", "1000"])))
    if "descending" in chosen:
        files.append(("descending", generate(wordgen, "descending", ["10000000", "--descending"])))
    if "dict" in chosen:
        install_dictionary()
        source = next((d for d in DICTIONARIES if os.path.exists(d)), None)
        if source:
            files.append(("dict", generate(wordgen, "dict", ["--shuffle", "--seed", "7"], source)))
        else:
            print("no large dictionary in /usr/share/dict: leaving out the dict file")
    if "adversarial" in chosen:
        if has_adversarial(wordgen):
            path = generate(wordgen, "adversarial", ["--adversarial", "1000000"])
            files.append(("adversarial", path))
            files.append(("adv-shuffled",
                          generate(wordgen, "adv-shuffled", ["--shuffle", "--seed", "7"], path)))
        else:
            print("wordgen has no --adversarial: leaving out the adversarial files")
    return files


def line_count(path):
    lines, last = 0, b"\n"
    with open(path, "rb") as f:
        while block := f.read(1 << 20):
            lines += block.count(b"\n")
            last = block[-1:]
    return lines + (last != b"\n")


def code_bound_bytes(n):
    """log2(N!)/8, the fewest bytes that can tell N distinct lines' order."""
    return math.lgamma(n + 1) / math.log(2) / 8 if n > 1 else 0.0


def same_bytes(a, b):
    return subprocess.run(["cmp", "-s", a, b]).returncode == 0


def measure(wordperm, name, path, n):
    runs = int(os.environ.get("BENCH_RUNS") or (3 if n >= 10_000_000 else 5))
    base = os.path.join(OUT, name)
    sorted_path, restored, code = base + ".sorted", base + ".restored", base + ".code"
    sort_out, copy = base + ".sort", base + ".copy"
    sort_env = dict(os.environ, LC_ALL="C")
    commands = {
        "encode": ([wordperm, "d", path, sorted_path, code], None),
        "decode": ([wordperm, "x", sorted_path, restored, code], None),
        "sort": (["sort", "--parallel=1", "-S", "2G", "-o", sort_out, path], sort_env),
        "cp": (["cp", path, copy], None),
    }
    seconds = {tool: [] for tool in commands}
    memory = {tool: [] for tool in commands}
    for _ in range(runs):
        for tool, (argv, env) in commands.items():
            s, m = run_measured(argv, env)
            seconds[tool].append(s)
            memory[tool].append(m)
        if not same_bytes(path, restored):
            fail(f"{name}: the restored file differs from the word file ({path} vs {restored})")
        if not same_bytes(sorted_path, sort_out):
            fail(f"{name}: wordperm's sorted list differs from sort's "
                 f"({sorted_path} vs {sort_out})")
    for leftover in (restored, sort_out, copy):
        os.remove(leftover)
    row = {tool: statistics.median(values) for tool, values in seconds.items()}
    row.update({f"{tool}_kib": max(values) for tool, values in memory.items()})
    row.update(name=name, n=n, runs=runs, size=os.path.getsize(path),
               code=os.path.getsize(code), bound=code_bound_bytes(n))
    return row


HEADER = ("| file | N | size | enc/sort | dec/sort | encode s | decode s | sort s | cp s "
          "| enc mem/sort | dec mem/sort | sort mem | code bytes | log2(N!)/8 |")


def format_row(r):
    return (f"| {r['name']} | {r['n']:,} | {r['size'] / 1e6:.1f} MB "
            f"| {r['encode'] / r['sort']:.2f} | {r['decode'] / r['sort']:.2f} "
            f"| {r['encode']:.3f} | {r['decode']:.3f} | {r['sort']:.3f} | {r['cp']:.3f} "
            f"| {r['encode_kib'] / r['sort_kib']:.2f} | {r['decode_kib'] / r['sort_kib']:.2f} "
            f"| {r['sort_kib'] / 1024:.0f} MB | {r['code']:,} | {r['bound']:,.0f} |")


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
    if not os.access(TIME, os.X_OK):
        fail(f"{TIME} (GNU time, Debian package time) is needed to measure peak memory")
    all_names = ["1m", "10m", "distinct", "descending", "dict", "adversarial"]
    chosen = (os.environ.get("BENCH_FILES") or " ".join(all_names)).split()
    unknown = [c for c in chosen if c not in all_names]
    if unknown:
        fail(f"unknown BENCH_FILES entries {unknown}; known: {' '.join(all_names)}")
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
          f"{', '.join(sorted({str(r['runs']) for r in rows}))} runs; memory is peak RSS as a "
          "ratio to sort's; every restored file checked with cmp")
    print()
    print(HEADER)
    print("|" + "---|" * HEADER.count(" | ") + "---|")
    for r in rows:
        print(format_row(r))
    by_name = {r["name"]: r for r in rows}
    if "adversarial" in by_name:
        ratio = by_name["adversarial"]["encode"] / by_name["adv-shuffled"]["encode"]
        print(f"\nadversarial encode / the same words shuffled: {ratio:.2f}")
    sys.stdout.flush()
    run_micro(build)
    return 0


if __name__ == "__main__":
    sys.exit(main())
