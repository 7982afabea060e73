#!/usr/bin/env python3
"""Writes the lists behind the version 6 golden archives into a directory (argument 1); each was
packed with `wordpack -c` at the default level (frames: --block-size=4k). Kept as the record of
what the lists are: the archives, once written, are never made again."""
import random, sys, os

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
R = random.Random(20261211)

def name():
    return "".join(R.choice(["ab", "ker", "lib", "ne", "ox", "py", "ré", "st", "tu", "ü", "x",
                             "zz"]) for _ in range(R.randint(1, 4)))

def write(name, lines, bare=False):
    data = b"\n".join(l.encode() for l in lines) + (b"" if bare else b"\n")
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)

# Matches: paths whose package names come again under other parents, e-mail addresses of a few
# domains, names of 40 to 90 letters repeated far apart (matches longer than the 32 bytes checked),
# lines of 300 bytes and more, bytes above 127, an empty line, the last line bare.
packages = [name() + "-" + name() for _ in range(300)]
long_names = ["".join(R.choice("abcdefgh") for _ in range(R.randint(40, 90))) for _ in range(20)]
lines = set()
for p in packages:
    for parent in R.sample(["/usr/share/doc/", "/usr/lib/", "/usr/share/man/man1/",
                            "/var/lib/dpkg/info/", "/etc/"], 3):
        lines.add(parent + p + R.choice(["", "/copyright", ".list", "/changelog.gz"]))
for _ in range(1500):
    lines.add(name() + "." + name() + "@" + R.choice(["mail.example", "post.test", "uni.ac"]) +
              R.choice([".org", ".de", ".fr"]))
for n in long_names:
    for _ in range(12):
        lines.add("/" + name() + "/" + n + "/" + name())
for _ in range(20):
    lines.add("q" * 280 + name())
lines.add("")
write("matches", sorted(lines), bare=True)

# Frames, in blocks of 4 KiB: every order model in blocks whose sets have the match model,
# with tables of 2^12: words in byte order, shuffled, moved a little, some capitalised in
# case-folded dictionary order, the numbers 1 to 900, a text of 1,500 words over 30 (the context model's), and forms of 200 stems
# (the rewrite model's).
words = sorted({name() for _ in range(1500)})
shuffled = words[:]
R.shuffle(shuffled)
moved = words[:]
for i in range(0, len(moved) - 5, 3):
    j = i + R.randint(1, 5)
    moved[i], moved[j] = moved[j], moved[i]
small = words[:30]
text = []
while len(text) < 1500:
    text += R.choice([[small[i], small[(i * 7) % 30], small[(i * 11) % 30]] for i in range(30)])
forms = []
for s in sorted({name() for _ in range(400)})[:200]:
    forms += [s + e for e in ["ar", "o", "as", "a", "amos", "ais", "am", "ei", "ou", "ado"]]
capitalised = sorted((w.capitalize() if R.random() < 0.5 else w for w in words),
                     key=lambda w: w.lower())
write("frames", words + shuffled + moved + capitalised +
      [str(n) for n in range(1, 901)] + text + forms)
