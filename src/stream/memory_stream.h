// A stream over memory, for coding without a coroutine: the input is handed over whole, so eof
// is set from the start and get_byte makes up 0xFF bytes past its end without ever asking for
// more; the output is a vector that grows as the coder writes. An archive's sections are coded
// this way, and so are the tests' codes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "stream/byte_stream.h"

namespace wordperm {

class MemoryStream final : public StreamOwner {
  public:
    // Reads `input` (which must outlive the stream), then endless 0xFF bytes.
    explicit MemoryStream(std::span<const std::uint8_t> input = {});
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;

    Stream& stream() { return stream_; }

    // The bytes written so far.
    std::span<const std::uint8_t> written() const {
        return {output_.data(), static_cast<std::size_t>(stream_.out_ptr - output_.data())};
    }
    // Moves the bytes written out of the stream, which then starts an empty output.
    std::vector<std::uint8_t> take_written();

    // Input bytes read, the made-up ones past its end included.
    std::uint64_t bytes_read() const {
        return static_cast<std::uint64_t>(stream_.in_ptr - input_.data()) + stream_.past_end_reads;
    }
    // Of those, how many lay past its end.
    std::uint64_t past_end_reads() const { return stream_.past_end_reads; }

  private:
    void refill(Stream& stream) override;
    void drain(Stream& stream) override;
    void start_output(std::size_t capacity);

    std::span<const std::uint8_t> input_;
    std::vector<std::uint8_t> output_;  // the bytes written, then room for more
    Stream stream_;
};

}  // namespace wordperm
