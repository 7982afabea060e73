// Both directions run the same steps: `gather` makes each list's candidates from state both
// sides share, each step is then coded or decoded against them, and `learn` files the rewrite
// that was taken. Finding a candidate's line costs a hash of its tail and one comparison: the
// hash of the line's kept start is read off P's prefix hashes.
#include "pack/rewrite_order.h"

#include <algorithm>
#include <bit>
#include <unordered_map>
#include <vector>

#include "pack/adaptive_lists.h"
#include "pack/cursor_order.h"
#include "rangecoder/frequency_coder.h"

namespace wordperm {
namespace {

constexpr int kRewriteSteps = 2;  // the last rewrite's followers, the ending's

constexpr std::uint64_t kHashStart = 0xCBF29CE484222325u;

inline std::uint64_t hash_on(std::uint64_t h, std::string_view bytes) {
    for (const char c : bytes)
        h = (h ^ static_cast<std::uint8_t>(c)) * 0x100000001B3u;
    return h;
}

struct Rewrite {
    std::uint32_t cut;
    std::uint32_t tail_at;  // in the tails' arena
    std::uint32_t tail_size;
};

// The key of P's ending: its last kEndingBytes bytes (all of a shorter P), first byte highest,
// and how many they are.
std::uint32_t ending_key(std::string_view p) {
    const std::size_t n = std::min<std::size_t>(p.size(), kEndingBytes);
    std::uint32_t key = static_cast<std::uint32_t>(n) << 24;
    for (std::size_t i = p.size() - n; i < p.size(); ++i)
        key |= std::uint32_t{static_cast<std::uint8_t>(p[i])} << (8 * (p.size() - 1 - i));
    return key;
}

}  // namespace

class RewriteOrder::State {
  public:
    State(std::span<const std::string_view> lines, std::span<const std::uint32_t> counts)
        : lines_(lines),
          none_(static_cast<std::uint32_t>(counts.size())),
          cursor_(counts, true),
          stamp_(counts.size(), 0),
          by_rewrite_(1) {
        std::size_t slots = 2;
        while (slots < 2 * lines.size())
            slots *= 2;
        line_slots_.assign(slots, 0);
        line_bits_ = std::countr_zero(slots);
        for (std::uint32_t r = 0; r < lines.size(); ++r) {
            const std::uint64_t hash = hash_on(kHashStart, lines[r]);
            std::size_t at = slot(hash, line_bits_);
            while (line_slots_[at] != 0)
                at = (at + 1) & (slots - 1);
            line_slots_[at] = (hash << 32) | (r + 1);
        }
        rewrite_slots_.assign(std::size_t{1} << rewrite_bits_, 0);
    }

    void encode(RangeEncoder& encoder, Stream& stream, std::uint32_t r) {
        gather();
        bool found = false;
        for (int step = 0; step < kRewriteSteps && !found; ++step)
            if (shares_[step].total != 0)
                found = encode_listed(encoder, stream, step_decision(step), shares_[step], r);
        if (found)
            cursor_.place_other(r);
        else
            cursor_.encode(encoder, stream, r);
        learn(r, found);
    }

    std::uint32_t decode(RangeDecoder& decoder, Stream& stream) {
        gather();
        std::uint32_t r = none_;
        for (int step = 0; step < kRewriteSteps && r == none_; ++step) {
            if (shares_[step].total == 0) continue;
            const Listed listed =
                decode_listed(decoder, stream, step_decision(step), shares_[step], r);
            if (listed == Listed::misfit) return none_;
        }
        const bool found = r != none_;
        if (found) {
            cursor_.place_other(r);
        } else {
            r = cursor_.decode(decoder, stream);
            // The encoder takes the cursor only for a line that no candidate makes.
            if (r >= none_ || stamp_[r] == step_) return none_;
        }
        learn(r, found);
        return r;
    }

  private:
    static std::size_t slot(std::uint64_t hash, int bits) {
        return static_cast<std::size_t>(hash >> (64 - bits));
    }

    Decision& step_decision(int step) {
        const Shares& shares = shares_[step];
        const std::uint32_t before =
            step == 0 ? (previous_found_ ? 1 : 0) : (shares_[0].total != 0 ? 1 : 0);
        return decisions_[step][before][list_context(
            static_cast<std::uint32_t>(shares.items.size()), shares.total)];
    }

