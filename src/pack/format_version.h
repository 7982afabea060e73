// The versions of the archive format. Version 1 archives are read forever. Packing writes
// version 2 frames, version 3 frames for the blocks that need the numeric reference order, and
// version 4 frames for the blocks that need the context order model, version 5 frames for those
// that need the rewrite order model, and version 6 frames for those whose set has the match model
// (every block packing writes now): each version is the one before it with more allowed, so a
// frame takes the least version it can, and packing for the readers of an earlier version
// (PackSettings::newest_version) writes what the builds of that version wrote. Where a model's rules differ between versions, the model takes the version; versions
// 2 to 6 code everything alike.
#pragma once

#include <cstdint>

namespace wordperm {

enum class FormatVersion : std::uint8_t {
    v1 = 1,  // one list, three sections, the libraries' stages allowed for the set
    v2 = 2,  // frames of blocks; every section's code ends whole (CodeEnd::keep_pending)
    v3 = 3,  // version 2's frames, with the numeric reference order
    v4 = 4,  // version 3's, with the context order model
    v5 = 5,  // version 4's, with the rewrite order model
    v6 = 6,  // version 5's, with the set model's match model
};

}  // namespace wordperm
