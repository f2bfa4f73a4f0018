#include "app/vtNewDemoU.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <system_error>
#include <vector>

#include "Image.h"
#include "Sky.h"
#include "Synth.h"
#include "Text.h"

namespace fs = std::filesystem;

namespace {

// The script: every key of a demo that a first scene needs, each explained.
const char kScript[] = R"(# A new demo, made by vortane --new. Play it with "vortane DIR" from
# anywhere, or "vortane" in this folder; render single frames with
# "vortane-render --at 5000 --out shots DIR".
#
# A key takes the rest of its line as its value, so a comment always has a
# line of its own: a "#" after a value would become part of the value.
# docs/formats.md in the player's sources describes every key and file.

# The window title: the first line of data\versio.inf, then this name.
VT_DEMO_NAME "First Light"
VT_WINDOW_WIDTH 800
VT_WINDOW_HEIGHT 600
VT_WINDOW_BITS 32
# Arrows, Home, End, F2 and the timeline chart (I) move through the demo;
# the space bar pauses.
VT_CURSOR
VT_SPACESTOP
# The music, and the demo time following it.
VT_BASS_MUSIC "data\music\tune.ogg"
VT_BASS_TIMER
# The player ends after 20 seconds: every time is in ms of demo time.
VT_DEMO_ENDTIME 20000

# Every frame draws the channels' items in this order, each while one of
# its lines covers the demo time. A line: begin and end (ms, both
# included), a time mode (0: the item's own time runs as the demo's) and
# "vt_PLAY" (the item's time is 0 at begin) or "vt_UNPLAY" (it runs
# backwards, reaching 0 at end).

# The sky box around the viewer.
VT_RENDER_CHANNEL {
	VT_RENDER_ITEMS_TYPE "vt_SKY"
	VT_RENDER_ITEMS_FILE "data\items\sky.vtk"
	VT_RENDER_LINES {
		VT_RENDER_TIMES_BEGIN_END 0 20000 0 "vt_PLAY"
	}
}

# Where the torus is: a transformation moves everything drawn after it.
VT_RENDER_CHANNEL {
	VT_RENDER_ITEMS_TYPE "vt_TRANS"
	VT_RENDER_ITEMS_FILE "data\items\torus_turn.vtt"
	VT_RENDER_LINES {
		VT_RENDER_TIMES_BEGIN_END 0 20000 0 "vt_PLAY"
	}
}

# The torus, a mesh the player generates.
VT_RENDER_CHANNEL {
	VT_RENDER_ITEMS_TYPE "vt_MESH"
	VT_RENDER_ITEMS_FILE "data\items\torus.vto"
	VT_RENDER_LINES {
		VT_RENDER_TIMES_BEGIN_END 0 20000 0 "vt_PLAY"
	}
}

# The title, a layer over everything drawn before it, from the second second.
VT_RENDER_CHANNEL {
	VT_RENDER_ITEMS_TYPE "vt_2D_VTL"
	VT_RENDER_ITEMS_FILE "data\layers\title.vtl"
	VT_RENDER_LINES {
		VT_RENDER_TIMES_BEGIN_END 1000 20000 0 "vt_PLAY"
	}
}
)";

const char kVersion[] = "Vortane Engine 1.0\n";

const char kSky[] = R"(# A sky box centred on the viewer, one picture per face (POSZ is the far
# face, at -z). VT_TEXT_SOURCE "..." would put one picture on all six.
VT_SKY_NAME "first light"
VT_SKY_TYPE "Box"
VT_SKY_SIZE 90
VT_TEXT_SOURCE_NEGX "data\textures\sky_negx.jpg"
VT_TEXT_SOURCE_NEGY "data\textures\sky_negy.jpg"
VT_TEXT_SOURCE_NEGZ "data\textures\sky_negz.jpg"
VT_TEXT_SOURCE_POSX "data\textures\sky_posx.jpg"
VT_TEXT_SOURCE_POSY "data\textures\sky_posy.jpg"
VT_TEXT_SOURCE_POSZ "data\textures\sky_posz.jpg"
)";

const char kTurn[] = R"(# Eight units ahead of the viewer, tipped towards it, tumbling. The last
# step acts first on what follows: the turn, then the tip, then the move.
# VT_ROTATE needs two tabs before its values: the angle in degrees (in the
# dynamic part a divisor: the angle is the item's time in ms divided by
# it), then the axis x y z.
VT_STATIC_TRANSFORMATION {
		VT_TRANSLATE	0 0 -8
		VT_ROTATE		20 1 0 0
}
VT_DYNAMIC_TRANSFORMATION {
		VT_ROTATE		30 1 0 0
}
)";

const char kTorus[] = R"(# The generated torus: VT_RADIUS from its centre to the middle of the
# tube, VT_WITH the tube's radius, VT_STACKS and VT_SLICES its divisions.
VT_MESH_INFO {
	VT_MESH_TYPE
	VT_MESH_NAME "torus"
	VT_GEN_TYPE "vt_TORUS"
	VT_PARAMETER {
		VT_RADIUS 1.6
		VT_WITH 0.5
		VT_STACKS 24
		VT_SLICES 48
	}
}
)";

