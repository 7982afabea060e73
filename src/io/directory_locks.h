// Advisory locks on the directories that hold a pair of files, so that another run never sees
// or leaves half of one pair and half of another.
//
// A run replaces its outputs one rename at a time, and two runs writing the same pair could
// interleave their renames (one run's sorted list beside the other's code file); a run reading
// a pair could open its two files on either side of another run's renames. So a run renames its
// outputs while it holds an exclusive lock (flock) on the directory of each, and a run that reads
// a pair opens both files while it holds a shared lock on theirs. The locks are taken in
// ascending order of device and inode, each directory once, so that two runs whose directories
// overlap cannot deadlock, and they are released when the DirectoryLocks goes (a process that
// dies drops its locks with its descriptors).
//
// The locks are advisory: they order the runs of these programs, not other programs. A
// directory that cannot be opened for reading (write and search permission alone), or whose
// file system has no flock, is passed over: the run goes on without that lock rather than fail
// a rename or a read that would otherwise succeed.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace wordperm {

class DirectoryLocks {
  public:
    enum class Kind { shared, exclusive };

    // Locks the directory of each path, symbolic links followed as outputs follow them; a name
    // for one of the process's descriptors (/dev/stdin, ...) has none. Waits while another run
    // holds a lock that excludes this one.
    DirectoryLocks(std::span<const std::string> paths, Kind kind);
    ~DirectoryLocks();
    DirectoryLocks(const DirectoryLocks&) = delete;
    DirectoryLocks& operator=(const DirectoryLocks&) = delete;

  private:
    std::vector<int> descriptors_;  // the locked directories, open; closing one drops its lock
};

}  // namespace wordperm
