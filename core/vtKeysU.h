// The keys of the description files: one table per format.
//
// The readers test their lines with these names and cut values behind a
// key's last letter (vtKey::Cut); the checker finds lines through the same
// tables, and the format reference is tested against them. A key added to
// a reader therefore cannot be unknown to the checker or missing from the
// reference.
//
// Plain constant data: any thread may read it.
#pragma once

#include <cstddef>
#include <string_view>

enum class vtValueKind {
  None,     // the key alone; its presence acts
  Integer,  // one decimal integer, nothing after it
  Decimal,  // one decimal number; anything after it reads as 0.0
  Quoted,   // text between the line's first and last double quote
  Words,    // blank-separated values read word by word
  Block,    // opens a block that ends at the next line holding "}"
};

struct vtKey {
  std::string_view Name;  // as written in a line; a block opener ends in " {"
  vtValueKind Kind;
  std::string_view Block;  // the opener of the block it stands in; empty: outside any block
  bool SpacingMatters;     // blanks after the value change what is read
  int Gap = 1;             // blanks the reader drops between the key and its value

  // The readers cut a value out behind the last occurrence of this letter.
  constexpr char Cut() const { return Name.back(); }
};

// A format's keys, in the order its reader tests them.
struct vtKeyTable {
  std::string_view Format;     // what the files hold, for messages
  std::string_view Extension;  // the extension the reader requires
  const vtKey* Keys;
  std::size_t Count;

  const vtKey* begin() const { return Keys; }
  const vtKey* end() const { return Keys + Count; }
};

template <std::size_t N>
constexpr vtKeyTable MakeKeyTable(std::string_view format, std::string_view extension, const vtKey (&keys)[N]) {
  return {format, extension, keys, N};
}

// The demo script (.vds).
namespace vtScriptKeys {
inline constexpr vtKey Logger{"VT_LOGGER", vtValueKind::None, "", false};
inline constexpr vtKey DemoName{"VT_DEMO_NAME", vtValueKind::Quoted, "", false};
inline constexpr vtKey WindowWidth{"VT_WINDOW_WIDTH", vtValueKind::Integer, "", true};
inline constexpr vtKey WindowHeight{"VT_WINDOW_HEIGHT", vtValueKind::Integer, "", true};
inline constexpr vtKey WindowBits{"VT_WINDOW_BITS", vtValueKind::Integer, "", true};
inline constexpr vtKey FullScreen{"VT_FULLSCREEN", vtValueKind::None, "", false};
inline constexpr vtKey DebugMode{"VT_DEBUG_MODE", vtValueKind::None, "", false};
inline constexpr vtKey Music{"VT_BASS_MUSIC", vtValueKind::Quoted, "", false};
inline constexpr vtKey MusicTimer{"VT_BASS_TIMER", vtValueKind::None, "", false};
inline constexpr vtKey Cursor{"VT_CURSOR", vtValueKind::None, "", false};
inline constexpr vtKey SpaceStop{"VT_SPACESTOP", vtValueKind::None, "", false};
inline constexpr vtKey StreamMode{"VT_STREAM_MODE", vtValueKind::Quoted, "", false};
inline constexpr vtKey EndTime{"VT_DEMO_ENDTIME", vtValueKind::Integer, "", true};
inline constexpr vtKey Channel{"VT_RENDER_CHANNEL {", vtValueKind::Block, "", false};
inline constexpr vtKey ItemType{"VT_RENDER_ITEMS_TYPE", vtValueKind::Quoted, Channel.Name, false};
inline constexpr vtKey ItemFile{"VT_RENDER_ITEMS_FILE", vtValueKind::Quoted, Channel.Name, false};
inline constexpr vtKey Lines{"VT_RENDER_LINES {", vtValueKind::Block, Channel.Name, false};
inline constexpr vtKey Line{"VT_RENDER_TIMES_BEGIN_END", vtValueKind::Words, Lines.Name, false};

inline constexpr vtKey kAll[] = {Logger,    DemoName, WindowWidth, WindowHeight, WindowBits, FullScreen,
                                 DebugMode, Music,    MusicTimer,  Cursor,       SpaceStop,  StreamMode,
                                 EndTime,   Channel,  ItemType,    ItemFile,     Lines,      Line};
}  // namespace vtScriptKeys

// Layer files (.vtl).
namespace vtLayerKeys {
inline constexpr vtKey Layer{"VT_LAYER {", vtValueKind::Block, "", false};
inline constexpr vtKey Picture{"VT_TEXT_SOURCE", vtValueKind::Quoted, Layer.Name, false};
inline constexpr vtKey SourceFactor{"VT_BLEND_SFACTOR", vtValueKind::Integer, Layer.Name, true};
inline constexpr vtKey DestFactor{"VT_BLEND_DFACTOR", vtValueKind::Integer, Layer.Name, true};
inline constexpr vtKey Keys{"VT_KEYS {", vtValueKind::Block, Layer.Name, false};
inline constexpr vtKey Key{"VT_KEY", vtValueKind::Words, Keys.Name, false};

inline constexpr vtKey kAll[] = {Layer, Picture, SourceFactor, DestFactor, Keys, Key};
}  // namespace vtLayerKeys

