// In-memory readers and writers for tests: input handed over in blocks of a chosen size, and
// output whose every write is recorded, so tests can see what the run loop reads and writes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "io/byte_io.h"

namespace wordperm::testing {

class MemoryReader final : public ByteReader {
  public:
    explicit MemoryReader(std::string_view contents, std::size_t block_bytes = SIZE_MAX,
                          bool sized = true)
        : ByteReader("input"), contents_(contents), block_bytes_(block_bytes), sized_(sized) {}

    std::ptrdiff_t read(std::uint8_t* buffer, std::size_t size) override {
        ++read_calls;
        if (fail_at_offset && position_ >= *fail_at_offset) return -1;
        std::size_t part = std::min({size, block_bytes_, contents_.size() - position_});
        std::copy_n(contents_.data() + position_, part, buffer);
        position_ += part;
        return static_cast<std::ptrdiff_t>(part);
    }
    std::optional<std::uint64_t> known_size() const override {
        if (!sized_) return std::nullopt;
        return contents_.size();
    }
    std::string error() const override { return "Input/output error"; }

    std::size_t read_calls = 0;
    std::optional<std::size_t> fail_at_offset;  // reads from this offset on fail

  private:
    std::string contents_;
    std::size_t block_bytes_;
    bool sized_;
    std::size_t position_ = 0;
};

class MemoryWriter final : public ByteWriter {
  public:
    MemoryWriter() : ByteWriter("output") {}
    bool write(const std::uint8_t* bytes, std::size_t size) override {
        write_sizes.push_back(size);
        if (fail) return false;
        contents.append(reinterpret_cast<const char*>(bytes), size);
        return true;
    }
    std::string error() const override { return "No space left on device"; }

    std::string contents;
    std::vector<std::size_t> write_sizes;
    bool fail = false;
};

}  // namespace wordperm::testing
