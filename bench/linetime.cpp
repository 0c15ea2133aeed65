#include "linetime.h"

#include <sys/resource.h>

#include <ctime>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "wakecodec.h"

namespace bench {

double byteSeconds(int baud)
{
    return 10.0 / baud;
}

double lineSeconds(std::size_t bytes, int baud)
{
    return double(bytes) * byteSeconds(baud);
}

std::size_t requestWireBytes(int address, int command, const std::vector<std::uint8_t>& data)
{
    wake::TxBuffer buffer;
    return wake::encodeFrame(std::uint8_t(address), std::uint8_t(command),
                             std::uint8_t(data.size()), data.data(), buffer);
}

double quantile(std::vector<double> samples, double q)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const auto at = std::size_t(q * double(samples.size() - 1) + 0.5);
    return samples[std::min(at, samples.size() - 1)];
}

double median(std::vector<double> samples)
{
    return quantile(std::move(samples), 0.5);
}

double worst(const std::vector<double>& samples)
{
    return samples.empty() ? 0 : *std::max_element(samples.begin(), samples.end());
}

ThreadCounters ThreadCounters::now()
{
    ThreadCounters c;
    std::ifstream io("/proc/thread-self/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value) {
        if (key == "syscr:")
            c.reads = value;
        else if (key == "syscw:")
            c.writes = value;
    }
    rusage usage{};
    if (getrusage(RUSAGE_THREAD, &usage) == 0) {
        c.voluntarySwitches = usage.ru_nvcsw;
        c.involuntarySwitches = usage.ru_nivcsw;
    }
    return c;
}

double runQueueWaitSeconds()
{
    std::ifstream in("/proc/thread-self/schedstat");
    unsigned long long onCpu = 0, waiting = 0;
    in >> onCpu >> waiting;
    return double(waiting) * 1e-9;
}

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

double loadAverage()
{
    double load[1] = {0};
    return getloadavg(load, 1) == 1 ? load[0] : -1;
}

long long fixedIterations()
{
    const char* v = std::getenv("TIRS_BENCH_ITERATIONS");
    return v ? std::atoll(v) : 0;
}

}  // namespace bench
