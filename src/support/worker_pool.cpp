#include "support/worker_pool.hpp"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "support/interruption.hpp"
#include "support/thread_limit.hpp"

namespace kaltrope::parallel {
namespace {

// One parallel loop in flight: its range, its claim counter and the first
// failure. Lives on the stack of the thread that started it.
struct Job {
    Job(std::size_t count, std::size_t grain, detail::RangeBody body, void* context, std::size_t helper_limit)
        : count(count),
          grain(grain),
          body(body),
          context(context),
          helper_limit(helper_limit),
          call(interruption::current()) {}

    std::size_t count;
    std::size_t grain;
    detail::RangeBody body;
    void* context;
    std::size_t helper_limit;  // pool threads that may join: the thread limit less the caller
    interruption::Call* call;  // the call that started the job, polled between claims
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::size_t helpers = 0;  // pool threads inside this job; guarded by the pool mutex
    std::mutex failure_mutex;
    std::size_t failure_begin = 0;
    std::exception_ptr failure;

    // Claims and runs ranges until none is left, or the call is stopped.
    void work() {
        interruption::Joined joined(call);
        while (!failed.load(std::memory_order_relaxed)) {
            const std::size_t begin = next.fetch_add(grain, std::memory_order_relaxed);
            if (begin >= count) return;
            const std::size_t end = std::min(count, begin + grain);
            try {
                interruption::poll();
                body(context, begin, end);
            } catch (...) {
                std::lock_guard lock(failure_mutex);
                if (!failure || begin < failure_begin) {
                    failure = std::current_exception();
                    failure_begin = begin;
                }
                failed.store(true, std::memory_order_relaxed);
            }
        }
    }

    bool exhausted() const {
        return failed.load(std::memory_order_relaxed) || next.load(std::memory_order_relaxed) >= count;
    }
};

// Blocks the signals sent to the process in the current thread for its
// lifetime. Faults stay deliverable, so their handlers (a sanitizer's, the
// faulthandler module's) still report them.
class SignalsBlocked {
public:
    SignalsBlocked() {
        sigset_t blocked;
        sigfillset(&blocked);
        for (const int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS}) sigdelset(&blocked, fault);
        pthread_sigmask(SIG_SETMASK, &blocked, &previous_);
    }
    ~SignalsBlocked() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    SignalsBlocked(const SignalsBlocked&) = delete;
    SignalsBlocked& operator=(const SignalsBlocked&) = delete;

private:
    sigset_t previous_;
};

// Workers are started when a job first wants them, never more than the
// largest helper limit seen; when the limit drops, the extra ones idle.
class WorkerPool {
public:
    WorkerPool() = default;

    // Threads are never joined: the pool lives until the process ends.
    ~WorkerPool() = delete;

    void run(Job& job) {
        // A job alone (a thread limit of 1) never touches the pool's threads.
        const bool shared = job.helper_limit > 0;
        if (shared) {
            {
                std::lock_guard lock(mutex_);
                start_workers(job.helper_limit);
                jobs_.push_back(&job);
            }
            wake_.notify_all();
        }
        job.work();
        if (shared) {
            std::unique_lock lock(mutex_);
            std::erase(jobs_, &job);
            // The caller keeps checking for signals while helpers finish.
            while (!done_.wait_for(lock, kWaitSlice, [&job] { return job.helpers == 0; })) {
                if (job.call == nullptr) continue;
                lock.unlock();
                job.call->check_if_due();
                lock.lock();
            }
        }
    }

private:
    static constexpr std::chrono::milliseconds kWaitSlice{20};

    // A thread that cannot be started leaves the pool smaller: the threads
    // already there, the caller among them, do the work. Workers block the
    // signals sent to the process (they inherit the mask), so those reach the
    // threads that run the interpreter's handlers and interrupt their system calls.
    void start_workers(std::size_t wanted) {
        if (workers_.size() >= wanted) return;
        const SignalsBlocked blocked;
        while (workers_.size() < wanted) {
            try {
                workers_.emplace_back([this] { serve(); });
            } catch (const std::system_error&) {
                return;
            }
        }
    }

    // The first job with claims left and room for one more helper; jobs
    // without claims leave the queue.
    Job* job_wanting_help() {
        while (!jobs_.empty() && jobs_.front()->exhausted()) jobs_.pop_front();
        for (Job* job : jobs_) {
            if (job->helpers < job->helper_limit && !job->exhausted()) return job;
        }
        return nullptr;
    }

    void serve() {
        std::unique_lock lock(mutex_);
        for (;;) {
            Job* job = nullptr;
            wake_.wait(lock, [&] { return (job = job_wanting_help()) != nullptr; });
            ++job->helpers;
            lock.unlock();
            job->work();
            lock.lock();
            if (--job->helpers == 0) done_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::deque<Job*> jobs_;
    std::vector<std::thread> workers_;
};

// The pool is created on first use. A child of fork() has none of the
// parent's threads, so it forgets the parent's pool (kept reachable, never
// used) and creates its own on demand.
std::mutex creation_mutex;
WorkerPool* current_pool = nullptr;
WorkerPool* pool_left_by_fork = nullptr;

void before_fork() { creation_mutex.lock(); }
void after_fork_in_parent() { creation_mutex.unlock(); }
void after_fork_in_child() {
    if (current_pool) pool_left_by_fork = current_pool;
    current_pool = nullptr;
    creation_mutex.unlock();
}

WorkerPool& pool() {
    std::lock_guard lock(creation_mutex);
    if (!current_pool) {
        static const bool fork_handlers_installed =
            pthread_atfork(before_fork, after_fork_in_parent, after_fork_in_child) == 0;
        (void)fork_handlers_installed;
        current_pool = new WorkerPool();
    }
    return *current_pool;
}

}  // namespace

std::size_t thread_count() { return thread_limit(); }

void detail::run_range(std::size_t count, std::size_t grain, RangeBody body, void* context) {
    if (count == 0) return;
    // A single claim gains nothing from waking the pool.
    if (count <= grain) {
        body(context, 0, count);
        return;
    }
    Job job(count, std::max<std::size_t>(1, grain), body, context, thread_limit() - 1);
    pool().run(job);
    if (job.failure) std::rethrow_exception(job.failure);
    // Stopped while waiting for the last claims.
    if (job.call != nullptr && job.call->stop_requested()) throw interruption::Interrupted();
}

}  // namespace kaltrope::parallel
