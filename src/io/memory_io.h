// Readers and writers over memory: a list or an archive already held, and output gathered in a
// vector or only counted. They let the streaming steps of a program run on bytes in memory.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "io/byte_io.h"

namespace wordperm {

class SpanReader final : public ByteReader {
  public:
    explicit SpanReader(std::span<const std::uint8_t> bytes, std::string name = "(memory)")
        : ByteReader(std::move(name)), bytes_(bytes) {}

    std::ptrdiff_t read(std::uint8_t* buffer, std::size_t size) override {
        const std::size_t part = std::min(size, bytes_.size() - position_);
        std::copy_n(bytes_.data() + position_, part, buffer);
        position_ += part;
        return static_cast<std::ptrdiff_t>(part);
    }
    std::optional<std::uint64_t> known_size() const override { return bytes_.size(); }
    std::ptrdiff_t read_at(std::uint64_t offset, std::uint8_t* buffer, std::size_t size) override {
        if (offset > bytes_.size()) return 0;
        const std::size_t part = std::min<std::uint64_t>(size, bytes_.size() - offset);
        std::copy_n(bytes_.data() + offset, part, buffer);
        return static_cast<std::ptrdiff_t>(part);
    }
    std::string error() const override { return {}; }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

class VectorWriter final : public ByteWriter {
  public:
    explicit VectorWriter(std::vector<std::uint8_t>& bytes, std::string name = "(memory)")
        : ByteWriter(std::move(name)), bytes_(bytes) {}
    bool write(const std::uint8_t* bytes, std::size_t size) override {
        bytes_.insert(bytes_.end(), bytes, bytes + size);
        return true;
    }
    std::string error() const override { return {}; }

  private:
    std::vector<std::uint8_t>& bytes_;
};

}  // namespace wordperm
