// Packing codes the set's model on one core while the counts and the order's candidates take the
// other; unpacking decodes the sections one after another, since the order's arrays may be made
// only once the set has shown how many distinct lines there really are.
#include "pack/block.h"

#include <algorithm>
#include <limits>
#include <new>
#include <string>
#include <string_view>

#include "base/run_both.h"
#include "pack/checksums.h"
#include "pack/context_order.h"
#include "pack/counts_coder.h"
#include "pack/front_coding.h"
#include "pack/library_stages.h"
#include "pack/line_set.h"
#include "pack/order_models.h"
#include "pack/reference_order.h"
#include "pack/rewrite_order.h"
#include "pack/section_coding.h"
#include "pack/set_model.h"

namespace wordperm {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Section {
    Bytes bytes;
    SectionEntry entry;
};

// How far past a section's end a decoder may read. A version 2 section ends as its encoder's
// flush ends it, which leaves out at most the 8 bytes of the window. A version 1 set section can
// leave out pending 0xFF bytes as well, but only as many as the coded value's interval straddled
// a byte boundary right before its end: past 8 more the odds are below 2^-64, while a section
// that is not a code would be decoded on and on into lines of made-up bytes. Version 1 counts and
// orders read on as far as their symbols need: those are bounded by the lines decoded.
constexpr std::uint64_t kCodeWindowBytes = 8;
constexpr std::uint64_t kMostVersion1SetPastEndReads = 16;
constexpr std::uint64_t kUnbounded = std::numeric_limits<std::uint64_t>::max();

std::uint64_t most_past_end_reads(FormatVersion version, std::size_t section) {
    if (version != FormatVersion::v1) return kCodeWindowBytes;
    return section == 0 ? kMostVersion1SetPastEndReads : kUnbounded;
}

// Lines that follow the line before them in the order given by `rank` (or repeat it), going up
// and going down.
void count_steps(std::span<const std::uint32_t> line_index, std::span<const std::uint32_t> rank,
                 std::uint64_t (&steps)[2]) {
    for (std::size_t i = 1; i < line_index.size(); ++i) {
        const std::uint32_t a = rank[line_index[i - 1]], b = rank[line_index[i]];
        steps[0] += b == a || b == a + 1;
        steps[1] += b == a || b + 1 == a;
    }
}

// The list's bytes, as the set and the counts give them.
std::uint64_t split_bytes(const SplitList& split) {
    return joined_size(split.set, split.final_line_feed);
}

// Whether the rewrite model may win: the order so far costs more than half a bit a line, and a
// quarter of the lines keep at least half of the line before them (a rewrite model cannot
// predict lines that share little with their neighbours).
bool worth_rewriting(const SplitList& split, std::size_t best_bytes) {
    const std::size_t n = split.line_index.size();
    if (best_bytes * 16 <= n) return false;
    std::size_t close = 0;
    for (std::size_t i = 1; i < n; ++i) {
        const std::string_view p = split.set.line(split.line_index[i - 1]);
        const std::string_view c = split.set.line(split.line_index[i]);
        const std::size_t most = std::min(p.size(), c.size());
        std::size_t common = 0;
        while (common < most && p[common] == c[common])
            ++common;
        close += 2 * common >= p.size() && common > 0;
    }
    return close * 4 >= n;
}

Section code_order(const SplitList& split, FormatVersion newest, PackBreakdown& breakdown) {
    const LineSet& set = split.set;
    const std::size_t n = split.line_index.size(), d = set.distinct();
    if (n < 2 || d < 2) return {};
    Section best{encode_section([&](RangeEncoder& encoder, Stream& stream) {
                     encode_order(encoder, stream, OrderModel::uniform, split.line_index,
                                  set.count);
                 }),
                 {static_cast<std::uint8_t>(OrderModel::uniform), 0, 0}};
    breakdown.order_uniform = best.bytes.size();

    // The cursor models against the reference order in which most lines follow the line
    // before them: one cheap count per order instead of coding against each. On a tie the
    // earlier order wins, so that the numeric order, last, is taken only where it is better,
    // and a list without runs of digits (where it is byte order) keeps the frame version 2.
    std::vector<std::uint32_t> rank;
    std::uint64_t most = 0;
    for (std::uint8_t o = 0; o < reference_orders(std::min(newest, FormatVersion::v3)); ++o) {
        const auto order = static_cast<ReferenceOrder>(o);
        std::vector<std::uint32_t> candidate = reference_ranks(set, order, false);
        std::uint64_t steps[2] = {};
        count_steps(split.line_index, candidate, steps);
        for (int reversed = 0; reversed < 2; ++reversed) {
            if (steps[reversed] <= most && !rank.empty()) continue;
            most = steps[reversed];
            breakdown.reference = o;
            breakdown.reversed = reversed != 0;
            rank = candidate;
        }
    }
    if (breakdown.reversed)
        for (auto& r : rank)
            r = static_cast<std::uint32_t>(d - 1 - r);
    std::vector<std::uint32_t> x(n), counts(d);
    for (std::size_t i = 0; i < n; ++i)
        x[i] = rank[split.line_index[i]];
    for (std::size_t k = 0; k < d; ++k)
        counts[rank[k]] = set.count[k];
    const auto variant =
        static_cast<std::uint8_t>(breakdown.reference * 2 + (breakdown.reversed ? 1 : 0));
    for (const OrderModel model : {OrderModel::cursor, OrderModel::cursor_distance}) {
        Bytes bytes = encode_section([&](RangeEncoder& encoder, Stream& stream) {
            encode_order(encoder, stream, model, x, counts);
        });
        (model == OrderModel::cursor ? breakdown.order_cursor : breakdown.order_cursor_distance) =
            bytes.size();
        if (bytes.size() < best.bytes.size())
            best = {std::move(bytes), {static_cast<std::uint8_t>(model), variant, 0}};
    }
    if (newest >= FormatVersion::v5 && worth_rewriting(split, best.bytes.size()) &&
        rewrite_order_memory(n, d, split_bytes(split)) <= kOrderModelMemoryMost) {
        std::vector<std::string_view> lines(d);
        for (std::size_t k = 0; k < d; ++k)
            lines[rank[k]] = set.line(k);
        Bytes bytes = encode_section([&](RangeEncoder& encoder, Stream& stream) {
            encode_order(encoder, stream, OrderModel::rewrite, x, counts, lines);
        });
        breakdown.order_rewrite = bytes.size();
        if (bytes.size() < best.bytes.size())
            best = {std::move(bytes), {static_cast<std::uint8_t>(OrderModel::rewrite), variant, 0}};
    }
    // The context model learns from lines that come again: where most lines come once, it
    // costs time and cannot win.
    if (newest < FormatVersion::v4 || n < 2 * d ||
        context_order_memory(n, d) > kOrderModelMemoryMost)
        return best;
    Bytes bytes = encode_section([&](RangeEncoder& encoder, Stream& stream) {
        encode_order(encoder, stream, OrderModel::context, split.line_index, set.count);
    });
    breakdown.order_context = bytes.size();
    if (bytes.size() < best.bytes.size())
        best = {std::move(bytes), {static_cast<std::uint8_t>(OrderModel::context), 0, 0}};
    return best;
}

// The most bytes the block's distinct lines can hold: every line holds its content and a line
// feed, but a bare last line.
std::uint64_t set_byte_limit(const BlockHeader& header) {
    return header.list_bytes - header.lines + (header.bare_last_line ? 1 : 0);
}

// The context-mixing model's memory with tables of 2^table_bits counters, from its sizes: with
// the match model, three more tables, the match's table of positions and the set's text twice
// (it grows by doubling).
std::uint64_t model_memory(const BlockHeader& header) {
    const SectionEntry& entry = header.sections[0];
    const std::uint64_t t = std::uint64_t{1} << entry.variant;
    const std::uint64_t small = std::uint64_t{1} << std::min(entry.variant + 2, 16);
    const std::uint64_t maps = std::uint64_t{1} << std::min(entry.variant - 3, 16);
    const std::uint64_t plain =
        5 * 4 * t + 7 * 4 * (t >> 3) + 8 * 4 * small + 3 * 66 * maps + (std::uint64_t{1} << 20);
    if (entry.stage != static_cast<std::uint8_t>(SetStage::context_mixing_match)) return plain;
    return plain + 4 * 4 * t + 4 * 4 * small + 2 * (set_byte_limit(header) + header.distinct);
}

bool context_mixing_stage(const SectionEntry& entry) {
    return entry.stage == static_cast<std::uint8_t>(SetStage::context_mixing) ||
           entry.stage == static_cast<std::uint8_t>(SetStage::context_mixing_match);
}

// Decodes the set section into `set`.
BlockStatus decode_set_section(const BlockHeader& header, std::span<const std::uint8_t> section,
                               LineSet& set) {
    const SectionEntry& entry = header.sections[0];
    const auto distinct = static_cast<std::uint32_t>(header.distinct);
    if (context_mixing_stage(entry)) {
        SectionDecoder in(section);
        const SetContexts kind = entry.stage == static_cast<std::uint8_t>(SetStage::context_mixing)
                                     ? SetContexts::plain
                                     : SetContexts::with_match;
        if (!decode_set(in.decoder, in.stream, distinct, set_byte_limit(header), entry.variant,
                        header.version, kind, most_past_end_reads(header.version, 0), set))
            return BlockStatus::damaged;
        return header.version == FormatVersion::v1 || in.ends_exactly() ? BlockStatus::ok
                                                                        : BlockStatus::damaged;
    }
    if (!library_stages_built()) return BlockStatus::unsupported;
    // The byte form adds to the lines at most a line feed and a 5-byte prefix length each.
    const std::uint64_t form_limit = set_byte_limit(header) + 6 * header.distinct;
    Bytes form;
    if (!library_decompress(
            static_cast<LibraryStage>(entry.stage), section,
            static_cast<std::size_t>(std::min<std::uint64_t>(form_limit, UINT32_MAX)), form) ||
        !front_decode(form, distinct, set_byte_limit(header), set))
        return BlockStatus::damaged;
    return BlockStatus::ok;
}

// A ByteWriter that passes everything on and keeps the CRC-64 of what it passed.
class CheckedWriter final : public ByteWriter {
  public:
    explicit CheckedWriter(ByteWriter& sink) : ByteWriter(sink.name()), sink_(sink) {}
    bool write(const std::uint8_t* bytes, std::size_t size) override {
        crc_ = crc64({bytes, size}, crc_);
        return sink_.write(bytes, size);
    }
    std::string error() const override { return sink_.error(); }
    std::uint64_t crc() const { return crc_; }

