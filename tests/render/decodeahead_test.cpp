// The pool that decodes pictures on worker threads ahead of the one thread that draws them.
#include "decodeahead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <latch>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace quiltana {
namespace {

// Runs `taker` on its own thread and answers its result. A pool that never delivers would
// block the test for good; the limit only turns that hang into a failure with a message, it
// measures nothing.
template <typename F>
auto WithoutHanging(const char *what, F taker)
{
    auto future = std::async(std::launch::async, std::move(taker));
    if (future.wait_for(std::chrono::minutes(2)) != std::future_status::ready) {
        ADD_FAILURE() << what << ": the taker never got its results";
        std::fflush(stdout);
        std::_Exit(EXIT_FAILURE); // the blocked thread cannot be joined
    }
    return future.get();
}

void UpdateMax(std::atomic<qint64> &max, qint64 value)
{
    qint64 seen = max.load();
    while (value > seen && !max.compare_exchange_weak(seen, value)) {
    }
}

TEST(DecodeAhead, ResultsComeInIndexOrderAndNoJobRunsBeyondTheWindow)
{
    constexpr std::size_t kCount = 300;
    constexpr std::size_t kWindow = 6;
    std::atomic<std::size_t> taking{0}; // at least the pool's own count of results taken
    std::atomic<int> beyondWindow{0};
    std::atomic<int> prepared{0};
    DecodeAhead<std::size_t> pool(
        kCount, 4, kWindow, 1000, [](std::size_t i) { return AheadCost{static_cast<qint64>(i % 7), 1}; },
        [&](std::size_t i) {
            if (i >= taking.load() + kWindow)
                ++beyondWindow;
            ++prepared;
            return i * i + 3;
        });
    WithoutHanging("in order", [&] {
        for (std::size_t i = 0; i < kCount; ++i) {
            taking = i + 1;
            EXPECT_EQ(pool.take(i), i * i + 3) << i;
        }
    });
    EXPECT_EQ(prepared.load(), static_cast<int>(kCount));
    EXPECT_EQ(beyondWindow.load(), 0);
    EXPECT_EQ(pool.held(), 0);
}

TEST(DecodeAhead, RunningJobsAndWaitingResultsStayWithinTheBudget)
{
    constexpr std::size_t kCount = 400;
    constexpr qint64 kBudget = 100;
    // Costs from 5 to 125: several fit side by side, a few exceed the whole budget.
    auto costOf = [](std::size_t i) {
        const auto n = static_cast<qint64>(i);
        return AheadCost{(n * 37) % 61 + 5, (n * 13) % 65};
    };
    qint64 largest = 0;
    for (std::size_t i = 0; i < kCount; ++i)
        largest = std::max(largest, costOf(i).whileDecoding + costOf(i).kept);
    ASSERT_GT(largest, kBudget);

    // What the jobs hold as the test sees it: a job counts from the start of its prepare, its
    // decoding until the prepare ends, its result from before the taker asks for it. Each lags
    // the pool's own count, so the pool's count is never below it.
    std::atomic<qint64> held{0};
    std::atomic<qint64> mostHeld{0};
    DecodeAhead<int> pool(kCount, 4, 32, kBudget, costOf, [&](std::size_t i) {
        const AheadCost c = costOf(i);
        UpdateMax(mostHeld, held += c.whileDecoding + c.kept);
        std::this_thread::yield();
        held -= c.whileDecoding;
        return static_cast<int>(i);
    });
    WithoutHanging("within budget", [&] {
        for (std::size_t i = 0; i < kCount; ++i) {
            held -= costOf(i).kept;
            EXPECT_EQ(pool.take(i), static_cast<int>(i));
        }
    });
    EXPECT_LE(mostHeld.load(), kBudget + largest);
    EXPECT_EQ(held.load(), 0);
}

TEST(DecodeAhead, AJobLargerThanTheWholeBudgetStillRuns)
{
    DecodeAhead<int> pool(
        3, 2, 4, 10, [](std::size_t i) { return AheadCost{i == 1 ? 1000 : 4, i == 1 ? 500 : 4}; },
        [](std::size_t i) { return static_cast<int>(i) + 1; });
    const int sum = WithoutHanging("over budget", [&] { return pool.take(0) + pool.take(1) + pool.take(2); });
    EXPECT_EQ(sum, 6);
}

TEST(DecodeAhead, ResultsKeptForLaterJobsNeverStopTheJobTheTakerNeeds)
{
    // Job 0 is claimed first, but its cost is only told once jobs 1 to 3 have run and keep
    // results that fill most of the budget: by the budget alone it could never start, and no
    // later result can be taken before it.
    std::latch laterDone(3);
    DecodeAhead<int> pool(
        4, 2, 8, 100,
        [&](std::size_t i) {
            if (i == 0) {
                laterDone.wait();
                return AheadCost{50, 10};
            }
            return AheadCost{0, 30};
        },
        [&](std::size_t i) {
            if (i > 0)
                laterDone.count_down();
            return static_cast<int>(i) * 10;
        });
    const int sum = WithoutHanging("held results", [&] {
        int total = 0;
        for (std::size_t i = 0; i < 4; ++i)
            total += pool.take(i);
        return total;
    });
    EXPECT_EQ(sum, 60);
}

TEST(DecodeAhead, TheJobTheTakerNeedsWaitsForARunningJobWhenBothExceedTheBudget)
{
    // Job 0's cost takes long to tell, so job 1 starts first, alone beyond the budget; it runs
    // until job 0 has either started beside it (the fault) or been put to wait for memory.
    std::atomic<bool> oneRuns{false}, zeroStarted{false}, beside{false};
    std::latch oneStarted(1);
    std::atomic<DecodeAhead<int> *> pool{nullptr};
    DecodeAhead<int> ahead(
        2, 2, 4, 100,
        [&](std::size_t i) {
            if (i == 0)
                oneStarted.wait();
            return AheadCost{80, 10};
        },
        [&](std::size_t i) {
            if (i == 0) {
                zeroStarted = true;
                beside = oneRuns.load();
                return 0;
            }
            oneRuns = true;
            oneStarted.count_down();
            while (!zeroStarted && (!pool.load() || pool.load()->waitingForMemory() == 0))
                std::this_thread::yield();
            oneRuns = false;
            return 1;
        });
    pool = &ahead;
    EXPECT_EQ(WithoutHanging("waiting next", [&] { return ahead.take(0) + ahead.take(1); }), 1);
    EXPECT_FALSE(beside.load());
}

TEST(DecodeAhead, WhatAJobThrowsReachesTheTakerForThatJobAlone)
{
    DecodeAhead<int> pool(
        4, 2, 4, 100, [](std::size_t i) { return i == 1 ? throw std::runtime_error("cost 1") : AheadCost{10, 10}; },
        [](std::size_t i) { return i == 2 ? throw std::runtime_error("prepare 2") : static_cast<int>(i); });
    std::vector<std::string> taken;
    WithoutHanging("throwing jobs", [&] {
        for (std::size_t i = 0; i < 4; ++i) {
            try {
                taken.push_back(std::to_string(pool.take(i)));
            } catch (const std::runtime_error &e) {
                taken.emplace_back(e.what());
            }
        }
        return 0;
    });
    EXPECT_EQ(taken, (std::vector<std::string>{"0", "cost 1", "prepare 2", "3"}));
    EXPECT_EQ(pool.held(), 0);
}

TEST(DecodeAhead, APoolDestroyedWhileJobsRunAsksThemToStop)
{
    // Both workers' jobs end only when asked to stop, as a decoding does.
    std::atomic<bool> stop{false};
    std::latch bothRun(2);
    WithoutHanging("stopping", [&] {
        DecodeAhead<int> pool(
            4, 2, 4, 1000, [](std::size_t) { return AheadCost{1, 1}; },
            [&](std::size_t i) {
                bothRun.count_down();
                while (!stop.load())
                    std::this_thread::yield();
                return static_cast<int>(i);
            },
            &stop);
        bothRun.wait();
        return 0;
    });
    EXPECT_TRUE(stop.load());
}

TEST(DecodeAhead, WithoutWorkersTheTakerRunsEachJobItself)
{
    const std::thread::id taker = std::this_thread::get_id();
    std::atomic<int> costs{0};
    std::atomic<int> elsewhere{0};
    DecodeAhead<int> pool(
        3, 0, 4, 100, [&](std::size_t) { return ++costs, AheadCost{1, 1}; },
        [&](std::size_t i) {
            if (std::this_thread::get_id() != taker)
                ++elsewhere;
            return static_cast<int>(i) * 2;
        });
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(pool.take(i), static_cast<int>(i) * 2);
    EXPECT_EQ(elsewhere.load(), 0);
    EXPECT_EQ(costs.load(), 0);
}

TEST(DecodeAhead, APoolDestroyedBeforeItsResultsAreTakenStopsItsWorkers)
{
    std::atomic<int> prepared{0};
    {
        // Costs that leave some jobs waiting for memory when the pool goes.
        DecodeAhead<int> pool(
            100, 4, 8, 50, [](std::size_t i) { return AheadCost{20, static_cast<qint64>(i % 3) * 20}; },
            [&](std::size_t i) {
                ++prepared;
                return static_cast<int>(i);
            });
        EXPECT_EQ(WithoutHanging("destroyed", [&] { return pool.take(0) + 2 * pool.take(1); }), 2);
    }
    // Two taken and a window of eight: no more than ten jobs were ever started.
    EXPECT_GE(prepared.load(), 2);
    EXPECT_LE(prepared.load(), 10);
}

} // namespace
} // namespace quiltana
