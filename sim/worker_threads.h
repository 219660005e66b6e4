#pragma once

#include <functional>

// Runs `body(worker)` for worker 0 .. threads - 1 at once, worker 0 on the calling thread, and
// waits for all. A thread the system refuses is left out, so bodies must share their work through
// a common queue rather than own fixed parts of it. Returns false when a body ran out of memory.
bool run_workers(int threads, const std::function<void(int)>& body);
