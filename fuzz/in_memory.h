// Encoding and decoding in memory through the real start-up, run loop and coder bodies, for the
// fuzz targets, and the line arithmetic their checks need.
//
// Nothing here judges a result: each run reports its status and output, and the target decides
// what is a finding. A finding ends the process with abort(), which libFuzzer records as a crash
// and saves the input for.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "driver/run_loop.h"
#include "driver/startup.h"
#include "perm/permutation_decoder.h"
#include "perm/permutation_encoder.h"
#include "support/memory_io.h"

namespace wordperm::fuzzing {

// How the files are handed to the run: block sizes below the defaults make the body suspend and
// resume at many more bytes, and an unsized list makes the word table grow as it reads.
struct Blocks {
    std::size_t list_read_bytes = SIZE_MAX;  // most bytes one read of the list file returns
    bool list_sized = true;                  // whether the list's length is known in advance
    std::size_t in_bytes = kBufferBytes;     // code file bytes per read (decode)
    std::size_t out_bytes = kBufferBytes;    // output buffer bytes per drain, 1 to kBufferBytes
};

// Sizes a fuzz input picks from; kBufferBytes first, so that a zero selector means the defaults.
inline constexpr std::size_t kBlockChoices[8] = {kBufferBytes, 1, 2, 3, 7, 8, 9, 4096};

// A newly constructed CoderContext, as the program makes one per run, in storage kept from run
// to run: the context is larger than the sanitizer allocator's biggest size class, so a heap
// allocation per run would map, zero and unmap fresh pages each time and cost most of the
// fuzzer's speed. One context exists at a time.
class FreshContext {
  public:
    FreshContext() {
        assert(!in_use_);
        in_use_ = true;
        context_ = new (storage_) CoderContext();
    }
    ~FreshContext() {
        context_->~CoderContext();
        in_use_ = false;
    }
    FreshContext(const FreshContext&) = delete;
    FreshContext& operator=(const FreshContext&) = delete;
    CoderContext& context() { return *context_; }

  private:
    alignas(CoderContext) static inline std::byte storage_[sizeof(CoderContext)];
    static inline bool in_use_ = false;
    CoderContext* context_;
};

struct Outcome {
    ExitStatus status = ExitStatus::success;
    std::string output;  // the code file (encode) or the restored file (decode)
    std::string sorted;  // the sorted list (encode only)
};

inline Outcome encode(std::string_view words, const Blocks& blocks = {}) {
    FreshContext fresh;
    CoderContext& ctx = fresh.context();
    testing::MemoryReader list(words, blocks.list_read_bytes, blocks.list_sized);
    Outcome outcome;
    Failure failure;
    if (!prepare_context(ctx, list, Mode::encode, failure)) {
        outcome.status = failure.status;
        return outcome;
    }
    testing::MemoryWriter sorted_sink;
    testing::MemoryWriter code;
    BlockWriter sorted_list(sorted_sink);
    ctx.sorted_list_file = &sorted_list;
    if (!run_coder(ctx, permutation_encoder, nullptr, code, kBufferBytes, blocks.out_bytes))
        outcome.status = ctx.run.failure.status;
    outcome.output = std::move(code.contents);
    outcome.sorted = std::move(sorted_sink.contents);
    return outcome;
}

inline Outcome decode(std::string_view sorted, std::string_view code, const Blocks& blocks = {}) {
    FreshContext fresh;
    CoderContext& ctx = fresh.context();
    testing::MemoryReader list(sorted, blocks.list_read_bytes, blocks.list_sized);
    Outcome outcome;
    Failure failure;
    if (!prepare_context(ctx, list, Mode::decode, failure)) {
        outcome.status = failure.status;
        return outcome;
    }
    testing::MemoryReader code_file(code, blocks.in_bytes);
    testing::MemoryWriter restored;
    if (!run_coder(ctx, permutation_decoder, &code_file, restored, blocks.in_bytes,
                   blocks.out_bytes))
        outcome.status = ctx.run.failure.status;
    outcome.output = std::move(restored.contents);
    return outcome;
}

[[noreturn]] inline void report_finding(const char* what) {
    std::fprintf(stderr, "finding: %s\n", what);
    std::abort();
}

inline void require(bool holds, const char* what) {
    if (!holds) report_finding(what);
}

// True when the text's last line has no line feed.
inline bool ends_bare(std::string_view text) {
    return !text.empty() && text.back() != '\n';
}

// The text's lines, each with its line feed, in order; a bare last line is given one, so that
// files which differ only in that respect have the same lines.
inline std::vector<std::string> closed_lines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
        lines.emplace_back(text.substr(0, length));
        if (end == std::string_view::npos) lines.back() += '\n';
        text.remove_prefix(length);
    }
    return lines;
}

// The closed lines in ascending order of their unsigned bytes (char_traits<char> compares bytes
// as unsigned char).
inline std::vector<std::string> sorted_closed_lines(std::string_view text) {
    std::vector<std::string> lines = closed_lines(text);
    std::sort(lines.begin(), lines.end());
    return lines;
}

}  // namespace wordperm::fuzzing
