#include "resources/vtMapU.h"

#include <GL/gl.h>

void vtDiffuseMap::Bind() {
  if (!Enabled) return;
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, Texture->Id);
}

void vtDiffuseMap::Unbind() {
  if (!Enabled) return;
  glDisable(GL_TEXTURE_2D);
}

void vtReflectMap::Bind() {
  if (!Enabled) return;
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, Texture->Id);
  glEnable(GL_TEXTURE_GEN_S);
  glEnable(GL_TEXTURE_GEN_T);
  glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
  glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
}

void vtReflectMap::Unbind() {
  if (!Enabled) return;
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
}