  private:
    ByteWriter& sink_;
    std::uint64_t crc_ = 0;
};

// Writes the block's lines in the order decoded: each line with its line feed, but the last one
// of a block whose last line is bare.
class LineWriter {
  public:
    static constexpr std::size_t kRunBytes = std::size_t{1} << 16;

    LineWriter(ByteWriter& sink, const LineSet& set, const BlockHeader& header)
        : checked_(sink),
          out_(checked_),
          set_(set),
          left_(header.lines),
          bare_(header.bare_last_line) {}

    bool put(std::uint32_t k) {
        static constexpr std::uint8_t kLineFeed = '\n';
        const std::string_view line = set_.line(k);
        --left_;
        if (left_ == 0) last_empty_ = line.empty();
        return out_.append(reinterpret_cast<const std::uint8_t*>(line.data()), line.size()) &&
               (left_ == 0 && bare_ ? true : out_.append(&kLineFeed, 1));
    }
    // Writes line k `times` times, in runs of many copies at once.
    bool repeat(std::uint32_t k, std::uint64_t times) {
        const std::string_view line = set_.line(k);
        const std::size_t copies = std::max<std::size_t>(1, kRunBytes / (line.size() + 1));
        std::string run;
        for (std::size_t c = 0; c < copies; ++c)
            run.append(line).push_back('\n');
        for (; times > copies; times -= copies) {
            left_ -= copies;
            if (!out_.append(reinterpret_cast<const std::uint8_t*>(run.data()), run.size()))
                return false;
        }
        for (; times > 0; --times)
            if (!put(k)) return false;
        return true;
    }

