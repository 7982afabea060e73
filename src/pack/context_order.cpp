// Both directions run the same steps: `gather` finds, from state both sides share, the match's
// line and the shares of the pair's, the line's and the recent lines' lists, and each step is
// then coded or decoded against them.
#include "pack/context_order.h"

#include <algorithm>
#include <bit>
#include <unordered_map>
#include <vector>

#include "pack/adaptive_lists.h"
#include "pack/lines_left.h"
#include "rangecoder/frequency_coder.h"

namespace wordperm {
namespace {

constexpr std::uint32_t kMatchLengthMost = 15;    // lengths past it count as it
constexpr std::uint32_t kMatchTableBitsMin = 12;  // the match table doubles as lines are placed
constexpr std::uint32_t kMatchTableBitsMost = 22;

constexpr int kListSteps = 3;             // the pair's followers, the line's, the recent lines
constexpr std::uint32_t kRecentStep = 4;  // a recent place's count grows by this when it comes

}  // namespace

class ContextOrder::State {
  public:
    explicit State(std::span<const std::uint32_t> counts)
        : left_(counts),
          none_(static_cast<std::uint32_t>(counts.size())),
          stamp_(counts.size(), 0),
          line_followers_(counts.size() + 1),
          match_table_(std::size_t{1} << kMatchTableBitsMin, 0) {
        std::fill(std::begin(recent_hits_), std::end(recent_hits_), 1u);
    }

    void encode(RangeEncoder& encoder, Stream& stream, std::uint32_t r) {
        gather();
        bool found = false;
        if (match_line_ != none_) {
            found = r == match_line_;
            encode_bit(encoder, stream, found ? 1 : 0, match_decision().p());
            match_decision().update(found ? 1 : 0);
        }
        for (int step = 0; step < kListSteps && !found; ++step)
            if (shares_[step].total != 0)
                found = encode_listed(encoder, stream, list_decision(step), shares_[step], r);
        if (!found) encode_left(encoder, stream, r);
        place(r);
    }

    std::uint32_t decode(RangeDecoder& decoder, Stream& stream) {
        gather();
        std::uint32_t r = none_;
        if (match_line_ != none_) {
            const int yes = decode_bit(decoder, stream, match_decision().p());
            match_decision().update(yes);
            if (yes) r = match_line_;
        }
        for (int step = 0; step < kListSteps && r == none_; ++step) {
            if (shares_[step].total == 0) continue;
            const Listed listed =
                decode_listed(decoder, stream, list_decision(step), shares_[step], r);
            if (listed == Listed::misfit) return none_;
        }
        if (r == none_) {
            r = decode_left(decoder, stream);
            if (r == none_) return none_;
        }
        place(r);
        return r;
    }

  private:
    std::uint64_t pair_key() const {
        return std::uint64_t{previous_[1]} * (std::uint64_t{none_} + 1) + previous_[0];
    }

    Decision& match_decision() { return match_decisions_[match_agrees_][match_length_]; }

    Decision& list_decision(int step) {
        const Shares& shares = shares_[step];
        const auto lines = static_cast<std::uint32_t>(shares.items.size());
        const std::uint32_t before =
            step == 0 ? (match_line_ != none_ ? 1 : 0) : (shares_[step - 1].total != 0 ? 1 : 0);
        return list_decisions_[step][before][list_context(lines, shares.total)];
    }

    bool excluded(std::uint32_t line) const { return stamp_[line] == step_; }

    void exclude(std::uint32_t line) {
        stamp_[line] = step_;
        if (excluded_.size() < kExcludedMost) excluded_.push_back(line);
    }

