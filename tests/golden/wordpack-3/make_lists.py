#!/usr/bin/env python3
"""Writes the lists behind the version 3 golden archives into a directory (argument 1); each was
packed with `wordpack -c` at the default level (frames: --block-size=4k). Kept as the record of
what the lists are: the archives, once written, are never made again."""
import random, sys, os

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
R = random.Random(20261210)

SYLLABLES = ["lib", "py", "gtk", "x", "ab", "qu", "zen", "Ka", "O", "st", "\u00e9", "\u00df"]
SEPARATORS = [".", ".", ".", "-", "+", "~", ":", "_", "a", "b", "rc", "~rc", "+dfsg", ""]

def number():
    n = str(R.choice([R.randint(0, 9), R.randint(0, 99), R.randint(0, 20000)]))
    roll = R.random()
    if roll < 0.05:
        n = "0" * R.randint(1, 3) + n  # leading zeros
    elif roll < 0.08:
        n = "".join(R.choice("0123456789") for _ in range(R.randint(21, 40)))
    elif roll < 0.09:
        n = "".join(R.choice("0123456789") for _ in range(R.randint(255, 300)))
    return n

def line():
    roll = R.random()
    if roll < 0.2:  # an address or a bare number
        return ".".join(str(R.randint(0, 255)) for _ in range(R.choice([1, 4]))).encode()
    stem = "".join(R.choice(SYLLABLES) for _ in range(R.randint(1, 3)))
    if R.random() < 0.2:
        stem += number()
    parts = [stem, R.choice(["-", "_", "", " "])] if roll < 0.9 else []
    for _ in range(R.randint(1, 4)):
        parts += [number(), R.choice(SEPARATORS)]
    return "".join(parts).rstrip(" ").encode()

def lines(n):
    s = {b""}
    while len(s) < n:
        s.add(line())
    return list(s)

def numeric_key(b):
    """The numeric order's key: pieces ranked tilde, end, number, letter, other byte; numbers by
    their digits without leading zeros, fewer first."""
    key, i = [], 0
    while i < len(b):
        c = b[i]
        if 48 <= c <= 57:
            j = i
            while j < len(b) and 48 <= b[j] <= 57:
                j += 1
            digits = b[i:j].lstrip(b"0")
            key.append((2, len(digits), digits))
            i = j
            continue
        rank = 0 if c == 126 else 3 if 65 <= c <= 90 or 97 <= c <= 122 else 4
        key.append((rank, 0, bytes([c])))
        i += 1
    key.append((1, 0, b""))
    return key

def in_order(lines, reversed_):
    s = sorted(set(lines))  # ties go by byte order, the set's own
    s = sorted(s, key=numeric_key)
    return s[::-1] if reversed_ else s

def write(name, lines):
    with open(os.path.join(out, name), "wb") as f:
        f.write(b"".join(l + b"\n" for l in lines))

# Cursor model against the numeric order, straight and reversed: 700 lines in that order (names
# with versions, addresses, numbers; leading zeros, runs of 21 to 300 digits, tildes, letters and
# other bytes between numbers, an empty line), each second one followed by one of six repeated
# lines.
for rev in (0, 1):
    base = in_order(lines(700), rev)
    common = lines(6)
    listed = []
    for i, l in enumerate(base):
        listed.append(l)
        if i % 2:
            listed.append(R.choice(common))
    write(f"cursor-4{'r' if rev else ''}", listed)

# Frames: 1,000 words in byte order, then the numbers 1 to 1,500, in blocks of 4 KiB: a version 2
# frame, then a version 3 frame from the first block that needs the numeric order.
words = sorted({"".join(R.choice("abcdefghij") for _ in range(R.randint(2, 9))).encode()
                for _ in range(1100)})[:1000]
write("frames", words + [str(n).encode() for n in range(1, 1501)])
