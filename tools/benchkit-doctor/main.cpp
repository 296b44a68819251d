// benchkit-doctor: a command-line front end over the engine.
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  std::string command = argc > 1 ? argv[1] : "";
  if (command == "--version") {
    std::puts("benchkit-doctor 1.0.0");
    return 0;
  }
  std::fprintf(stderr, "usage: benchkit-doctor --version\n");
  return 2;
}
