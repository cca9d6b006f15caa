// The driver registry, the current driver, the silent base classes and the global
// audio functions.

#include <cstdlib>

#include "audio/audio.h"
#include "audio/sample.h"
#include "audio/velmix.h"

namespace {

TAudioDriver* registry_head = nullptr;
TAudioDriver* current_driver = nullptr;

// The drivers this program has, made on first use: "Null" first, so the registry
// lists "Velmix", "Velmix Multimedia", "Null".
struct builtin_drivers {
  TAudioDriver null_driver;
  TVelmixAudioDriver multimedia{"Velmix Multimedia", kVelmixMultimedia};
  TVelmixAudioDriver velmix{"Velmix", kVelmixDefault};
};

builtin_drivers& builtins() {
  static builtin_drivers drivers;
  return drivers;
}

std::string lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace

// ---------------------------------------------------------------------------
// Silent base classes

std::shared_ptr<TChannel> TSound::Play(const std::shared_ptr<TChannel>&) {
  return std::make_shared<TChannel>();
}

std::shared_ptr<TChannel> TSound::Cue(const std::shared_ptr<TChannel>&) {
  return std::make_shared<TChannel>();
}

std::shared_ptr<TSound> TSound::Load(const std::string& url, int32_t flags) {
  return Load(LoadAudioSample(url), flags);
}

std::shared_ptr<TSound> TSound::Load(const std::shared_ptr<TStream>& stream, int32_t flags) {
  return Load(LoadAudioSample(stream), flags);
}

std::shared_ptr<TSound> TSound::Load(const std::shared_ptr<TAudioSample>& sample, int32_t flags) {
  if (sample == nullptr) return nullptr;
  return CurrentAudioDriver()->CreateSound(sample, flags);
}

TAudioDriver::TAudioDriver() {
  _succ = registry_head;
  registry_head = this;
}

TAudioDriver::~TAudioDriver() {
  if (current_driver == this) current_driver = nullptr;
  for (TAudioDriver** link = &registry_head; *link != nullptr; link = &(*link)->_succ) {
    if (*link == this) {
      *link = _succ;
      break;
    }
  }
}

std::string TAudioDriver::Name() {
  return "Null";
}
int32_t TAudioDriver::Startup() {
  return 1;
}
void TAudioDriver::Shutdown() {}

std::shared_ptr<TSound> TAudioDriver::CreateSound(const std::shared_ptr<TAudioSample>&, int32_t) {
  return std::make_shared<TSound>();
}

std::shared_ptr<TChannel> TAudioDriver::AllocChannel() {
  return std::make_shared<TChannel>();
}

// ---------------------------------------------------------------------------
// The registry and the current driver

std::vector<std::string> AudioDriverNames() {
  builtins();
  std::vector<std::string> names;
  for (TAudioDriver* driver = registry_head; driver != nullptr && names.size() < 100;
       driver = driver->_succ) {
    names.push_back(driver->Name());
  }
  return names;
}

int32_t AudioDriverExists(const std::string& name) {
  builtins();
  const std::string wanted = lower(name);
  for (TAudioDriver* driver = registry_head; driver != nullptr; driver = driver->_succ) {
    if (lower(driver->Name()) == wanted) return 1;
  }
  return 0;
}

int32_t SetAudioDriver(const std::string& name) {
  builtin_drivers& drivers = builtins();
  static bool exit_registered = false;
  if (!exit_registered) {
    exit_registered = true;
    std::atexit(ShutdownAudio);
  }
  if (current_driver != nullptr) {
    current_driver->Shutdown();
    current_driver = nullptr;
  }
  current_driver = &drivers.null_driver;
  const std::string wanted = lower(name);
  for (TAudioDriver* driver = registry_head; driver != nullptr; driver = driver->_succ) {
    if (lower(driver->Name()) != wanted) continue;
    if (!driver->Startup()) return 0;
    current_driver = driver;
    return 1;
  }
  return 0;
}

TAudioDriver* CurrentAudioDriver() {
  if (current_driver != nullptr) return current_driver;
  if (!SetAudioDriver("Velmix")) SetAudioDriver("Null");
  return current_driver;
}

void ShutdownAudio() {
  if (current_driver == nullptr) return;
  TAudioDriver* driver = current_driver;
  current_driver = nullptr;
  driver->Shutdown();
}

// ---------------------------------------------------------------------------
// Global functions

std::shared_ptr<TSound> LoadSound(const std::string& url, int32_t flags) {
  return TSound::Load(url, flags);
}

std::shared_ptr<TSound> LoadSound(const std::shared_ptr<TStream>& stream, int32_t flags) {
  return TSound::Load(stream, flags);
}

std::shared_ptr<TSound> LoadSound(const std::shared_ptr<TAudioSample>& sample, int32_t flags) {
  return TSound::Load(sample, flags);
}

std::shared_ptr<TChannel> PlaySound(const std::shared_ptr<TSound>& sound,
                                    const std::shared_ptr<TChannel>& channel) {
  return sound != nullptr ? sound->Play(channel) : nullptr;
}

std::shared_ptr<TChannel> PrepareSound(const std::shared_ptr<TSound>& sound,
                                       const std::shared_ptr<TChannel>& channel) {
  return sound != nullptr ? sound->Cue(channel) : nullptr;
}

std::shared_ptr<TChannel> AllocChannel() {
  return CurrentAudioDriver()->AllocChannel();
}

void StopChannel(const std::shared_ptr<TChannel>& channel) {
  if (channel != nullptr) channel->Stop();
}

int32_t IsChannelPlaying(const std::shared_ptr<TChannel>& channel) {
  return channel != nullptr ? channel->Playing() : 0;
}

void SetChannelVolume(const std::shared_ptr<TChannel>& channel, float volume) {
  if (channel != nullptr) channel->SetVolume(volume);
}

void SetChannelPan(const std::shared_ptr<TChannel>& channel, float pan) {
  if (channel != nullptr) channel->SetPan(pan);
}

void SetChannelDepth(const std::shared_ptr<TChannel>& channel, float depth) {
  if (channel != nullptr) channel->SetDepth(depth);
}

void SetChannelRate(const std::shared_ptr<TChannel>& channel, float rate) {
  if (channel != nullptr) channel->SetRate(rate);
}

void PauseChannel(const std::shared_ptr<TChannel>& channel) {
  if (channel != nullptr) channel->SetPaused(1);
}

void ResumeChannel(const std::shared_ptr<TChannel>& channel) {
  if (channel != nullptr) channel->SetPaused(0);
}