    bool finish() { return out_.flush(); }
    std::uint64_t crc() const { return checked_.crc(); }
    // A bare last line holds a byte at least: an empty one would be the line before's line
    // feed, which a writer codes as no line at all.
    bool well_ended() const { return !(bare_ && last_empty_); }

  private:
    CheckedWriter checked_;
    BlockWriter out_;
    const LineSet& set_;
    std::uint64_t left_;  // lines not yet written
    bool bare_;
    bool last_empty_ = false;
};

// The reference order an order section names, as the rank of each distinct line.
std::vector<std::uint32_t> section_ranks(const SectionEntry& entry, const LineSet& set) {
    const auto reference = static_cast<ReferenceOrder>(entry.variant / 2);
    const bool reversed = entry.variant % 2 != 0;
    return reference_ranks(set, reference, reversed, true);
}

// Decodes the order section and writes the lines in the order decoded.
BlockStatus write_lines(const BlockHeader& header, std::span<const std::uint8_t> section,
                        const LineSet& set, LineWriter& out) {
    const SectionEntry& entry = header.sections[2];
    const std::uint32_t d = static_cast<std::uint32_t>(set.distinct());
    if (entry.stage == 0)
        // One line, or one distinct line N times: nothing to decode.
        return out.repeat(0, header.lines) ? BlockStatus::ok : BlockStatus::write_failed;
    const std::uint64_t most = most_past_end_reads(header.version, 2);
    const auto model = static_cast<OrderModel>(entry.stage);
    SectionDecoder in(section);
    if (order_is_distinct_uniform(model, set.count)) {
        std::vector<std::uint32_t> x(d);
        if (!decode_distinct_order(in.decoder, in.stream, most, x)) return BlockStatus::damaged;
        for (const std::uint32_t k : x)
            if (!out.put(k)) return BlockStatus::write_failed;
    } else {
        // The uniform and context models count in byte order, the cursor and rewrite models in
        // their reference order.
        std::vector<std::uint32_t> line_of_rank(d), counts_by_rank(d);
        if (model == OrderModel::uniform || model == OrderModel::context) {
            for (std::uint32_t k = 0; k < d; ++k)
                line_of_rank[k] = k;
        } else {
            const std::vector<std::uint32_t> rank = section_ranks(entry, set);
            for (std::uint32_t k = 0; k < d; ++k)
                line_of_rank[rank[k]] = k;
        }
        std::vector<std::string_view> lines_by_rank;
        if (model == OrderModel::rewrite) lines_by_rank.resize(d);
        for (std::uint32_t r = 0; r < d; ++r) {
            counts_by_rank[r] = set.count[line_of_rank[r]];
            if (model == OrderModel::rewrite) lines_by_rank[r] = set.line(line_of_rank[r]);
        }
        OrderDecoder order(model, counts_by_rank, lines_by_rank);
        for (std::uint64_t i = 0; i < header.lines; ++i) {
            const std::uint32_t r = order.next(in.decoder, in.stream);
            if (r >= d || in.stream.past_end_reads > most) return BlockStatus::damaged;
            if (!out.put(line_of_rank[r])) return BlockStatus::write_failed;
        }
    }
    return header.version == FormatVersion::v1 || in.ends_exactly() ? BlockStatus::ok
                                                                    : BlockStatus::damaged;
}

}  // namespace

