#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace vantrel {

// One job at a time on a thread of its own: Start hands it over, Wait blocks until it is done.
// The thread lives as long as the object, so a long walk does not start a thread per step.
class BackgroundJob {
  public:
    BackgroundJob() : thread_([this] { Run(); }) {}
    ~BackgroundJob() {
        Wait();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    // Runs `job` on the thread; the previous job must have been waited for.
    void Start(std::function<void()> job) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            job_ = std::move(job);
            busy_ = true;
        }
        changed_.notify_all();
    }

    void Wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return !busy_; });
    }

  private:
    void Run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return stopping_ || busy_; });
            if (!busy_) return;  // stopping with nothing to do
            auto job = std::move(job_);
            lock.unlock();
            job();
            lock.lock();
            busy_ = false;
            changed_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void()> job_;
    bool busy_ = false;
    bool stopping_ = false;
    std::thread thread_;  // last: starts once the members above exist
};

}  // namespace vantrel