// Transformations (.vtt). VT_ROTATE stands in both blocks, with an angle
// in one and a time divisor in the other.
namespace vtTransKeys {
inline constexpr vtKey Static{"VT_STATIC_TRANSFORMATION {", vtValueKind::Block, "", false};
inline constexpr vtKey Dynamic{"VT_DYNAMIC_TRANSFORMATION {", vtValueKind::Block, "", false};
inline constexpr vtKey Translate{"VT_TRANSLATE", vtValueKind::Words, Static.Name, true};
inline constexpr vtKey Rotate{"VT_ROTATE", vtValueKind::Words, Static.Name, true, 2};
inline constexpr vtKey Spin{"VT_ROTATE", vtValueKind::Words, Dynamic.Name, true, 2};

inline constexpr vtKey kAll[] = {Static, Dynamic, Translate, Rotate, Spin};
}  // namespace vtTransKeys

// Skies (.vtk). VT_TEXT_SOURCE alone gives all six faces one picture.
namespace vtSkyKeys {
inline constexpr vtKey Name{"VT_SKY_NAME", vtValueKind::Quoted, "", false};
inline constexpr vtKey Shape{"VT_SKY_TYPE", vtValueKind::Quoted, "", false};
inline constexpr vtKey Size{"VT_SKY_SIZE", vtValueKind::Integer, "", true};
inline constexpr vtKey Picture{"VT_TEXT_SOURCE", vtValueKind::Quoted, "", false};
inline constexpr vtKey NegX{"VT_TEXT_SOURCE_NEGX", vtValueKind::Quoted, "", false};
inline constexpr vtKey NegY{"VT_TEXT_SOURCE_NEGY", vtValueKind::Quoted, "", false};
inline constexpr vtKey NegZ{"VT_TEXT_SOURCE_NEGZ", vtValueKind::Quoted, "", false};
inline constexpr vtKey PosX{"VT_TEXT_SOURCE_POSX", vtValueKind::Quoted, "", false};
inline constexpr vtKey PosY{"VT_TEXT_SOURCE_POSY", vtValueKind::Quoted, "", false};
inline constexpr vtKey PosZ{"VT_TEXT_SOURCE_POSZ", vtValueKind::Quoted, "", false};

inline constexpr vtKey kAll[] = {Name, Shape, Size, Picture, NegX, NegY, NegZ, PosX, PosY, PosZ};
}  // namespace vtSkyKeys

// Meshes (.vto).
namespace vtMeshKeys {
inline constexpr vtKey Info{"VT_MESH_INFO {", vtValueKind::Block, "", false};
inline constexpr vtKey MeshType{"VT_MESH_TYPE", vtValueKind::None, Info.Name, false};
inline constexpr vtKey Name{"VT_MESH_NAME", vtValueKind::Quoted, Info.Name, false};
inline constexpr vtKey Generator{"VT_GEN_TYPE", vtValueKind::Quoted, Info.Name, false};
inline constexpr vtKey Parameters{"VT_PARAMETER {", vtValueKind::Block, Info.Name, false};
inline constexpr vtKey Radius{"VT_RADIUS", vtValueKind::Decimal, Parameters.Name, true};
inline constexpr vtKey Width{"VT_WITH", vtValueKind::Decimal, Parameters.Name, true};
inline constexpr vtKey Stacks{"VT_STACKS", vtValueKind::Integer, Parameters.Name, true};
inline constexpr vtKey Slices{"VT_SLICES", vtValueKind::Integer, Parameters.Name, true};

inline constexpr vtKey kAll[] = {Info, MeshType, Name, Generator, Parameters, Radius, Width, Stacks, Slices};
}  // namespace vtMeshKeys

// Tunnels (.vts).
namespace vtTunnelKeys {
inline constexpr vtKey Picture{"VT_DIFFUSE_MAP", vtValueKind::Quoted, "", false};
inline constexpr vtKey Effect{"VT_EFFECT", vtValueKind::Quoted, "", false};

inline constexpr vtKey kAll[] = {Picture, Effect};
}  // namespace vtTunnelKeys

