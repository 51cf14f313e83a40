#include "app/cli/Progress.h"

#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/cli/Output.h"

namespace tavrin::cli {

Progress::Progress(std::size_t total, bool wanted)
    : total_(total), shown_(wanted && ::isatty(STDERR_FILENO) != 0) {}

Progress::~Progress() {
  Clear();
}

void Progress::Working(std::size_t done, std::string_view path) {
  if (!shown_) return;
  // Ten redraws a second are enough to read, and cost nothing next to a
  // run that shows thousands of files a second.
  const auto now = std::chrono::steady_clock::now();
  if (everDrawn_ && now - lastDrawn_ < std::chrono::milliseconds(100)) return;
  everDrawn_ = true;
  lastDrawn_ = now;
  std::string line = "\r\x1b[K" + std::to_string(done) + "/" + std::to_string(total_);
  if (done > 0) {
    const auto elapsed = std::chrono::steady_clock::now() - start_;
    const auto left = std::chrono::duration_cast<std::chrono::seconds>(
        elapsed * static_cast<long>(total_ - done) / static_cast<long>(done));
    line += ", " + std::to_string(left.count()) + " s left";
  }
  // A long name would wrap, and the next redraw would leave its first part.
  std::string name = EscapedPath(path);
  if (name.size() > 50) name = "..." + name.substr(name.size() - 47);
  line += "  " + name;
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  drawn_ = true;
}

void Progress::Clear() {
  if (!drawn_) return;
  std::fputs("\r\x1b[K", stderr);
  std::fflush(stderr);
  drawn_ = false;
}

}  // namespace tavrin::cli
