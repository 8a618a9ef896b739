#include <cstdio>

int main() {
    std::puts("zelk: the desktop window is not built yet.");
    return 0;
}
