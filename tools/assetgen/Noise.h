// Deterministic hash noise, so that every run makes the same pictures.
#pragma once

#include <cstdint>

namespace assetgen {

struct Vec3 {
  float x = 0, y = 0, z = 0;
};

Vec3 operator+(Vec3 a, Vec3 b);
Vec3 operator-(Vec3 a, Vec3 b);
Vec3 operator*(Vec3 a, float k);
float Dot(Vec3 a, Vec3 b);
float Length(Vec3 a);
Vec3 Normalize(Vec3 a);

// A value in [0, 1) for a lattice point and a seed.
float Hash(int x, int y, int z, std::uint32_t seed);

// Smooth value noise in [0, 1).
float ValueNoise(Vec3 p, std::uint32_t seed);
// Fractal sum of octaves of value noise, in [0, 1).
float Fbm(Vec3 p, int octaves, std::uint32_t seed);

// Value noise on a 2D lattice that repeats every `period` cells, for
// textures that tile.
float TiledNoise(float x, float y, int period, std::uint32_t seed);
float TiledFbm(float x, float y, int period, int octaves, std::uint32_t seed);

}  // namespace assetgen
