"""The word lists of the pack benchmark: their names, their groups, and how each one is made.

A list is a dictionary as a package ships it (used where it lies), or made by a recipe into
bench/out/pack/lists/NAME. Every recipe is reproducible: generated lists come from seeded
Python generators (`random.Random`, a real generator, never a repeating source), and lists read
from the machine (paths, packages, manual pages) are read once and kept, so that every later run
measures the same bytes. A list is made again when its recipe's text changes (the text is kept
beside it as NAME.recipe); delete the folder to read the machine's lists afresh.

Interface: LISTS (name -> WordList), GROUPS (group -> names), needed_packages(names),
make_list(name, build_dir) -> path or None when its source is missing.
"""

import inspect
import ipaddress
import json
import os
import random
import re
import subprocess
import uuid
from concurrent.futures import ThreadPoolExecutor
from itertools import accumulate

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "out", "pack", "lists")
DICT = "/usr/share/dict/"
# The system's own Python, which sees the Debian packages (python3-zxcvbn) whatever python3 runs
# this script.
SYSTEM_PYTHON = "/usr/bin/python3"
ZXCVBN = ("python3-zxcvbn", "/usr/lib/python3/dist-packages/zxcvbn")


class WordList:
    """One list: its group, the Debian packages it needs (each with a path that shows it is
    installed), and either the shipped file it is or the recipe that makes it (a function of the
    build directory and the given arguments, returning the list's bytes)."""

    def __init__(self, group, needs=(), shipped=None, recipe=None, args=()):
        self.group = group
        self.needs = needs
        self.shipped = shipped
        self.recipe = recipe
        self.args = args

    def fingerprint(self):
        return inspect.getsource(self.recipe) + repr(self.args)


def split_lines(data):
    """The lines of data without their line feeds (a bare last line counts as a line)."""
    if data.endswith(b"\n"):
        data = data[:-1]
    return data.split(b"\n") if data else []


def join_lines(lines):
    return b"".join(line + b"\n" for line in lines)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def shell(command, env=None):
    """A shell command's standard output; its errors (unreadable directories) are not ours."""
    return subprocess.run(["sh", "-c", command], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                          env=env).stdout


def c_sort(data, *options):
    """data sorted by GNU sort in the C locale with the given options."""
    return subprocess.run(["sort", *options], input=data, stdout=subprocess.PIPE, check=True,
                          env=dict(os.environ, LC_ALL="C")).stdout


def zxcvbn_lists():
    script = ("import json, sys, zxcvbn.frequency_lists as f; "
              "json.dump(f.FREQUENCY_LISTS, sys.stdout)")
    done = subprocess.run([SYSTEM_PYTHON, "-c", script], stdout=subprocess.PIPE, check=True)
    return json.loads(done.stdout)


# Recipes. Each returns the list's bytes.

def shuffled(build, path):
    lines = split_lines(read(path))
    random.Random(7).shuffle(lines)
    return join_lines(lines)


def with_crlf(build, path):
    return join_lines(line + b"\r" for line in split_lines(read(path)))


def by_length(build, path):
    return join_lines(sorted(split_lines(read(path)), key=lambda line: (len(line), line)))


def wordgen(build, *args):
    return subprocess.run([os.path.join(build, "bench", "wordgen"), *args],
                          stdout=subprocess.PIPE, check=True).stdout


def zxcvbn_list(build, key):
    """One of python3-zxcvbn's frequency lists, most frequent first."""
    return "".join(word + "\n" for word in zxcvbn_lists()[key]).encode()


def command(build, text):
    return shell(text)


