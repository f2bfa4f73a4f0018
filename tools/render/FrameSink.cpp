#include "tools/render/FrameSink.h"

#include "platform/PngWriter.h"

bool PngSink::Take(Picture&& picture) {
  if (next_ >= files_.size()) {
    error_ = "more frames than file names";
    return false;
  }
  return platform::WritePngBottomUp(files_[next_++], picture.Width, picture.Height, picture.Rgba.data(), error_);
}
