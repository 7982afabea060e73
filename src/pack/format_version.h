// The versions of the archive format. Version 1 archives are read forever; version 2 is what
// packing writes. Where a model's rules differ between them, the model takes the version.
#pragma once

#include <cstdint>

namespace wordperm {

enum class FormatVersion : std::uint8_t {
    v1 = 1,  // one list, three sections, the libraries' stages allowed for the set
    v2 = 2,  // frames of blocks; every section's code ends whole (CodeEnd::keep_pending)
};

}  // namespace wordperm
