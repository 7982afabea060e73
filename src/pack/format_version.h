// The versions of the archive format. Version 1 archives are read forever. Packing writes
// version 2 frames, and version 3 frames for the blocks that need the numeric reference order:
// version 3 is version 2 with that order allowed, so a frame is version 2 whenever it can be and
// the archives of earlier builds stay what packing writes. Where a model's rules differ between
// versions, the model takes the version; versions 2 and 3 code everything alike.
#pragma once

#include <cstdint>

namespace wordperm {

enum class FormatVersion : std::uint8_t {
    v1 = 1,  // one list, three sections, the libraries' stages allowed for the set
    v2 = 2,  // frames of blocks; every section's code ends whole (CodeEnd::keep_pending)
    v3 = 3,  // version 2's frames, with the numeric reference order
};

}  // namespace wordperm
