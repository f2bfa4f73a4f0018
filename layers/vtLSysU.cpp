#include "layers/vtLSysU.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "core/vtFindingsU.h"
#include "core/vtFuncU.h"
#include "core/vtKeysU.h"
#include "core/vtLogU.h"
#include "core/vtTextU.h"
#include "platform/Files.h"

namespace {

constexpr const char* kExtension = "vtl";
constexpr const char* kNoImage = "no.image";
// The file being saved is written under this extension first and renamed
// into place when complete.
constexpr const char* kSavingExtension = "saving";

float Interpolated(std::int32_t mode, float a, float b, float t) {
  return GlobalFunc->Interpolate(mode, a, b, t);
}

// Decimal key values ignore blanks on either side; anything else malformed
// is a conversion error naming the reader's file and line.
float ToDecimal(const vtText& reader, const std::string& text) {
  size_t end = text.find_last_not_of(' ');
  return reader.ToFloat(std::string_view(text).substr(0, end == std::string::npos ? 0 : end + 1));
}

// Key times are unsigned: besides the signed integers of the format (a
// negative time wraps, as it always did) the whole unsigned range is read,
// so every time the writer puts out reads back.
std::uint32_t ToTime(const vtText& reader, const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  const bool digitsOnly = first != std::string::npos && text.size() - first <= 10 &&
                          text.find_first_not_of("0123456789", first) == std::string::npos;
  if (digitsOnly) {
    const unsigned long long value = std::stoull(text.substr(first));
    if (value <= UINT32_MAX) return static_cast<std::uint32_t>(value);
  }
  return static_cast<std::uint32_t>(reader.ToInt(text));
}

// The writer's integers: halfway values go to the even neighbour.
std::string RoundedText(float value) {
  if (!std::isfinite(value)) return "0";
  double rounded = std::nearbyint(static_cast<double>(value));
  char text[64];
  if (std::fabs(rounded) < 9.0e18)
    std::snprintf(text, sizeof text, "%lld", static_cast<long long>(rounded));
  else
    std::snprintf(text, sizeof text, "%.0f", rounded);
  return text;
}

std::string KeyLine(const vtLayerKey& key) {
  std::string line = "\t\t\t" + std::string(vtLayerKeys::Key.Name) + " " + std::to_string(key.Time);
  const float values[] = {key.Position.X, key.Position.Y};
  for (float v : values) line += " " + RoundedText(v);
  line += " " + std::to_string(key.Interpolation);
  const float rest[] = {key.Angle, key.Size.X, key.Size.Y, key.Color.R, key.Color.G, key.Color.B, key.Color.A};
  for (float v : rest) line += " " + RoundedText(v);
  return line;
}

std::string BuildLine() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[64];
  std::snprintf(text, sizeof text, "#Build %d.%d.%d %02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min);
  return text;
}

bool CheckLayerExtension(const std::string& fileName) {
  if (GlobalFunc) return GlobalFunc->CheckExtension(fileName, kExtension);
  vtFunc func;
  return func.CheckExtension(fileName, kExtension);
}

void RemoveFile(const std::string& enginePath) { std::remove(platform::ResolvePath(enginePath).c_str()); }

}  // namespace

std::string vtLayerKey::ToString() const {
  return "key: " + std::to_string(Time) + "\rposition: " + Position.ToString() +
         "\rinterpolation: " + std::to_string(Interpolation) + "\rangle: " + FloatToStr(Angle) +
         "\rsize:" + Size.ToString() + "\rcolor:" + Color.ToString();
}

bool vtLayer::SelectKeys(float time, std::size_t& a, std::size_t& b) const {
  if (!Keys || Keys->empty()) return false;
  const vtLayerKeyList& keys = *Keys;
  const std::size_t n = keys.size();
  a = 0;
  b = n - 1;
  for (std::size_t j = 0; j < n; ++j) {
    if (time >= static_cast<float>(keys[j]->Time)) a = j;
    const std::size_t k = n - 1 - j;
    if (time <= static_cast<float>(keys[k]->Time)) b = k;
  }
  return a != b && keys[b]->Time > keys[a]->Time;
}

