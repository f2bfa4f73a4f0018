// The renderer's framebuffer step, between drawing and any sink: the demo
// is drawn at its own aspect, optionally supersampled, then scaled down and
// centred in the output frame between black bars. Pure CPU; any thread.
#pragma once

#include <cstdint>
#include <vector>

struct FrameRect {
  int X = 0, Y = 0, Width = 0, Height = 0;
};

// One output frame: RGBA rows, bottom row first as OpenGL reads them,
// alpha always 255.
struct Picture {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Rgba;
};

// The byte order of drawn pixels: RGBA, or BGRA (what GL drivers keep, so
// reading it back is a copy).
enum class PixelOrder { Rgba, Bgra };

// The largest rectangle of the given aspect (width / height) centred in a
// width × height frame. Its sides keep the frame's parity where they are
// shorter, so the two bars are equally wide.
FrameRect FitAspect(int width, int height, double aspect);

class Framer {
 public:
  // An output of width × height; the demo keeps aspect and is drawn at
  // supersample (1 or more) times the picture's size.
  Framer(int width, int height, double aspect, int supersample);

  // The size the demo must be drawn at.
  int DrawWidth() const { return picture_.Width * factor_; }
  int DrawHeight() const { return picture_.Height * factor_; }
  const FrameRect& PictureRect() const { return picture_; }

  // The output frame for the drawn pixels (DrawWidth × DrawHeight RGBA,
  // bottom-up): each factor × factor block averaged (a box filter), then
  // placed in the black frame.
  Picture Compose(const std::vector<std::uint8_t>& drawn) const;
  // The same from pixels in the given byte order into out, whose storage
  // is reused when it has the size (every byte is written: a picture of
  // an earlier frame will do).
  void Compose(const std::vector<std::uint8_t>& drawn, PixelOrder order, Picture& out) const;

 private:
  void FillBars(Picture& out) const;
  void CopyRows(const std::uint8_t* drawn, PixelOrder order, Picture& out) const;
  void AverageBlocks(const std::uint8_t* drawn, PixelOrder order, Picture& out) const;

  int width_;
  int height_;
  int factor_;
  FrameRect picture_;
};
