#pragma once
// The steady mixing loop in 32-bit arithmetic: a run of frames over which the position
// neither wraps nor ends, so each frame's position is start + i * step and the loop has
// no branch the compiler must keep. Its sums equal the 64-bit reference loop's exactly
// within the limits checked by fits_run.

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mixrun {

// Longest step, longest run and largest gain the 32-bit loop takes: (fraction + frames *
// step) and (sample * gain) stay below 2^31.
constexpr int64_t kMaxStep = int64_t{1} << 20;
constexpr int32_t kMaxFrames = 1024;
constexpr int32_t kMaxGain = 65535;

inline bool fits_run(int64_t step, int32_t left_gain, int32_t right_gain) {
  return step >= 0 && step < kMaxStep && left_gain >= -kMaxGain && left_gain <= kMaxGain &&
         right_gain >= -kMaxGain && right_gain <= kMaxGain;
}

template <bool EightBit>
inline int32_t value_at(const void* data, int64_t index) {
  if constexpr (EightBit) {
    return static_cast<int32_t>(static_cast<const uint8_t*>(data)[index]) * 256 - 32768;
  } else {
    return static_cast<const int16_t*>(data)[index];
  }
}

// a + floor((b - a) * fraction / 2^16) without a 64-bit product: the fraction is split
// into its high and low bytes and the two floors nest exactly.
inline int32_t lerp(int32_t a, int32_t b, int32_t fraction) {
  const int32_t d = b - a;
  return a + ((d * (fraction >> 8) + ((d * (fraction & 0xFF)) >> 8)) >> 8);
}

// Mixes frames output frames into out (stereo interleaved) from data, which points at
// the run's first frame; fraction is the 16-bit fraction of the first position.
template <int32_t Channels, bool EightBit>
void mix_run(const void* __restrict data, int32_t fraction, int32_t step, int32_t frames,
             int32_t* __restrict out, int32_t left_gain, int32_t right_gain) {
  for (int32_t i = 0; i < frames; ++i) {
    const int32_t position = fraction + i * step;
    const int32_t index = (position >> 16) * Channels;
    const int32_t part = position & 0xFFFF;
    const int32_t left =
        lerp(value_at<EightBit>(data, index), value_at<EightBit>(data, index + Channels), part);
    const int32_t right = Channels == 2 ? lerp(value_at<EightBit>(data, index + 1),
                                               value_at<EightBit>(data, index + 1 + Channels), part)
                                        : left;
    out[2 * i] += (left * left_gain) >> 8;
    out[2 * i + 1] += (right * right_gain) >> 8;
  }
}

// The same run for 16-bit data, two output frames (four values) at a time with SSE2.
// Each interpolation pairs (a, b) as 16-bit lanes so one multiply-add gives (b - a) * w;
// the fraction and each gain are split into bytes so every product fits its lane and the
// floors nest exactly as in mix_run.
template <int32_t Channels>
void mix_run16(const int16_t* __restrict data, int32_t fraction, int32_t step, int32_t frames,
               int32_t* __restrict out, int32_t left_gain, int32_t right_gain) {
  int32_t i = 0;
#if defined(__SSE2__)
  const __m128i low_half = _mm_set1_epi32(0xFFFF);
  const __m128i low_byte = _mm_set1_epi32(0xFF);
  const __m128i zero = _mm_setzero_si128();
  // Lanes low 16 bits = the gain's high byte (signed), high 16 bits = 0; then its low byte.
  const __m128i gain_high = _mm_and_si128(
      _mm_set_epi32(right_gain >> 8, left_gain >> 8, right_gain >> 8, left_gain >> 8), low_half);
  const __m128i gain_low =
      _mm_set_epi32(right_gain & 0xFF, left_gain & 0xFF, right_gain & 0xFF, left_gain & 0xFF);
  // Weights (-w, w) for a lane pair (a, b).
  const auto pair_weights = [&](__m128i w) {
    return _mm_or_si128(_mm_slli_epi32(w, 16), _mm_and_si128(_mm_sub_epi32(zero, w), low_half));
  };
  __m128i positions = _mm_set_epi32(fraction + step, fraction + step, fraction, fraction);
  const __m128i two_steps = _mm_set1_epi32(2 * step);
  int32_t position = fraction;
  for (; i + 2 <= frames; i += 2) {
    const int32_t first = (position >> 16) * Channels;
    const int32_t second = ((position + step) >> 16) * Channels;
    position += 2 * step;
    __m128i pairs;
    if constexpr (Channels == 1) {
      int32_t a = 0, b = 0;
      std::memcpy(&a, data + first, 4);
      std::memcpy(&b, data + second, 4);
      pairs = _mm_set_epi32(b, b, a, a);  // a0 b0 a0 b0 a1 b1 a1 b1
    } else {
      int64_t a = 0, b = 0;
      std::memcpy(&a, data + first, 8);
      std::memcpy(&b, data + second, 8);
      pairs = _mm_set_epi64x(b, a);  // aL aR bL bR, twice
      pairs = _mm_shufflelo_epi16(pairs, _MM_SHUFFLE(3, 1, 2, 0));
      pairs = _mm_shufflehi_epi16(pairs, _MM_SHUFFLE(3, 1, 2, 0));  // aL bL aR bR
    }
    const __m128i part = _mm_and_si128(positions, low_half);
    positions = _mm_add_epi32(positions, two_steps);
    const __m128i by_high = _mm_madd_epi16(pairs, pair_weights(_mm_srli_epi32(part, 8)));
    const __m128i by_low = _mm_madd_epi16(pairs, pair_weights(_mm_and_si128(part, low_byte)));
    const __m128i start = _mm_srai_epi32(_mm_slli_epi32(pairs, 16), 16);
    const __m128i value =
        _mm_add_epi32(start, _mm_srai_epi32(_mm_add_epi32(by_high, _mm_srai_epi32(by_low, 8)), 8));
    const __m128i mixed = _mm_add_epi32(_mm_madd_epi16(value, gain_high),
                                        _mm_srai_epi32(_mm_madd_epi16(value, gain_low), 8));
    __m128i* target = reinterpret_cast<__m128i*>(out + 2 * i);
    _mm_storeu_si128(target, _mm_add_epi32(_mm_loadu_si128(target), mixed));
  }
#endif
  mix_run<Channels, false>(data, fraction + i * step, step, frames - i, out + 2 * i, left_gain,
                           right_gain);
}

}  // namespace mixrun
