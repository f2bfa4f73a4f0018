// The demo player: plays data\tunnel_test.vds of the folder named on the
// command line, or of the working directory.
#include <cstdio>
#include <string>

#include "app/vtMainU.h"
#include "app/vtNewDemoU.h"
#include "app/vtOptionsU.h"
#include "check/vtCheckU.h"
#include "platform/Files.h"
#include "runtime/vtStartU.h"

namespace {

// --check: the demo read as the player would read it, its findings printed.
int RunCheck(const vtPlayerOptions& options) {
  std::string error;
  if (!options.DemoDir.empty() && !EnterDemoFolder(options.DemoDir, kDemoScript, error)) {
    std::fprintf(stderr, "vortane: %s\n", error.c_str());
    return 1;
  }
  CreateProgramObjects();
  const vtCheckResult result = CheckDemo(kDemoScript);
  std::fputs((options.Json ? FindingsJson(result) : FindingsText(result)).c_str(), stdout);
  return result.Errors > 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  vtPlayerOptions options;
  std::string error;
  if (!ParsePlayerOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "vortane: %s\n\n%s", error.c_str(), kPlayerUsage);
    return 2;
  }
  if (options.Help || options.Version) {
    std::fputs(options.Help ? kPlayerUsage : kPlayerVersion, stdout);
    if (!options.Help) std::fputs("\n", stdout);
    return 0;
  }
  if (!options.NewDir.empty()) {
    if (!CreateNewDemo(options.NewDir, error)) {
      std::fprintf(stderr, "vortane: %s\n", error.c_str());
      return 1;
    }
    std::printf("vortane: a new demo in %s; play it with: vortane %s\n", options.NewDir.c_str(),
                options.NewDir.c_str());
    return 0;
  }
  if (options.Check) return RunCheck(options);
  // Before the program objects: GlobalFunc takes the working directory.
  if (!options.DemoDir.empty() && !EnterDemoFolder(options.DemoDir, kDemoScript, error)) {
    std::fprintf(stderr, "vortane: %s\n", error.c_str());
    return 1;
  }
  // Started anywhere, the player still opens its empty window (as it always
  // did); a newcomer is told why it stays empty.
  if (options.DemoDir.empty() && !platform::IsRegularFile(kDemoScript))
    std::fprintf(stderr, "%s", kNoDemoHere);
  CreateProgramObjects();
  return RunProgram(options);
}
