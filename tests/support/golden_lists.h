// The word lists of the golden files, made by a seeded generator written for them and frozen.
//
// A golden file pins the encoder's output for one list for as long as the file stands, on every
// machine and with every standard library, so the lists cannot come from std:: engines and
// distributions (whose output the standard leaves open) nor from anything under test: splitmix64
// and plain modulo arithmetic only. Changing a byte of what comes out here orphans the golden
// files; add a new list instead.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wordperm::testing {

class GoldenRandom {
  public:
    explicit GoldenRandom(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = state_ += 0x9E3779B97F4A7C15u;
        z = (z ^ z >> 30) * 0xBF58476D1CE4E5B9u;
        z = (z ^ z >> 27) * 0x94D049BB133111EBu;
        return z ^ z >> 31;
    }
    // A value below n (n > 0); the slight bias of the modulo is part of the frozen output.
    std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>(next() % n); }

  private:
    std::uint64_t state_;
};

struct GoldenListShape {
    std::uint32_t lines;
    std::uint32_t pool_words;     // 0: every line a fresh word; else a line repeats one of these
    std::uint32_t fresh_percent;  // with a pool: the share of lines that are fresh words instead
    std::string_view alphabet;    // bytes words are made of (never a line feed)
    std::uint32_t max_length;     // bytes per word, 1 to this
    bool final_line_feed;
};

inline std::string golden_word(GoldenRandom& random, const GoldenListShape& shape) {
    std::string word(1 + random.below(shape.max_length), '\0');
    for (char& byte : word)
        byte = shape.alphabet[random.below(static_cast<std::uint32_t>(shape.alphabet.size()))];
    return word;
}

inline std::string golden_list(std::uint64_t seed, const GoldenListShape& shape) {
    GoldenRandom random(seed);
    std::vector<std::string> pool(shape.pool_words);
    for (std::string& word : pool)
        word = golden_word(random, shape);
    std::string list;
    for (std::uint32_t i = 0; i < shape.lines; ++i) {
        const bool fresh = pool.empty() || random.below(100) < shape.fresh_percent;
        list += fresh ? golden_word(random, shape) : pool[random.below(shape.pool_words)];
        list += '\n';
    }
    if (!shape.final_line_feed && !list.empty()) list.pop_back();
    return list;
}

}  // namespace wordperm::testing
