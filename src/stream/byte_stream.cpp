// The slow paths of the byte streams: the end of an input block, and block appends.
#include "stream/byte_stream.h"

#include <cstring>

namespace wordperm {

std::uint8_t get_byte_after_block(Stream& stream) {
    for (;;) {
        if (stream.in_ptr < stream.in_end) return *stream.in_ptr++;
        if (stream.eof) {
            ++stream.past_end_reads;
            return 0xFF;
        }
        stream.owner->refill(stream);
    }
}

void put_bytes(Stream& stream, const std::uint8_t* bytes, std::size_t size) {
    while (size != 0) {
        std::size_t room = static_cast<std::size_t>(stream.out_end - stream.out_ptr);
        std::size_t part = size < room ? size : room;
        std::memcpy(stream.out_ptr, bytes, part);
        stream.out_ptr += part;
        bytes += part;
        size -= part;
        if (stream.out_ptr == stream.out_end) stream.owner->drain(stream);
    }
}

void put_repeated(Stream& stream, std::uint8_t byte, std::uint64_t count) {
    while (count != 0) {
        const auto room = static_cast<std::uint64_t>(stream.out_end - stream.out_ptr);
        const auto part = static_cast<std::size_t>(count < room ? count : room);
        std::memset(stream.out_ptr, byte, part);
        stream.out_ptr += part;
        count -= part;
        if (stream.out_ptr == stream.out_end) stream.owner->drain(stream);
    }
}

}  // namespace wordperm
