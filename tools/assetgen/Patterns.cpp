#include "Patterns.h"

#include <algorithm>
#include <cmath>

#include "Noise.h"

namespace assetgen {
namespace {

float Saturate(float v) { return std::clamp(v, 0.0f, 1.0f); }

// Distance (in cell units, 0 at the seam) to the nearest seam of a grid of
// `cells` cells per unit.
float SeamDistance(float u, int cells) {
  float f = u * cells - std::floor(u * cells);
  return std::min(f, 1.0f - f);
}

}  // namespace

Image TunnelTexture(int size) {
  Image image(size, size);
  // Twelve panels around, one for each of the tunnel's segments; eight
  // along, four rings each.
  const int around = 12, along = 8;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      float u = static_cast<float>(x) / size, v = static_cast<float>(y) / size;
      int cx = static_cast<int>(u * around), cy = static_cast<int>(v * along);
      float shade = 0.35f + 0.35f * Hash(cx, cy, 0, 7);
      float grain = TiledFbm(u * 16, v * 16, 16, 4, 9);
      float seamU = SeamDistance(u, around), seamV = SeamDistance(v, along);
      float bevel = Saturate(std::min(seamU, seamV) * 12.0f);
      Color metal = Color{0.35f, 0.38f, 0.48f} * (shade * (0.75f + 0.5f * grain) * (0.4f + 0.6f * bevel));
      // Cyan light runs in the seams, orange lamps in some panels.
      float glow = std::exp(-std::pow(seamU * 14.0f, 2.0f)) + std::exp(-std::pow(seamV * 18.0f, 2.0f));
      Color light = Color{0.2f, 0.85f, 1.0f} * std::min(1.0f, glow);
      float lampX = SeamDistance(u + 0.5f / around, around), lampY = SeamDistance(v + 0.5f / along, along);
      bool lamp = Hash(cx, cy, 1, 7) > 0.6f;
      float lampGlow = lamp ? std::exp(-(lampX * lampX + lampY * lampY) * 40.0f) : 0.0f;
      Color c = metal + light + Color{1.0f, 0.55f, 0.15f} * lampGlow;
      c.a = 1;
      image.At(x, y) = c;
    }
  return image;
}

Image HullTexture(int size) {
  Image image(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      float u = static_cast<float>(x) / size, v = static_cast<float>(y) / size;
      int cx = static_cast<int>(u * 6), cy = static_cast<int>(v * 4);
      float shade = 0.55f + 0.25f * Hash(cx, cy, 0, 17);
      float grain = TiledFbm(u * 32, v * 32, 32, 3, 19);
      float seam = std::min(SeamDistance(u, 6), SeamDistance(v, 4));
      float line = Saturate(seam * 25.0f);
      Color c = Color{0.62f, 0.64f, 0.7f} * (shade * (0.85f + 0.3f * grain) * (0.35f + 0.65f * line));
      // A red stripe round the middle and small white lights on it.
      float stripe = std::fabs(v - 0.5f);
      if (stripe < 0.05f) c = Mix(c, Color{0.75f, 0.12f, 0.08f}, 0.85f);
      float lights = std::exp(-std::pow(SeamDistance(u + 1.0f / 32, 16) * 8, 2.0f) - std::pow((v - 0.5f) * 60, 2.0f));
      c = c + Color{1.0f, 1.0f, 0.9f} * lights;
      c.a = 1;
      image.At(x, y) = c;
    }
  return image;
}

namespace {

// The studio around a reflecting object: dark floor, a dim blue sky, a
// bright horizon line and two soft lamps.
Color Studio(Vec3 r) {
  Color floor{0.03f, 0.03f, 0.05f}, sky{0.06f, 0.1f, 0.22f};
  Color c = Mix(floor, sky, Saturate(r.y * 2 + 0.5f));
  c = c + Color{0.45f, 0.55f, 0.7f} * std::exp(-std::pow(r.y / 0.05f, 2.0f));
  Vec3 lamp1 = Normalize({0.5f, 0.6f, 0.6f}), lamp2 = Normalize({-0.7f, 0.3f, -0.3f});
  c = c + Color{1.0f, 0.95f, 0.85f} * std::pow(std::max(0.0f, Dot(r, lamp1)), 40.0f);
  c = c + Color{0.5f, 0.7f, 1.0f} * (0.8f * std::pow(std::max(0.0f, Dot(r, lamp2)), 25.0f));
  c.a = 1;
  return c;
}

}  // namespace

Image EnvironmentMap(int size) {
  Image image(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      // Sphere-map coordinates: the picture is the reflection seen in a
      // mirror ball looking down -z.
      float s = 2.0f * (x + 0.5f) / size - 1.0f, t = 1.0f - 2.0f * (y + 0.5f) / size;
      float rr = s * s + t * t;
      Vec3 n{s, t, std::sqrt(std::max(0.0f, 1.0f - rr))};
      if (rr > 1.0f) n = Normalize(Vec3{s, t, 0});
      Vec3 r{2 * n.z * n.x, 2 * n.z * n.y, 2 * n.z * n.z - 1};
      image.At(x, y) = Studio(r);
    }
  return image;
}

Image BeaconTexture(int size) {
  Image image(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      float u = static_cast<float>(x) / size, v = static_cast<float>(y) / size;
      float veins = std::fabs(TiledFbm(u * 4, v * 4, 4, 5, 29) - 0.5f);
      float glow = std::exp(-veins * 25.0f);
      Color c = Mix(Color{0.2f, 0.45f, 0.8f}, Color{0.85f, 1.0f, 1.0f}, glow);
      c.a = 1;
      image.At(x, y) = c;
    }
  return image;
}

Image HaloTexture(int size) {
  Image image(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      float dx = 2.0f * (x + 0.5f) / size - 1.0f, dy = 2.0f * (y + 0.5f) / size - 1.0f;
      float r = std::sqrt(dx * dx + dy * dy), angle = std::atan2(dy, dx);
      float rays = 0.5f + 0.5f * std::pow(std::fabs(std::cos(angle * 4.0f)), 8.0f);
      float fade = Saturate(1.0f - r);
      float glow = std::pow(fade, 3.0f) * rays + std::exp(-r * r * 60.0f);
      Color c = Color{0.35f, 0.75f, 1.0f} * glow + Color{1, 1, 1} * std::exp(-r * r * 200.0f);
      c.a = 1;
      image.At(x, y) = c;
    }
  return image;
}

Image WhiteTexture(int size) { return Image(size, size, Color{1, 1, 1, 1}); }

}  // namespace assetgen
