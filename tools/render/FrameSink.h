// Where the renderer's frames go. A sink sees finished pictures only: never
// the demo, and the renderer never knows what the sink writes.
#pragma once

#include <string>
#include <vector>

#include "tools/render/Framing.h"

class FrameSink {
 public:
  virtual ~FrameSink() = default;
  // Takes the next frame (frames come in order, from 0). False once the
  // sink has failed; Error() then says why. Main thread.
  virtual bool Take(Picture&& picture) = 0;
  // A picture whose storage the next frame may reuse (one taken earlier
  // and done with), or an empty one. Main thread.
  virtual Picture Spare() { return {}; }
  // Completes the output after the last frame taken; false on failure.
  // Without Finish (an error elsewhere) the destructor abandons the output.
  virtual bool Finish() = 0;
  const std::string& Error() const { return error_; }

 protected:
  std::string error_;
};

// Each frame as a PNG file of its own: the names given, in order (the
// --at pictures, or the frame_NNNNNN.png sequence).
class PngSink : public FrameSink {
 public:
  explicit PngSink(std::vector<std::string> files) : files_(std::move(files)) {}
  bool Take(Picture&& picture) override;
  bool Finish() override { return true; }

 private:
  std::vector<std::string> files_;
  size_t next_ = 0;
};
