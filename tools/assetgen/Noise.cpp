#include "Noise.h"

#include <cmath>

namespace assetgen {

Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(Vec3 a, float k) { return {a.x * k, a.y * k, a.z * k}; }
float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
float Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
Vec3 Normalize(Vec3 a) {
  float len = Length(a);
  return len > 0 ? a * (1.0f / len) : a;
}

float Hash(int x, int y, int z, std::uint32_t seed) {
  std::uint32_t h = seed * 0x9E3779B9u;
  h ^= static_cast<std::uint32_t>(x) * 0x85EBCA6Bu;
  h = (h << 13) | (h >> 19);
  h ^= static_cast<std::uint32_t>(y) * 0xC2B2AE35u;
  h = (h << 17) | (h >> 15);
  h ^= static_cast<std::uint32_t>(z) * 0x27D4EB2Fu;
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  h *= 0x846CA68Bu;
  h ^= h >> 16;
  return static_cast<float>(h >> 8) / 16777216.0f;
}

namespace {

float Smooth(float t) { return t * t * (3.0f - 2.0f * t); }
float Lerp(float a, float b, float t) { return a + (b - a) * t; }

int Wrap(int i, int period) { return ((i % period) + period) % period; }

}  // namespace

float ValueNoise(Vec3 p, std::uint32_t seed) {
  int ix = static_cast<int>(std::floor(p.x)), iy = static_cast<int>(std::floor(p.y)),
      iz = static_cast<int>(std::floor(p.z));
  float fx = Smooth(p.x - ix), fy = Smooth(p.y - iy), fz = Smooth(p.z - iz);
  auto h = [&](int dx, int dy, int dz) { return Hash(ix + dx, iy + dy, iz + dz, seed); };
  float x00 = Lerp(h(0, 0, 0), h(1, 0, 0), fx), x10 = Lerp(h(0, 1, 0), h(1, 1, 0), fx);
  float x01 = Lerp(h(0, 0, 1), h(1, 0, 1), fx), x11 = Lerp(h(0, 1, 1), h(1, 1, 1), fx);
  return Lerp(Lerp(x00, x10, fy), Lerp(x01, x11, fy), fz);
}

float Fbm(Vec3 p, int octaves, std::uint32_t seed) {
  float sum = 0, amplitude = 0.5f, total = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += amplitude * ValueNoise(p, seed + o);
    total += amplitude;
    p = p * 2.03f;
    amplitude *= 0.5f;
  }
  return sum / total;
}

float TiledNoise(float x, float y, int period, std::uint32_t seed) {
  int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
  float fx = Smooth(x - ix), fy = Smooth(y - iy);
  auto h = [&](int dx, int dy) { return Hash(Wrap(ix + dx, period), Wrap(iy + dy, period), 0, seed); };
  return Lerp(Lerp(h(0, 0), h(1, 0), fx), Lerp(h(0, 1), h(1, 1), fx), fy);
}

float TiledFbm(float x, float y, int period, int octaves, std::uint32_t seed) {
  float sum = 0, amplitude = 0.5f, total = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += amplitude * TiledNoise(x, y, period, seed + o);
    total += amplitude;
    x *= 2;
    y *= 2;
    period *= 2;
    amplitude *= 0.5f;
  }
  return sum / total;
}

}  // namespace assetgen
