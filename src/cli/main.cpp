#include <cstdio>
int main() { std::puts("vexal-cli"); return 0; }
