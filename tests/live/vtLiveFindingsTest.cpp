// What the live console is given of the findings: each one once per file,
// until a read of the file no longer finds it.
#include "live/vtLiveFindingsU.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ReadStep {
  const char* What;
  const char* File;  // "" for a finding reported without a read (a wrong extension)
  std::vector<std::string> Found;
  std::vector<std::string> Given;
};

TEST(LiveFindings, TheConsoleIsGivenAFileFindingsOnlyWhenTheyChange) {
  const std::vector<ReadStep> steps = {
      {"first read", "a.txt", {"x"}, {"x"}},
      {"read again, unchanged", "a.txt", {"x"}, {}},
      {"another finding", "a.txt", {"x", "y"}, {"y"}},
      {"one mended", "a.txt", {"y"}, {}},
      {"all mended", "a.txt", {}, {}},
      {"a finding back after a fix", "a.txt", {"y"}, {"y"}},
      {"the same finding in another file", "b.txt", {"y"}, {"y"}},
      {"reported before any read", "", {"ext"}, {"ext"}},
      {"and again", "", {"ext"}, {}},
  };
  vtLiveFindings findings;
  for (const ReadStep& step : steps) {
    const std::string file = *step.File ? step.File : "c.TXT";
    if (*step.File) findings.FileRead(file);
    for (const std::string& code : step.Found) findings.Take({file, 1, code, vtSeverity::Warning, code});
    std::vector<std::string> given;
    for (const vtFinding& finding : findings.TakeNew()) given.push_back(finding.Code);
    EXPECT_EQ(given, step.Given) << step.What;
    EXPECT_EQ(findings.For(file).size(), step.Found.size()) << step.What;
  }
}

}  // namespace
