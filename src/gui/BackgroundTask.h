#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

namespace grize {

// Runs one piece of work on a thread of its own while the calling (GUI)
// thread keeps its event loop going, so the window paints and takes the
// input it lets through; hands back the work's value, or rethrows its
// exception on the calling thread. The work reports progress and looks at
// the stop request through this object, both safe from any thread.
class BackgroundTask {
  public:
    BackgroundTask() = default;
    BackgroundTask(const BackgroundTask&) = delete;
    BackgroundTask& operator=(const BackgroundTask&) = delete;

    // Returns once the work has ended and the input that arrived meanwhile has
    // been handled. Clears the progress and the stop request first; one run at
    // a time.
    template <class Work>
    auto run(Work&& work) -> decltype(work()) {
        std::optional<decltype(work())> result;
        runAndWait([&] { result.emplace(work()); });
        return std::move(*result);
    }

    // True from the start of `run` until it returns.
    bool running() const { return running_; }

    // From the work: `done` of `total` bytes so far.
    void report(std::uint64_t done, std::uint64_t total) {
        total_.store(total, std::memory_order_relaxed);
        done_.store(done, std::memory_order_relaxed);
    }
    std::uint64_t done() const { return done_.load(std::memory_order_relaxed); }
    std::uint64_t total() const { return total_.load(std::memory_order_relaxed); }

    // Asks the work to stop; it decides when it can.
    void requestCancel() { cancel_ = true; }
    bool cancelRequested() const { return cancel_; }
    const std::atomic<bool>& cancelFlag() const { return cancel_; }

  private:
    void runAndWait(const std::function<void()>& work);

    std::atomic<std::uint64_t> done_{0};
    std::atomic<std::uint64_t> total_{0};
    std::atomic<bool> cancel_{false};
    bool running_ = false;
};

}  // namespace grize
