// MCU rows spread over threads: the count a whole-image pass uses, and a
// loop that hands rows out one at a time to workers and the caller.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

// The thread count `variable` in the environment sets, else the machine's.
inline int ThreadsWanted(const char* variable)
{
    const char* env = std::getenv(variable);
    const int n = env ? std::atoi(env) : 0;
    return n > 0 ? n : static_cast<int>(std::thread::hardware_concurrency());
}

// Threads for a pass over `rows` MCU rows of a width x height image: one for
// small images, else the machine's threads (or KESTREL_ROW_THREADS) up to
// eight, never more than rows.
inline int RowPassThreads(int rows, long long width, long long height)
{
    if (rows < 8 || width * height < 256 * 256)
        return 1;
    const int n = std::clamp(ThreadsWanted("KESTREL_ROW_THREADS"), 1, 8);
    return std::min(n, rows);
}

// Calls work(thread, row) for every row in [0, rows), each row once, on up
// to `threads` threads; thread 0 is the caller. When a thread cannot be
// started the others take its rows. Returns after every row is done.
template <class Work>
void ForEachRowOnThreads(int rows, int threads, Work&& work)
{
    std::atomic<int> next{0};
    const auto run = [&](int thread) {
        for (int row; (row = next.fetch_add(1, std::memory_order_relaxed)) < rows;)
            work(thread, row);
    };
    std::vector<std::thread> running;
    for (int t = 1; t < threads; ++t) {
        try {
            running.emplace_back(run, t);
        } catch (...) {
            break;
        }
    }
    run(0);
    for (std::thread& t : running)
        t.join();
}
