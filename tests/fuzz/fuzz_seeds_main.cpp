// vextral-fuzz-seeds TARGET FOLDER [FONT]: writes a fuzz target's seed corpus into FOLDER.

#include <cstdio>
#include <string>

#include "tests/fuzz/fuzz_seeds.h"

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: vextral-fuzz-seeds TARGET FOLDER [FONT]\n");
    return 2;
  }
  const std::string font = argc == 4 ? argv[3] : FUZZ_FONT_FILE;
  if (!write_fuzz_seeds(argv[1], argv[2], font)) {
    std::fprintf(stderr, "vextral-fuzz-seeds: could not write the seeds of %s\n", argv[1]);
    return 1;
  }
  return 0;
}
