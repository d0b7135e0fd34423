// enumeration-bench: how long building the device list takes, quick and full, beside Qt's
// QSerialPortInfo::availablePorts() and pyserial's serial.tools.list_ports.comports() on the same
// machine. Prints the median of many runs of each.
//   enumeration-bench [RUNS]
//
// pyserial runs in Debian's Python (python3-serial) as a child process with its own timing loop,
// so its figure is the call alone, without the interpreter's start.
#include "PortEnumeration.h"

#include <QCoreApplication>
#include <QSerialPortInfo>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using namespace talvern::serial;

namespace {

struct Figure {
    double medianUs = 0;
    size_t ports = 0;
};

// Median time of one call in microseconds, and how many entries the last call gave.
Figure measure(int runs, const std::function<size_t()>& call) {
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

// The same median loop in Python around comports(); prints "<median us> <ports>".
constexpr const char* pyserialLoop = R"(
import sys, time
from serial.tools.list_ports import comports
runs = int(sys.argv[1])
count = len(comports())
times = []
for _ in range(runs):
    start = time.perf_counter()
    count = len(comports())
    times.append((time.perf_counter() - start) * 1e6)
times.sort()
print(times[len(times) // 2], count)
)";

// Debian's interpreter first: python3-serial is installed for it, whatever else PATH offers.
std::optional<Figure> measurePyserial(int runs) {
    for (const char* python : {"/usr/bin/python3", "python3"}) {
        const std::string command = std::string(python) + " -c '" + pyserialLoop + "' " + std::to_string(runs) + " 2>/dev/null";
        FILE* child = ::popen(command.c_str(), "r");
        if (child == nullptr)
            continue;
        Figure figure;
        const int read = std::fscanf(child, "%lf %zu", &figure.medianUs, &figure.ports);
        if (::pclose(child) == 0 && read == 2)
            return figure;
    }
    return std::nullopt;
}

void print(const char* what, const Figure& figure) {
    std::printf("%-44s %12.1f %8zu\n", what, figure.medianUs, figure.ports);
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
        {"Qt QSerialPortInfo::availablePorts()",
         [] { return static_cast<size_t>(QSerialPortInfo::availablePorts().size()); }},
    };
    std::printf("%-44s %12s %8s   (median of %d runs)\n", "what", "time [us]", "ports", runs);
    for (const auto& row : rows)
        print(row.name, measure(runs, row.call));
    if (const auto figure = measurePyserial(runs))
        print("pyserial list_ports.comports()", *figure);
    else
        std::printf("%-44s %12s\n", "pyserial list_ports.comports()", "(no python3-serial)");
    return 0;
}