// ASE scenes (.ase): the tags the reader acts on or tells apart. Their
// blocks nest, so a tag names the block it is read in; the map tags stand
// in *MAP_REFLECT blocks as well.
namespace vtSceneKeys {
inline constexpr vtKey Header{"*3DSMAX_ASCIIEXPORT", vtValueKind::Words, "", false};
inline constexpr vtKey Comment{"*COMMENT", vtValueKind::Quoted, "", false};
inline constexpr vtKey Scene{"*SCENE {", vtValueKind::Block, "", false};
inline constexpr vtKey MaterialList{"*MATERIAL_LIST {", vtValueKind::Block, "", false};
inline constexpr vtKey MaterialCount{"*MATERIAL_COUNT", vtValueKind::Integer, MaterialList.Name, false};
inline constexpr vtKey Material{"*MATERIAL", vtValueKind::Block, MaterialList.Name, false};
inline constexpr vtKey MaterialName{"*MATERIAL_NAME", vtValueKind::Quoted, Material.Name, false};
inline constexpr vtKey Ambient{"*MATERIAL_AMBIENT", vtValueKind::Words, Material.Name, true};
inline constexpr vtKey Diffuse{"*MATERIAL_DIFFUSE", vtValueKind::Words, Material.Name, true};
inline constexpr vtKey Specular{"*MATERIAL_SPECULAR", vtValueKind::Words, Material.Name, true};
inline constexpr vtKey Shine{"*MATERIAL_SHINE", vtValueKind::Decimal, Material.Name, true};
inline constexpr vtKey ShineStrength{"*MATERIAL_SHINESTRENGTH", vtValueKind::Decimal, Material.Name, false};
inline constexpr vtKey Transparency{"*MATERIAL_TRANSPARENCY", vtValueKind::Decimal, Material.Name, true};
inline constexpr vtKey DiffuseMap{"*MAP_DIFFUSE {", vtValueKind::Block, Material.Name, false};
inline constexpr vtKey ReflectMap{"*MAP_REFLECT {", vtValueKind::Block, Material.Name, false};
inline constexpr vtKey Bitmap{"*BITMAP", vtValueKind::Quoted, DiffuseMap.Name, false};
inline constexpr vtKey BitmapFilter{"*BITMAP_FILTER", vtValueKind::Words, DiffuseMap.Name, false};
inline constexpr vtKey OffsetU{"*UVW_U_OFFSET", vtValueKind::Decimal, DiffuseMap.Name, true};
inline constexpr vtKey OffsetV{"*UVW_V_OFFSET", vtValueKind::Decimal, DiffuseMap.Name, true};
inline constexpr vtKey TilingU{"*UVW_U_TILING", vtValueKind::Decimal, DiffuseMap.Name, true};
inline constexpr vtKey TilingV{"*UVW_V_TILING", vtValueKind::Decimal, DiffuseMap.Name, true};
inline constexpr vtKey Object{"*GEOMOBJECT {", vtValueKind::Block, "", false};
inline constexpr vtKey Node{"*NODE_TM {", vtValueKind::Block, Object.Name, false};
inline constexpr vtKey NodeName{"*NODE_NAME", vtValueKind::Quoted, Node.Name, false};
inline constexpr vtKey MaterialRef{"*MATERIAL_REF", vtValueKind::Integer, Object.Name, true};
inline constexpr vtKey Mesh{"*MESH {", vtValueKind::Block, Object.Name, false};
inline constexpr vtKey VertexList{"*MESH_VERTEX_LIST {", vtValueKind::Block, Mesh.Name, false};
inline constexpr vtKey Vertex{"*MESH_VERTEX", vtValueKind::Words, VertexList.Name, true};
inline constexpr vtKey FaceList{"*MESH_FACE_LIST {", vtValueKind::Block, Mesh.Name, false};
inline constexpr vtKey Face{"*MESH_FACE", vtValueKind::Words, FaceList.Name, false};
inline constexpr vtKey TexVertexList{"*MESH_TVERTLIST {", vtValueKind::Block, Mesh.Name, false};
inline constexpr vtKey TexVertex{"*MESH_TVERT", vtValueKind::Words, TexVertexList.Name, true};
inline constexpr vtKey TexFaceList{"*MESH_TFACELIST {", vtValueKind::Block, Mesh.Name, false};
inline constexpr vtKey TexFace{"*MESH_TFACE", vtValueKind::Words, TexFaceList.Name, false};
inline constexpr vtKey Normals{"*MESH_NORMALS", vtValueKind::Block, Mesh.Name, false};
inline constexpr vtKey VertexNormal{"*MESH_VERTEXNORMAL", vtValueKind::Words, Normals.Name, true};
inline constexpr vtKey Count{"*MESH_NUM", vtValueKind::Integer, Mesh.Name, false};  // *MESH_NUMVERTEX and the like

inline constexpr vtKey kAll[] = {
    Header,       Comment,  Scene,      MaterialList,  MaterialCount, Material,   MaterialName,  Ambient,
    Diffuse,      Specular, Shine,      ShineStrength, Transparency,  DiffuseMap, ReflectMap,    Bitmap,
    BitmapFilter, OffsetU,  OffsetV,    TilingU,       TilingV,       Object,     Node,          NodeName,
    MaterialRef,  Mesh,     VertexList, Vertex,        FaceList,      Face,       TexVertexList, TexVertex,
    TexFaceList,  TexFace,  Normals,    VertexNormal,  Count};
}  // namespace vtSceneKeys

// Every format, the script first.
const vtKeyTable* KeyTables();
std::size_t KeyTableCount();
// The table of the format with this extension (exact), or nullptr.
const vtKeyTable* KeyTableFor(std::string_view extension);
