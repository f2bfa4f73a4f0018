#include "Titles.h"

#include "Text.h"

namespace assetgen {

namespace {
const Color kBlue{0.3f, 0.65f, 1.0f, 1}, kOrange{1.0f, 0.5f, 0.15f, 1}, kViolet{0.7f, 0.35f, 1.0f, 1};
}  // namespace

const std::vector<Title>& DemoTitles() {
  static const std::vector<Title> titles = {
      {"title_vortane.png", "VORTANE", 512, 128, 78, "DejaVu Sans:bold", kBlue},
      {"title_orbit.png", "deep orbit", 512, 64, 40, "DejaVu Sans Mono:bold", kOrange},
      {"cap_tunnel.png", "INTO THE TUNNEL", 512, 64, 40, "DejaVu Sans Mono:bold", kBlue},
      {"cap_wire.png", "WIRE AND RING", 512, 64, 40, "DejaVu Sans Mono:bold", kViolet},
      {"cap_return.png", "HOMEWARD", 512, 64, 40, "DejaVu Sans Mono:bold", kOrange},
      {"credit_code.png", "code: the vortane team", 512, 64, 30, "DejaVu Sans Mono:bold", kBlue},
      {"credit_music.png", "music: made by a synth in tools/", 512, 64, 24, "DejaVu Sans Mono:bold", kViolet},
      {"credit_thanks.png", "THANKS FOR WATCHING", 512, 64, 32, "DejaVu Sans:bold", kOrange},
  };
  return titles;
}

bool RenderTitle(const Title& title, Image& image) {
  TextStyle style;
  style.fontPattern = title.font;
  style.pixelHeight = title.pixelHeight;
  style.glow = title.glow;
  style.glowRadius = title.height >= 128 ? 8 : 5;
  return RenderText(title.text, style, image);
}

}  // namespace assetgen
