// Writes a file of realistic Beijing 1954 Gauss-Kruger points (central
// meridian 117), "x y H" with millimetres, to standard output.
//   zelk-bench-points COUNT [SEED]
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_points.h"
#include "workflow/point_file.h"

using namespace zelk;

int main(int argc, char** argv) {
    long long count = 0;
    unsigned long long seed = 20240601;
    if (argc < 2 || argc > 3 ||
        std::from_chars(argv[1], argv[1] + std::char_traits<char>::length(argv[1]), count).ec !=
            std::errc() ||
        count < 0 ||
        (argc == 3 && std::from_chars(argv[2], argv[2] + std::char_traits<char>::length(argv[2]),
                                      seed).ec != std::errc())) {
        std::fputs("usage: zelk-bench-points COUNT [SEED]\n", stderr);
        return 2;
    }
    BenchPoints points(seed);
    std::string out;
    for (long long i = 0; i < count; ++i) {
        double x, y, H;
        points.NextGauss(x, y, H);
        AppendPointLine(out, false, {}, x, y, H);
        if (out.size() >= (1 << 20)) {
            if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size()) return 1;
            out.clear();
        }
    }
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size()) return 1;
    return std::fflush(stdout) == 0 ? 0 : 1;
}