bool vtLayer::ValuesAt(float time, vtLayerKey& out) const {
  std::size_t a = 0, b = 0;
  if (!SelectKeys(time, a, b)) return false;
  const vtLayerKey& ka = *(*Keys)[a];
  const vtLayerKey& kb = *(*Keys)[b];
  const std::uint32_t span = kb.Time - ka.Time;
  const float t = static_cast<float>((static_cast<double>(time) - ka.Time) / span);
  const std::int32_t m = ka.Interpolation;
  out.Time = ka.Time;
  out.Interpolation = m;
  out.Color.R = Interpolated(m, ka.Color.R, kb.Color.R, t);
  out.Color.G = Interpolated(m, ka.Color.G, kb.Color.G, t);
  out.Color.B = Interpolated(m, ka.Color.B, kb.Color.B, t);
  out.Color.A = Interpolated(m, ka.Color.A, kb.Color.A, t);
  out.Position.X = Interpolated(m, ka.Position.X, kb.Position.X, t);
  out.Position.Y = Interpolated(m, ka.Position.Y, kb.Position.Y, t);
  out.Angle = Interpolated(m, ka.Angle, kb.Angle, t);
  out.Size.X = Interpolated(m, ka.Size.X, kb.Size.X, t);
  out.Size.Y = Interpolated(m, ka.Size.Y, kb.Size.Y, t);
  return true;
}

vtLayerSystem::vtLayerSystem(vtType type, const std::string& fileName) {
  ItemType = type;
  FileName = fileName;
}

// ---- Reading ----------------------------------------------------------

void vtLayerSystem::LoadFromFile() {
  vtText reader(kExtension);
  if (!reader.Open(FileName)) return;
  Layers.clear();
  while (!reader.Eof()) {
    if (reader.ReadLine() && reader.Contains(vtLayerKeys::Layer.Name)) ReadLayer(reader);
  }
  reader.Close();
  Loaded = true;
  if (GlobalLog) GlobalLog->Info(FileName, "vtLayerSystem.LoadFromFile");
}

// The first line containing "}" ends the layer, so a keys block closes its
// layer as well; whatever follows it up to the layer's "}" is ignored.
void vtLayerSystem::ReadLayer(vtText& reader) {
  Layers.push_back(std::make_unique<vtLayer>());
  vtLayer& layer = *Layers.back();
  layer.SourceLine = reader.LineNumber;
  while (!reader.Contains("}") && !reader.Eof()) {
    if (!reader.ReadLine()) continue;
    if (reader.Contains(vtLayerKeys::Picture.Name)) {
      layer.TextureSource = reader.ReadQuoted();
      if (!reader.Contains(kNoImage)) {
        const vtFindingPlace place(reader.FileName(), reader.LineNumber);
        layer.Map = std::make_unique<vtDiffuseMap>();
        layer.Map->Texture->SetFileName(layer.TextureSource);
        layer.Map->Texture->Load(FileName);
      }
    }
    if (reader.Contains(vtLayerKeys::SourceFactor.Name))
      layer.BlendSFactor = reader.ReadInt(vtLayerKeys::SourceFactor.Cut());
    if (reader.Contains(vtLayerKeys::DestFactor.Name))
      layer.BlendDFactor = reader.ReadInt(vtLayerKeys::DestFactor.Cut());
    if (reader.Contains(vtLayerKeys::Keys.Name)) ReadKeys(reader, layer);
  }
}

namespace {

// Keys are looked up as a time line: one earlier than the key before it
// is a mistake the drawing does not undo.
void NoteKeyOrder(const vtText& reader, const std::vector<std::unique_ptr<vtLayerKey>>& keys) {
  if (keys.size() < 2 || !FindingsWanted()) return;
  const std::uint32_t before = keys[keys.size() - 2]->Time, time = keys.back()->Time;
  if (time < before)
    NoteLine(reader, "key-order", vtSeverity::Warning,
             "this key's time (" + std::to_string(time) + " ms) is before the time of the key above it (" +
                 std::to_string(before) + " ms): keys must be in time order");
}

}  // namespace

void vtLayerSystem::ReadKeys(vtText& reader, vtLayer& layer) {
  layer.Keys.emplace();
  layer.KeysLine = reader.LineNumber;
  while (!reader.Contains("}") && !reader.Eof()) {
    if (!reader.ReadLine() || !reader.Contains(vtLayerKeys::Key.Name)) continue;
    layer.Keys->push_back(ReadKey(reader));
    NoteKeyOrder(reader, *layer.Keys);
  }
}

