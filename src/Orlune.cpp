#include <cstdio>

int main()
{
    std::puts("Orlune: the diary window is not built yet; see README.md.");
    return 0;
}
