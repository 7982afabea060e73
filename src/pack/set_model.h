// The context-mixing coder of a set: its distinct lines in byte order, front-coded, through the
// range coder's binary decisions.
//
// Each line after the first is its shared-prefix length p with the line before, then its bytes
// from p on, then a line feed as terminator (lines hold none). Byte order lets the model know
// two things for free: p is at most the previous line's length, and the byte at p is above the
// previous line's byte there (any byte but the terminator when the previous line ends at p);
// the decisions that these bounds settle are not coded at all. Every byte is coded as 8
// decisions, high bit first, each predicted by a mix of contexts: the position in the line, the
// byte at p's lower bound (or the distance from p), the 3, 4 and 6 bytes before, the previous
// line's bytes in the same column, and the lower bound with the bytes before. Two mixers (their
// weights chosen by the byte's bits so far, and by those and the byte before) and two adaptive
// maps refine the mix. p goes through an 8-level bit tree whose contexts are the previous p's,
// the previous line's length and its ending. The byte tables hold 2^table_bits counters per
// hashed context; the decoder must use the same table_bits.
//
// Version 6 adds a match model (pack/match_model.h) and three hashed contexts: the word the byte
// is in (the bytes since the last '/', '.', '@', '-', '_' or blank), the two bytes before, and the
// byte the match predicts with its length. Names that a sorted set repeats far apart, as paths
// and addresses do, then cost a fraction of what they cost the first time.
#pragma once

#include <cstdint>

#include "pack/format_version.h"
#include "pack/line_set.h"
#include "rangecoder/range_decoder.h"
#include "rangecoder/range_encoder.h"
#include "stream/byte_stream.h"

namespace wordperm {

inline constexpr int kSetTableBitsMin = 12;
inline constexpr int kSetTableBitsMax = 22;

// The model's contexts: those of every version, or those with the match model (version 6).
enum class SetContexts : std::uint8_t { plain, with_match };

// Table size for a set whose front-coded form has `form_bytes` bytes: enough that collisions
// stay rare, within kSetTableBitsMin to kSetTableBitsMax.
int set_table_bits(std::uint64_t form_bytes);

// Codes set's lines (not its counts) by the rules of `version`. Throws std::bad_alloc.
void encode_set(RangeEncoder& encoder, Stream& stream, const LineSet& set, int table_bits,
                FormatVersion version, SetContexts kind);

// Decodes `distinct` lines into set.bytes and set.start. Returns false when the code gives lines
// holding more than byte_limit bytes in all (byte_limit < 2^32), lines that cannot come from a
// set, or when decoding reads more than most_past_end_reads bytes past the code's end. Memory
// grows with the lines decoded; the tables' pages are taken as the decoding reaches them. Throws
// std::bad_alloc.
bool decode_set(RangeDecoder& decoder, Stream& stream, std::uint32_t distinct,
                std::uint64_t byte_limit, int table_bits, FormatVersion version, SetContexts kind,
                std::uint64_t most_past_end_reads, LineSet& set);

}  // namespace wordperm
