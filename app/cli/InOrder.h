#pragma once
// Runs one job per index on a few threads and hands the results on in index
// order, each as soon as it and every one before it is done: the order of
// the output never depends on which thread finished first.

#include <cstddef>
#include <functional>
#include <string>

namespace tavrin::cli {

struct JobResult {
  std::string text;  // for standard output
  bool anyMessage = false;
  // The job was refused a file another job of this run may have held; it is
  // run again with no other job running, so its result is what a run one at
  // a time would have given.
  bool retryAlone = false;
  std::string errors;  // for standard error
};

// Calls `run(i)` for every i below `count`, on up to `jobs` threads, the
// calling one among them (it alone, when `jobs` is 1), and `emit` with each
// result in the order of i, on the calling thread. At most kAhead results wait to be
// emitted, so a run over many files holds few results at once.
void RunInOrder(std::size_t count, unsigned jobs, const std::function<JobResult(std::size_t)>& run,
                const std::function<void(const JobResult&)>& emit);

inline constexpr std::size_t kAhead = 256;

// The threads that pay for a show: the processors this process may run on,
// at most 8.
unsigned DefaultJobs();

}  // namespace tavrin::cli