PackedBlock pack_block(LargeArray<std::uint8_t> bytes, std::uint64_t length,
                       const BlockChoices& choices, bool two_threads, PackBreakdown* breakdown) {
    PackBreakdown unused;
    PackBreakdown& sizes = breakdown ? *breakdown : unused;
    PackedBlock block;
    BlockHeader& header = block.header;
    header.list_bytes = length;
    header.list_crc = crc64({bytes.get(), length});
    const SplitList split = split_list(std::move(bytes), length);
    const LineSet& set = split.set;
    header.bare_last_line = !split.final_line_feed;
    header.lines = split.line_index.size();
    header.distinct = set.distinct();

    Section sections[kSections];
    const int table_bits = std::min(set_table_bits(front_coded_size(set)), choices.max_table_bits);
    bool out_of_memory = false;
    // The counts and the order are coded beside the set's model, which takes longest.
    run_both(
        two_threads ? split.line_index.size() : 0,
        [&] {
            try {
                if (set.distinct() < split.line_index.size()) {
                    sections[1] = {encode_section([&](RangeEncoder& encoder, Stream& stream) {
                                       encode_counts(encoder, stream, set.count, FormatVersion::v2);
                                   }),
                                   {kCountsAdaptive, 0, 0}};
                    sizes.counts = sections[1].bytes.size();
                }
                sections[2] = code_order(split, choices.newest_version, sizes);
            } catch (const std::bad_alloc&) {
                out_of_memory = true;
            }
        },
        [&] {
            try {
                const bool match = choices.newest_version >= FormatVersion::v6;
                sections[0] = {encode_section([&](RangeEncoder& encoder, Stream& stream) {
                                   encode_set(encoder, stream, set, table_bits, FormatVersion::v2,
                                              match ? SetContexts::with_match : SetContexts::plain);
                               }),
                               {static_cast<std::uint8_t>(match ? SetStage::context_mixing_match
                                                                : SetStage::context_mixing),
                                static_cast<std::uint8_t>(table_bits), 0}};
                sizes.set = sections[0].bytes.size();
            } catch (const std::bad_alloc&) {
                out_of_memory = true;
            }
        });
    if (out_of_memory) throw std::bad_alloc();
    for (std::size_t s = 0; s < kSections; ++s) {
        header.sections[s] = sections[s].entry;
        header.sections[s].bytes = sections[s].bytes.size();
        block.sections[s] = std::move(sections[s].bytes);
    }
    header.version = least_frame_version(header);
    return block;
}

