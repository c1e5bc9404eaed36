// Placeholder until the main window exists.
#include <cstdio>

int main() {
  std::puts("Varnwell: the main window is not there yet; the engine is built and tested.");
  return 0;
}
