#!/usr/bin/env python3
"""Writes the lists behind the version 4 golden archives into a directory (argument 1); each was
packed with `wordpack -c` at the default level (frames: --block-size=4k). Kept as the record of
what the lists are: the archives, once written, are never made again."""
import random, sys, os

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
R = random.Random(20261209)

def word():
    return "".join(R.choice("aeioubdgklmnprst") for _ in range(R.randint(1, 7))).encode()

def vocabulary(n):
    s = set()
    while len(s) < n:
        s.add(word())
    return sorted(s)

def write(name, lines):
    with open(os.path.join(out, name), "wb") as f:
        f.write(b"".join(l + b"\n" for l in lines))

# Context model: a text of 30,000 words over 900, made of 400 phrases of 2 to 9 words drawn by a
# skewed choice, one word in 8 replaced by a word drawn alike (so every step of the model is
# taken, and the match table grows to 2^16 slots). After a phrase come, by chance: "hub" and a
# word of the 900 (a line's list past 256), "pa ir" and a word (a pair's list past 64), or "same
# old story" (counts halved past 1,023). Then 300 words from the 150 most recent, an empty line
# among the words, and the text's own words drawn again up to 30,000.
V = vocabulary(900)
weights = [1 / (i + 1) for i in range(len(V))]
phrases = [R.choices(V, weights, k=R.randint(2, 9)) for _ in range(400)]
text = []
while len(text) < 24000:
    for w in R.choice(phrases):
        text.append(R.choices(V, weights)[0] if R.random() < 0.125 else w)
    roll = R.random()
    if roll < 0.1:
        text += [b"hub", R.choice(V)]
    elif roll < 0.14:
        text += [b"pa", b"ir", R.choice(V)]
    elif roll < 0.5:
        text += [b"same", b"old", b"story"]
for _ in range(300):
    text.append(R.choice(text[-150:]))
text.insert(R.randrange(len(text)), b"")
while len(text) < 30000:
    text.append(R.choice(text))
write("context", text)

# Frames, in blocks of 4 KiB: 800 words in byte order (a version 2 frame), the numbers 1 to 900
# (a version 3 frame), a text of 3,000 words over 40 (a version 4 frame), then 800 words in byte
# order again, which stay in the version 4 frame.
small = vocabulary(40)
stream = []
while len(stream) < 3000:
    stream += R.choice([[small[i], small[(i * 7) % 40], small[(i * 3) % 40]] for i in range(40)])
write("frames", V[:800] + [str(n).encode() for n in range(1, 901)] + stream + V[100:900])