FormatVersion least_frame_version(const BlockHeader& header) {
    const SectionEntry& order = header.sections[2];
    if (header.sections[0].stage == static_cast<std::uint8_t>(SetStage::context_mixing_match))
        return FormatVersion::v6;
    if (order.stage == static_cast<std::uint8_t>(OrderModel::rewrite)) return FormatVersion::v5;
    if (order.stage == static_cast<std::uint8_t>(OrderModel::context)) return FormatVersion::v4;
    const bool numeric = order.stage >= static_cast<std::uint8_t>(OrderModel::cursor) &&
                         order.variant / 2 >= reference_orders(FormatVersion::v2);
    return numeric ? FormatVersion::v3 : FormatVersion::v2;
}

bool block_plausible(const BlockHeader& header) {
    const std::uint64_t size = header.list_bytes, n = header.lines, d = header.distinct;
    const bool v1 = header.version == FormatVersion::v1;
    const std::uint64_t size_limit = v1 ? std::uint64_t{1} << 31 : std::uint64_t{1} << 32;
    // Every line takes at least a byte: its line feed, or a bare last line's own byte.
    if (size == 0 || size >= size_limit || n == 0 || n > size || d == 0 || d > n) return false;
    const SectionEntry& set = header.sections[0];
    const SectionEntry& counts = header.sections[1];
    const SectionEntry& order = header.sections[2];
    bool set_ok;
    if (context_mixing_stage(set))
        set_ok = set.variant >= kSetTableBitsMin && set.variant <= kSetTableBitsMax &&
                 (set.stage == static_cast<std::uint8_t>(SetStage::context_mixing) ||
                  header.version >= FormatVersion::v6);
    else
        set_ok = v1 && set.stage >= static_cast<std::uint8_t>(SetStage::bzip2) &&
                 set.stage <= static_cast<std::uint8_t>(SetStage::zlib) && set.variant == 0;
    const bool counts_ok = d == n ? counts.stage == 0 && counts.variant == 0
                                  : counts.stage == kCountsAdaptive && counts.variant == 0;
    bool order_ok;
    if (d < 2)
        order_ok = order.stage == 0 && order.variant == 0;
    else if (order.stage == static_cast<std::uint8_t>(OrderModel::uniform))
        order_ok = order.variant == 0;
    else if (order.stage == static_cast<std::uint8_t>(OrderModel::context))
        order_ok = header.version >= FormatVersion::v4 && order.variant == 0;
    else if (order.stage == static_cast<std::uint8_t>(OrderModel::rewrite))
        order_ok = header.version >= FormatVersion::v5 &&
                   order.variant < 2 * reference_orders(header.version);
    else
        order_ok = (order.stage == static_cast<std::uint8_t>(OrderModel::cursor) ||
                    order.stage == static_cast<std::uint8_t>(OrderModel::cursor_distance)) &&
                   order.variant < 2 * reference_orders(header.version);
    const bool empty_sections_ok =
        (counts.stage != 0 || counts.bytes == 0) && (order.stage != 0 || order.bytes == 0);
    return set_ok && counts_ok && order_ok && empty_sections_ok;
}

