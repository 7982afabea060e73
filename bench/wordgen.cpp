// Deterministic word lists for the demo and the benchmark: the same arguments give the same
// bytes on every machine (a fixed generator, no library distributions).
//
//   wordgen COUNT [--min L] [--max L] [--prefix P] [--distinct K] [--descending]
//                 [--adversarial] [--seed S]
//       COUNT random lowercase words of L to L letters (0 letters make empty lines), one per
//       line, each after the same P random letters: in random order (drawn from K words when
//       --distinct is given), or distinct and in strictly descending order, or distinct and in
//       the order that drives every range of the word sort as deep as its depth limit allows
//       (the quicksort adversary of the tests, played against the sort's own steps)
//   wordgen --shuffle [--seed S] < lines
//       the lines of standard input in a seeded random order
//   wordgen --sorted [--descending] < lines
//       the lines of standard input in ascending byte order, or distinct and descending
//
// Random words that need no reordering are written as they are made, so a list of gigabytes
// takes no more memory than a block of output.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "order/quicksort_adversary.h"

namespace {

// splitmix64: tiny, fast, and the same everywhere.
struct Random {
    std::uint64_t state;
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }
    std::uint64_t below(std::uint64_t n) { return next() % n; }
};

template <typename T>
void shuffle(std::vector<T>& items, Random& random) {
    for (std::size_t i = items.size(); i > 1; --i)
        std::swap(items[i - 1], items[random.below(i)]);
}

std::string random_letters(Random& random, std::uint64_t length) {
    std::string word;
    for (std::uint64_t k = 0; k < length; ++k)
        word += static_cast<char>('a' + random.below(26));
    return word;
}

std::string random_word(Random& random, std::uint64_t min_length, std::uint64_t max_length) {
    return random_letters(random, min_length + random.below(max_length - min_length + 1));
}

// Lines to standard output through a large block.
class LineWriter {
  public:
    void write(const std::string& line) {
        block_ += line;
        block_ += '\n';
        if (block_.size() >= (1u << 20)) flush();
    }
    bool flush() {
        const bool written = std::fwrite(block_.data(), 1, block_.size(), stdout) == block_.size();
        block_.clear();
        return written && std::fflush(stdout) == 0;
    }

  private:
    std::string block_;
};

int usage() {
    std::fputs(
        "usage: wordgen COUNT [--min L] [--max L] [--prefix P] [--distinct K] [--descending]\n"
        "               [--adversarial] [--seed S]\n"
        "       wordgen --shuffle [--seed S] < lines\n"
        "       wordgen --sorted [--descending] < lines\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::uint64_t count = 0, min_length = 4, max_length = 14, prefix_length = 0, distinct = 0,
                  seed = 1;
    bool descending = false, adversarial = false, shuffle_input = false, sort_input = false,
         have_count = false;
    for (int i = 1; i < argc; ++i) {
        auto value = [&](std::uint64_t& into) {
            if (i + 1 >= argc) return false;
            into = std::strtoull(argv[++i], nullptr, 10);
            return true;
        };
        bool ok = true;
        if (!std::strcmp(argv[i], "--min"))
            ok = value(min_length);
        else if (!std::strcmp(argv[i], "--max"))
            ok = value(max_length);
        else if (!std::strcmp(argv[i], "--prefix"))
            ok = value(prefix_length);
        else if (!std::strcmp(argv[i], "--distinct"))
            ok = value(distinct);
        else if (!std::strcmp(argv[i], "--seed"))
            ok = value(seed);
        else if (!std::strcmp(argv[i], "--descending"))
            descending = true;
        else if (!std::strcmp(argv[i], "--adversarial"))
            adversarial = true;
        else if (!std::strcmp(argv[i], "--shuffle"))
            shuffle_input = true;
        else if (!std::strcmp(argv[i], "--sorted"))
            sort_input = true;
        else if (argv[i][0] != '-')
            count = std::strtoull(argv[i], nullptr, 10), have_count = true;
        else
            ok = false;
        if (!ok) return usage();
    }
    Random random{seed};
    LineWriter out;
    std::vector<std::string> lines;
    if (shuffle_input || sort_input) {
        for (std::string line; std::getline(std::cin, line);)
            lines.push_back(line);
        if (shuffle_input) {
            shuffle(lines, random);
        } else {
            std::sort(lines.begin(), lines.end());
            if (descending) {
                lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
                std::reverse(lines.begin(), lines.end());
            }
        }
    } else {
        if (!have_count || max_length < min_length) return usage();
        if (adversarial && count > UINT32_MAX) return usage();
        // Words that must be distinct need letters enough to be told apart.
        if ((descending || adversarial) && min_length == 0) return usage();
        const std::string prefix = random_letters(random, prefix_length);
        if (descending || adversarial) {
            std::set<std::string> unique;
            while (unique.size() < count)
                unique.insert(prefix + random_word(random, min_length, max_length));
            lines.assign(unique.rbegin(), unique.rend());
            if (adversarial) {
                const auto killer = wordperm::testing::killer_for_depth_bounded_sort(
                    static_cast<std::uint32_t>(count));
                std::vector<std::string> ascending(unique.begin(), unique.end());
                for (std::size_t x = 0; x < lines.size(); ++x)
                    lines[x] = ascending[killer.ranks[x]];
            }
        } else if (distinct) {
            std::vector<std::string> pool;
            for (std::uint64_t k = 0; k < distinct; ++k)
                pool.push_back(prefix + random_word(random, min_length, max_length));
            for (std::uint64_t k = 0; k < count; ++k)
                out.write(pool[random.below(distinct)]);
        } else {
            for (std::uint64_t k = 0; k < count; ++k)
                out.write(prefix + random_word(random, min_length, max_length));
        }
    }
    for (const std::string& line : lines)
        out.write(line);
    return out.flush() ? 0 : 1;
}
