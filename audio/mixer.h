#pragma once
// The software mixer core: mixer samples, voices and the block mixer. Plain code:
// mixing allocates nothing, takes no lock and makes no system call. The game thread
// hands voices to the mixing thread through the incoming ring and gets them back
// through the recycle ring; both rings have exactly one writer and one reader.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

constexpr int32_t kMixHertz = 44100;
constexpr int32_t kMixChannels = 2;
// Output begins this long after the call that started a voice.
constexpr int32_t kMixStartDelayMillis = 20;
constexpr int32_t kMixRingEntries = 4096;
// 4.12 gains and 16.16 rates.
constexpr int32_t kUnityGain = 4096;
constexpr int32_t kUnityRate = 65536;

// PCM ready for mixing, with one guard frame after the last: a copy of frame 0 for a
// looping sample, else of the last frame, so interpolation past the end reads sense.
// Reference counted on the game thread only.
struct mixsample {
  int32_t hertz = 0;
  int32_t channels = 0;  // 1 or 2
  int32_t bits = 0;      // 8 (unsigned) or 16 (signed, native order)
  int32_t bytes_per_frame = 0;
  int32_t length = 0;  // frames, guard frame excluded
  int32_t total_bytes = 0;
  int32_t references = 1;
  int32_t loop = 0;
  void* data = nullptr;  // length + 1 frames
  bool owns_data = true;
};

// Drops one reference and frees the sample at 0. Game thread.
void ReleaseMixSample(mixsample* sample);

class mixer;

// Where the game thread last put a voice.
enum class voice_place {
  spare,  // in the mixer's spare list (it may still be named by a channel slot)
  fresh,  // attached to a slot for its settings, never started
  live,   // handed to the mixing thread; comes back through the recycle ring
};

// One playback. Fields the game thread changes while the voice plays are atomics,
// written as single aligned stores and read at the next block.
class sound {
 public:
  explicit sound(mixer* owner) : owner(owner) {}
  // Back to a fresh voice: status finished, rate 1, volume 1, pan and depth 0.
  void reset();

  // Store the target; for rate, volume and pan also the current value while paused.
  void set_rate(int32_t rate);
  void set_volume(int16_t volume);
  void set_pan(int16_t pan);
  void set_depth(int16_t depth);
  // which: 0 the current value, otherwise the target.
  int32_t rate(int32_t which) const;
  int32_t volume(int32_t which) const;
  int32_t pan(int32_t which) const;
  int32_t depth(int32_t which) const;
  // Frames played so far, loops included.
  int32_t played_frames() const;
  bool paused() const;

  mixer* owner;
  std::atomic<int32_t> status{1};
  int32_t handle = 0;  // game thread
  std::atomic<int32_t> auto_release{0};
  sound* next = nullptr;  // the active list, mixing thread
  mixsample* sample = nullptr;
  int64_t position = 0;            // 16.16 frames into the sample
  std::atomic<int64_t> played{0};  // 16.16 frames, never wrapped
  std::atomic<int32_t> rate_current{kUnityRate};
  std::atomic<int32_t> rate_target{kUnityRate};
  std::atomic<int16_t> volume_current{kUnityGain};
  std::atomic<int16_t> volume_target{kUnityGain};
  std::atomic<int16_t> pan_current{0};
  std::atomic<int16_t> pan_target{0};
  std::atomic<int16_t> depth_current{0};
  std::atomic<int16_t> depth_target{0};
  uint32_t start_millis = 0;
  int32_t start_delay = 0;                 // output frames still to wait
  voice_place place = voice_place::spare;  // game thread
};

// A fixed ring with one writer thread and one reader thread; holds up to N - 1 items.
template <typename T, int32_t N>
class spsc_ring {
 public:
  bool push(T item) {
    int32_t write = write_.load(std::memory_order_relaxed);
    int32_t next = write == N - 1 ? 0 : write + 1;
    if (next == read_.load(std::memory_order_acquire)) return false;
    items_[write] = item;
    write_.store(next, std::memory_order_release);
    return true;
  }
  bool pop(T& item) {
    int32_t read = read_.load(std::memory_order_relaxed);
    if (read == write_.load(std::memory_order_acquire)) return false;
    item = items_[read];
    read_.store(read == N - 1 ? 0 : read + 1, std::memory_order_release);
    return true;
  }

 private:
  T items_[N] = {};
  alignas(64) std::atomic<int32_t> write_{0};
  alignas(64) std::atomic<int32_t> read_{0};
};

// How steady voices are summed: the 32-bit run loop (the default), or the 64-bit
// per-frame loop it must match value for value.
enum class mix_path { vector, scalar };

class mixer {
 public:
  // block_values: stereo values per block (twice the frames).
  explicit mixer(int32_t block_values);
  ~mixer();  // game thread, after mixing has stopped: frees every voice
  mixer(const mixer&) = delete;
  mixer& operator=(const mixer&) = delete;

  int32_t block_values() const { return block_values_; }
  // Before mixing starts (tests compare the two paths).
  void set_path(mix_path path) { path_ = path; }

  // Mixing thread. Mixes one block of every active voice into out (block_values
  // values); now_millis is the clock that voices' start times were taken from.
  void mix(int16_t* out, uint32_t now_millis);
  // Unlinks and recycles every active voice. Only once mixing has stopped for good.
  void release_all();

  // Game thread. A voice reset to defaults, placed fresh: from the spare list (after
  // collecting the recycle ring) or newly made. Its handle field is what it last had.
  sound* obtain();
  // Returns a voice that was never started to the spare list.
  void give_back(sound* voice);
  // Hands a started voice to the mixing thread; false when the ring is full.
  bool start(sound* voice);
  // Moves recycled voices to the spare list and drops their sample references.
  void collect();

