#include "app/cli/InOrder.h"

#include <sched.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tavrin::cli {
namespace {

// The state the workers and the emitting thread share, under `mutex`.
class Queue {
 public:
  Queue(std::size_t count, const std::function<JobResult(std::size_t)>& run)
      : count_(count), run_(run), slots_(std::min(count, kAhead)) {}

  void Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      workers_.wait(lock, [this] { return next_ >= count_ || MayStart(); });
      if (next_ >= count_) return;
      RunNext(lock);
    }
  }

  // Lets the workers go without the jobs they have not begun.
  void Abandon() {
    const std::lock_guard lock(mutex_);
    next_ = count_;
    workers_.notify_all();
  }

  // The result of job `index`, once done; run again alone when it asks.
  JobResult Take(std::size_t index) {
    std::unique_lock lock(mutex_);
    std::optional<JobResult>& slot = slots_[index % slots_.size()];
    // Rather than wait for a worker, the emitting thread does jobs itself:
    // waiting and waking cost system calls every file.
    while (!slot.has_value()) {
      if (MayStart()) {
        RunNext(lock);
      } else {
        emitter_.wait(lock, [&slot] { return slot.has_value(); });
      }
    }
    JobResult result = std::move(*slot);
    slot.reset();
    if (result.retryAlone) {
      paused_ = true;
      emitter_.wait(lock, [this] { return running_ == 0; });
      lock.unlock();
      result = run_(index);
      lock.lock();
      paused_ = false;
    }
    emitted_ = index + 1;
    workers_.notify_all();
    return result;
  }

 private:
  const std::size_t count_;
  const std::function<JobResult(std::size_t)>& run_;
  std::mutex mutex_;
  std::condition_variable workers_;
  std::condition_variable emitter_;
  std::vector<std::optional<JobResult>> slots_;
  std::size_t next_ = 0;
  std::size_t emitted_ = 0;
  std::size_t running_ = 0;
  bool paused_ = false;

  bool MayStart() const { return next_ < count_ && !paused_ && next_ < emitted_ + kAhead; }

  // Runs the next job, which MayStart, with the lock let go meanwhile.
  void RunNext(std::unique_lock<std::mutex>& lock) {
    const std::size_t index = next_++;
    ++running_;
    lock.unlock();
    JobResult result = run_(index);
    lock.lock();
    --running_;
    slots_[index % slots_.size()] = std::move(result);
    emitter_.notify_one();
  }
};

}  // namespace

void RunInOrder(std::size_t count, unsigned jobs, const std::function<JobResult(std::size_t)>& run,
                const std::function<void(const JobResult&)>& emit) {
  if (jobs <= 1 || count <= 1) {
    for (std::size_t i = 0; i < count; ++i) emit(run(i));
    return;
  }
  Queue queue(count, run);
  // The calling thread is one of the `jobs`.
  std::vector<std::jthread> workers;
  const std::size_t threads = std::min<std::size_t>(jobs, count) - 1;
  workers.reserve(threads);
  for (std::size_t t = 0; t < threads; ++t) workers.emplace_back([&queue] { queue.Work(); });
  try {
    for (std::size_t i = 0; i < count; ++i) emit(queue.Take(i));
  } catch (...) {
    queue.Abandon();  // the workers end, and are joined, before this goes on
    throw;
  }
}

unsigned DefaultJobs() {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  int processors = sched_getaffinity(0, sizeof allowed, &allowed) == 0 ? CPU_COUNT(&allowed) : 1;
  return static_cast<unsigned>(std::clamp(processors, 1, 8));
}

}  // namespace tavrin::cli
