// Nanoseconds per coordinate conversion, natively. Not part of the build:
//   g++ -std=c++20 -O2 -I. bench/prjfloat_bench.cpp export/prjfloat.cpp global/errors.cpp -o /tmp/prjfloat_bench
// (run from the top of the tree; add -fsanitize=address,undefined to see the test build's cost).
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <random>
#include <vector>

#include "export/prjfloat.h"

namespace {

double Measure(const char* name, const std::vector<double>& values)
{
    std::uint32_t sink = 0;
    const auto start = std::chrono::steady_clock::now();
    for (double x : values) {
        const PrjConversion c = PrjConvertFinite(x);
        sink ^= c.overflow ? 1 : c.bits;
    }
    const auto stop = std::chrono::steady_clock::now();
    const double ns = std::chrono::duration<double, std::nano>(stop - start).count() / values.size();
    std::cout << name << ": " << ns << " ns per conversion (" << sink << ")\n";
    return ns;
}

}  // namespace

int main()
{
    std::mt19937_64 random(7);
    const int n = 1000000;
    std::vector<double> level(n);  // coordinates as a level holds them
    std::uniform_real_distribution<double> coordinate(-2000, 2000);
    for (double& x : level)
        x = coordinate(random);
    std::vector<double> any;  // any finite bit pattern, most of them far outside float32
    while (static_cast<int>(any.size()) < n) {
        const std::uint64_t bits = random();
        double x;
        std::memcpy(&x, &bits, sizeof x);
        if (std::isfinite(x))
            any.push_back(x);
    }
    std::vector<double> tiny(n);  // the extremes of the double range
    for (double& x : tiny)
        x = std::ldexp(1.0 + coordinate(random) / 4000, (random() & 1) != 0 ? -1070 : 1020);
    Measure("level coordinates", level);
    Measure("random bit patterns", any);
    Measure("extremes of the double range", tiny);
    // The throwing entry point, on values that all overflow: the cost of an exception.
    std::vector<double> huge(n / 10, 1e300);
    std::uint32_t sink = 0;
    const auto start = std::chrono::steady_clock::now();
    for (double x : huge) {
        try {
            sink ^= PrjCoordinateBits(x);
        } catch (const std::exception&) {
            sink ^= 1;
        }
    }
    const auto stop = std::chrono::steady_clock::now();
    std::cout << "overflow through the exception: "
              << std::chrono::duration<double, std::nano>(stop - start).count() / huge.size() << " ns (" << sink << ")\n";
}