std::unique_ptr<vtLayerKey> vtLayerSystem::ReadKey(vtText& reader) {
  auto key = std::make_unique<vtLayerKey>();
  reader.SkipPast(vtLayerKeys::Key.Cut());  // through "VT_KEY" and its separator
  key->Time = ToTime(reader, reader.NextToken());
  key->Position.X = ToDecimal(reader, reader.NextToken());
  key->Position.Y = ToDecimal(reader, reader.NextToken());
  key->Interpolation = reader.ToInt(reader.NextToken());
  key->Angle = ToDecimal(reader, reader.NextToken());
  key->Size.X = ToDecimal(reader, reader.NextToken());
  key->Size.Y = ToDecimal(reader, reader.NextToken());
  key->Color.R = ToDecimal(reader, reader.NextToken());
  key->Color.G = ToDecimal(reader, reader.NextToken());
  key->Color.B = ToDecimal(reader, reader.NextToken());
  key->Color.A = ToDecimal(reader, reader.Line);
  key->SourceLine = reader.LineNumber;
  return key;
}

// ---- Writing ----------------------------------------------------------

// Written beside the old file and renamed over it, so a failed or
// interrupted save never leaves a half-written layer file behind.
bool vtLayerSystem::SaveToFile(const std::string& fileName) const {
  if (fileName.empty() || !CheckLayerExtension(fileName)) return false;
  const std::string partial = fileName + "." + kSavingExtension;
  vtText writer(kSavingExtension);
  writer.Mode = vtWrite;
  if (!writer.Open(partial)) return false;
  try {
    WriteLayers(writer);
    writer.Close();
  } catch (const vtIOError&) {
    RemoveFile(partial);
    return false;
  }
  if (platform::ReplaceFile(partial, fileName)) return true;
  RemoveFile(partial);
  return false;
}

void vtLayerSystem::WriteLayers(vtText& writer) const {
  writer.WriteLine("#Vortane Layer System");
  writer.WriteLine(BuildLine());
  writer.WriteLine("");
  using namespace vtLayerKeys;
  const std::string indent = "\t\t";
  for (const auto& layer : Layers) {
    writer.WriteLine(std::string(Layer.Name));
    writer.WriteLine(indent + std::string(Picture.Name) + "\t\t\t\"" + layer->TextureSource + "\"");
    writer.WriteLine(indent + std::string(SourceFactor.Name) + "\t\t" + std::to_string(layer->BlendSFactor));
    writer.WriteLine(indent + std::string(DestFactor.Name) + "\t\t" + std::to_string(layer->BlendDFactor));
    writer.WriteLine(indent + std::string(Keys.Name));
    if (layer->Keys)
      for (const auto& key : *layer->Keys) writer.WriteLine(KeyLine(*key));
    writer.WriteLine(indent + "}");
    writer.WriteLine("}");
    writer.WriteLine("");
  }
}

void vtLayerSystem::ListTextures(std::vector<const vtTexture*>& out) const {
  for (const auto& layer : Layers)
    if (layer->Map) out.push_back(layer->Map->Texture.get());
}

// ---- Drawing ----------------------------------------------------------

void vtLayerSystem::Render(float time) {
  if (!Loaded) return;
  for (const auto& layer : Layers) RenderLayer(*layer, time);
}

void vtLayerSystem::RenderLayer(const vtLayer& layer, float time) {
  glDisable(GL_LIGHTING);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_CULL_FACE);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  GlobalFunc->Begin2D(kLayerSpaceWidth, kLayerSpaceHeight);
  glPushMatrix();
  glEnable(GL_BLEND);
  glBlendFunc(static_cast<GLenum>(layer.BlendSFactor), static_cast<GLenum>(layer.BlendDFactor));
  if (layer.Map) layer.Map->Bind();

  vtLayerKey v;
  if (layer.ValuesAt(time, v)) {
    glColor4f(v.Color.R / 255.0f, v.Color.G / 255.0f, v.Color.B / 255.0f, v.Color.A / 255.0f);
    glTranslatef(v.Position.X, v.Position.Y, 0);
    glRotatef(v.Angle, 0, 0, 1);
    const float hw = v.Size.X / 2;
    const float hh = v.Size.Y / 2;
    glBegin(GL_QUADS);
    glTexCoord2f(1, 1);
    glVertex2f(hw, hh);
    glTexCoord2f(1, 0);
    glVertex2f(hw, -hh);
    glTexCoord2f(0, 0);
    glVertex2f(-hw, -hh);
    glTexCoord2f(0, 1);
    glVertex2f(-hw, hh);
    glEnd();
  }

  if (layer.Map) layer.Map->Unbind();
  EndLayer();
}

void vtLayerSystem::EndLayer() {
  glEnable(GL_LIGHTING);
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glPopMatrix();
  GlobalFunc->End2D();
}