    // Fills the match's line and both lists' shares for the next line, and marks their lines
    // as taken out of the steps after them.
    void gather() {
        ++step_;
        excluded_.clear();
        find_match();
        if (match_line_ != none_) exclude(match_line_);
        const auto pair = pair_followers_.find(pair_key());
        pair_list_ = pair == pair_followers_.end() ? nullptr : &pair->second;
        const Followers* lists[2] = {pair_list_, &line_followers_[previous_[0]]};
        // Whether the pair's most frequent follower is the match's line too.
        match_agrees_ =
            lists[0] != nullptr && !lists[0]->empty() && lists[0]->front().item == match_line_;
        for (int step = 0; step < 2; ++step) {
            Shares& shares = shares_[step];
            shares.clear();
            if (lists[step] == nullptr) continue;
            for (const Follower& f : *lists[step]) {
                if (left_.left(f.item) == 0 || excluded(f.item)) continue;
                shares.add(f);
            }
            for (const Follower& f : shares.items)
                exclude(f.item);
        }
        Shares& recent = shares_[2];
        recent.clear();
        for (std::uint32_t j = 0; j < recent_count_; ++j) {
            const std::uint32_t line = recent_[j];
            if (left_.left(line) == 0 || excluded(line)) continue;
            recent.add({line, recent_hits_[j]});
        }
        for (const Follower& f : recent.items)
            exclude(f.item);
    }

    // The line that followed the last occurrence of the last kMatchLines lines, kept from line
    // to line while it comes, and how many lines before it agree (up to kMatchLengthMost).
    void find_match() {
        const std::size_t placed = history_.size();
        match_line_ = none_;
        if (placed < kMatchLines) return;
        if (match_at_ != 0) {
            // The last line was the match's: it goes on.
            if (match_length_ < kMatchLengthMost) ++match_length_;
        } else {
            match_at_ = match_table_[context_hash(placed)];
            match_length_ = 0;
            if (match_at_ == 0) return;
            while (match_length_ < kMatchLengthMost && match_length_ < match_at_ &&
                   history_[match_at_ - 1 - match_length_] == history_[placed - 1 - match_length_])
                ++match_length_;
            if (match_length_ == 0) {
                match_at_ = 0;
                return;
            }
        }
        const std::uint32_t line = history_[match_at_];
        if (left_.left(line) != 0) match_line_ = line;
    }

    // The match table's slot for the kMatchLines lines that end before position `end`.
    std::size_t context_hash(std::size_t end) const {
        std::uint64_t h = 0;
        for (std::size_t i = end - kMatchLines; i < end; ++i)
            h = (h + history_[i] + 1) * 0x9E3779B97F4A7C15u;
        return static_cast<std::size_t>(h >> (64 - match_bits_));
    }

    // The excluded lines' copies left, and those below rank r.
    std::uint32_t excluded_left() const {
        std::uint32_t sum = 0;
        for (const std::uint32_t e : excluded_)
            sum += left_.left(e);
        return sum;
    }

    void encode_left(RangeEncoder& encoder, Stream& stream, std::uint32_t r) {
        const std::uint32_t total = left_.total() - excluded_left();
        if (left_.left(r) == total) return;
        std::uint32_t cum = left_.below(r);
        for (const std::uint32_t e : excluded_)
            if (e < r) cum -= left_.left(e);
        encode_frequency(encoder, stream, cum, left_.left(r), total);
    }

    std::uint32_t decode_left(RangeDecoder& decoder, Stream& stream) {
        const std::uint32_t total = left_.total() - excluded_left();
        if (total == 0) return none_;
        std::sort(excluded_.begin(), excluded_.end());
        // Where the lines taken out leave share `share`: past every one that starts at or
        // before it, in rank order.
        const auto find = [&](std::uint32_t share, std::uint32_t& skipped) {
            skipped = 0;
            for (const std::uint32_t e : excluded_) {
                if (left_.below(e) > share + skipped) break;
                skipped += left_.left(e);
            }
            return static_cast<std::uint32_t>(left_.find(share + skipped));
        };
        std::uint32_t skipped = 0;
        std::uint32_t r = find(0, skipped);
        // A line that holds every share left is not coded.
        if (left_.left(r) != total) {
            const std::uint32_t share = decode_share(decoder, total);
            if (share >= total) return none_;
            r = find(share, skipped);
            if (!decode_frequency(decoder, stream, left_.below(r) - skipped, left_.left(r), total))
                return none_;
        }
        return excluded(r) || left_.left(r) == 0 ? none_ : r;
    }