def email_addresses(build, count):
    """Addresses as a sign-up list holds them: names drawn by their frequency rank, the usual
    ways of making a mailbox name from them, free-mail domains and organisations' domains."""
    rng = random.Random(19)
    lists = zxcvbn_lists()
    first = lists["female_names"] + lists["male_names"]
    rng.shuffle(first)
    last = lists["surnames"]

    def by_rank(names):
        return names, list(accumulate(1 / (rank + 20) for rank in range(len(names))))

    firsts, lasts = by_rank(first), by_rank(last)
    words = [w for w in lists["english_wikipedia"][:5000] if w.isalpha() and len(w) > 3]
    organisations = [rng.choice(words) + rng.choice(words) * (rng.random() < 0.3)
                     + rng.choice([".com", ".com", ".org", ".net", ".edu", ".de", ".co.uk",
                                   ".fr", ".io", ".nl"]) for _ in range(400)]
    free = ["gmail.com", "yahoo.com", "hotmail.com", "outlook.com", "aol.com", "icloud.com",
            "gmx.de", "web.de", "mail.ru", "yandex.ru", "protonmail.com", "comcast.net",
            "live.com", "msn.com", "orange.fr", "libero.it"]
    domains = free + organisations
    domain_weights = list(accumulate([40, 14, 10, 6, 3, 4, 2, 2, 2, 1, 1, 2, 2, 1, 1, 1]
                                     + [0.05] * len(organisations)))
    patterns = [
        (30, lambda f, l: f"{f}.{l}"), (10, lambda f, l: f"{f}{l}"), (14, lambda f, l: f"{f[0]}{l}"),
        (12, lambda f, l: f"{f}{rng.randrange(1, 10 ** rng.randint(1, 4))}"),
        (5, lambda f, l: f"{f}_{l}"), (5, lambda f, l: f"{l}.{f}"), (5, lambda f, l: f"{f}.{l[0]}"),
        (10, lambda f, l: f"{f}{l}{rng.randrange(100):02d}"), (5, lambda f, l: f),
        (4, lambda f, l: f"{f[0]}.{l}"),
    ]
    pattern_weights = [w for w, _ in patterns]
    seen, out = set(), []
    while len(out) < count:
        f = rng.choices(firsts[0], cum_weights=firsts[1])[0]
        l = rng.choices(lasts[0], cum_weights=lasts[1])[0]
        make = rng.choices(patterns, pattern_weights)[0][1]
        address = f"{make(f, l)}@{rng.choices(domains, cum_weights=domain_weights)[0]}"
        if address not in seen:
            seen.add(address)
            out.append(address)
    return "".join(a + "\n" for a in out).encode()


def uuids(build, count):
    rng = random.Random(23)
    return "".join(f"{uuid.UUID(int=rng.getrandbits(128), version=4)}\n"
                   for _ in range(count)).encode()


def hex_hashes(build, count):
    """Hashes of 160 bits, as version control names its objects."""
    rng = random.Random(29)
    return "".join(f"{rng.getrandbits(160):040x}\n" for _ in range(count)).encode()


def ipv4_addresses(build, count):
    """Distinct addresses as a block list or a log summary holds them: clustered in a few
    thousand public networks of very unequal weight, sorted by address."""
    rng = random.Random(31)
    networks = []
    while len(networks) < 3000:
        network = ipaddress.IPv4Address(rng.getrandbits(16) << 16)
        if network.is_global and not network.is_multicast:
            networks.append(int(network))
    weights = list(accumulate(1 / (rank + 5) for rank in range(len(networks))))
    addresses = set()
    while len(addresses) < count:
        network = rng.choices(networks, cum_weights=weights)[0]
        subnet = int(256 * rng.random() ** 3)
        addresses.add(network | subnet << 8 | rng.randint(1, 254))
    return "".join(f"{ipaddress.IPv4Address(a)}\n" for a in sorted(addresses)).encode()


def numbers_sorted(build, count):
    """Numbers of every magnitude (as file sizes are), made in random order, then `sort -n`."""
    rng = random.Random(37)
    numbers = "".join(f"{int(10 ** rng.uniform(0, 10))}\n" for _ in range(count)).encode()
    return c_sort(numbers, "-n")


