// Writes a few small Ogg Vorbis files into the folder given, as a fuzzing corpus.

#include <cstdio>
#include <string>

#include "tests/audio/ogg_maker.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ogg_fuzz_seeds <folder>\n");
    return 2;
  }
  const std::string folder = argv[1];
  bool ok = true;
  ok &= WriteFile(folder + "/mono.ogg", EncodeOgg(SineFrames(2000, 1, 8000, 440, 9000), 1, 8000));
  ok &= WriteFile(folder + "/stereo.ogg",
                  EncodeOgg(SineFrames(3000, 2, 22050, 300, 12000), 2, 22050));
  ok &= WriteFile(folder + "/short.ogg", EncodeOgg(SineFrames(10, 1, 44100, 1000, 5000), 1, 44100));
  return ok ? 0 : 1;
}
