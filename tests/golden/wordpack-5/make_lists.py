#!/usr/bin/env python3
"""Writes the lists behind the version 5 golden archives into a directory (argument 1); each was
packed with `wordpack -c` at the default level (frames: --block-size=4k). Kept as the record of
what the lists are: the archives, once written, are never made again."""
import random, sys, os

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
R = random.Random(20261210)

def stem():
    return "".join(R.choice(["ab", "ca", "de", "fi", "go", "lu", "ma", "ne", "pi", "ro", "sa",
                             "tu", "vi", "ç", "ã"]) for _ in range(R.randint(1, 4)))

def write(name, lines):
    with open(os.path.join(out, name), "wb") as f:
        f.write(b"".join(l.encode() + b"\n" for l in lines))

# Three paradigms, each its forms' endings in the order they are listed; the third changes the
# stem's last letter, as "c" becomes "qu" before "e".
PARADIGMS = [
    ["ar", "o", "as", "a", "amos", "ais", "am", "ei", "aste", "ou", "ado", "ando"],
    ["er", "o", "es", "e", "emos", "eis", "em", "i", "este", "eu", "ido"],
    ["car", "co", "cas", "que", "quemos", "ques", "cou", "cado"],
]

def inflected(stems):
    lines = []
    for s in stems:
        p = R.choices(PARADIGMS, [6, 1, 1])[0]
        for ending in p:
            roll = R.random()
            if roll < 0.08:
                continue                    # a form the dictionary lacks
            lines.append(s + ending)
            if roll > 0.98:
                lines.append(s + ending)    # a form listed twice
    return lines

# Rewrite model: 1,500 stems in order, each with the forms of one of the three paradigms (some
# missing, some twice), the first taken most, so that a rewrite's count passes 1,023 and is
# halved. Among them: 30 lines
# ending "zz", each followed by a line of its own ending (a list past 16 rewrites); a stem of 300
# letters with its forms, then a line that would cut more than 255 bytes, then one that would put
# on more than 255; single letters (endings of fewer than three bytes) and an empty line.
stems = sorted({stem() for _ in range(2400)})[:1500]
lines = inflected(stems[:700])
for i in range(30):
    lines += ["x%02dzz" % i, "x%02dzz%s" % (i, chr(ord("a") + i % 26) * (1 + i % 5))]
long_stem = "l" * 300
lines += [long_stem + e for e in PARADIGMS[0]]
lines += ["b", "a", "", "c", long_stem[:40] + "ado", "m" * 280]
lines += inflected(stems[700:])
write("rewrite", lines)

# Frames, in blocks of 4 KiB: 600 words in byte order (a version 2 frame), inflections of 300
# stems (a version 5 frame), then a text of 1,500 words over 30 (the context model's), the
# numbers 1 to 900 (the numeric order's) and inflections of 300 more stems, the stems in
# descending order (the last block's rewrite is against the accents-folded order), which stay in
# the version 5 frame.
words = sorted({stem() + "s" for _ in range(900)})[:600]
small = words[:30]
text = []
while len(text) < 1500:
    text += R.choice([[small[i], small[(i * 7) % 30], small[(i * 11) % 30]] for i in range(30)])
write("frames", words + inflected(stems[:300]) + text + [str(n) for n in range(1, 901)] +
      inflected(stems[1499:1199:-1]))
