#include <cstdio>

int main() {
  std::puts("cdmadiag 0.1.0");
  return 0;
}
