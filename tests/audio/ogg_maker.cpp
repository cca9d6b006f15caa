#include "tests/audio/ogg_maker.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

std::vector<uint8_t> EncodeOgg(const std::vector<int16_t>& interleaved, int32_t channels,
                               int32_t hertz) {
  std::vector<uint8_t> out;
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, channels, hertz, 0.4f) != 0) {
    vorbis_info_clear(&info);
    return out;
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_dsp_state dsp;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block block;
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, 1234);

  auto append_page = [&out](const ogg_page& page) {
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
  };

  ogg_packet header, header_comment, header_code;
  vorbis_analysis_headerout(&dsp, &comment, &header, &header_comment, &header_code);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &header_comment);
  ogg_stream_packetin(&stream, &header_code);
  ogg_page page;
  while (ogg_stream_flush(&stream, &page) != 0) append_page(page);

  const size_t frames = interleaved.size() / static_cast<size_t>(channels);
  size_t done = 0;
  bool finished = false;
  while (!finished) {
    const size_t chunk = std::min<size_t>(4096, frames - done);
    if (chunk == 0) {
      vorbis_analysis_wrote(&dsp, 0);
    } else {
      float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(chunk));
      for (size_t i = 0; i < chunk; ++i) {
        for (int32_t c = 0; c < channels; ++c) {
          buffer[c][i] = interleaved[(done + i) * channels + c] / 32768.0f;
        }
      }
      vorbis_analysis_wrote(&dsp, static_cast<int>(chunk));
      done += chunk;
    }
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet) == 1) {
        ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_pageout(&stream, &page) != 0) {
          append_page(page);
          if (ogg_page_eos(&page)) finished = true;
        }
      }
    }
    if (chunk == 0) finished = true;
  }
  while (ogg_stream_flush(&stream, &page) != 0) append_page(page);

  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return out;
}

std::vector<int16_t> SineFrames(int32_t frames, int32_t channels, int32_t hertz, double frequency,
                                double peak) {
  std::vector<int16_t> out(static_cast<size_t>(frames) * channels);
  for (int32_t i = 0; i < frames; ++i) {
    const double value = peak * std::sin(2.0 * M_PI * frequency * i / hertz);
    for (int32_t c = 0; c < channels; ++c) {
      out[static_cast<size_t>(i) * channels + c] = static_cast<int16_t>(std::lround(value));
    }
  }
  return out;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}
