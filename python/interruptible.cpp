#include "python/interruptible.hpp"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace py = pybind11;

namespace pellimor::python {

bool SignalWatch::raised() {
    if (error_) {
        return true;
    }
    const py::gil_scoped_acquire locked;
    if (PyErr_CheckSignals() != 0) {
        error_.emplace();  // fetches the exception the handler raised
    }
    return error_.has_value();
}

void SignalWatch::throw_if_raised() {
    if (error_) {
        throw *error_;
    }
}

void run_interruptibly(int threads,
                       const std::function<void(int, const std::atomic<bool>&)>& work) {
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable finished;
    int running = 0;
    std::exception_ptr failure;
    SignalWatch signals;
    {
        const py::gil_scoped_release unlocked;
        std::vector<std::thread> pool;
        auto join_all = [&] {
            for (std::thread& t : pool) {
                t.join();
            }
        };
        try {
            for (int w = 0; w < threads; ++w) {
                {
                    const std::lock_guard lock(mutex);
                    ++running;
                }
                try {
                    pool.emplace_back([&, w] {
                        try {
                            work(w, stop);
                        } catch (...) {
                            const std::lock_guard lock(mutex);
                            if (!failure) {
                                failure = std::current_exception();
                            }
                            stop = true;
                        }
                        const std::lock_guard lock(mutex);
                        --running;
                        finished.notify_all();
                    });
                } catch (...) {
                    const std::lock_guard lock(mutex);
                    --running;
                    throw;
                }
            }
        } catch (...) {
            // A thread the system would not start: stop those that did.
            stop = true;
            join_all();
            throw;
        }
        std::unique_lock lock(mutex);
        while (running > 0) {
            finished.wait_for(lock, std::chrono::milliseconds(50));
            if (running > 0 && !stop) {
                lock.unlock();
                if (signals.raised()) {
                    stop = true;
                }
                lock.lock();
            }
        }
        lock.unlock();
        join_all();
    }
    signals.throw_if_raised();
    if (failure) {
        std::rethrow_exception(failure);
    }
}

}  // namespace pellimor::python