const char kTitle[] = R"(# The title: a picture on a 1024 x 768 screen, origin bottom left. A key:
# time (ms of the item's time), centre x, centre y, interpolation to the
# next key (0 linear, 1 fast start, 2 slow start), angle, width, height,
# red, green, blue, alpha (0-255). The layer shows strictly between its
# first and last key. VT_KEYS { must be the layer's last entry.
VT_LAYER {
		VT_TEXT_SOURCE			"data\textures\title.png"
		VT_BLEND_SFACTOR		770
		VT_BLEND_DFACTOR		771
		VT_KEYS {
			VT_KEY 0 512 620 1 0 512 128 255 255 255 0
			VT_KEY 2000 512 620 0 0 512 128 255 255 255 255
			VT_KEY 19000 512 620 0 0 512 128 255 255 255 255
		}
}
)";

constexpr int kSkyPixels = 256;
constexpr int kMusicBars = 10;  // two seconds each: the demo's 20 seconds
constexpr int kMusicRate = 44100;

const char* const kFiles[] = {
    "data/tunnel_test.vds",        "data/versio.inf",          "data/items/sky.vtk",
    "data/items/torus_turn.vtt",   "data/items/torus.vto",     "data/layers/title.vtl",
    "data/textures/sky_negx.jpg",  "data/textures/sky_negy.jpg", "data/textures/sky_negz.jpg",
    "data/textures/sky_posx.jpg",  "data/textures/sky_posy.jpg", "data/textures/sky_posz.jpg",
    "data/textures/title.png",     "data/music/tune.ogg",      nullptr};

bool WriteText(const fs::path& path, const char* text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  out.close();
  return !out.fail();
}

// The title in a font of the system; without one, a soft bar in its place.
assetgen::Image TitlePicture() {
  assetgen::Image image(512, 128, assetgen::Color{1, 1, 1, 0});
  assetgen::TextStyle style;
  style.pixelHeight = 72;
  if (assetgen::RenderText("First Light", style, image)) return image;
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x) {
      const float edge = 1.0f - static_cast<float>(std::abs(2 * y - image.Height())) / image.Height();
      image.At(x, y) = assetgen::Color{0.6f, 0.8f, 1.0f, edge};
    }
  return image;
}

bool WriteMusic(const fs::path& path) {
  const synth::Stereo tune = synth::RenderTune(kMusicRate, kMusicBars);
  return synth::WriteOggVorbis(tune, kMusicRate, 0.3, path.string());
}

// Every file of the demo, in the order of kFiles.
bool WriteDemo(const fs::path& root) {
  using Writer = std::function<bool(const fs::path&)>;
  const auto text = [](const char* content) {
    return Writer([content](const fs::path& p) { return WriteText(p, content); });
  };
  std::vector<Writer> writers = {text(kScript), text(kVersion), text(kSky), text(kTurn), text(kTorus), text(kTitle)};
  for (assetgen::SkyFace face : assetgen::kSkyFaces)
    writers.push_back([face](const fs::path& p) {
      return assetgen::WriteJpg(assetgen::RenderSkyFace(face, kSkyPixels), p.string(), 88);
    });
  writers.push_back([](const fs::path& p) { return assetgen::WritePng(TitlePicture(), p.string()); });
  writers.push_back(WriteMusic);
  for (size_t i = 0; i < writers.size(); ++i) {
    const fs::path path = root / kFiles[i];
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (ec || !writers[i](path)) return false;
  }
  return true;
}

bool IsEmptyFolder(const fs::path& dir, std::error_code& ec) {
  return fs::is_directory(dir, ec) && fs::directory_iterator(dir, ec) == fs::directory_iterator();
}

}  // namespace

const char* const* NewDemoFiles() { return kFiles; }

bool CreateNewDemo(const std::string& dir, std::string& error) {
  const fs::path root(dir);
  const std::string named = "the folder \"" + dir + "\"";
  std::error_code ec;
  const bool existed = fs::exists(root, ec);
  if (existed && !fs::is_directory(root, ec)) {
    error = named + " exists and is no folder";
    return false;
  }
  if (existed && !IsEmptyFolder(root, ec)) {
    error = named + (ec ? " cannot be read: " + ec.message() : " is not empty; a new demo needs a new or empty folder");
    return false;
  }
  if (!existed && !fs::create_directories(root, ec)) {
    error = named + " cannot be made: " + ec.message();
    return false;
  }
  if (WriteDemo(root)) return true;
  error = "the new demo cannot be written into " + named;
  // Leave the folder as it was: empty, or not there at all.
  std::vector<fs::path> written;
  for (const fs::directory_entry& entry : fs::directory_iterator(root, ec)) written.push_back(entry.path());
  for (const fs::path& path : written) fs::remove_all(path, ec);
  if (!existed) fs::remove(root, ec);
  return false;
}
