#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
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
// start side by side only while what they cost stays within `budget` bytes. Beyond it a job
// starts only alone: any job when nothing at all is held, so the largest one runs alone rather
// than never; the one the taker needs next also when no other job runs, since the results
// that wait to be taken then are freed only after its own. A job whose cost does not fit yet
// waits while its worker goes on with later ones, unless it is the one the taker needs next:
// then no later job starts until it has.
//
// `cost` and `prepare` run on the workers, never at once for the same index. Whatever either
// throws is caught on the worker and thrown again by take() for that index. With no worker
// thread (none could be started, or none asked for) take() runs the job itself. `stop`, when
// given, is set as the pool goes (its destructor), so that the jobs still running can give up
// early: their results are no longer wanted.
template <typename Result>
class DecodeAhead {
public:
    DecodeAhead(std::size_t count, int workers, std::size_t window, qint64 budget,
                std::function<AheadCost(std::size_t)> cost, std::function<Result(std::size_t)> prepare,
                std::atomic<bool> *stop = nullptr)
        : count_(count), window_(std::max<std::size_t>(window, 1)), budget_(budget), cost_(std::move(cost)),
          prepare_(std::move(prepare)), stop_(stop), results_(count), errors_(count), costs_(count),
          waiting_(count, false)
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

    // The result of job `index`, or what its cost or its prepare threw; indices must be taken
    // in ascending order.
    Result take(std::size_t index)
    {
        if (threads_.empty())
            return prepare_(index);
        Result result{};
        std::exception_ptr error;
        {
            std::unique_lock lock(mutex_);
            ready_.wait(lock, [&] { return results_[index].has_value() || errors_[index]; });
            if (results_[index]) {
                result = std::move(*results_[index]);
                results_[index].reset();
                held_ -= costs_[index].kept;
            }
            error = std::exchange(errors_[index], nullptr);
            taken_ = index + 1;
        }
        room_.notify_all();
        if (error)
            std::rethrow_exception(error);
        return result;
    }

    // What the jobs running and the results waiting to be taken hold now (for tests).
    [[nodiscard]] qint64 held()
    {
        std::lock_guard lock(mutex_);
        return held_;
    }

    // How many jobs whose cost is known wait for memory now (for tests).
    [[nodiscard]] std::size_t waitingForMemory()
    {
        std::lock_guard lock(mutex_);
        return static_cast<std::size_t>(std::count(waiting_.begin(), waiting_.end(), true));
    }

private:
    [[nodiscard]] static qint64 total(const AheadCost &c) { return c.whileDecoding + c.kept; }

    // Whether job `index` of cost `c` may start now. While the one the taker needs next waits
    // for memory, it goes first. Within the budget a job may; beyond it only alone: any job when
    // nothing is held, the next one also when no other job runs (the results waiting to be
    // taken hold memory that only its taking frees).
    [[nodiscard]] bool fits(std::size_t index, const AheadCost &c) const
    {
        if (total(c) == 0)
            return true;
        const bool next = index == taken_;
        if (!next && taken_ < count_ && waiting_[taken_])
            return false;
        return held_ == 0 || held_ + total(c) <= budget_ || (next && running_ == 0);
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
                    return stopping_ || ready != waiting.end() || canClaim()
                           || (waiting.empty() && claimed_ >= count_);
                });
                if (stopping_)
                    return;
                if (ready != waiting.end()) {
                    index = *ready;
                    waiting.erase(ready);
                    waiting_[index] = false;
                    begin(index);
                } else if (canClaim()) {
                    index = claimed_++;
                    claimed = true;
                } else {
                    return;
                }
            }
            if (claimed) {
                AheadCost c;
                try {
                    c = cost_(index);
                } catch (...) {
                    fail(index, std::current_exception());
                    continue;
                }
                std::lock_guard lock(mutex_);
                costs_[index] = c;
                if (!fits(index, c)) {
                    waiting.push_back(index);
                    waiting_[index] = true;
                    continue;
                }
                begin(index);
            }
            std::optional<Result> result;
            std::exception_ptr error;
            try {
                result.emplace(prepare_(index));
            } catch (...) {
                error = std::current_exception();
            }
            {
                std::lock_guard lock(mutex_);
                --running_;
                held_ -= costs_[index].whileDecoding;
                if (error) {
                    held_ -= costs_[index].kept; // no result keeps it
                    costs_[index].kept = 0;
                    errors_[index] = error;
                } else {
                    results_[index] = std::move(result);
                }
            }
            ready_.notify_all();
            room_.notify_all();
        }
    }

    // Job `index` starts: what it costs is held from now on. Under the lock.
    void begin(std::size_t index)
    {
        held_ += total(costs_[index]);
        ++running_;
    }

    // Job `index` ends without running: `error` is its result.
    void fail(std::size_t index, std::exception_ptr error)
    {
        {
            std::lock_guard lock(mutex_);
            errors_[index] = std::move(error);
        }
        ready_.notify_all();
        room_.notify_all();
    }

    void stopAndJoin()
    {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            if (stop_)
                stop_->store(true);
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
    std::atomic<bool> *const stop_;
    std::vector<std::optional<Result>> results_;
    std::vector<std::exception_ptr> errors_;
    std::vector<AheadCost> costs_;
    std::vector<bool> waiting_; // whether each job's cost is known and it waits for memory
    std::mutex mutex_;
    std::condition_variable ready_; // a result arrived
    std::condition_variable room_;  // a result was taken, memory was freed, or the workers must stop
    std::size_t claimed_ = 0;       // jobs handed to workers so far
    std::size_t taken_ = 0;         // results taken so far
    qint64 held_ = 0;
    std::size_t running_ = 0; // jobs being prepared
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace quiltana