def package_versions(build, count):
    """Every available package as name_version, and earlier versions of each (as an archive
    of a distribution's history holds them), count in all, in `sort -V` order. Histories end
    where a version has nothing left to count down, so they are drawn longer than needed and a
    random choice of the surplus is dropped."""
    rng = random.Random(41)
    current = shell("apt-cache dumpavail | "
                    "sed -n 's/^Package: //p; s/^Version: //p' | paste -d_ - -").decode()
    current = sorted(set(current.split()))
    versions = set(current)
    share = 1.5 * count / max(1, len(current))
    for line in current:
        name, version = line.split("_", 1)
        epoch, _, rest = version.rpartition(":")
        upstream, dash, revision = rest.rpartition("-") if "-" in rest else (rest, "", "")
        fields = re.split(r"(\d+)", upstream)
        digits = [i for i in range(1, len(fields), 2)]
        for _ in range(int(rng.expovariate(1 / share))):
            if dash and rng.random() < 0.4:
                revision = str(rng.randint(1, 3))
            else:
                live = [i for i in digits if int(fields[i]) > 0][-3:]
                if not live:
                    break
                field = live[-1] if rng.random() < 0.7 or len(live) == 1 else rng.choice(live)
                fields[field] = str(int(fields[field]) - 1)
                for later in digits:
                    if later > field:
                        fields[later] = str(rng.randrange(10))
                revision = str(rng.randint(1, 3))
            older = (epoch + ":" if epoch else "") + "".join(fields) + (dash + revision)
            versions.add(f"{name}_{older}")
    earlier = sorted(versions.difference(current))
    if len(earlier) > count - len(current):
        earlier = rng.sample(earlier, max(0, count - len(current)))
    lines = current + earlier
    random.Random(43).shuffle(lines)
    return c_sort("".join(v + "\n" for v in lines).encode(), "-V")


def manual_words(build, count):
    """The words of the section-1 manual pages in text order: every page that is not a link or
    a `.so` stub, by file name, rendered to text by man, split into runs of letters and digits
    (with inner apostrophes), until there are count."""
    folder = "/usr/share/man/man1"
    pages = [os.path.join(folder, n) for n in sorted(os.listdir(folder))
             if os.path.isfile(os.path.join(folder, n))
             and not os.path.islink(os.path.join(folder, n))]
    env = dict(os.environ, LC_ALL="C.UTF-8", MANWIDTH="80")

    def render(page):
        stub = subprocess.run(["zcat", "-f", page], stdout=subprocess.PIPE).stdout[:4]
        if stub == b".so ":
            return ""
        return subprocess.run(["man", "--no-hyphenation", "--no-justification", "-l", page],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              env=env).stdout.decode("utf-8", "replace")

    word = re.compile(r"[^\W_]+(?:['\u2019][^\W_]+)*")
    words = []
    with ThreadPoolExecutor(2) as pool:
        for start in range(0, len(pages), 64):
            for text in pool.map(render, pages[start:start + 64]):
                words += word.findall(text)
            if len(words) >= count:
                break
    return "".join(w + "\n" for w in words[:count]).encode()


# name: (package, file under /usr/share/dict), every language Debian ships as a w* package.
DICTIONARIES = {
    "american": ("wamerican-insane", "american-english-insane"),
    "british": ("wbritish", "british-english"),
    "ngerman": ("wngerman", "ngerman"),
    "ogerman": ("wogerman", "ogerman"),
    "swiss": ("wswiss", "swiss"),
    "french": ("wfrench", "french"),
    "spanish": ("wspanish", "spanish"),
    "italian": ("witalian", "italian"),
    "portuguese": ("wportuguese", "portuguese"),
    "brazilian": ("wbrazilian", "brazilian"),
    "catalan": ("wcatalan", "catalan"),
    "galician": ("wgalician-minimos", "galician-minimos"),
    "dutch": ("wdutch", "dutch"),
    "danish": ("wdanish", "danish"),
    "swedish": ("wswedish", "swedish"),
    "bokmaal": ("wnorwegian", "bokmaal"),
    "nynorsk": ("wnorwegian", "nynorsk"),
    "faroese": ("wfaroese", "faroese"),
    "polish": ("wpolish", "polish"),
    "ukrainian": ("wukrainian", "ukrainian"),
    "bulgarian": ("wbulgarian", "bulgarian"),
    "esperanto": ("wesperanto", "esperanto"),
    "irish": ("wirish", "irish"),
    "gaelic": ("wgaelic", "gaelic"),
    "manx": ("wmanx", "manx"),
}

