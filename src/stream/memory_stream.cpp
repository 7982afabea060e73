// The output doubles as it fills, so a code of n bytes costs O(n) copying in all.
#include "stream/memory_stream.h"

#include <algorithm>
#include <utility>

namespace wordperm {
namespace {

constexpr std::size_t kFirstOutputBytes = 256;

}  // namespace

MemoryStream::MemoryStream(std::span<const std::uint8_t> input) : input_(input) {
    stream_.in_ptr = input.data();
    stream_.in_end = input.data() + input.size();
    stream_.eof = 1;
    stream_.owner = this;
    start_output(kFirstOutputBytes);
}

void MemoryStream::start_output(std::size_t capacity) {
    output_.resize(capacity);
    stream_.out_begin = stream_.out_ptr = output_.data();
    stream_.out_end = output_.data() + output_.size();
}

std::vector<std::uint8_t> MemoryStream::take_written() {
    output_.resize(written().size());
    std::vector<std::uint8_t> bytes = std::move(output_);
    output_ = {};
    start_output(kFirstOutputBytes);
    return bytes;
}

// The input was whole from the start: there is no more.
void MemoryStream::refill(Stream& stream) {
    stream.eof = 1;
}

void MemoryStream::drain(Stream& stream) {
    const std::size_t used = output_.size();
    output_.resize(std::max(kFirstOutputBytes, 2 * used));
    stream.out_begin = output_.data();
    stream.out_ptr = output_.data() + used;
    stream.out_end = output_.data() + output_.size();
}

}  // namespace wordperm
