// The Velmix driver classes over the handle-based mixer.

#include <utility>

#include "audio/mixer.h"
#include "audio/sample.h"
#include "audio/velmix.h"

namespace {

audiodevice_factory device_factory = MakeSdlDevice;

}  // namespace

void SetVelmixDeviceFactory(audiodevice_factory factory) {
  device_factory = factory != nullptr ? factory : MakeSdlDevice;
}

audiodevice* MakeVelmixDevice() {
  return device_factory();
}

TVelmixAudioDriver::TVelmixAudioDriver(std::string name, int32_t mode)
    : _name(std::move(name)), _mode(mode) {}

std::string TVelmixAudioDriver::Name() {
  return _name;
}

int32_t TVelmixAudioDriver::Startup() {
  // Both modes open the one output this platform has.
  return MixInit(MakeVelmixDevice()) == 0 ? 1 : 0;
}

void TVelmixAudioDriver::Shutdown() {
  MixClose();
}

std::shared_ptr<TSound> TVelmixAudioDriver::CreateSound(const std::shared_ptr<TAudioSample>& sample,
                                                        int32_t flags) {
  if (sample == nullptr) return nullptr;
  std::shared_ptr<TAudioSample> source = sample;
  if (sample->format == kFormatMono16BE) source = sample->Convert(kFormatMono16LE);
  if (sample->format == kFormatStereo16BE) source = sample->Convert(kFormatStereo16LE);
  const int32_t channels = SampleChannels(source->format);
  if (channels == 0) return nullptr;
  const int32_t bits = SampleBytesPerFrame(source->format) * 8 / channels;
  mixsample* mixed = MixCreateSound(source->length, bits, channels, source->hertz, source->samples,
                                    flags & kSoundLoop);
  if (mixed == nullptr) return nullptr;
  return std::make_shared<TVelmixSound>(mixed);
}

std::shared_ptr<TChannel> TVelmixAudioDriver::AllocChannel() {
  const int32_t handle = MixAllocChannel();
  if (handle == 0) return nullptr;
  return std::make_shared<TVelmixChannel>(handle);
}

namespace {

std::shared_ptr<TChannel> start(mixsample* sample, const std::shared_ptr<TChannel>& channel,
                                int32_t paused) {
  int32_t handle = 0;
  if (channel != nullptr) {
    auto* velmix = dynamic_cast<TVelmixChannel*>(channel.get());
    if (velmix == nullptr) return nullptr;
    handle = velmix->_handle;
  }
  const int32_t used = MixPlaySound(sample, paused, handle);
  if (used == 0) return nullptr;
  if (channel != nullptr && used == handle) return channel;
  return std::make_shared<TVelmixChannel>(used);
}

}  // namespace

TVelmixSound::~TVelmixSound() {
  MixFreeSound(_sample);
}

std::shared_ptr<TChannel> TVelmixSound::Play(const std::shared_ptr<TChannel>& channel) {
  return start(_sample, channel, 0);
}

std::shared_ptr<TChannel> TVelmixSound::Cue(const std::shared_ptr<TChannel>& channel) {
  return start(_sample, channel, 1);
}

TVelmixChannel::~TVelmixChannel() {
  if (_handle != 0) MixFreeChannel(_handle);
}

void TVelmixChannel::Stop() {
  MixStopChannel(_handle);
  _handle = 0;
}

void TVelmixChannel::SetPaused(int32_t paused) {
  MixPauseChannel(_handle, paused);
}
void TVelmixChannel::SetVolume(float volume) {
  MixSetVolume(_handle, volume);
}
void TVelmixChannel::SetPan(float pan) {
  MixSetPan(_handle, pan);
}
void TVelmixChannel::SetDepth(float depth) {
  MixSetDepth(_handle, depth);
}
void TVelmixChannel::SetRate(float rate) {
  MixSetRate(_handle, rate);
}

int32_t TVelmixChannel::Playing() {
  const int32_t status = MixChannelStatus(_handle);
  return status == kVoicePlaying || status == kVoiceLooping ? 1 : 0;
}

int32_t TVelmixChannel::Position() {
  return MixChannelPosition(_handle);
}
