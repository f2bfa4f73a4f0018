#include "platform/AudioDecoder.h"

#include <libopenmpt/libopenmpt.h>
#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/Files.h"

namespace platform {
namespace {

// libsndfile reads the file from memory, so every file goes through OpenFile.
class MemoryFile {
 public:
  explicit MemoryFile(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) {}

  static SF_VIRTUAL_IO Callbacks() {
    SF_VIRTUAL_IO io{};
    io.get_filelen = [](void* self) { return Self(self).Size(); };
    io.seek = [](sf_count_t offset, int whence, void* self) { return Self(self).Seek(offset, whence); };
    io.read = [](void* out, sf_count_t count, void* self) { return Self(self).Read(out, count); };
    io.write = [](const void*, sf_count_t, void*) -> sf_count_t { return 0; };
    io.tell = [](void* self) { return Self(self).pos_; };
    return io;
  }

  std::vector<unsigned char> TakeBytes() { return std::move(bytes_); }

 private:
  static MemoryFile& Self(void* self) { return *static_cast<MemoryFile*>(self); }
  sf_count_t Size() const { return static_cast<sf_count_t>(bytes_.size()); }

  sf_count_t Seek(sf_count_t offset, int whence) {
    sf_count_t base = whence == SEEK_CUR ? pos_ : whence == SEEK_END ? Size() : 0;
    pos_ = std::clamp<sf_count_t>(base + offset, 0, Size());
    return pos_;
  }

  sf_count_t Read(void* out, sf_count_t count) {
    sf_count_t n = std::clamp<sf_count_t>(Size() - pos_, 0, std::max<sf_count_t>(count, 0));
    if (n > 0) std::memcpy(out, bytes_.data() + pos_, static_cast<size_t>(n));
    pos_ += n;
    return n;
  }

  std::vector<unsigned char> bytes_;
  sf_count_t pos_ = 0;
};

// A floating-point sample as a 16-bit one: ±1 is full scale, beyond is
// clipped, and NaN is silence.
std::int16_t ToSample16(float x) {
  if (std::isnan(x)) return 0;
  return static_cast<std::int16_t>(std::lrint(std::clamp(x * 32768.0f, -32768.0f, 32767.0f)));
}

bool HoldsFloats(const SF_INFO& info) {
  const int subtype = info.format & SF_FORMAT_SUBMASK;
  return subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
}

class SampledDecoder : public AudioDecoder {
 public:
  // On failure the bytes are handed back and libsndfile's words are in why.
  static std::unique_ptr<AudioDecoder> Open(std::vector<unsigned char>& bytes, std::string& why) {
    auto file = std::make_unique<MemoryFile>(std::move(bytes));
    SF_VIRTUAL_IO io = MemoryFile::Callbacks();
    SF_INFO info{};
    SNDFILE* sf = sf_open_virtual(&io, SFM_READ, &info, file.get());
    if (!sf || info.channels <= 0 || info.samplerate <= 0) {
      why = sf ? "no channels or no rate" : sf_strerror(nullptr);
      if (sf) sf_close(sf);
      bytes = file->TakeBytes();  // the next decoder tries the same bytes
      return nullptr;
    }
    return std::unique_ptr<AudioDecoder>(new SampledDecoder(std::move(file), sf, info));
  }

  ~SampledDecoder() override { sf_close(sf_); }
  int Rate() const override { return info_.samplerate; }
  int Channels() const override { return info_.channels; }
  std::int64_t Frames() const override { return info_.frames; }

  std::size_t Read(std::int16_t* out, std::size_t frames) override {
    if (!floats_.empty()) return ReadFloats(out, frames);
    sf_count_t n = sf_readf_short(sf_, out, static_cast<sf_count_t>(frames));
    return n > 0 ? static_cast<std::size_t>(n) : 0;
  }

  bool Seek(std::int64_t frame) override {
    if (frame < 0 || frame > Frames()) return false;
    std::int64_t start = std::max<std::int64_t>(0, frame - preroll_);
    if (sf_seek(sf_, start, SEEK_SET) != start) return false;
    Skip(frame - start);
    return true;
  }

 private:
  // libsndfile's Ogg seek can decode the first lapped block after it
  // wrongly; seeking this far ahead and decoding up to the frame hides that.
  static constexpr std::int64_t kOggPreroll = 8192;

  static constexpr std::size_t kFloatBlockFrames = 1024;

  SampledDecoder(std::unique_ptr<MemoryFile> file, SNDFILE* sf, const SF_INFO& info)
      : file_(std::move(file)), sf_(sf), info_(info) {
    if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG) preroll_ = kOggPreroll;
    if (HoldsFloats(info)) floats_.resize(kFloatBlockFrames * static_cast<std::size_t>(info.channels));
  }

  // libsndfile hands float and double samples to sf_readf_short unscaled,
  // as 0 or ±1: they are read as floats and scaled here, block by block in
  // a buffer made once (Read runs in the audio callback).
  std::size_t ReadFloats(std::int16_t* out, std::size_t frames) {
    const std::size_t channels = static_cast<std::size_t>(info_.channels);
    std::size_t done = 0;
    while (done < frames) {
      const std::size_t want = std::min(frames - done, kFloatBlockFrames);
      const sf_count_t n = sf_readf_float(sf_, floats_.data(), static_cast<sf_count_t>(want));
      if (n <= 0) break;
      std::transform(floats_.begin(), floats_.begin() + n * channels, out + done * channels, ToSample16);
      done += static_cast<std::size_t>(n);
    }
    return done;
  }

