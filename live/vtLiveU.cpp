#include "live/vtLiveU.h"

#include <GL/gl.h>

#include "core/vtFuncU.h"
#include "platform/Memory.h"
#include "runtime/vtDSysU.h"

vtLiveSession::vtLiveSession(vtDemoSystem& demo, const std::string& scriptPath)
    : demo_(demo), reloads_(demo, scriptPath) {
  demo_.HoldAtEnd = true;  // the author seeks, loops or quits
  if (GlobalFunc) console_.SetWorkDir(GlobalFunc->WorkDir);
  console_.Attach();
  platform::MapLargeBlocksApart();
}

vtLiveSession::~vtLiveSession() {
  console_.Detach();
  console_.ReleaseFont();
}

bool vtLiveSession::Start() { return reloads_.Start(); }

bool vtLiveSession::BeforeFrame(std::uint32_t nowMs) {
  console_.SetNow(nowMs, demo_.CurrentTime);
  if (reloads_.Reloads() != reloadsSeen_) {
    reloadsSeen_ = reloads_.Reloads();
    platform::ReturnFreeMemory();
  }
  const bool changed = reloads_.Poll(nowMs);
  ShowNewFindings(nowMs);
  return changed;
}

// Each finding is one warning line; one that has its message box already
// has its line.
void vtLiveSession::ShowNewFindings(std::uint32_t nowMs) {
  for (const vtFinding& finding : findings_.TakeNew()) {
    if (FindingHasItsBox(finding)) continue;
    const std::string line = FindingLine(finding, GlobalFunc ? GlobalFunc->WorkDir : std::string());
    console_.Add({kCaptionWarning, line, platform::MsgIcon::Warning, platform::MsgButtons::Ok}, nowMs);
  }
}

void vtLiveSession::AfterFrame(std::uint32_t nowMs) {
  if (demo_.Items.empty()) glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  console_.Draw(nowMs);
}
