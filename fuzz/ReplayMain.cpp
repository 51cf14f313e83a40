// Runs a fuzz target's entry point once on every file it is given, or on
// every file directly inside the folders it is given, without libFuzzer: the
// normal test run replays the seed corpus and every input that ever failed
// this way, under whatever sanitizers that build has.
//
//   fuzz_NAME_replay [--expect-failure] PATH...
//
// With --expect-failure each input runs in a child process and must still
// fail: that is how an input of a fault found but not yet fixed is kept
// (regressions/NAME/open/). Once the fault is fixed the run says so and fails,
// so the input moves to regressions/NAME/ and guards the fix from then on.
//
// A missing folder is skipped (a target may have no past failures yet), but
// a run that finds no input at all fails, so a wrong path cannot pass.

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"

namespace {

std::vector<std::filesystem::path> InputsIn(const std::filesystem::path& where) {
  std::vector<std::filesystem::path> inputs;
  std::error_code error;
  if (std::filesystem::is_regular_file(where, error)) {
    inputs.push_back(where);
  } else if (std::filesystem::is_directory(where, error)) {
    for (const auto& entry : std::filesystem::directory_iterator(where)) {
      const std::string name = entry.path().filename().string();
      if (entry.is_regular_file() && !name.starts_with(".") && !name.ends_with(".md")) {
        inputs.push_back(entry.path());
      }
    }
  } else {
    std::printf("no inputs at %s\n", where.c_str());
  }
  // Sorted, so that a failure reproduces in the same order on every machine.
  std::sort(inputs.begin(), inputs.end());
  return inputs;
}

void Run(const std::string& bytes) {
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

// True when the input still makes the target fail, run apart so that the
// failure (an abort, a sanitizer report) ends only the child.
bool StillFails(const std::string& bytes) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) {
    std::perror("fork");
    std::exit(1);
  }
  if (child == 0) {
    Run(bytes);
    std::fflush(nullptr);
    _exit(0);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
  }
  return !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace

int main(int argc, char** argv) {
  LLVMFuzzerInitialize(&argc, &argv);
  bool expectFailure = false;
  std::size_t count = 0;
  std::size_t fixed = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--expect-failure") == 0) {
      expectFailure = true;
      continue;
    }
    for (const std::filesystem::path& input : InputsIn(argv[i])) {
      std::ifstream in(input, std::ios::binary);
      std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      if (in.bad()) {
        std::fprintf(stderr, "cannot read %s\n", input.c_str());
        return 1;
      }
      // Named before it runs: a crash then says which input caused it.
      std::printf("%s (%zu bytes)\n", input.c_str(), bytes.size());
      std::fflush(stdout);
      if (!expectFailure) {
        Run(bytes);
      } else if (StillFails(bytes)) {
        std::printf("  fails, as recorded\n");
      } else {
        std::printf("  no longer fails: the fault is fixed, move this input up to regressions/\n");
        ++fixed;
      }
      ++count;
    }
  }
  std::printf("%zu inputs replayed\n", count);
  return count > 0 && fixed == 0 ? 0 : 1;
}
