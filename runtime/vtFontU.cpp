#include "runtime/vtFontU.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <vector>

#include "core/vtLoadProfileU.h"
#include "platform/FontRaster.h"
#include "platform/GlContext.h"

std::unique_ptr<vtFont> GlobalFont;

namespace {
constexpr int kFirstChar = 32;
constexpr int kCharCount = 96;
constexpr const char* kFontPattern = "DejaVu Sans Mono:bold";

void CompileGlyph(GLuint list, const platform::GlyphBitmap& glyph) {
  static const GLubyte kNoBits = 0;
  glNewList(list, GL_COMPILE);
  // An empty bitmap (the blank) still moves the raster position; Mesa
  // wants a valid pointer even then.
  glBitmap(glyph.Width, glyph.Height, glyph.OriginX, glyph.OriginY, glyph.Advance, 0,
           glyph.Bits.empty() ? &kNoBits : glyph.Bits.data());
  glEndList();
}
}  // namespace

void vtFont::Build(void*) {
  vtLoadPhaseScope phase(vtLoadPhase::DisplayLists);
  ListBase = glGenLists(kCharCount);
  std::vector<platform::GlyphBitmap> glyphs;
  std::string error;
  if (!platform::RasterizeFont(kFontPattern, PixelHeight, kFirstChar, kCharCount, glyphs, error)) {
    std::cerr << "vtFont.Build: " << error << "; text will not be drawn" << std::endl;
    return;
  }
  // The bitmaps are unpacked when the lists are compiled.
  GLint alignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (int i = 0; i < kCharCount; ++i) CompileGlyph(ListBase + i, glyphs[static_cast<size_t>(i)]);
  glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
  int top = 0;
  for (const platform::GlyphBitmap& glyph : glyphs) {
    Advance = std::max(Advance, static_cast<int>(std::ceil(glyph.Advance)));
    Descent = std::max(Descent, static_cast<int>(glyph.OriginY));
    top = std::max(top, glyph.Height - static_cast<int>(glyph.OriginY));
  }
  LineHeight = top + Descent;
}

void vtFont::Release() {
  if (ListBase != 0 && platform::CanReleaseGlObjects()) glDeleteLists(ListBase, kCharCount);
  ListBase = 0;
}

void vtFont::Print(const std::string& text) const { Print(text.data(), text.size()); }

// One call per run of printable characters: nothing is copied.
void vtFont::Print(const char* text, std::size_t length) const {
  if (ListBase == 0) return;
  bool baseSet = false;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= length; ++i) {
    const auto c = i < length ? static_cast<unsigned char>(text[i]) : 0u;
    if (c >= kFirstChar && c < kFirstChar + kCharCount) continue;
    if (i > start) {
      if (!baseSet) glListBase(ListBase - kFirstChar);
      baseSet = true;
      glCallLists(static_cast<GLsizei>(i - start), GL_UNSIGNED_BYTE, text + start);
    }
    start = i + 1;
  }
}
