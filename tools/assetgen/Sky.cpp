#include "Sky.h"

#include <algorithm>
#include <cmath>

namespace assetgen {

std::string SkyFaceName(SkyFace face) {
  switch (face) {
    case SkyFace::NegX: return "negx";
    case SkyFace::NegY: return "negy";
    case SkyFace::NegZ: return "negz";
    case SkyFace::PosX: return "posx";
    case SkyFace::PosY: return "posy";
    case SkyFace::PosZ: return "posz";
  }
  return "";
}

Vec3 SkyFacePoint(SkyFace face, float s, float t) {
  float a = 2 * s - 1, b = 2 * t - 1;
  switch (face) {
    case SkyFace::PosZ: return {a, b, -1};
    case SkyFace::NegZ: return {-a, b, 1};
    case SkyFace::NegY: return {a, -1, -b};
    case SkyFace::PosY: return {a, 1, b};
    case SkyFace::NegX: return {-1, b, -a};
    case SkyFace::PosX: return {1, b, a};
  }
  return {};
}

namespace {

const Vec3 kSunDir = Normalize({0.55f, 0.12f, -0.8f});
const Vec3 kPlanetDir = Normalize({-0.85f, -0.2f, -0.35f});
const Vec3 kBandNormal = Normalize({0.35f, 1.0f, 0.25f});
const Vec3 kZenithCloud = Normalize({0.3f, 1.0f, 0.4f});
const Vec3 kNadirCloud = Normalize({-0.4f, -1.0f, 0.2f});
constexpr float kPlanetRadius = 0.22f;  // radians

float Saturate(float v) { return std::clamp(v, 0.0f, 1.0f); }

// Point stars on a 3D lattice around the unit sphere: each cell may hold
// one star; its brightness falls off with the angular distance.
float Stars(Vec3 d, float cells, float density, float sharpness, std::uint32_t seed) {
  Vec3 p = d * cells;
  int cx = static_cast<int>(std::floor(p.x)), cy = static_cast<int>(std::floor(p.y)),
      cz = static_cast<int>(std::floor(p.z));
  float light = 0;
  for (int dz = -1; dz <= 1; ++dz)
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) {
        int x = cx + dx, y = cy + dy, z = cz + dz;
        if (Hash(x, y, z, seed) > density) continue;
        Vec3 star = Normalize(Vec3{x + Hash(x, y, z, seed + 1), y + Hash(x, y, z, seed + 2),
                                   z + Hash(x, y, z, seed + 3)});
        float dist = Length(d - star) * sharpness;
        float brightness = 0.3f + 0.7f * Hash(x, y, z, seed + 4);
        light += brightness * std::exp(-dist * dist);
      }
  return light;
}

Color Nebula(Vec3 d) {
  float band = std::exp(-std::pow(Dot(d, kBandNormal) / 0.35f, 2.0f));
  float cloud = Fbm(d * 2.5f + Vec3{3, 1, 7}, 6, 11);
  float tint = Fbm(d * 1.5f, 4, 23);
  float dust = Saturate((Fbm(d * 5.0f, 5, 37) - 0.45f) * 3.0f);
  Color magenta{0.55f, 0.12f, 0.45f}, cyan{0.1f, 0.35f, 0.55f}, amber{0.6f, 0.35f, 0.12f};
  Color hue = tint < 0.5f ? Mix(magenta, cyan, tint * 2) : Mix(cyan, amber, (tint - 0.5f) * 2);
  float strength = band * Saturate(cloud * 1.6f - 0.35f) * (1.0f - 0.6f * dust);
  Color base = Mix(Color{0.015f, 0.02f, 0.06f}, Color{0.05f, 0.04f, 0.12f}, 0.5f + 0.5f * d.y);
  Color c = base + hue * (strength * 0.9f) + Color{0.05f, 0.06f, 0.12f} * (band * 0.5f);
  // Two lone clouds give the zenith and the nadir a look of their own.
  float zenith = std::pow(std::max(0.0f, Dot(d, kZenithCloud)), 6.0f) * Fbm(d * 4.0f, 5, 61);
  float nadir = std::pow(std::max(0.0f, Dot(d, kNadirCloud)), 5.0f) * Fbm(d * 3.5f, 5, 71);
  return c + Color{0.8f, 0.25f, 0.3f} * (zenith * 1.2f) + Color{0.15f, 0.6f, 0.45f} * (nadir * 1.1f);
}

Color Sun(Vec3 d) {
  float c = std::max(0.0f, Dot(d, kSunDir));
  float core = std::pow(c, 2000.0f) * 3.0f;
  float halo = std::pow(c, 60.0f) * 0.6f + std::pow(c, 8.0f) * 0.15f;
  return Color{1.0f, 0.95f, 0.8f} * core + Color{1.0f, 0.6f, 0.3f} * halo;
}

// A banded gas giant lit by the sun; returns alpha 0 outside its disc.
Color Planet(Vec3 d) {
  float angle = std::acos(std::clamp(Dot(d, kPlanetDir), -1.0f, 1.0f));
  if (angle > kPlanetRadius * 1.25f) return Color{0, 0, 0, 0};
  if (angle > kPlanetRadius) {
    float rim = 1.0f - (angle - kPlanetRadius) / (kPlanetRadius * 0.25f);
    return Color{0.3f, 0.5f, 1.0f, 0} * (rim * rim * 0.5f);
  }
  // The surface normal of the sphere seen under this direction.
  Vec3 up{0, 1, 0};
  Vec3 right = Normalize(Vec3{kPlanetDir.z, 0, -kPlanetDir.x});
  Vec3 offset = d - kPlanetDir * Dot(d, kPlanetDir);
  float u = Dot(offset, right) / std::sin(kPlanetRadius), v = Dot(offset, up) / std::sin(kPlanetRadius);
  float w = std::sqrt(std::max(0.0f, 1 - u * u - v * v));
  Vec3 normal = Normalize(right * u + up * v - kPlanetDir * w);
  float light = Saturate(Dot(normal, kSunDir) * 0.9f + 0.08f);
  float bands = std::sin(v * 14.0f + 3.0f * Fbm(Vec3{u * 3, v * 12, 0}, 4, 51)) * 0.5f + 0.5f;
  Color surface = Mix(Color{0.75f, 0.55f, 0.35f}, Color{0.95f, 0.85f, 0.65f}, bands);
  float edge = std::pow(1 - w, 3.0f);
  Color c = surface * light + Color{0.3f, 0.5f, 1.0f} * (edge * 0.6f * (0.3f + light));
  c.a = 1;
  return c;
}

}  // namespace

Color SpaceColor(Vec3 d) {
  Color c = Nebula(d);
  float stars = 0.6f * Stars(d, 40, 0.12f, 400, 101) + 2.0f * Stars(d, 12, 0.2f, 300, 202);
  c = c + Color{0.9f, 0.92f, 1.0f} * stars;
  Color planet = Planet(d);
  c = planet.a > 0 ? Color{planet.r, planet.g, planet.b} + Sun(d) * 0.2f : c + planet + Sun(d);
  c.a = 1;
  return c;
}

Image RenderSkyFace(SkyFace face, int size) {
  Image image(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      // Four samples a pixel keep the planet's rim smooth. Row 0 is the
      // top of the picture, which the box shows at t = 1.
      Color sum{0, 0, 0, 0};
      for (float dy : {0.25f, 0.75f})
        for (float dx : {0.25f, 0.75f}) {
          float s = (x + dx) / size, t = 1.0f - (y + dy) / size;
          sum = sum + SpaceColor(Normalize(SkyFacePoint(face, s, t)));
        }
      image.At(x, y) = sum * 0.25f;
    }
  return image;
}

}  // namespace assetgen
