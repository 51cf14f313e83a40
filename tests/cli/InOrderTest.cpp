#include "app/cli/InOrder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace tavrin::cli {
namespace {

TEST(InOrderTest, ResultsComeInTheOrderGivenWhateverFinishesFirst) {
  constexpr std::size_t kCount = 2000;
  std::atomic<std::size_t> running{0};
  std::atomic<std::size_t> mostAtOnce{0};
  std::atomic<std::size_t> emitted{0};
  std::atomic<std::size_t> furthestAhead{0};
  std::vector<std::size_t> order;
  const auto run = [&](std::size_t i) {
    const std::size_t now = ++running;
    mostAtOnce = std::max(mostAtOnce.load(), now);
    const std::size_t ahead = i - std::min(i, emitted.load());
    furthestAhead = std::max(furthestAhead.load(), ahead);
    // Later jobs often finish first.
    if (i % 7 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    --running;
    return JobResult{std::to_string(i), i % 3 == 0, false, {}};
  };
  std::size_t messages = 0;
  RunInOrder(kCount, 4, run, [&](const JobResult& result) {
    order.push_back(std::stoul(result.text));
    messages += result.anyMessage ? 1 : 0;
    ++emitted;
  });
  ASSERT_EQ(order.size(), kCount);
  for (std::size_t i = 0; i < kCount; ++i) ASSERT_EQ(order[i], i);
  EXPECT_EQ(messages, (kCount + 2) / 3);
  EXPECT_GT(mostAtOnce.load(), 1u);
  EXPECT_LE(mostAtOnce.load(), 4u);
  EXPECT_LE(furthestAhead.load(), kAhead);
}

TEST(InOrderTest, AJobRefusedItsFileRunsAgainOnItsOwn) {
  const std::thread::id caller = std::this_thread::get_id();
  std::atomic<int> running{0};
  std::atomic<int> tries{0};
  bool aloneOnTheCaller = false;
  const auto run = [&](std::size_t i) {
    const int others = running++;
    JobResult result{std::to_string(i), false, false, {}};
    if (i == 40 && tries++ == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      result.retryAlone = true;  // as if a neighbour had held its file
    } else if (i == 40) {
      aloneOnTheCaller = others == 0 && std::this_thread::get_id() == caller;
      result.text = "again";
    } else {
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    --running;
    return result;
  };
  std::vector<std::string> texts;
  RunInOrder(100, 3, run, [&](const JobResult& result) { texts.push_back(result.text); });
  ASSERT_EQ(texts.size(), 100u);
  EXPECT_EQ(texts[40], "again");
  EXPECT_EQ(texts[41], "41");
  EXPECT_EQ(tries.load(), 2);
  EXPECT_TRUE(aloneOnTheCaller);
}

TEST(InOrderTest, OneJobAtATimeRunsOnTheCallingThread) {
  const std::thread::id caller = std::this_thread::get_id();
  bool elsewhere = false;
  std::size_t seen = 0;
  RunInOrder(
      50, 1,
      [&](std::size_t i) {
        elsewhere = elsewhere || std::this_thread::get_id() != caller;
        return JobResult{std::to_string(i), false, i == 3, {}};
      },
      [&](const JobResult&) { ++seen; });
  EXPECT_FALSE(elsewhere);
  EXPECT_EQ(seen, 50u);
}

}  // namespace
}  // namespace tavrin::cli