    std::string_view tail(const Rewrite& w) const {
        return {tails_.data() + w.tail_at, w.tail_size};
    }

    // The rank of the line with this hash that is P without its last `cut` bytes and then
    // `more`, or none_. A slot's high half holds its line's hash's low half, so that most
    // lines that are not it are passed over without reading them.
    std::uint32_t find_line(std::uint64_t hash, std::size_t cut, std::string_view more) const {
        const std::string_view p = lines_[previous_];
        const std::size_t kept = p.size() - cut, size = kept + more.size();
        const std::size_t mask = line_slots_.size() - 1;
        for (std::size_t at = slot(hash, line_bits_); line_slots_[at] != 0; at = (at + 1) & mask) {
            if ((line_slots_[at] ^ (hash << 32)) >> 32 != 0) continue;
            const auto r = static_cast<std::uint32_t>(line_slots_[at] - 1);
            const std::string_view line = lines_[r];
            if (line.size() == size && line.compare(0, kept, p, 0, kept) == 0 &&
                line.compare(kept, more.size(), more) == 0)
                return r;
        }
        return none_;
    }

    // Fills each step's candidates for the next line.
    void gather() {
        ++step_;
        shares_[0].clear();
        shares_[1].clear();
        if (previous_ == none_) return;
        const std::string_view p = lines_[previous_];
        const std::size_t cuts = std::min<std::size_t>(p.size(), kRewriteBytesMost);
        kept_hash_[cuts] = hash_on(kHashStart, p.substr(0, p.size() - cuts));
        for (std::size_t cut = cuts; cut > 0; --cut)
            kept_hash_[cut - 1] = hash_on(kept_hash_[cut], p.substr(p.size() - cut, 1));
        const auto ending = by_ending_.find(ending_key(p));
        const Followers* lists[kRewriteSteps] = {
            &by_rewrite_[previous_rewrite_],
            ending == by_ending_.end() ? nullptr : &ending->second};
        for (int step = 0; step < kRewriteSteps; ++step) {
            if (lists[step] == nullptr) continue;
            Shares& shares = shares_[step];
            // The slots are fetched for every rewrite at once, then read.
            hashes_.clear();
            for (const Follower& f : *lists[step]) {
                const Rewrite& w = rewrites_[f.item];
                const std::uint64_t hash =
                    w.cut > p.size() ? 0 : hash_on(kept_hash_[w.cut], tail(w));
                __builtin_prefetch(&line_slots_[slot(hash, line_bits_)]);
                hashes_.push_back(hash);
            }
            for (std::size_t i = 0; i < lists[step]->size(); ++i) {
                const Follower& f = (*lists[step])[i];
                const Rewrite& w = rewrites_[f.item];
                if (w.cut > p.size()) continue;
                const std::uint32_t line = find_line(hashes_[i], w.cut, tail(w));
                if (line == none_ || cursor_.left(line) == 0 || stamp_[line] == step_) continue;
                stamp_[line] = step_;
                shares.add({line, f.count});
            }
        }
    }

    // Files the rewrite of the last line into line r under both contexts.
    void learn(std::uint32_t r, bool found) {
        if (previous_ != none_) {
            const std::string_view p = lines_[previous_], c = lines_[r];
            std::size_t common = 0;
            while (common < p.size() && common < c.size() && p[common] == c[common])
                ++common;
            // A longer rewrite is not filed, and is none to what follows it.
            std::uint32_t id = 0;
            if (p.size() - common <= kRewriteBytesMost && c.size() - common <= kRewriteBytesMost) {
                id = rewrite_id(static_cast<std::uint32_t>(p.size() - common), c.substr(common));
                bump(by_rewrite_[previous_rewrite_], id, kRewritesMost);
                bump(by_ending_[ending_key(p)], id, kRewritesMost);
            }
            previous_rewrite_ = id;
        }
        previous_ = r;
        previous_found_ = found;
    }

