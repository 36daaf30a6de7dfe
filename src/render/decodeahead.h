#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include <QtGlobal>

namespace quiltana {

// What one job costs in memory: what its decoding holds while it runs, and what its result
// keeps until it is taken.
struct AheadCost {
    qint64 whileDecoding = 0;
    qint64 kept = 0;
};

// Runs `count` jobs (pictures to decode) on worker threads ahead of one thread that takes
// their results in index order. Workers run at most `window` jobs ahead of the taker, and jobs
// start side by side only while what they cost stays within `budget` bytes: a job always may
// when nothing is held, so the largest one runs alone rather than never, and so does the one
// the taker waits for. A job whose cost does
// not fit yet waits while its worker goes on with later ones.
//
// `cost` and `prepare` run on the workers, never at once for the same index; `prepare` must
// not throw. With no worker thread (none could be started, or none asked for) take() runs the
// job itself.
template <typename Result>
class DecodeAhead {
public:
    DecodeAhead(std::size_t count, int workers, std::size_t window, qint64 budget,
                std::function<AheadCost(std::size_t)> cost, std::function<Result(std::size_t)> prepare)
        : count_(count), window_(std::max<std::size_t>(window, 1)), budget_(budget), cost_(std::move(cost)),
          prepare_(std::move(prepare)), results_(count), costs_(count)
    {
        try {
            threads_.reserve(static_cast<std::size_t>(std::max(workers, 0)));
            for (int n = 0; n < workers; ++n)
                threads_.emplace_back([this] { work(); });
        } catch (...) {
            // Fewer threads than asked for only means slower; with none take() decodes itself.
        }
    }
    ~DecodeAhead() { stopAndJoin(); }

    DecodeAhead(const DecodeAhead &) = delete;
    DecodeAhead &operator=(const DecodeAhead &) = delete;

    // The result of job `index`; indices must be taken in ascending order.
    Result take(std::size_t index)
    {
        if (threads_.empty())
            return prepare_(index);
        Result result;
        {
            std::unique_lock lock(mutex_);
            ready_.wait(lock, [&] { return results_[index].has_value(); });
            result = std::move(*results_[index]);
            results_[index].reset();
            held_ -= costs_[index].kept;
            taken_ = index + 1;
        }
        room_.notify_all();
        return result;
    }

    // What the jobs running and the results waiting to be taken hold now (for tests).
    [[nodiscard]] qint64 held()
    {
        std::lock_guard lock(mutex_);
        return held_;
    }

private:
    [[nodiscard]] static qint64 total(const AheadCost &c) { return c.whileDecoding + c.kept; }

    // Whether job `index` of cost `c` may start now. One alone always may, and so does the one
    // the taker needs next: the results waiting for it to be taken hold memory that only its
    // taking frees.
    [[nodiscard]] bool fits(std::size_t index, const AheadCost &c) const
    {
        return total(c) == 0 || held_ == 0 || index == taken_ || held_ + total(c) <= budget_;
    }

    [[nodiscard]] bool canClaim() const { return claimed_ < count_ && claimed_ < taken_ + window_; }

    void work()
    {
        // Jobs this worker took that wait for memory; meanwhile it goes on with others.
        std::vector<std::size_t> waiting;
        for (;;) {
            std::size_t index = 0;
            bool claimed = false;
            {
                std::unique_lock lock(mutex_);
                auto ready = waiting.end();
                room_.wait(lock, [&] {
                    ready = std::find_if(waiting.begin(), waiting.end(),
                                         [&](std::size_t w) { return fits(w, costs_[w]); });
                    return stop_ || ready != waiting.end() || canClaim()
                           || (waiting.empty() && claimed_ >= count_);
                });
                if (stop_)
                    return;
                if (ready != waiting.end()) {
                    index = *ready;
                    waiting.erase(ready);
                    held_ += total(costs_[index]);
                } else if (canClaim()) {
                    index = claimed_++;
                    claimed = true;
                } else {
                    return;
                }
            }
            if (claimed) {
                const AheadCost c = cost_(index);
                std::lock_guard lock(mutex_);
                costs_[index] = c;
                if (!fits(index, c)) {
                    waiting.push_back(index);
                    continue;
                }
                held_ += total(c);
            }
            Result result = prepare_(index);
            {
                std::lock_guard lock(mutex_);
                held_ -= costs_[index].whileDecoding;
                results_[index] = std::move(result);
            }
            ready_.notify_all();
            room_.notify_all();
        }
    }

    void stopAndJoin()
    {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        room_.notify_all();
        for (std::thread &thread : threads_)
            if (thread.joinable())
                thread.join();
        threads_.clear();
    }

    const std::size_t count_;
    const std::size_t window_;
    const qint64 budget_;
    const std::function<AheadCost(std::size_t)> cost_;
    const std::function<Result(std::size_t)> prepare_;
    std::vector<std::optional<Result>> results_;
    std::vector<AheadCost> costs_;
    std::mutex mutex_;
    std::condition_variable ready_; // a result arrived
    std::condition_variable room_;  // a result was taken, memory was freed, or the workers must stop
    std::size_t claimed_ = 0;       // jobs handed to workers so far
    std::size_t taken_ = 0;         // results taken so far
    qint64 held_ = 0;
    bool stop_ = false;
    std::vector<std::thread> threads_;
};

} // namespace quiltana
