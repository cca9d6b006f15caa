// The desktop's output: the ring is kept filled by a service thread of its own.

#include "audio/mixer.h"

audiodevice* MakeSdlDevice() {
  return new ringdevice(MakeSdlRingHardware(), true);
}
