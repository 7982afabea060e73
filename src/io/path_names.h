// What a path names before anything is opened: one of the process's own descriptors, the name a
// chain of symbolic links ends at, and the directory an entry lives in.
//
// Outputs are replaced by a rename in the directory of the name they end under, so that name
// must be found first, link by link (a link keeps pointing where it did). A name such as
// /dev/stdout stands for a descriptor the shell set up, and is never followed further: it is
// written, or read, through that descriptor as it is.
#pragma once

#include <string>
#include <string_view>

namespace wordperm {

// The descriptor `path` names when it is one of the process's own (/dev/stdin, /dev/stdout,
// /dev/stderr, /dev/fd/N, /proc/self/fd/N), else -1.
int descriptor_named_by(std::string_view path);

// Follows `path` through symbolic links to the name it ends at; a link that leads nowhere yet
// gives the name it points to. A chain that reaches a name for one of the process's descriptors
// stops there with that descriptor in `descriptor` (else -1). False, with errno's value in
// `error_number`, for a chain too long or a link that cannot be read.
bool follow_links(std::string& path, int& descriptor, int& error_number);

// The part of `path` up to and including its last slash; empty for a name in the working
// directory.
std::string_view directory_of(std::string_view path);

// The directory of `path` as a name to open or show: "." for the working directory.
std::string directory_name_of(std::string_view path);

// The part of `path` after its last slash.
std::string_view base_name_of(std::string_view path);

}  // namespace wordperm
