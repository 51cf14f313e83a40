#pragma once
// The ways the crash-safety tests break the Nth system call of a change:
// fail it (EIO, ENOSPC), cut it short, stop dead as a crash would, or cut
// the power, losing, garbling or keeping part of what was not flushed. One
// table for every engine that writes documents.

#include <cerrno>
#include <functional>
#include <memory>
#include <vector>

#include "support/FaultySystemCalls.h"
#include "support/PowerCutSystemCalls.h"

namespace tavrin::fixture {

using Call = FaultySystemCalls::Call;
using Fault = FaultySystemCalls::Fault;
using Loss = PowerCutSystemCalls::Loss;

inline const char* CallName(Call call) {
  switch (call) {
    case Call::kOpen:
      return "open";
    case Call::kSetLock:
      return "lock";
    case Call::kReadAt:
      return "read";
    case Call::kWriteAt:
      return "write";
    case Call::kSync:
      return "fsync";
    case Call::kTruncate:
      return "truncate";
    case Call::kStat:
      return "stat";
    case Call::kClose:
      return "close";
    case Call::kUnlink:
      return "unlink";
    case Call::kRealPath:
      return "realpath";
    case Call::kBootId:
      return "boot id";
  }
  return "?";
}

// One way of breaking the Nth call.
struct FaultKind {
  const char* name;
  std::function<bool(Call)> appliesTo;
  std::function<std::unique_ptr<FaultySystemCalls>(std::size_t n)> make;
  bool crash = false;
  // The machine goes down, and is up again for the next open.
  bool restarts = false;
  // What was not flushed becomes noise.
  bool garbles = false;
};

inline std::vector<FaultKind> FaultKinds() {
  const auto any = [](Call) { return true; };
  const auto failing = [](int error) {
    return [error](std::size_t n) {
      auto calls = std::make_unique<FaultySystemCalls>();
      calls->Break({.n = n, .fault = Fault::kError, .error = error});
      return calls;
    };
  };
  const auto shortened = [](int error) {
    return [error](std::size_t n) {
      auto calls = std::make_unique<FaultySystemCalls>();
      calls->Break({.n = n, .fault = Fault::kShort, .error = error});
      return calls;
    };
  };
  const auto powerCut = [](Loss loss, std::uint32_t seed = 0) {
    return [loss, seed](std::size_t n) {
      auto calls =
          std::make_unique<PowerCutSystemCalls>(loss, static_cast<std::uint32_t>(n) * 7919 + seed);
      calls->Break({.n = n, .fault = Fault::kCrash});
      return std::unique_ptr<FaultySystemCalls>(std::move(calls));
    };
  };
  return {
      {"EIO", any, failing(EIO)},
      {"ENOSPC", any, failing(ENOSPC)},
      {"short", [](Call c) { return c == Call::kReadAt || c == Call::kWriteAt; }, shortened(0)},
      {"short, then disk full", [](Call c) { return c == Call::kWriteAt; }, shortened(ENOSPC)},
      {"crash", any,
       [](std::size_t n) {
         auto calls = std::make_unique<FaultySystemCalls>();
         calls->Break({.n = n, .fault = Fault::kCrash});
         return calls;
       },
       true},
      {"power cut, unflushed lost", any, powerCut(Loss::kLost), true, true},
      {"power cut, unflushed garbled", any, powerCut(Loss::kGarbled), true, true, true},
      // Which unflushed writes survive is drawn at random: three draws.
      {"power cut, unflushed partly kept (1)", any, powerCut(Loss::kPartlyKept, 1), true, true},
      {"power cut, unflushed partly kept (2)", any, powerCut(Loss::kPartlyKept, 2), true, true},
      {"power cut, unflushed partly kept (3)", any, powerCut(Loss::kPartlyKept, 3), true, true},
  };
}

}  // namespace tavrin::fixture
