// A sign of life for runs that take a while: once a file has taken a second, standard error
// shows which file and for how long, on a terminal as one line rewritten each second, elsewhere
// as one line. The line is cleared when the file is done, so the one-line reports that follow
// stand alone.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace wordperm {

class Progress {
  public:
    // Starts showing "wordpack: <file>: <doing>, N s" after a second, when `show` is set.
    Progress(std::string file, const char* doing, bool show);
    ~Progress();  // stop()
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Stops the display and clears its line; the thread is gone when this returns.
    void stop();

  private:
    void run();

    std::string file_;
    const char* doing_;
    bool terminal_;  // standard error is a terminal: rewrite the line in place
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread ticker_;
};

}  // namespace wordperm
