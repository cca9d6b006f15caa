// Ogg Vorbis output and the list of sound files.

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/assetgen/sounds.h"

namespace {

bool WritePage(const ogg_page& page, FILE* file) {
  return std::fwrite(page.header, 1, page.header_len, file) ==
             static_cast<size_t>(page.header_len) &&
         std::fwrite(page.body, 1, page.body_len, file) == static_cast<size_t>(page.body_len);
}

// Stable stream serial derived from the file name, so output never depends on time.
int SerialFor(const std::string& path) {
  uint32_t hash = 2166136261u;
  for (char c : path.substr(path.find_last_of('/') + 1)) hash = (hash ^ c) * 16777619u;
  return static_cast<int>(hash & 0x7FFFFFFF);
}

}  // namespace

bool WriteOggVorbis(const AudioClip& clip, const std::string& path, float quality) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, clip.channels, kSampleRate, quality) != 0) {
    vorbis_info_clear(&info);
    std::fclose(file);
    return false;
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_comment_add_tag(&comment, "TITLE", path.substr(path.find_last_of('/') + 1).c_str());
  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, SerialFor(path));
  bool ok = true;
  {
    ogg_packet header, header_comment, header_code;
    vorbis_analysis_headerout(&dsp, &comment, &header, &header_comment, &header_code);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &header_comment);
    ogg_stream_packetin(&stream, &header_code);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page) != 0) ok = ok && WritePage(page, file);
  }
  const size_t frames = clip.frames();
  const size_t chunk = 4096;
  size_t done = 0;
  bool finished = false;
  while (!finished) {
    size_t count = std::min(chunk, frames - done);
    if (count == 0) {
      vorbis_analysis_wrote(&dsp, 0);
    } else {
      float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(count));
      for (size_t i = 0; i < count; ++i) {
        for (int c = 0; c < clip.channels; ++c) {
          float v = clip.samples[(done + i) * clip.channels + c];
          buffer[c][i] = std::clamp(v, -1.0f, 1.0f);
        }
      }
      vorbis_analysis_wrote(&dsp, static_cast<int>(count));
      done += count;
    }
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
        ogg_stream_packetin(&stream, &packet);
        ogg_page page;
        while (ogg_stream_pageout(&stream, &page) != 0) {
          ok = ok && WritePage(page, file);
          if (ogg_page_eos(&page)) finished = true;
        }
      }
    }
    if (count == 0) finished = true;
  }
  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return std::fclose(file) == 0 && ok;
}

void Normalize(AudioClip& clip, float peak) {
  float largest = 0;
  for (float v : clip.samples) largest = std::max(largest, std::fabs(v));
  if (largest <= 0) return;
  float scale = peak / largest;
  for (float& v : clip.samples) v *= scale;
}

const std::vector<SoundAsset>& AllSounds() {
  static const std::vector<SoundAsset> sounds = {
      {"shoot.ogg", 0.4f, MakeShoot},     {"astrohit.ogg", 0.4f, MakeAstroHit},
      {"stage.ogg", 0.4f, MakeStage},     {"bonus.ogg", 0.4f, MakeBonus},
      {"cloak.ogg", 0.4f, MakeCloak},     {"thrust.ogg", 0.4f, MakeThrust},
      {"explode.ogg", 0.4f, MakeExplode}, {"ufoloop.ogg", 0.4f, MakeUfoLoop},
      {"t_track.ogg", 0.3f, MakeTrackB},  {"p_track.ogg", 0.3f, MakeTrackA},
  };
  return sounds;
}