    void place(std::uint32_t r) {
        left_.take(r);
        bump(pair_list_ != nullptr ? *pair_list_ : pair_followers_[pair_key()], r, kPairLinesMost);
        bump(line_followers_[previous_[0]], r, kLineLinesMost);
        previous_[1] = previous_[0];
        previous_[0] = r;
        move_to_front(r);
        if (match_line_ != none_ && r == match_line_)
            ++match_at_;
        else
            match_at_ = 0;
        // The lines before r now have a follower to predict.
        const std::size_t end = history_.size();
        if (end >= kMatchLines) match_table_[context_hash(end)] = static_cast<std::uint32_t>(end);
        history_.push_back(r);
        if (history_.size() > match_table_.size() / 2 && match_bits_ < kMatchTableBitsMost)
            grow_match_table();
    }

    // Puts r first among the recent lines, and counts a line found at its place.
    void move_to_front(std::uint32_t r) {
        std::uint32_t at = 0;
        while (at < recent_count_ && recent_[at] != r)
            ++at;
        if (at < recent_count_) {
            recent_hits_[at] += kRecentStep;
            if (recent_hits_[at] > kFollowerCountMost)
                for (std::uint32_t& h : recent_hits_)
                    h = (h + 1) / 2;
        } else if (recent_count_ < kRecentLines) {
            ++recent_count_;
        } else {
            at = kRecentLines - 1;
        }
        for (; at > 0; --at)
            recent_[at] = recent_[at - 1];
        recent_[0] = r;
    }

    // Twice the slots, filled again from the history: the table grows with the lines placed.
    void grow_match_table() {
        ++match_bits_;
        match_table_.assign(std::size_t{1} << match_bits_, 0);
        for (std::size_t end = kMatchLines; end < history_.size(); ++end)
            match_table_[context_hash(end)] = static_cast<std::uint32_t>(end);
    }

    LinesLeft left_;
    std::uint32_t none_;  // the number of ranks: no line, and the context before the first
    std::vector<std::uint32_t> stamp_;     // stamp_[r] == step_: r is in an earlier step's lines
    std::uint32_t step_ = 0;               // lines gathered for, so far
    std::vector<std::uint32_t> excluded_;  // the first kExcludedMost lines taken out this line
    std::uint32_t previous_[2] = {none_, none_};  // the last line placed, and the one before
    std::unordered_map<std::uint64_t, Followers> pair_followers_;  // by pair_key()
    Followers* pair_list_ = nullptr;          // the last two lines' list, if they have one (stable)
    std::vector<Followers> line_followers_;   // by the last line placed (none_: the first line)
    std::vector<std::uint32_t> history_;      // every line placed
    std::vector<std::uint32_t> match_table_;  // by slot: where the two lines' follower last was
    std::uint32_t match_bits_ = kMatchTableBitsMin;
    std::size_t match_at_ = 0;  // the history position of the match's line; 0: none, or a miss
    std::uint32_t match_length_ = 0;  // lines before it that agree, up to kMatchLengthMost
    std::uint32_t match_line_ = 0;    // its line, or none_
    Shares shares_[kListSteps];       // the pair's, the line's and the recent lines' shares
    std::uint32_t recent_[kRecentLines] = {};  // the last distinct lines placed, latest first
    std::uint32_t recent_count_ = 0;
    std::uint32_t recent_hits_[kRecentLines];  // how often the line at each place came next
    bool match_agrees_ = false;  // the pair's most frequent follower is the match's line
    Decision match_decisions_[2][kMatchLengthMost + 1];  // by match_agrees_ and match_length_
    Decision list_decisions_[kListSteps][2][kListContexts];
};

ContextOrder::ContextOrder(std::span<const std::uint32_t> counts)
    : state_(std::make_unique<State>(counts)) {}

ContextOrder::~ContextOrder() = default;

void ContextOrder::encode(RangeEncoder& encoder, Stream& stream, std::uint32_t r) {
    state_->encode(encoder, stream, r);
}

std::uint32_t ContextOrder::decode(RangeDecoder& decoder, Stream& stream) {
    return state_->decode(decoder, stream);
}

std::uint64_t context_order_memory(std::uint64_t lines, std::uint64_t distinct) {
    // Per line: the history (4 bytes, twice over for its spare room), a pair context (about 72
    // bytes in the map), an entry in each of two lists (16 bytes, twice over) and the match
    // table's share (it holds at most 4 slots of 4 bytes a line, or its first 2^12); per distinct
    // line, its counts, stamp and list.
    return 144 * lines + 40 * distinct + (std::uint64_t{4} << kMatchTableBitsMin);
}

}  // namespace wordperm
