#include "tools/oggenc/ogg_encoder.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>

std::vector<uint8_t> EncodeOggVorbis(const float* samples, size_t frames,
                                     const ogg_encoding& encoding) {
  std::vector<uint8_t> out;
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, encoding.channels, encoding.hertz, encoding.quality) != 0) {
    vorbis_info_clear(&info);
    return out;
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  if (!encoding.title.empty()) vorbis_comment_add_tag(&comment, "TITLE", encoding.title.c_str());
  vorbis_dsp_state dsp;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block block;
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, encoding.serial);

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

  const size_t channels = static_cast<size_t>(encoding.channels);
  size_t done = 0;
  bool finished = false;
  while (!finished) {
    const size_t chunk = std::min<size_t>(4096, frames - done);
    if (chunk == 0) {
      vorbis_analysis_wrote(&dsp, 0);  // marks the end of the stream
    } else {
      float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(chunk));
      for (size_t i = 0; i < chunk; ++i) {
        for (size_t c = 0; c < channels; ++c) {
          buffer[c][i] = std::clamp(samples[(done + i) * channels + c], -1.0f, 1.0f);
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
