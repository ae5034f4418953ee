// Name resolution within the client's time bound.
#include <gtest/gtest.h>

#include <thread>

#include "cli/resolve.h"

namespace kolmara::cli::test {
namespace {

using namespace std::chrono_literals;

TEST(ResolveWithin, SlowResolverIsLeftBehindAtTheBound) {
  const auto start = std::chrono::steady_clock::now();
  const ResolveResult r = ResolveWithin("slow.example", 200ms, [](const std::string&) -> std::optional<std::string> {
    std::this_thread::sleep_for(1500ms);
    return "10.0.0.1";
  });
  EXPECT_EQ(r.status, ResolveStatus::kTimedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

TEST(ResolveWithin, AnswersAndFailures) {
  const Resolver table = [](const std::string& name) -> std::optional<std::string> {
    if (name == "box.example") return "10.0.0.7";
    return std::nullopt;
  };
  ResolveResult r = ResolveWithin("box.example", 2s, table);
  EXPECT_EQ(r.status, ResolveStatus::kOk);
  EXPECT_EQ(r.address, "10.0.0.7");
  EXPECT_EQ(ResolveWithin("nobox.example", 2s, table).status, ResolveStatus::kFailed);
}

TEST(ResolveWithin, SystemResolverKnowsLocalhost) {
  const ResolveResult r = ResolveWithin("localhost", 5s);
  ASSERT_EQ(r.status, ResolveStatus::kOk);
  EXPECT_EQ(r.address, "127.0.0.1");
}

}  // namespace
}  // namespace kolmara::cli::test
