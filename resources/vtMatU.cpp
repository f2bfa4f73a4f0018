#include "resources/vtMatU.h"

#include <GL/gl.h>

vtMat::vtMat()
    : Ambient2(Ambient), Diffuse2(Diffuse), Specular2(Specular), Emission2(Emission), Shininess2(Shininess) {}

void vtMat::Apply() const {
  const GLenum face = GL_FRONT_AND_BACK;
  glMaterialfv(face, GL_AMBIENT, (UseFirstSet ? Ambient : Ambient2).data());
  glMaterialfv(face, GL_DIFFUSE, (UseFirstSet ? Diffuse : Diffuse2).data());
  glMaterialfv(face, GL_SPECULAR, (UseFirstSet ? Specular : Specular2).data());
  glMaterialfv(face, GL_EMISSION, (UseFirstSet ? Emission : Emission2).data());
  glMaterialf(face, GL_SHININESS, UseFirstSet ? Shininess : Shininess2);
}
