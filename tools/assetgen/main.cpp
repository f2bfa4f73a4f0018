// vortane-assetgen OUTDIR: writes the sample demo's pictures into
// OUTDIR/textures. Every image format the player decodes is used at least
// once: JPEG for the sky and the tunnel, BMP for the hull and the flash,
// TGA for the reflection map and the beacon, PNG (with alpha) for titles.
#include <sys/stat.h>

#include <cstdio>
#include <functional>
#include <string>

#include "Patterns.h"
#include "Sky.h"
#include "Text.h"

using namespace assetgen;

namespace {

struct Title {
  const char* file;
  const char* text;
  int width, height, pixelHeight;
  const char* font;
  Color glow;
};

const Color kBlue{0.3f, 0.65f, 1.0f, 1}, kOrange{1.0f, 0.5f, 0.15f, 1}, kViolet{0.7f, 0.35f, 1.0f, 1};

const Title kTitles[] = {
    {"title_vortane.png", "VORTANE", 512, 128, 78, "DejaVu Sans:bold", kBlue},
    {"title_orbit.png", "deep orbit", 512, 64, 40, "DejaVu Sans Mono:bold", kOrange},
    {"cap_tunnel.png", "INTO THE TUNNEL", 512, 64, 40, "DejaVu Sans Mono:bold", kBlue},
    {"cap_wire.png", "WIRE AND RING", 512, 64, 40, "DejaVu Sans Mono:bold", kViolet},
    {"cap_return.png", "HOMEWARD", 512, 64, 40, "DejaVu Sans Mono:bold", kOrange},
    {"credit_code.png", "code: the vortane team", 512, 64, 30, "DejaVu Sans Mono:bold", kBlue},
    {"credit_music.png", "music: made by a synth in tools/", 512, 64, 24, "DejaVu Sans Mono:bold", kViolet},
    {"credit_thanks.png", "THANKS FOR WATCHING", 512, 64, 32, "DejaVu Sans:bold", kOrange},
};

bool Report(bool ok, const std::string& path) {
  if (!ok) std::fprintf(stderr, "vortane-assetgen: cannot write %s\n", path.c_str());
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vortane-assetgen OUTDIR\n");
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/textures/";
  ::mkdir(argv[1], 0755);
  ::mkdir(dir.c_str(), 0755);
  bool ok = true;
  auto write = [&](const std::string& name, const std::function<bool(const std::string&)>& writer) {
    ok = Report(writer(dir + name), dir + name) && ok;
  };

  for (SkyFace face : kSkyFaces) {
    Image image = RenderSkyFace(face, 256);
    write("sky_" + SkyFaceName(face) + ".jpg", [&](const std::string& p) { return WriteJpg(image, p, 88); });
  }
  write("tunnel.jpg", [](const std::string& p) { return WriteJpg(TunnelTexture(256), p, 90); });
  write("hull.bmp", [](const std::string& p) { return WriteBmp(HullTexture(256), p); });
  write("flash.bmp", [](const std::string& p) { return WriteBmp(WhiteTexture(16), p); });
  write("env.tga", [](const std::string& p) { return WriteTga(EnvironmentMap(256), p); });
  write("beacon.tga", [](const std::string& p) { return WriteTga(BeaconTexture(128), p); });

  for (const Title& title : kTitles) {
    Image image(title.width, title.height, Color{1, 1, 1, 0});
    TextStyle style;
    style.fontPattern = title.font;
    style.pixelHeight = title.pixelHeight;
    style.glow = title.glow;
    style.glowRadius = title.height >= 128 ? 8 : 5;
    if (!RenderText(title.text, style, image)) {
      std::fprintf(stderr, "vortane-assetgen: no font for \"%s\"\n", title.font);
      ok = false;
      continue;
    }
    write(title.file, [&](const std::string& p) { return WritePng(image, p); });
  }
  return ok ? 0 : 1;
}