  void Skip(std::int64_t frames) {
    std::vector<std::int16_t> scratch(static_cast<size_t>(1024 * Channels()));
    while (frames > 0) {
      std::size_t n = Read(scratch.data(), static_cast<std::size_t>(std::min<std::int64_t>(frames, 1024)));
      if (n == 0) break;
      frames -= static_cast<std::int64_t>(n);
    }
  }

  std::unique_ptr<MemoryFile> file_;  // outlives sf_, which reads from it
  SNDFILE* sf_;
  SF_INFO info_;
  std::int64_t preroll_ = 0;
  std::vector<float> floats_;  // the block buffer of files holding floats
};

// Tracker modules rendered in stereo; played once, no loop, no fade-out.
class ModuleDecoder : public AudioDecoder {
 public:
  static std::unique_ptr<AudioDecoder> Open(const std::vector<unsigned char>& bytes) {
    if (bytes.empty()) return nullptr;
    openmpt_module* mod = openmpt_module_create_from_memory2(
        bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr, openmpt_error_func_ignore,
        nullptr, nullptr, nullptr, nullptr);
    if (!mod) return nullptr;
    openmpt_module_ctl_set_text(mod, "play.at_end", "stop");
    openmpt_module_ctl_set_boolean(mod, "seek.sync_samples", 1);
    return std::unique_ptr<AudioDecoder>(new ModuleDecoder(mod));
  }

  ~ModuleDecoder() override { openmpt_module_destroy(mod_); }
  int Rate() const override { return kModuleRate; }
  int Channels() const override { return 2; }
  std::int64_t Frames() const override { return frames_; }

  std::size_t Read(std::int16_t* out, std::size_t frames) override {
    std::size_t n = openmpt_module_read_interleaved_stereo(mod_, kModuleRate, frames, out);
    pos_ += static_cast<std::int64_t>(n);
    return n;
  }

  // The library seeks to the nearest row start, which may lie after the
  // wanted frame: aim earlier until it does not, then render and drop the
  // frames up to the wanted one, so the seek lands on the frame.
  bool Seek(std::int64_t frame) override {
    if (frame < 0 || frame > Frames()) return false;
    const double target = double(frame) / kModuleRate;
    double rowStart = openmpt_module_set_position_seconds(mod_, target);
    for (double back = 0.05; rowStart > target; back *= 2)
      rowStart = openmpt_module_set_position_seconds(mod_, std::max(0.0, target - back));
    pos_ = std::min<std::int64_t>(frame, std::llround(rowStart * kModuleRate));
    SkipTo(frame);
    pos_ = frame;
    return true;
  }

 private:
  explicit ModuleDecoder(openmpt_module* mod) : mod_(mod) {
    double seconds = openmpt_module_get_duration_seconds(mod);
    // A song too complex to time is treated as endless: every seek is allowed.
    frames_ = std::isfinite(seconds) && seconds >= 0 ? std::llround(seconds * kModuleRate)
                                                     : std::int64_t(1) << 52;
  }

  void SkipTo(std::int64_t frame) {
    std::int16_t scratch[2 * 1024];
    while (pos_ < frame) {
      std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(frame - pos_, 1024));
      if (Read(scratch, want) == 0) break;
    }
  }

  openmpt_module* mod_;
  std::int64_t frames_ = 0;
  std::int64_t pos_ = 0;
};

// The file's bytes; empty with the reason in why when it cannot be read.
std::vector<unsigned char> ReadWholeFile(const std::string& enginePath, std::string& why) {
  std::vector<unsigned char> bytes;
  std::FILE* f = OpenFile(enginePath, "rb");
  if (!f) {
    why = OpenFailureText(errno);
    return bytes;
  }
  unsigned char chunk[65536];
  while (std::size_t n = std::fread(chunk, 1, sizeof chunk, f)) bytes.insert(bytes.end(), chunk, chunk + n);
  if (std::ferror(f)) why = std::string("the file cannot be read: ") + std::strerror(errno);
  std::fclose(f);
  return bytes;
}

std::unique_ptr<AudioDecoder> Refuse(std::string* whyNot, std::string reason) {
  if (whyNot) *whyNot = std::move(reason);
  return nullptr;
}

}  // namespace

std::unique_ptr<AudioDecoder> OpenAudioDecoder(std::vector<unsigned char> bytes, std::string* whyNot) {
  if (bytes.empty()) return Refuse(whyNot, "the file is empty");
  std::string sampledWhy;
  std::unique_ptr<AudioDecoder> decoder = SampledDecoder::Open(bytes, sampledWhy);
  if (!decoder) decoder = ModuleDecoder::Open(bytes);
  if (!decoder)
    return Refuse(whyNot, "not a sound file or tracker module that plays (libsndfile: " + sampledWhy + ")");
  if (decoder->Frames() <= 0) return Refuse(whyNot, "the file holds no sound");
  return decoder;
}

std::unique_ptr<AudioDecoder> OpenAudioFile(const std::string& enginePath, std::string* whyNot) {
  std::string why;
  std::vector<unsigned char> bytes = ReadWholeFile(enginePath, why);
  if (!why.empty()) return Refuse(whyNot, why);
  return OpenAudioDecoder(std::move(bytes), whyNot);
}

}  // namespace platform
