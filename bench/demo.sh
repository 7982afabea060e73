#!/usr/bin/env bash
# Encodes and restores a generated word list with wordperm, packs and unpacks it with wordpack,
# and shows what each costs.
# Usage: bench/demo.sh BUILD_DIR [COUNT]
set -euo pipefail
build=$1
count=${2:-100000}
dir=demo
mkdir -p "$dir"
"$build/bench/wordgen" "$count" --seed 2026 > "$dir/words.txt"
"$build/wordperm" d "$dir/words.txt" "$dir/sorted.txt" "$dir/code.bin"
"$build/wordperm" x "$dir/sorted.txt" "$dir/restored.txt" "$dir/code.bin"
if cmp -s "$dir/words.txt" "$dir/restored.txt"; then same=yes; else same=NO; fi
"$build/wordpack" -f "$dir/words.txt"
"$build/wordpack" -dc "$dir/words.txt.wpk" > "$dir/unpacked.txt"
if cmp -s "$dir/words.txt" "$dir/unpacked.txt"; then unpacked=yes; else unpacked=NO; fi
size() { wc -c < "$1" | tr -d ' '; }
lines=$(wc -l < "$dir/words.txt" | tr -d ' ')
bound=$(awk -v n="$lines" 'BEGIN { s = 0; for (i = 2; i <= n; i++) s += log(i); printf "%.1f", s / log(2) / 8 }')
echo
echo "lines (N)              $lines"
echo "word file              $(size "$dir/words.txt") bytes"
echo "sorted list            $(size "$dir/sorted.txt") bytes"
echo "code file              $(size "$dir/code.bin") bytes (log2(N!)/8 = $bound)"
echo "restored is identical  $same"
echo "wordpack archive       $(size "$dir/words.txt.wpk") bytes"
echo "unpacked is identical  $unpacked"
echo "files are in $dir/"
[ "$same" = yes ] && [ "$unpacked" = yes ]
