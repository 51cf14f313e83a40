#pragma once
// Independent readers of compound files, run as separate programs:
// python3-olefile and libgsf's gsf. Each comparison gives "OK", or one line
// per difference between a changed file and its original other than the
// target stream now holding `expected`.

#include <functional>
#include <string>
#include <vector>

namespace tavrin::fixture {

struct ProcessResult {
  int exitCode = -1;   // -1 also when a signal ended it
  std::string output;  // standard output
  std::string errors;  // standard error, when collected
};

// Where a spawned program's standard input comes from and its errors go,
// and what is done once it runs.
struct ProcessOptions {
  int input = -1;  // a descriptor to read from; -1: /dev/null
  std::string errorsPath = "/dev/null";
  // Standard error into ProcessResult::errors instead (through a file,
  // read once the program has ended).
  bool collectErrors = false;
  // Set to the program's process id before `started` is called.
  int* pid = nullptr;
  // Called while the program runs, before its output is read: a test types
  // at a terminal here.
  std::function<void()> started;
};

// Runs `argv` (looked up in PATH) and collects its standard output.
ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// Runs Debian's python3 with `script`, `text` in a file named by sys.argv[1],
// and gives what it printed: an independent reader of the JSON and CSV the
// command line writes.
std::string PythonOver(const std::string& text, const std::string& script);

// True when both readers are installed.
bool ExternalReadersPresent();

// A copy of an original file whose `target` stream was changed to hold
// `expected`.
struct ChangedCopy {
  std::string path;
  std::string expected;
};

// `target` is the stream's path inside the file, "/" between storage names.
// With `zeroTail` the bytes after the target's end in its last sector (or
// mini sector) must be zero.
std::string CompareWithOlefile(const std::string& original, const std::string& target,
                               const std::vector<ChangedCopy>& copies, bool zeroTail = false);
std::string CompareWithGsf(const std::string& original, const std::string& target,
                           const std::vector<ChangedCopy>& copies);

}  // namespace tavrin::fixture
