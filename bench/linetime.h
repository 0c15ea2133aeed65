// The serial line's physical limit: how long bytes take on the wire (8N1,
// ten bit times each), and the few measurements every benchmark reports
// beside it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

// Seconds one byte takes at that rate: start bit, 8 data bits, stop bit.
double byteSeconds(int baud);
double lineSeconds(std::size_t bytes, int baud);

// Length on the wire of the frame TxFrame sends (stuffing included).
std::size_t requestWireBytes(int address, int command, const std::vector<std::uint8_t>& data);

// Sorted copy helpers over samples in seconds.
double median(std::vector<double> samples);
double quantile(std::vector<double> samples, double q);
double worst(const std::vector<double>& samples);

// Counters of the calling thread: read- and write-family system calls
// (/proc/thread-self/io) and context switches (getrusage). Differences
// between two snapshots give the cost of what ran in between.
struct ThreadCounters {
    long long reads = 0;
    long long writes = 0;
    long long voluntarySwitches = 0;
    long long involuntarySwitches = 0;
    static ThreadCounters now();
};

// Seconds the calling thread has waited on a run queue for a core so far
// (/proc/thread-self/schedstat): the scheduler's share of any delay.
double runQueueWaitSeconds();

// CPU seconds the calling thread has used so far: what the program itself
// spent, whatever the load made it wait.
double threadCpuSeconds();

// Load average over the last minute, as uptime shows it.
double loadAverage();

// A fixed iteration count from TIRS_BENCH_ITERATIONS (0: let the library
// choose); the system-call counting script runs two fixed counts.
long long fixedIterations();

}  // namespace bench