 private:
  bool mix_voice(sound& voice, int32_t frames);
  void recycle_or_keep(sound** link);
  // Adds the 32-bit sums into the 64-bit accumulator and clears them.
  void flush_narrow();

  // Voices summed in 32 bits before a flush: each adds less than 2^23 per value.
  static constexpr int32_t kNarrowVoices = 128;

  int32_t block_values_;
  mix_path path_ = mix_path::vector;
  std::unique_ptr<int64_t[]> accumulator_;         // mixing thread
  std::unique_ptr<int32_t[]> narrow_accumulator_;  // mixing thread: steady voices
  int32_t narrow_voices_ = 0;
  sound* active_ = nullptr;  // mixing thread
  spsc_ring<sound*, kMixRingEntries> incoming_;
  spsc_ring<sound*, kMixRingEntries> recycle_;
  std::vector<std::unique_ptr<sound>> voices_;  // game thread: every voice made
  std::vector<sound*> spare_;                   // game thread
};

// ---------------------------------------------------------------------------
// Output devices.

// An output that a mixer plays through. open creates core; close stops mixing and
// releases every voice. Game thread.
class audiodevice {
 public:
  virtual ~audiodevice() = default;
  // 0 on success.
  virtual int32_t open() = 0;
  virtual void close() = 0;
  // The millisecond clock that start delays are measured on. Any thread.
  virtual uint32_t now_millis() = 0;

  std::unique_ptr<mixer> core;
};

constexpr int32_t kRingBlockValues = 1024;  // 512 stereo frames, 11.6 ms
constexpr int32_t kRingBlocks = 32;
constexpr int32_t kRingStartLatency = 6;  // blocks kept queued ahead of the play position
constexpr int32_t kRingMaxLatency = 11;
constexpr int32_t kRingRestartPasses = 250;  // 1.25 s of service passes after an underrun
constexpr int32_t kRingServiceMillis = 5;
// The service thread's name, as the system lists it.
constexpr char kRingServiceThreadName[] = "velmix-ring";

// What plays the ring: it loops over the ring's bytes from the start, counting the
// bytes played since the last submit, and plays silence past the published write
// position. The SDL output in the game; a stepped double in tests.
class ringhardware {
 public:
  virtual ~ringhardware() = default;
  // Starts the output over ring (ring_bytes long); nothing is played before submit.
  // False when there is no output.
  virtual bool open(const int16_t* ring, int32_t ring_bytes) = 0;
  virtual void close() = 0;
  // (Re)starts looping play from the start of the ring, position 0.
  virtual void submit() = 0;
  // Stops play; once it returns the ring is not read until the next submit.
  virtual void reset() = 0;
  // Bytes played since the last submit, or -1 when it cannot be told. A 64-bit count
  // that never wraps: the device keeps playing on it for as long as it runs.
  virtual int64_t play_position() = 0;
  // Bytes of the ring written since the last submit (monotonic, not wrapped).
  virtual void publish(int64_t written_bytes) = 0;
  virtual uint32_t now_millis() = 0;
  // Runs once on the service thread before its first pass: the hardware raises the
  // thread to the priority of its own output thread, so that the producer is not
  // starved while the consumer keeps playing (which would underrun into silence).
  virtual void service_thread_started() {}
};

// A ring of 32 blocks that the hardware plays from, kept filled between 2 and
// latency blocks ahead of the play position by a service pass every 5 ms.
class ringdevice : public audiodevice {
 public:
  // With service_thread false nothing runs by itself: the owner calls service().
  ringdevice(std::unique_ptr<ringhardware> hardware, bool service_thread);
  ~ringdevice() override;
  int32_t open() override;
  void close() override;
  uint32_t now_millis() override { return hardware_->now_millis(); }

  // One service pass (the service thread's, or the owner's when there is none).
  void service();

  ringhardware* hardware() const { return hardware_.get(); }
  const int16_t* ring() const { return ring_.get(); }
  int32_t latency_blocks() const { return latency_; }
  int64_t write_position() const { return write_; }  // 16-bit values since the last submit
  int32_t restart_countdown() const { return restart_; }

 private:
  void clear_ring();
  void run_service();

  std::unique_ptr<ringhardware> hardware_;
  bool service_thread_;
  std::unique_ptr<int16_t[]> ring_;
  int32_t latency_ = kRingStartLatency;
  int64_t write_ = 0;
  int32_t restart_ = 0;
  std::atomic<bool> active_{false};
  struct service_runner;
  std::unique_ptr<service_runner> runner_;
};

// The SDL audio output (44100 Hz, 16-bit stereo, fed from SDL's audio callback). When given,
// before_fill runs in the callback before each fill: where there are no threads, the ring's
// service pass runs there.
std::unique_ptr<ringhardware> MakeSdlRingHardware(std::function<void()> before_fill = nullptr);
// The device the Velmix drivers open unless a test replaced it: a ringdevice over SDL's
// output, serviced by a thread of its own, or from SDL's callback where a program has no
// threads (one file per system: sdl_device.cpp, sdl_device_web.cpp).
audiodevice* MakeSdlDevice();

// Makes the device that the Velmix drivers open; by default a ringdevice over SDL with
// its own service thread. Tests replace it (nullptr restores the default).
using audiodevice_factory = audiodevice* (*)();
void SetVelmixDeviceFactory(audiodevice_factory factory);
audiodevice* MakeVelmixDevice();
