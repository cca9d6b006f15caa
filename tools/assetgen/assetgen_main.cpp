// Writes every image and sound of the game into one folder:
//   vextral-assetgen <output folder> <TrueType font>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tools/assetgen/art.h"
#include "tools/assetgen/sounds.h"

namespace {

struct Job {
  std::string name;
  std::function<bool(const std::string& path)> make;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vextral-assetgen <output folder> <TrueType font>\n");
    return 2;
  }
  const std::string folder = argv[1], font = argv[2];
  std::error_code error;
  std::filesystem::create_directories(folder + "/data", error);
  if (error) {
    std::fprintf(stderr, "assetgen: cannot create %s/data: %s\n", folder.c_str(),
                 error.message().c_str());
    return 1;
  }
  if (RenderText(font, "V", 16, 0).width == 0) {
    std::fprintf(stderr, "assetgen: cannot read the font %s\n", font.c_str());
    return 1;
  }
  auto image = [](std::function<Image()> draw) {
    return [draw](const std::string& path) { return WritePng(draw(), path); };
  };
  std::vector<Job> jobs = {
      {"sprites.png", image([&] { return DrawSpriteSheet(font); })},
      {"title_flat.png", image([&] { return DrawTitleFlat(font); })},
      {"backdrop.png", image(DrawBackdrop)},
      {"pointer.png", image(DrawPointer)},
      {"logo.png", image([&] { return DrawLogo(font); })},
  };
  for (const SoundAsset& sound : AllSounds()) {
    jobs.push_back({"data/" + sound.file, [&sound](const std::string& path) {
                      return WriteOggVorbis(sound.make(), path, sound.quality);
                    }});
  }
  // Two workers share the jobs; each output depends only on its own job, so the
  // bytes do not depend on the order in which they finish.
  std::vector<int> failed(jobs.size(), 0);
  std::vector<std::thread> workers;
  for (int worker = 0; worker < 2; ++worker) {
    workers.emplace_back([&, worker] {
      for (size_t i = worker; i < jobs.size(); i += 2) {
        failed[i] = jobs[i].make(folder + "/" + jobs[i].name) ? 0 : 1;
      }
    });
  }
  for (std::thread& t : workers) t.join();
  int status = 0;
  for (size_t i = 0; i < jobs.size(); ++i) {
    if (failed[i]) {
      std::fprintf(stderr, "assetgen: could not write %s/%s\n", folder.c_str(),
                   jobs[i].name.c_str());
      status = 1;
    }
  }
  return status;
}
