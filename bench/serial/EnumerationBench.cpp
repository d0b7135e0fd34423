// enumeration-bench: how long building the device list takes, quick and full, beside Qt's
// QSerialPortInfo::availablePorts() on the same machine. Prints the median of many runs.
//   enumeration-bench [RUNS]
#include "PortEnumeration.h"

#include <QCoreApplication>
#include <QSerialPortInfo>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

using namespace talvern::serial;

namespace {

// Median time of one call in microseconds, and how many entries the last call gave.
std::pair<double, size_t> measure(int runs, const std::function<size_t()>& call) {
    std::vector<double> times;
    size_t count = 0;
    call(); // the first call warms caches the others would see anyway
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        count = call();
        times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], count};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const ComPortMap map; // the user's map, as the program reads it
    const DeviceSources sources;
    struct Row {
        const char* name;
        std::function<size_t()> call;
    };
    const Row rows[] = {
        {"device list, quick (epQuickAll)", [&] { return sources.BuildDeviceList(map, TspEnumPorts::epQuickAll).size(); }},
        {"device list, full (epFullInfo)", [&] { return sources.BuildDeviceList(map, TspEnumPorts::epFullInfo).size(); }},
        {"device list, present (epFullPresent)",
         [&] { return sources.BuildDeviceList(map, TspEnumPorts::epFullPresent).size(); }},
        {"QSerialPortInfo::availablePorts()",
         [] { return static_cast<size_t>(QSerialPortInfo::availablePorts().size()); }},
    };
    std::printf("%-40s %12s %8s   (median of %d runs)\n", "what", "time [us]", "ports", runs);
    for (const auto& row : rows) {
        const auto [us, count] = measure(runs, row.call);
        std::printf("%-40s %12.1f %8zu\n", row.name, us, count);
    }
    return 0;
}
