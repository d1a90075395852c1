// The ALSA backend: the "default" PCM device, interleaved, written in slices of about 20 ms so
// that a reset never waits long for the player to let go of a buffer.
#include "platform/wave_internal.h"

#ifdef TRELVIX_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif

namespace plat::detail {

#ifdef TRELVIX_HAVE_ALSA
namespace {

class AlsaSink final : public WaveSink {
 public:
  AlsaSink(snd_pcm_t* pcm, const WaveFormat& f) : pcm_(pcm), frameBytes_(f.nBlockAlign) {
    sliceFrames_ = f.nSamplesPerSec / 50;
    if (sliceFrames_ == 0) sliceFrames_ = 1;
  }
  ~AlsaSink() override {
    snd_pcm_drop(pcm_);
    snd_pcm_close(pcm_);
  }

  void Play(WaveDevice& device, const BYTE* data, std::size_t size) override {
    snd_pcm_uframes_t left = size / frameBytes_;
    int failures = 0;
    while (left > 0 && !device.abort.load()) {
      const snd_pcm_uframes_t n = left < sliceFrames_ ? left : sliceFrames_;
      snd_pcm_sframes_t w = snd_pcm_writei(pcm_, data, n);
      if (w < 0) {
        // An underrun or a suspend: recover and go on; anything else ends this buffer.
        if (++failures > 8 || snd_pcm_recover(pcm_, static_cast<int>(w), 1) < 0) return;
        continue;
      }
      data += static_cast<std::size_t>(w) * frameBytes_;
      left -= static_cast<snd_pcm_uframes_t>(w);
    }
  }

  void Drop() override {
    snd_pcm_drop(pcm_);
    snd_pcm_prepare(pcm_);
  }

 private:
  snd_pcm_t* pcm_;
  std::size_t frameBytes_;
  snd_pcm_uframes_t sliceFrames_;
};

// The library reports a missing card on stderr; a machine without sound is normal here.
void QuietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

std::unique_ptr<WaveSink> MakeAlsaSink(const WaveFormat& f) {
  static const bool quiet = (snd_lib_error_set_handler(&QuietAlsaErrors), true);
  (void)quiet;
  snd_pcm_t* pcm = nullptr;
  // Opened without blocking so a busy device fails at once instead of hanging the caller.
  if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) return nullptr;
  if (snd_pcm_nonblock(pcm, 0) < 0) {
    snd_pcm_close(pcm);
    return nullptr;
  }
  const snd_pcm_format_t fmt = f.wBitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
  if (snd_pcm_set_params(pcm, fmt, SND_PCM_ACCESS_RW_INTERLEAVED, f.nChannels, f.nSamplesPerSec,
                         1, 200000) < 0) {
    snd_pcm_close(pcm);
    return nullptr;
  }
  return std::make_unique<AlsaSink>(pcm, f);
}

#else

std::unique_ptr<WaveSink> MakeAlsaSink(const WaveFormat&) { return nullptr; }

#endif

}  // namespace plat::detail
