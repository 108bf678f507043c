#pragma once

// Rows evaluated on worker threads while the calling thread (R's) waits, polls and stays the only
// thread that touches R. Nothing here includes R: the poll is the caller's, and may throw (an R
// interrupt unwinds as a C++ exception); the workers are cancelled and joined before anything
// leaves run_rows, so no thread outlives the call.

#include <atomic>
#include <cstddef>
#include <functional>

namespace tarven_r {

// work(row, threads, cancel): evaluates one row with `threads` threads, ending early once `cancel`
// is set. Called for every row exactly once unless cancelled; rows go to whichever worker is free.
using RowWork = std::function<void(std::size_t row, int threads, const std::atomic<bool>* cancel)>;

// poll(done): called on the calling thread about every 100 ms with the number of rows finished,
// while the rows run. The workers block the asynchronous signals, so an interrupt is always
// delivered to the calling thread.
using Poll = std::function<void(std::size_t done)>;

// `threads` (at least 1) are shared out: one worker per row while there are more rows than
// threads, otherwise several evaluation threads per row. Returns when every row is done. If the
// poll throws, the exception is rethrown once every worker has stopped; if a row's work throws,
// the other rows are cancelled and its message is rethrown as std::runtime_error.
void run_rows(std::size_t rows, int threads, const RowWork& work, const Poll& poll);

}  // namespace tarven_r
