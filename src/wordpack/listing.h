// The table -l prints on standard output: one row per archive, what it holds and how small it
// is, and a row of totals when there are several. With -v each row is followed by a row per
// block, with how each of its sections was coded.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "pack/pack.h"

namespace wordperm {

class Listing {
  public:
    Listing(std::FILE* out, bool blocks) : out_(out), blocks_(blocks) {}
    // Prints the heading before the first row, then the archive's row.
    void add(const std::string& name, const ArchiveInfo& info);
    // Prints the totals when more than one archive was listed.
    void finish();

  private:
    std::FILE* out_;
    bool blocks_;  // print each archive's blocks
    int rows_ = 0;
    std::uint64_t lines_ = 0, blocks_listed_ = 0, original_ = 0, packed_ = 0;
};

// How a block's order was coded, as -lv shows it: "uniform", or "cursor of dictionary".
std::string order_coding(const BlockHeader& header);

}  // namespace wordperm
