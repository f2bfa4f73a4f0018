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
#include "Titles.h"

using namespace assetgen;

namespace {

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
  write("halo.tga", [](const std::string& p) { return WriteTga(HaloTexture(128), p); });

  for (const Title& title : DemoTitles()) {
    Image image(title.width, title.height, Color{1, 1, 1, 0});
    if (!RenderTitle(title, image)) {
      std::fprintf(stderr, "vortane-assetgen: no font for \"%s\"\n", title.font);
      ok = false;
      continue;
    }
    write(title.file, [&](const std::string& p) { return WritePng(image, p); });
  }
  return ok ? 0 : 1;
}
