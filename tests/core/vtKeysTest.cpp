#include "core/vtKeysU.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "core/vtFindingsU.h"
#include "core/vtTextU.h"

namespace {

// A value written behind any valued key is what the cut leaves, so no key's
// cut letter stands in the value's place.
TEST(vtKeys, TheCutOfEveryValuedKeyLeavesItsValue) {
  for (size_t t = 0; t < KeyTableCount(); ++t) {
    for (const vtKey& key : KeyTables()[t]) {
      if (key.Kind != vtValueKind::Integer && key.Kind != vtValueKind::Decimal) continue;
      const std::string line = "\t" + std::string(key.Name) + " 7";
      EXPECT_EQ(line.substr(CutBehindLast(line, key.Cut())), "7") << key.Name;
    }
  }
}

TEST(vtKeys, EachBlockIsOpenedByAKeyOfItsFormat) {
  for (size_t t = 0; t < KeyTableCount(); ++t) {
    std::set<std::string_view> openers;
    std::set<std::pair<std::string_view, std::string_view>> seen;
    for (const vtKey& key : KeyTables()[t])
      if (key.Kind == vtValueKind::Block) openers.insert(key.Name);
    for (const vtKey& key : KeyTables()[t]) {
      EXPECT_TRUE(key.Block.empty() || openers.count(key.Block)) << key.Name;
      EXPECT_TRUE(seen.insert({key.Name, key.Block}).second) << "listed twice: " << key.Name;
    }
  }
}

TEST(vtKeys, TablesAreFoundByTheirReadersExtension) {
  for (const char* extension : {"vds", "vtl", "vtt", "vtk", "vto", "vts", "ase"})
    EXPECT_EQ(KeyTableFor(extension)->Extension, extension);
  EXPECT_EQ(KeyTableFor("VTL"), nullptr);
}

TEST(vtFindings, GoToTheInstalledSinkOnlyWhileItsScopeLasts) {
  vtFindingList outer, inner;
  ReportFinding({"a.vtl", 1, "dropped", vtSeverity::Warning, ""});
  EXPECT_FALSE(FindingsWanted());
  {
    vtFindingsScope outerScope(outer);
    {
      vtFindingsScope innerScope(inner);
      ReportFinding({"a.vtl", 2, "inner", vtSeverity::Error, ""});
    }
    const std::string namedIn = "b.vtl";
    vtFindingPlace place(namedIn, 7);
    ReportFinding({"", 0, "outer", vtSeverity::Warning, ""});
    EXPECT_TRUE(FindingsWanted());
    const vtFindingsMuted muted;  // a staged copy's check
    ReportFinding({"a.vtl", 3, "muted", vtSeverity::Warning, ""});
    EXPECT_FALSE(FindingsWanted());
  }
  EXPECT_FALSE(FindingsWanted());
  ASSERT_EQ(inner.Findings().size(), 1u);
  EXPECT_EQ(inner.Findings()[0].Code, "inner");
  ASSERT_EQ(outer.Findings().size(), 1u);
  EXPECT_EQ(outer.Findings()[0].File, "b.vtl");
  EXPECT_EQ(outer.Findings()[0].Line, 7);
}

}  // namespace