    // The rewrite's number, given it the first time it occurs (rewrite 0 is "none yet").
    std::uint32_t rewrite_id(std::uint32_t cut, std::string_view more) {
        const std::uint64_t hash = hash_on(kHashStart ^ cut, more);
        const std::size_t mask = rewrite_slots_.size() - 1;
        std::size_t at = slot(hash, rewrite_bits_);
        for (; rewrite_slots_[at] != 0; at = (at + 1) & mask) {
            const Rewrite& w = rewrites_[rewrite_slots_[at]];
            if (w.cut == cut && tail(w) == more) return rewrite_slots_[at];
        }
        const auto id = static_cast<std::uint32_t>(rewrites_.size());
        rewrites_.push_back({cut, static_cast<std::uint32_t>(tails_.size()),
                             static_cast<std::uint32_t>(more.size())});
        tails_.insert(tails_.end(), more.begin(), more.end());
        by_rewrite_.emplace_back();
        rewrite_slots_[at] = id;
        if (rewrites_.size() * 2 > rewrite_slots_.size()) grow_rewrite_slots();
        return id;
    }

    void grow_rewrite_slots() {
        ++rewrite_bits_;
        rewrite_slots_.assign(std::size_t{1} << rewrite_bits_, 0);
        const std::size_t mask = rewrite_slots_.size() - 1;
        for (std::uint32_t id = 1; id < rewrites_.size(); ++id) {
            const Rewrite& w = rewrites_[id];
            std::size_t at = slot(hash_on(kHashStart ^ w.cut, tail(w)), rewrite_bits_);
            while (rewrite_slots_[at] != 0)
                at = (at + 1) & mask;
            rewrite_slots_[at] = id;
        }
    }

    std::span<const std::string_view> lines_;  // by rank
    std::uint32_t none_;                       // the number of ranks: no line
    CursorOrder cursor_;                       // the last step, and the copies left
    std::vector<std::uint64_t> line_slots_;    // rank + 1 by the line's hash, 0: empty
    std::vector<std::uint64_t> hashes_;        // of a list's candidates
    int line_bits_ = 1;
    std::vector<std::uint32_t> stamp_;  // stamp_[r] == step_: r is a candidate of this line
    std::uint32_t step_ = 0;            // lines gathered for, so far
    std::uint64_t kept_hash_[kRewriteBytesMost + 1] =
        {};                                     // of P without its last `cut` bytes, by cut
    std::vector<Rewrite> rewrites_{Rewrite{}};  // by number; rewrite 0 stands for none
    std::vector<char> tails_;
    std::vector<std::uint32_t> rewrite_slots_;  // rewrite numbers by hash, 0: empty
    int rewrite_bits_ = 10;
    std::vector<Followers> by_rewrite_;  // the rewrites that followed each rewrite
    std::unordered_map<std::uint32_t, Followers> by_ending_;  // by ending_key()
    std::uint32_t previous_ = none_;                          // the last line placed, P
    std::uint32_t previous_rewrite_ = 0;  // the rewrite that made it, 0 for the first line
    bool previous_found_ = false;         // P was found among a step's candidates
    Shares shares_[kRewriteSteps];
    Decision decisions_[kRewriteSteps][2][kListContexts];
};

RewriteOrder::RewriteOrder(std::span<const std::string_view> lines,
                           std::span<const std::uint32_t> counts)
    : state_(std::make_unique<State>(lines, counts)) {}

RewriteOrder::~RewriteOrder() = default;

void RewriteOrder::encode(RangeEncoder& encoder, Stream& stream, std::uint32_t r) {
    state_->encode(encoder, stream, r);
}

std::uint32_t RewriteOrder::decode(RangeDecoder& decoder, Stream& stream) {
    return state_->decode(decoder, stream);
}

std::uint64_t rewrite_order_memory(std::uint64_t lines, std::uint64_t distinct,
                                   std::uint64_t list_bytes) {
    // Per distinct line: its view, a stamp and up to four 8-byte slots of the lines' table.
    // Per line, at most one new rewrite (12 bytes, up to 4 slots of 4 bytes, and a list of its
    // own: 24 bytes and a heap block), one new ending (a map node, its bucket and a heap
    // block) and an entry of 8 bytes in each of two lists, vectors' spare room counted twice;
    // the tails are at most the list's bytes, twice over.
    return 56 * distinct + 240 * lines + 2 * list_bytes + (std::uint64_t{4} << 10);
}

}  // namespace wordperm