std::uint64_t block_memory_bound(const BlockHeader& header) {
    const std::uint64_t set_bytes = set_byte_limit(header);
    const SectionEntry& set = header.sections[0];
    std::uint64_t bound = std::uint64_t{4} << 20;  // buffers, and the rest of a run
    // The lines twice (the set, and the reference order's keys) and some 60 bytes of arrays and
    // models' state a distinct line.
    bound += 2 * set_bytes + 64 * header.distinct;
    for (const SectionEntry& section : header.sections)
        bound += section.bytes;
    if (context_mixing_stage(set))
        bound += model_memory(header);
    else
        // The library's form, and its window of up to 64 MiB.
        bound += set_bytes + 6 * header.distinct + (std::uint64_t{64} << 20);
    if (header.sections[2].stage == static_cast<std::uint8_t>(OrderModel::context))
        bound += context_order_memory(header.lines, header.distinct);
    if (header.sections[2].stage == static_cast<std::uint8_t>(OrderModel::rewrite))
        bound += rewrite_order_memory(header.lines, header.distinct, header.list_bytes);
    return bound;
}

BlockStatus unpack_block(const BlockHeader& header,
                         const std::array<std::span<const std::uint8_t>, kSections>& sections,
                         ByteWriter& sink) {
    if (!block_plausible(header)) return BlockStatus::damaged;
    const auto n = header.lines;
    const auto d = static_cast<std::uint32_t>(header.distinct);
    LineSet set;
    if (const BlockStatus status = decode_set_section(header, sections[0], set);
        status != BlockStatus::ok)
        return status;
    set.count.assign(d, 1);
    if (d < n) {
        SectionDecoder in(sections[1]);
        if (!decode_counts(in.decoder, in.stream, static_cast<std::uint32_t>(n), header.version,
                           most_past_end_reads(header.version, 1), set.count) ||
            (header.version != FormatVersion::v1 && !in.ends_exactly()))
            return BlockStatus::damaged;
    }
    if (joined_size(set, !header.bare_last_line) != header.list_bytes) return BlockStatus::damaged;
    LineWriter out(sink, set, header);
    if (const BlockStatus status = write_lines(header, sections[2], set, out);
        status != BlockStatus::ok)
        return status;
    if (!out.finish()) return BlockStatus::write_failed;
    return out.crc() == header.list_crc && out.well_ended() ? BlockStatus::ok
                                                            : BlockStatus::damaged;
}

}  // namespace wordperm
