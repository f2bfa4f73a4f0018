#include "items/vtSkyU.h"

#include <GL/gl.h>

#include "core/vtLoadProfileU.h"
#include "core/vtFindingsU.h"
#include "core/vtKeysU.h"
#include "core/vtTextU.h"
#include "platform/GlContext.h"

namespace {

constexpr std::string_view kFaceKeys[vtSky::kFaceCount] = {
    vtSkyKeys::NegX.Name, vtSkyKeys::NegY.Name, vtSkyKeys::NegZ.Name,
    vtSkyKeys::PosX.Name, vtSkyKeys::PosY.Name, vtSkyKeys::PosZ.Name,
};

// namedIn: the sky file, next to which a picture may also lie.
std::unique_ptr<vtDiffuseMap> LoadMap(const std::string& fileName, const std::string& namedIn) {
  auto map = std::make_unique<vtDiffuseMap>();
  map->Texture->SetFileName(fileName);
  map->Texture->Load(namedIn);
  return map;
}

// Sky textures clamp at their edges so the box shows no seams. The texture
// is bound by name: a texture found in the store was not left bound.
void ClampToEdge(const vtDiffuseMap* map) {
  if (!map || map->Texture->Id == 0) return;
  glBindTexture(GL_TEXTURE_2D, map->Texture->Id);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

struct Corner {
  float S, T, X, Y, Z;  // X, Y, Z in units of the half size
};

// The six quads in drawing order with the face whose texture each shows.
// POSZ lies on the negative z side and NEGZ on the positive one; seen from
// inside, the vertical faces are not mirrored.
struct Quad {
  vtSky::Face Face;
  Corner Corners[4];
};

constexpr Quad kQuads[6] = {
    {vtSky::POSZ, {{0, 0, -1, -1, -1}, {0, 1, -1, 1, -1}, {1, 1, 1, 1, -1}, {1, 0, 1, -1, -1}}},
    {vtSky::NEGZ, {{1, 0, -1, -1, 1}, {1, 1, -1, 1, 1}, {0, 1, 1, 1, 1}, {0, 0, 1, -1, 1}}},
    {vtSky::NEGY, {{0, 1, -1, -1, -1}, {0, 0, -1, -1, 1}, {1, 0, 1, -1, 1}, {1, 1, 1, -1, -1}}},
    {vtSky::POSY, {{0, 0, -1, 1, -1}, {0, 1, -1, 1, 1}, {1, 1, 1, 1, 1}, {1, 0, 1, 1, -1}}},
    {vtSky::NEGX, {{1, 0, -1, -1, -1}, {0, 0, -1, -1, 1}, {0, 1, -1, 1, 1}, {1, 1, -1, 1, -1}}},
    {vtSky::POSX, {{0, 0, 1, -1, -1}, {1, 0, 1, -1, 1}, {1, 1, 1, 1, 1}, {0, 1, 1, 1, -1}}},
};

}  // namespace

vtSky::~vtSky() {
  if (DisplayList != 0 && platform::CanReleaseGlObjects()) glDeleteLists(DisplayList, 1);
}

void vtSky::ListTextures(std::vector<const vtTexture*>& out) const {
  if (SingleMap) out.push_back(SingleMap->Texture.get());
  for (const auto& map : FaceMaps)
    if (map) out.push_back(map->Texture.get());
}

void vtSky::LoadFromFile() {
  vtText reader;
  reader.Extension = "vtk";
  if (!reader.Open(FileName)) return;
  while (!reader.Eof())
    if (reader.ReadLine()) ReadKeys(reader);
  reader.Close();
  BuildBox();
}

void vtSky::ReadKeys(vtText& reader) {
  const vtFindingPlace place(reader.FileName(), reader.LineNumber);  // for the pictures named here
  if (reader.Contains(vtSkyKeys::Name.Name)) Name = reader.ReadQuoted();
  if (reader.Contains(vtSkyKeys::Shape.Name) && reader.ReadQuoted() == "Sphere") Shape = vt_SPHERE;
  if (reader.Contains(vtSkyKeys::Size.Name)) Size = reader.ReadInt(vtSkyKeys::Size.Cut());

  bool isFaceLine = false;
  for (std::string_view key : kFaceKeys) isFaceLine = isFaceLine || reader.Contains(key);
  if (reader.Contains(vtSkyKeys::Picture.Name) && !isFaceLine) {
    SingleTexture = true;
    SingleMap = LoadMap(reader.ReadQuoted(), FileName);
    ClampToEdge(SingleMap.get());
  }
  // Once a single texture has been read, face lines load nothing.
  if (!SingleTexture) {
    for (int face = 0; face < kFaceCount; ++face) {
      if (!reader.Contains(kFaceKeys[face])) continue;
      FaceMaps[face] = LoadMap(reader.ReadQuoted(), FileName);
      ClampToEdge(FaceMaps[face].get());
    }
  }
}

std::uint32_t vtSky::FaceTextureId(Face face) const {
  const vtDiffuseMap* map = SingleTexture ? SingleMap.get() : FaceMaps[face].get();
  return map ? map->Texture->Id : 0;
}

void vtSky::BuildBox() {
  vtLoadPhaseScope phase(vtLoadPhase::DisplayLists);
  const float h = static_cast<float>(Size / 2.0);
  DisplayList = glGenLists(1);
  glNewList(DisplayList, GL_COMPILE);
  glPushMatrix();
  glDisable(GL_LIGHTING);
  glEnable(GL_TEXTURE_2D);
  glColor3f(1, 1, 1);
  for (int q = 0; q < 6; ++q) {
    const Quad& quad = kQuads[q];
    // In single-texture mode one bind before the first quad serves all six.
    if (!SingleTexture || q == 0) glBindTexture(GL_TEXTURE_2D, FaceTextureId(quad.Face));
    glBegin(GL_QUADS);
    for (const Corner& c : quad.Corners) {
      glTexCoord2f(c.S, c.T);
      glVertex3f(c.X * h, c.Y * h, c.Z * h);
    }
    glEnd();
  }
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_LIGHTING);
  glPopMatrix();
  glEndList();
}

void vtSky::Render(float /*time*/) { glCallList(DisplayList); }
