// Edit: the player's editor of the demo's files. Each edit names the
// version of the file it was made on (DocumentVersion of its bytes); the
// file is read again, and an edit made on another version is refused, so a
// change saved in a text editor meanwhile is never overwritten. The new
// text is read back with the player's reader before it replaces the file,
// atomically (platform/StagedFile.h). The history keeps, per edit, the
// bytes it replaced and the ones it wrote, so undo and redo give back the
// exact bytes, under the same version rule.
//
// Results carry an HTTP-like status: 200 written, 400 a change the reader
// would refuse or misread, 404 no such item, line or step, 409 the file is
// not the version named (or not the one an undo or redo expects), 500 the
// disk failed (the old file stays whole), each with the reason.
//
// Threads: main thread only (the reader uses GlobalFunc).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "edit/vtDocumentU.h"
#include "edit/vtLayerEditU.h"
#include "edit/vtScriptEditU.h"

struct vtEditResult {
  int Status = 200;
  std::string Why;      // with a status other than 200
  std::string File;     // the engine path written (200)
  std::string Version;  // the file's version after the write (200)
  static vtEditResult Fail(int status, std::string why) { return {status, std::move(why), {}, {}}; }
};

class vtEditor {
 public:
  static constexpr std::size_t kMaxSteps = 1000;  // the oldest steps go beyond this

  // ---- render lines of the script at scriptPath (an engine path)
  // change gets the line's values as they are and sets the new ones.
  vtEditResult EditLine(const std::string& scriptPath, const std::string& version, int item, int line,
                        const std::function<void(vtRenderLineValues&)>& change);
  vtEditResult AddLine(const std::string& scriptPath, const std::string& version, int item,
                       const vtRenderLineValues& values);
  vtEditResult DeleteLine(const std::string& scriptPath, const std::string& version, int item, int line);

  // ---- items (channels) of the script. file: as the script names it,
  // relative to the work folder; the caller has checked where it leads.
  vtEditResult AddItem(const std::string& scriptPath, const std::string& version, int at, const std::string& type,
                       const std::string& file);
  vtEditResult DeleteItem(const std::string& scriptPath, const std::string& version, int item);
  // The item goes to position `to` of the drawing order.
  vtEditResult MoveItem(const std::string& scriptPath, const std::string& version, int item, int to);

  // ---- keys of the layer file at path (an engine path): layers and keys
  // named by their place in the file, from 0. Keys stay in time order (a
  // key moved past another moves its line); two keys of a layer never
  // share a time (400).
  // The layers as the player reads them, and the file's version.
  vtEditResult ReadLayers(const std::string& path, vtLayerModel& model, std::string& version);
  // change gets the key's values as they are and sets the new ones.
  vtEditResult EditKey(const std::string& path, const std::string& version, int layer, int key,
                       const std::function<void(vtKeyValues&)>& change);
  // set gets the values of the key before the new one's time (else the
  // first key's; white and opaque in an empty layer) and sets those given.
  vtEditResult AddKey(const std::string& path, const std::string& version, int layer,
                      const std::function<void(vtKeyValues&)>& set);
  vtEditResult DeleteKey(const std::string& path, const std::string& version, int layer, int key);

  // ---- history
  vtEditResult Undo();
  vtEditResult Redo();
  std::size_t UndoSteps() const { return undo_.size(); }
  std::size_t RedoSteps() const { return redo_.size(); }

 private:
  // One edit: at byte At of File, Before was replaced by After.
  struct Step {
    std::string File;
    std::size_t At = 0;
    std::string Before, After;
    std::string VersionBefore, VersionAfter;
  };
  // Fills the model the script must read as afterwards, and the ways to
  // get there, best first (the first that reads back so is written).
  using Candidates = std::vector<std::vector<vtLineChange>>;
  template <typename Model>
  using Change = std::function<vtEditResult(const vtDocument&, Model& expected, Candidates&)>;
  // The player's reader of a kind of file, and its test of two readings.
  template <typename Model>
  using ReadModel = bool (*)(const std::string& path, Model& model, std::string& why);
  template <typename Model>
  using SameModel = bool (Model::*)(const Model& other) const;

  vtEditResult EditScript(const std::string& scriptPath, const std::string& version,
                          const Change<vtScriptModel>& change);
  // The change gets the layer's entry in the model expected afterwards
  // (404 without that layer, 400 without its keys block).
  using LayerChange = std::function<vtEditResult(const vtDocument&, vtLayerEntry& expected, Candidates&)>;
  vtEditResult EditLayer(const std::string& path, const std::string& version, int layer, const LayerChange& change);
  template <typename Model>
  vtEditResult EditFile(const std::string& path, const std::string& version, ReadModel<Model> read,
                        SameModel<Model> same, const Change<Model>& change);
  vtEditResult WriteFirstThatReads(const std::string& path, const vtDocument& document, const Candidates& ways,
                                   const std::function<bool(const std::string& staged, std::string& why)>& check);
  vtEditResult WriteChecked(const std::string& path, const vtDocument& document, const std::string& bytes,
                            const std::function<bool(const std::string& staged, std::string& why)>& check,
                            bool remember = true);
  vtEditResult Replay(std::vector<Step>& from, std::vector<Step>& to, bool forward);
  void Remember(const std::string& path, const vtDocument& document, const std::string& bytes);

  std::vector<Step> undo_, redo_;
};
