#include "items/vtTransU.h"

#include <GL/gl.h>

#include "core/vtKeysU.h"
#include "core/vtTextU.h"

namespace {

// The x, y and z of a step line; the last one is the rest of the line.
vtVec3D ReadVector(vtText& reader) {
  vtVec3D v;
  v.X = reader.NextFloat();
  v.Y = reader.NextFloat();
  v.Z = StrToFloatDef(reader.Line);
  return v;
}

// "VT_ROTATE", at least two separators, an integer, then the axis. The
// second separator is eaten by SkipBlanks, which always removes one
// character: with only one, the first digit of the integer goes with it.
std::unique_ptr<vtRotate> ReadRotation(vtText& reader, bool isStatic) {
  reader.SkipPast((isStatic ? vtTransKeys::Rotate : vtTransKeys::Spin).Cut());
  reader.SkipBlanks();
  auto rotate = std::make_unique<vtRotate>();
  rotate->Static = isStatic;
  std::int32_t value = reader.ToInt(reader.NextToken());
  if (isStatic)
    rotate->Angle = static_cast<float>(value);
  else
    rotate->Divisor = value;
  rotate->Axis = ReadVector(reader);
  return rotate;
}

}  // namespace

void vtRotate::Apply(float time) {
  float angle = Angle;
  if (!Static) angle = time / static_cast<float>(Divisor == 0 ? 1 : Divisor);
  glRotatef(angle, Axis.X, Axis.Y, Axis.Z);
}

void vtTranslate::Apply(float) { glTranslatef(Offset.X, Offset.Y, Offset.Z); }

vtTransform::vtTransform(vtType type, const std::string& fileName) {
  ItemType = type;
  FileName = fileName;
}

// No matrix is pushed: the steps act on everything drawn after the item.
void vtTransform::Render(float time) {
  for (auto& step : Items) step->Apply(time);
}

void vtTransform::LoadFromFile() {
  vtText reader("vtt");
  if (!reader.Open(FileName)) return;
  Items.clear();
  while (!reader.Eof()) {
    if (!reader.ReadLine()) continue;
    if (reader.Contains(vtTransKeys::Static.Name)) ReadStaticBlock(reader);
    if (reader.Contains(vtTransKeys::Dynamic.Name)) ReadDynamicBlock(reader);
  }
  reader.Close();
}

// Both blocks end at the first line holding "}" or at the end of the file.
void vtTransform::ReadStaticBlock(vtText& reader) {
  while (!reader.Contains("}") && !reader.Eof()) {
    if (!reader.ReadLine()) continue;
    if (reader.Contains(vtTransKeys::Translate.Name)) {
      reader.SkipPast(vtTransKeys::Translate.Cut());
      auto translate = std::make_unique<vtTranslate>();
      translate->Offset = ReadVector(reader);
      Items.push_back(std::move(translate));
    }
    if (reader.Contains(vtTransKeys::Rotate.Name)) Items.push_back(ReadRotation(reader, true));
  }
}

void vtTransform::ReadDynamicBlock(vtText& reader) {
  while (!reader.Contains("}") && !reader.Eof()) {
    if (reader.ReadLine() && reader.Contains(vtTransKeys::Spin.Name)) Items.push_back(ReadRotation(reader, false));
  }
}