LISTS = {}
for _name, (_package, _file) in DICTIONARIES.items():
    LISTS[_name] = WordList("dictionaries", [(_package, DICT + _file)], shipped=DICT + _file)
for _name, (_package, _file) in DICTIONARIES.items():
    LISTS[_name + "-shuffled"] = WordList("shuffled", [(_package, DICT + _file)], recipe=shuffled,
                                          args=(DICT + _file,))
_AMERICAN = [("wamerican-insane", DICT + "american-english-insane")]
LISTS.update({
    "american-crlf": WordList("reordered", _AMERICAN, recipe=with_crlf, args=(DICT + "american-english-insane",)),
    "american-by-length": WordList("reordered", _AMERICAN, recipe=by_length,
                                   args=(DICT + "american-english-insane",)),
    "find-files": WordList("paths", recipe=command, args=(
        "find / -xdev \\( -path /work -o -path /tmp -o -path /var/tmp \\) -prune "
        "-o -type f -print | head -n 400000",)),
    "package-paths": WordList("paths", recipe=command,
                              args=("dpkg-query -L $(dpkg-query -W -f '${Package} ')",)),
    "usr-paths": WordList("paths", recipe=command, args=("find /usr -xdev | head -n 300000",)),
    "seq": WordList("numeric", recipe=command, args=("seq 1 2000000",)),
    "numbers-sorted": WordList("numeric", recipe=numbers_sorted, args=(1000000,)),
    "package-versions": WordList("numeric", recipe=package_versions, args=(880000,)),
    "ipv4": WordList("numeric", recipe=ipv4_addresses, args=(500000,)),
    "random": WordList("random", recipe=wordgen, args=("1000000",)),
    "uuids": WordList("random", recipe=uuids, args=(300000,)),
    "hex-hashes": WordList("random", recipe=hex_hashes, args=(1000000,)),
    "emails": WordList("random", [ZXCVBN], recipe=email_addresses, args=(200000,)),
    "repeated": WordList("words", recipe=wordgen, args=("1000000", "--distinct", "1000")),
    "passwords": WordList("words", [ZXCVBN], recipe=zxcvbn_list, args=("passwords",)),
    "john-passwords": WordList("words", [("john-data", "/usr/share/john/password.lst")],
                               shipped="/usr/share/john/password.lst"),
    "wikipedia-words": WordList("words", [ZXCVBN], recipe=zxcvbn_list, args=("english_wikipedia",)),
    "tv-words": WordList("words", [ZXCVBN], recipe=zxcvbn_list, args=("us_tv_and_film",)),
    "surnames": WordList("words", [ZXCVBN], recipe=zxcvbn_list, args=("surnames",)),
    "manual-words": WordList("text", [("man-db", "/usr/bin/man"), ("groff-base", "/usr/bin/groff")],
                             recipe=manual_words, args=(2000000,)),
})

GROUPS = {}
for _name, _list in LISTS.items():
    GROUPS.setdefault(_list.group, []).append(_name)


def needed_packages(names):
    """The packages that the named lists need and this machine lacks."""
    return sorted({package for name in names for package, probe in LISTS[name].needs
                   if not os.path.exists(probe)})


def make_list(name, build):
    """The list's path, made under OUT when it has a recipe; None when its source is missing."""
    entry = LISTS[name]
    if any(not os.path.exists(probe) for _, probe in entry.needs):
        return None
    if entry.shipped:
        return entry.shipped
    os.makedirs(OUT, exist_ok=True)
    path = os.path.join(OUT, name)
    recipe = path + ".recipe"
    fingerprint = entry.fingerprint()
    if os.path.exists(path) and os.path.exists(recipe) and read(recipe).decode() == fingerprint:
        return path
    data = entry.recipe(build, *entry.args)
    if not data:
        return None
    with open(path + ".part", "wb") as out:
        out.write(data)
    os.replace(path + ".part", path)
    with open(recipe, "w") as out:
        out.write(fingerprint)
    return path
