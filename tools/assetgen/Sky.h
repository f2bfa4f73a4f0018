// The sky box pictures. Each face is rendered from one function of the view
// direction, so the six pictures meet without seams on the player's box.
#pragma once

#include <string>

#include "Image.h"
#include "Noise.h"

namespace assetgen {

// The faces in the order of the sky description keys; the box puts POSZ on
// the far (negative z) side and NEGZ behind the viewer.
enum class SkyFace { NegX, NegY, NegZ, PosX, PosY, PosZ };

constexpr SkyFace kSkyFaces[] = {SkyFace::NegX, SkyFace::NegY, SkyFace::NegZ,
                                 SkyFace::PosX, SkyFace::PosY, SkyFace::PosZ};

// "negx" ... "posz".
std::string SkyFaceName(SkyFace face);

// The point of the box (half size 1) that texture coordinate (s, t) of the
// face shows, following the corner table the player draws the box with.
Vec3 SkyFacePoint(SkyFace face, float s, float t);

// The colour of space seen in direction d (unit length).
Color SpaceColor(Vec3 d);

// One face picture, size × size pixels.
Image RenderSkyFace(SkyFace face, int size);

}  // namespace assetgen
