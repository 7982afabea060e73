// The table -l prints on standard output: one row per archive, what it holds and how it was
// coded, and a row of totals when there are several. With -v each row is followed by the sizes
// of the archive's three sections.
#pragma once

#include <cstdint>
#include <string>

#include "pack/pack.h"

namespace wordperm {

class Listing {
  public:
    explicit Listing(bool sections) : sections_(sections) {}
    // Prints the heading before the first row, then the archive's row.
    void add(const std::string& name, const ArchiveInfo& info);
    // Prints the totals when more than one archive was listed.
    void finish();

  private:
    bool sections_;  // print each archive's section sizes
    int rows_ = 0;
    std::uint64_t lines_ = 0, distinct_ = 0, original_ = 0, packed_ = 0;
};

}  // namespace wordperm
