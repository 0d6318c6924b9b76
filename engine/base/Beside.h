// One job at a time on a thread of its own, beside the caller's: the
// checksums of a buffer (MD5 above all) take as long as the arithmetic on
// it, and the two only read the same buffer.
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

namespace engine {

class Beside {
public:
    Beside() : thread_([this] { Loop(); }) {}
    ~Beside() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    Beside(const Beside&) = delete;
    Beside& operator=(const Beside&) = delete;

    void Start(std::function<void()> job) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            job_ = std::move(job);
            pending_ = true;
        }
        wake_.notify_all();
    }
    // Until the job is done; a failure of the job is thrown here.
    void Wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [&] { return !pending_; });
        if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
    }

private:
    void Loop() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return quit_ || pending_; });
            if (quit_) return;
            std::function<void()> job = std::move(job_);
            lock.unlock();
            std::exception_ptr error;
            try {
                job();
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            error_ = error;
            pending_ = false;
            done_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::function<void()> job_;
    bool pending_ = false, quit_ = false;
    std::exception_ptr error_;
    std::thread thread_;
};

}  // namespace engine
