#include "scene/vtSceneU.h"

#include <GL/gl.h>

vtMat& vtScene::MaterialOf(const vtMesh& object) const {
  const std::int32_t ref = object.MaterialRef;
  if (ref >= 0 && static_cast<std::size_t>(ref) < Materials.size()) return *Materials[ref];
  return *Materials.front();
}

void vtScene::ListTextures(std::vector<const vtTexture*>& out) const {
  for (const auto& material : Materials) {
    if (material->DiffuseMap) out.push_back(material->DiffuseMap->Texture.get());
    if (material->ReflectMap) out.push_back(material->ReflectMap->Texture.get());
  }
}

void vtScene::Render(float /*time*/) {
  if (Materials.empty()) {
    for (std::size_t i = 0; i < Objects.size(); ++i) DrawObject(i);
    return;
  }
  for (std::size_t i = 0; i < Objects.size(); ++i)
    if (!IsTransparent(MaterialOf(*Objects[i]))) DrawObject(i);
  glEnable(GL_BLEND);
  for (std::size_t i = 0; i < Objects.size(); ++i) {
    if (!IsTransparent(MaterialOf(*Objects[i]))) continue;
    glBlendFunc(GL_ONE, GL_ONE);
    DrawObject(i);
  }
  glDisable(GL_BLEND);
}

unsigned vtScene::ListsDrawn(const vtMesh& object) const {
  const std::int32_t ref = object.MaterialRef;
  if (ref < 0 || static_cast<std::size_t>(ref) >= Materials.size()) return vtMesh::kAllLists;
  const vtMat& material = *Materials[static_cast<std::size_t>(ref)];
  unsigned lists = material.DiffuseMap ? vtMesh::kTextured : vtMesh::kNormals;
  if (material.ReflectMap) lists |= vtMesh::kNormals;  // DrawReflection
  return lists;
}

void vtScene::DrawObject(std::size_t index) {
  vtMesh& object = *Objects[index];
  if (!object.Visible) return;
  if (Materials.empty()) {
    object.UseNormals = false;
    object.Render(0.0f);
    return;
  }
  vtMat& material = MaterialOf(object);
  object.UseNormals = true;
  material.Apply();
  object.UseTexCoords = material.DiffuseMap != nullptr;
  if (material.DiffuseMap) material.DiffuseMap->Bind();
  object.Render(0.0f);
  if (material.DiffuseMap) material.DiffuseMap->Unbind();
  if (material.ReflectMap) DrawReflection(object, material);
}

// The reflection is drawn again over the object; over a textured surface it
// is added onto exactly the pixels just drawn.
void vtScene::DrawReflection(vtMesh& object, vtMat& material) {
  vtReflectMap& map = *material.ReflectMap;
  map.Bind();
  if (material.DiffuseMap) {
    glDepthFunc(GL_EQUAL);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
  }
  if (map.Enabled) {
    object.UseTexCoords = false;
    object.Render(0.0f);
  }
  glDepthFunc(GL_LEQUAL);
  glDisable(GL_BLEND);
  glDisable(GL_TEXTURE_2D);
  map.Unbind();
}
