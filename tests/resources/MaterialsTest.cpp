#include <gtest/gtest.h>

#include "resources/vtMapU.h"
#include "resources/vtMatU.h"
#include "support/GlTest.h"

namespace {

using MaterialTest = testsupport::GlTest;
using Rgba4 = std::array<float, 4>;

Rgba4 Material(GLenum face, GLenum name) {
  Rgba4 v{};
  glGetMaterialfv(face, name, v.data());
  return v;
}

void ExpectDefaultMaterial(GLenum face) {
  EXPECT_EQ(Material(face, GL_AMBIENT), (Rgba4{0.2f, 0.2f, 0.2f, 1.0f}));
  EXPECT_EQ(Material(face, GL_DIFFUSE), (Rgba4{0.8f, 0.8f, 0.8f, 1.0f}));
  EXPECT_EQ(Material(face, GL_SPECULAR), (Rgba4{0, 0, 0, 1.0f}));
  EXPECT_EQ(Material(face, GL_EMISSION), (Rgba4{0, 0, 0, 1.0f}));
  EXPECT_EQ(Material(face, GL_SHININESS)[0], 0.0f);
}

TEST_F(MaterialTest, ADefaultMaterialRestoresTheOpenGLDefaultOnBothFaces) {
  vtMat scene;
  scene.Ambient = {0.5f, 0.1f, 0.1f, 1};
  scene.Diffuse = {0.1f, 0.5f, 0.1f, 0.5f};
  scene.Specular = {1, 1, 1, 1};
  scene.Emission = {0.1f, 0.1f, 0.3f, 1};
  scene.Shininess = 40;
  scene.Apply();
  EXPECT_EQ(Material(GL_BACK, GL_DIFFUSE), (Rgba4{0.1f, 0.5f, 0.1f, 0.5f}));
  EXPECT_EQ(Material(GL_FRONT, GL_SHININESS)[0], 40.0f);

  vtMat().Apply();
  ExpectDefaultMaterial(GL_FRONT);
  ExpectDefaultMaterial(GL_BACK);
  EXPECT_FALSE(Enabled(GL_LIGHTING));  // lighting is the caller's business

  // The second set keeps the defaults whatever the first set holds.
  scene.Apply();
  scene.UseFirstSet = false;
  scene.Apply();
  ExpectDefaultMaterial(GL_FRONT);
  EXPECT_EQ(Error(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(MaterialTest, DiffuseMapBindsItsTextureAndUnbindTurnsTexturingOff) {
  GLuint name = 0;
  glGenTextures(1, &name);
  vtDiffuseMap map;
  map.Texture->Id = name;
  map.Bind();
  EXPECT_TRUE(Enabled(GL_TEXTURE_2D));
  EXPECT_EQ(GetInt(GL_TEXTURE_BINDING_2D), static_cast<GLint>(name));
  EXPECT_FALSE(Enabled(GL_TEXTURE_GEN_S));
  map.Unbind();
  EXPECT_FALSE(Enabled(GL_TEXTURE_2D));
  glDeleteTextures(1, &name);
}

TEST_F(MaterialTest, ReflectMapUsesSphereMappingAndUnbindTurnsEverythingOff) {
  vtDiffuseMap diffuse;
  vtReflectMap reflect;
  diffuse.Bind();
  reflect.Bind();
  EXPECT_TRUE(Enabled(GL_TEXTURE_2D));
  EXPECT_TRUE(Enabled(GL_TEXTURE_GEN_S));
  EXPECT_TRUE(Enabled(GL_TEXTURE_GEN_T));
  for (GLenum coord : {GL_S, GL_T}) {
    GLint mode = 0;
    glGetTexGeniv(coord, GL_TEXTURE_GEN_MODE, &mode);
    EXPECT_EQ(mode, GL_SPHERE_MAP);
  }
  reflect.Unbind();
  EXPECT_FALSE(Enabled(GL_TEXTURE_2D));  // even though the diffuse map had enabled it
  EXPECT_FALSE(Enabled(GL_TEXTURE_GEN_S));
  EXPECT_FALSE(Enabled(GL_TEXTURE_GEN_T));
}

TEST_F(MaterialTest, DisabledMapsMakeNoOpenGLChange) {
  GLuint names[2] = {};
  glGenTextures(2, names);
  glBindTexture(GL_TEXTURE_2D, names[0]);
  vtDiffuseMap diffuse;
  vtReflectMap reflect;
  diffuse.Enabled = reflect.Enabled = false;
  diffuse.Texture->Id = reflect.Texture->Id = names[1];

  diffuse.Bind();
  reflect.Bind();
  EXPECT_FALSE(Enabled(GL_TEXTURE_2D));
  EXPECT_FALSE(Enabled(GL_TEXTURE_GEN_S));
  EXPECT_EQ(GetInt(GL_TEXTURE_BINDING_2D), static_cast<GLint>(names[0]));

  glEnable(GL_TEXTURE_2D);
  glEnable(GL_TEXTURE_GEN_S);
  glEnable(GL_TEXTURE_GEN_T);
  diffuse.Unbind();
  reflect.Unbind();
  EXPECT_TRUE(Enabled(GL_TEXTURE_2D));
  EXPECT_TRUE(Enabled(GL_TEXTURE_GEN_S));
  EXPECT_TRUE(Enabled(GL_TEXTURE_GEN_T));
  glDeleteTextures(2, names);
}

}  // namespace
