// math_bits: the C runtime's results for the functions the engine calls, on
// arguments of the size it gives them, as raw doubles into a file, so that
// the results of two C runtimes can be compared bit for bit
// (tests/windows/run.sh compares the Windows build's with glibc's).
// usage: math_bits FILE
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    constexpr int kCount = 200000;
    const double pi = 3.14159265358979323846;
    std::vector<double> out;
    std::uint64_t state = 20240601;
    const auto next = [&state] {  // xorshift, the same sequence everywhere
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<double>(state >> 11) / 9007199254740992.0;  // [0, 1)
    };
    for (int i = 0; i < kCount; ++i) {
        const double latitude = (next() - 0.5) * pi;      // radians
        const double longitude = (next() - 0.5) * 2 * pi;
        const double small = (next() - 0.5) * 0.2;        // a few degrees from a meridian
        const double x = (next() + 0.01) * 6.4e6, y = (next() - 0.5) * 6.4e6;
        out.push_back(std::sin(latitude));
        out.push_back(std::cos(latitude));
        out.push_back(std::sin(longitude));
        out.push_back(std::cos(small));
        out.push_back(std::tan(latitude * 0.99));
        out.push_back(std::atan(y / x));
        out.push_back(std::atan2(y, x));
        out.push_back(std::hypot(x, y));
        out.push_back(std::exp(small));
        out.push_back(std::log(x));
        out.push_back(std::pow(x, 0.5 + small));
    }
    std::FILE* file = std::fopen(argv[1], "wb");
    if (!file) return 1;
    const bool ok = std::fwrite(out.data(), sizeof(double), out.size(), file) == out.size();
    return std::fclose(file) == 0 && ok ? 0 : 1;
}
