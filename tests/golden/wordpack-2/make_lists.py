#!/usr/bin/env python3
"""Writes the lists behind the version 2 golden archives into a directory (argument 1); each was
packed with `wordpack -c` at the default level (blocks: --block-size=4k). Kept as the record of
what the lists are: the archives, once written, are never made again."""
import random, sys, os

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
R = random.Random(20261209)

ONSETS = ["b", "c", "d", "f", "g", "h", "k", "l", "m", "n", "p", "r", "s", "t", "v", "w", "z",
          "br", "ch", "st", "tr", "sh", "ph", "qu", "sch", "Al", "Be", "O'", "Mc", "d'", "St-",
          "\u00c9", "\u00e9", "\u00fc", "\u00e7a", "\u00d8", "\u00e6", "\u0153", "x\u00d7", "2", "7"]
VOWELS = ["a", "e", "i", "o", "u", "y", "ou", "ea", "ie", "\u00e9", "\u00e0", "\u00f6", "\u00e2",
          "\u00df", "-", "'", " ", "\u00f7", "3"]

def word():
    w = "".join(R.choice(ONSETS) + R.choice(VOWELS) for _ in range(R.randint(1, 4)))
    return w.encode()

def words(n):
    s = set()
    while len(s) < n:
        s.add(word())
    return list(s)

def kept_dictionary(b, fold):
    k = bytes(c for c in b if chr(c).isascii() and (chr(c).isalnum() or c in (9, 32)))
    return k.upper() if fold else k

FOLD = {}
for lo, hi, s in [(0x80, 0x85, "a"), (0xA0, 0xA5, "a"), (0x86, 0x86, "ae"), (0xA6, 0xA6, "ae"),
                  (0x87, 0x87, "c"), (0xA7, 0xA7, "c"), (0x88, 0x8B, "e"), (0xA8, 0xAB, "e"),
                  (0x8C, 0x8F, "i"), (0xAC, 0xAF, "i"), (0x90, 0x90, "d"), (0xB0, 0xB0, "d"),
                  (0x91, 0x91, "n"), (0xB1, 0xB1, "n"), (0x92, 0x96, "o"), (0xB2, 0xB6, "o"),
                  (0x98, 0x98, "o"), (0xB8, 0xB8, "o"), (0x99, 0x9C, "u"), (0xB9, 0xBC, "u"),
                  (0x9D, 0x9D, "y"), (0xBD, 0xBD, "y"), (0x9E, 0x9E, "t"), (0xBE, 0xBE, "t"),
                  (0x9F, 0x9F, "ss"), (0xBF, 0xBF, "y")]:
    for c in range(lo, hi + 1):
        FOLD[c] = s.encode()

def kept_accents(b):
    k, i = bytearray(), 0
    while i < len(b):
        if i + 1 < len(b) and b[i] == 0xC3 and b[i + 1] in FOLD:
            k += FOLD[b[i + 1]]; i += 2; continue
        if i + 1 < len(b) and b[i] == 0xC5 and b[i + 1] in (0x92, 0x93):
            k += b"oe"; i += 2; continue
        c = b[i]
        if c >= 0x80 or chr(c).isalnum():
            k.append(ord(chr(c).lower()) if c < 0x80 else c)
        i += 1
    return bytes(k)

KEYS = [lambda b: b, lambda b: kept_dictionary(b, False), lambda b: kept_dictionary(b, True),
        kept_accents]

def in_order(lines, order, reversed_):
    s = sorted(set(lines))  # ties go by byte order, the set's own
    s = sorted(s, key=KEYS[order])
    return s[::-1] if reversed_ else s

def write(name, lines, bare=False):
    data = b"\n".join(lines) + (b"" if bare or not lines else b"\n")
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)

for order in range(4):
    for rev in (0, 1):
        tag = f"{order}{'r' if rev else ''}"
        # Cursor model: lines in the order, each second one followed by one of six heavily
        # repeated lines, whose escapes cost little uniformly.
        base = in_order(words(700), order, rev)
        common = words(6)
        lines = []
        for i, w in enumerate(base):
            lines.append(w)
            if i % 2:
                lines.append(R.choice(common))
        write(f"cursor-{tag}", lines)
        # Cursor model with distances: 1,500 distinct lines in the order, a third of them
        # moved by up to 40 places.
        lines = in_order(words(1500), order, rev)
        for _ in range(500):
            i = R.randrange(len(lines))
            w = lines.pop(i)
            lines.insert(max(0, min(len(lines), i + R.randint(-40, 40))), w)
        write(f"distance-{tag}", lines)

# Uniform: 3,000 distinct shuffled words, and 800 words of one to four copies, shuffled.
lines = words(3000); R.shuffle(lines); write("uniform-distinct", lines)
lines = [w for w in words(800) for _ in range(R.randint(1, 4))]; R.shuffle(lines)
write("uniform-repeats", lines)
# Counts: one line 70,000 times, 3,000 lines twice, 2,000 one to five times, shuffled, the
# last line bare.
lines = [b"the"] * 70000
ws = words(5000)
lines += [w for w in ws[:3000] for _ in range(2)]
lines += [w for w in ws[3000:] for _ in range(R.randint(1, 5))]
R.shuffle(lines); lines.append(b"bare" + word()); write("counts", lines, bare=True)
# Large tables: 1,800 lines of about 600 bytes of repeated text and 250 sharing a 300-byte
# prefix, shuffled, the last line bare: a front-coded form over 1 MiB.
text = b" ".join(words(400))
lines = set()
while len(lines) < 1800:
    a = R.randrange(len(text) - 600)
    lines.add(text[a:a + R.randint(500, 700)] + word())
prefix = b"/" + b"/".join(words(40))[:299]
while len(lines) < 2050:
    lines.add(prefix + word())
lines = list(lines); R.shuffle(lines); write("large-tables", lines, bare=True)
# Blocks: 2,000 words in byte order cut into blocks of 4 KiB, the last line bare, and one
# line longer than a block, which must be cut inside it.
lines = in_order(words(2000), 0, 0)
lines.insert(700, b"long-" + b"".join(words(900)))
write("blocks", lines, bare=True)
# An empty list, and one empty line.
write("empty", [])
with open(os.path.join(out, "empty-line"), "wb") as f:
    f.write(b"\n")
