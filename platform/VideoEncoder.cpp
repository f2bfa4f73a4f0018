#include "platform/VideoEncoder.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cctype>
#include <mutex>

#include "platform/VideoBackend.h"

namespace platform {

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The folder of the running program, with its final '/'.
std::string ProgramFolder() {
  char path[4096];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return "./";
  const std::string program(path, static_cast<size_t>(length));
  return program.substr(0, program.rfind('/') + 1);
}

using MakeBackend = VideoBackend* (*)();

// The codec module, loaded once for the process and kept to its end (the
// codec libraries keep threads and state of their own). It lies where the
// build and the installation put it alike: VT_VIDEO_MODULE from the
// program's folder.
struct CodecModule {
  MakeBackend make = nullptr;
  std::string error;

  CodecModule() {
    const std::string path = ProgramFolder() + VT_VIDEO_MODULE;
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle) make = reinterpret_cast<MakeBackend>(::dlsym(handle, "vortane_video_backend"));
    if (!make) {
      const char* why = ::dlerror();
      error = "cannot load the video encoder: " + (why ? std::string(why) : path);
    }
  }
};

const CodecModule& Codecs() {
  static const CodecModule module;  // thread-safe, once
  return module;
}

}  // namespace

bool IsVideoFileName(const std::string& path) {
  const std::string name = Lower(path);
  return EndsWith(name, ".mp4") || EndsWith(name, ".webm");
}

VideoEncoder::VideoEncoder() = default;
VideoEncoder::~VideoEncoder() = default;

bool VideoEncoder::Open(const std::string& path, const VideoSettings& settings) {
  const CodecModule& codecs = Codecs();
  backend_.reset(codecs.make ? codecs.make() : nullptr);
  if (!backend_) return error_ = codecs.error, false;
  const VideoContainer container = EndsWith(Lower(path), ".webm") ? VideoContainer::Webm : VideoContainer::Mp4;
  return backend_->Open(path, container, settings, error_);
}

bool VideoEncoder::AddFrame(const std::uint8_t* rgba) { return backend_ && backend_->AddFrame(rgba, error_); }

bool VideoEncoder::AddSound(const std::int16_t* samples, int frames) {
  return backend_ && backend_->AddSound(samples, frames, error_);
}

bool VideoEncoder::Finish() { return backend_ && backend_->Finish(error_); }

}  // namespace platform
