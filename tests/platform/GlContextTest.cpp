// GL objects are released only while a context is current: an item
// destroyed where none is (a thread without one, as the whole process is
// once the window has closed) calls no GL and is counted, which is what
// the player's and the renderer's shutdown tests look for.
#include "platform/GlContext.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "items/vtMeshU.h"
#include "items/vtSkyU.h"
#include "support/GlTest.h"

namespace {

using testsupport::GlTest;

GLuint EmptyList() {
  const GLuint list = glGenLists(1);
  glNewList(list, GL_COMPILE);
  glEndList();
  return list;
}

TEST_F(GlTest, ItemsReleaseTheirListsOnlyWhereAContextIsCurrent) {
  for (const bool current : {true, false}) {
    SCOPED_TRACE(current ? "context current" : "no context");
    auto sky = std::make_unique<vtSky>();
    auto mesh = std::make_unique<vtMesh>();
    sky->DisplayList = EmptyList();
    mesh->TexturedList = EmptyList();
    const GLuint lists[] = {sky->DisplayList, mesh->TexturedList};
    const unsigned before = platform::ReleasesWithoutGlContext();
    const auto release = [&] {
      EXPECT_EQ(platform::GlContextCurrent(), current);
      sky.reset();
      mesh.reset();
    };
    if (current)
      release();
    else
      std::thread(release).join();
    EXPECT_EQ(platform::ReleasesWithoutGlContext(), before + (current ? 0 : 2));
    for (GLuint list : lists) EXPECT_EQ(glIsList(list) == GL_TRUE, !current) << list;
    if (!current)
      for (GLuint list : lists) glDeleteLists(list, 1);
  }
}

}  // namespace
