// Edit: the demo script as the player reads it, and the line changes that
// edit its render lines and channels. The script is read by the player's
// own reader (vtDemoSystem::LoadScript), which notes on which line each
// channel and render line stood; nothing here parses the grammar a second
// time. A change is checked by reading the changed text back with the same
// reader (vtEditor does that before anything is written).
//
// Threads: main thread (the reader uses GlobalFunc).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "edit/vtDocumentU.h"
#include "runtime/vtRItemU.h"

struct vtRenderLineValues {
  std::int32_t Begin = 0, End = 0;  // ms
  std::int32_t Mode = 0;            // 0 or 1
  std::string Play = "vt_PLAY";     // "vt_PLAY" or "vt_UNPLAY" (or the tag as read)
  bool operator==(const vtRenderLineValues& o) const {
    return Begin == o.Begin && End == o.End && Mode == o.Mode && Play == o.Play;
  }
};

struct vtScriptLine {
  vtRenderLineValues Values;
  int At = 0;  // its line in the script
};

struct vtScriptItem {
  std::string Type;  // "vt_2D_VTL", ...
  std::string File;  // the engine path
  vtScriptPlace Place;
  std::vector<vtScriptLine> Lines;
};

// What the reader made of a script: the items in drawing order and the
// settings a change of lines must leave alone.
struct vtScriptModel {
  std::vector<vtScriptItem> Items;
  float EndTime = -1;
  std::string DemoName, Music;
  // Equal as the player would play them (the line numbers aside).
  bool SameDemo(const vtScriptModel& other) const;
};

// Reads the script at path (an engine or disk path ending in .vds) with
// the player's reader, opening neither log nor music. False with the
// reason when it cannot be opened or does not read to its end.
bool ReadScriptModel(const std::string& path, vtScriptModel& model, std::string& why);

// The changes that give line `line` of item `item` the values: its
// numbers and its tag are replaced where they stand, every other byte of
// the line stays. False when the line is not laid out as the reader reads
// it (then WholeRenderLine gives the line anew).
bool PatchRenderLine(const vtDocument& document, int at, const vtRenderLineValues& values, vtLineChange& change);
// The render line as one new line with the indentation of line `like`.
std::string WholeRenderLine(const vtDocument& document, int like, const vtRenderLineValues& values);

// The extension the reader of an item kind takes ("vtl" for
// "vt_2D_VTL"); nullptr for a name that is no item kind.
const char* ItemExtension(const std::string& type);

// A new item's file as the script will name it: '/' written '\\', inside
// demoFolder (a canonical disk path) once links are followed, with the
// extension of the type's reader. False with the reason: an absolute
// path, "..", a link out of the folder, a quote or a control character.
bool CheckItemFile(const std::string& workDir, const std::string& demoFolder, const std::string& type,
                   std::string& file, std::string& why);

// The lines an item's channel holds: from its opening line through the
// line that ends it, a lone "}" right behind (the usual second brace) and
// one empty line after that.
struct vtChannelSpan {
  int First = 0, Count = 0;
};
vtChannelSpan ChannelSpan(const vtDocument& document, const vtScriptItem& item);
// The first line of the comment lines ("#" first) right above the item's
// channel, which describe it and go where it goes; the channel's own line
// when there are none. Comment lines that begin the file are the file's,
// and one holding a brace stays (a brace counts even in a comment).
int ChannelLead(const vtDocument& document, const vtScriptItem& item);
// The texts of those lines, in order.
std::vector<std::string> SpanTexts(const vtDocument& document, vtChannelSpan span);
// Where a channel goes to stand at position `at` among items (the others
// as they are): after the span of item at - 1, or before the first item's
// channel and its comment lines; at the end of a script without items.
int ChannelPlace(const vtDocument& document, const std::vector<vtScriptItem>& items, int at);
// A new channel of that type and file (as the script writes it) with an
// empty lines block, to stand at place `at` among items (0..size): laid
// out like the channel before it (the first one's at 0).
std::vector<std::string> NewChannel(const vtDocument& document, const std::vector<vtScriptItem>& items, int at,
                                    const std::string& type, const std::string& file);

// A new render line at the end of the item's lines (with the indentation
// and line end of its last line); an item without a lines block gets one
// before the "}" that ends its channel.
std::vector<vtLineChange> AddRenderLine(const vtDocument& document, const vtScriptItem& item,
                                        const vtRenderLineValues& values);
