// Measures the per-byte time-out on a silent pty line and the cost of one
// request/answer exchange, with the test playing the device on the master.
#include "pty.h"
#include "serlink.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

int main()
{
    serlinktest::Pty pty;
    if (OpenCOM(pty.slavePath().c_str(), 115200) != 1)
        return 1;
    uint8_t a, c, n, data[255];
    std::vector<double> silent;
    for (int i = 0; i < 50; ++i) {
        const auto start = Clock::now();
        RxFrame(100, &a, &c, &n, data);
        silent.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(silent.begin(), silent.end());
    std::printf("RxFrame(100) silent: min %.3f median %.3f worst %.3f ms\n", silent.front(),
                silent[silent.size() / 2], silent.back());

    const serlinktest::Bytes answer = {0xC0, 0x81, 0x03, 0x00, 0xD3};
    std::vector<double> exchange;
    for (int i = 0; i < 1000; ++i) {
        const auto start = Clock::now();
        TxFrame(1, 3, 0, nullptr);
        pty.receive(5);
        pty.send(answer);
        RxFrame(100, &a, &c, &n, data);
        exchange.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::sort(exchange.begin(), exchange.end());
    std::printf("exchange on pty: median %.1f us, 99%% %.1f us\n", exchange[exchange.size() / 2],
                exchange[exchange.size() * 99 / 100]);
    CloseCOM();
}
