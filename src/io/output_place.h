// Where an output would land, found before anything is opened or created, so that an output
// that would destroy an input, or land on the other output, is refused while every file is still
// as it was.
//
// An output named by a path ends as the file its chain of symbolic links leads to (the target is
// replaced, the link kept): the file there now, or, for a name not yet taken, a new file under
// that name in that directory. A name for one of the process's descriptors (/dev/stdout, ...)
// lands on that descriptor's file. Pipes and devices are written where they are and replace
// nothing, so only regular files and free names can collide.
#pragma once

#include <optional>
#include <string>

#include "io/file_identity.h"

namespace wordperm {

struct OutputPlace {
    std::optional<FileIdentity> file;       // what the name reaches now, if anything
    std::optional<FileIdentity> directory;  // for a free name: the directory it would be made in
    std::string name;                       // and its last part
};

// Where an output named `path` would land; a path that cannot be followed gives an empty place,
// which collides with nothing (its open fails and says why).
OutputPlace output_place(const std::string& path);

// True when an output at `place` would replace `input`, a regular file.
bool replaces(const OutputPlace& place, const std::optional<FileIdentity>& input);

// True when two outputs would end as one regular file: the same file, or the same free name in
// the same directory.
bool same_place(const OutputPlace& a, const OutputPlace& b);

}  // namespace wordperm
