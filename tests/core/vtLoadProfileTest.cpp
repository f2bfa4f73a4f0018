// The load-phase accounting the start-up benchmark reads: loading the
// sample demo charges each kind of loading work to its own phase, and with
// no profile attached nothing is recorded anywhere.
#include <gtest/gtest.h>

#include <memory>

#include "core/vtLoadProfileU.h"
#include "platform/MessageBox.h"
#include "runtime/vtDSysU.h"
#include "support/GlTest.h"
#include "support/TestGlobals.h"

namespace {

class LoadProfile : public testsupport::DemoGlTest {
 protected:
  int Width() const override { return 64; }
  int Height() const override { return 48; }
  void TearDown() override { AttachLoadProfile(nullptr); }

  void LoadSampleDemo() {
    vtDemoSystem demo;
    ASSERT_TRUE(demo.LoadScript("data\\tunnel_test.vds"));
    demo.SetManualTime(0);
    demo.Init();
  }

  testsupport::ChangeDir cd_{testsupport::SourceDir()};
  platform::MessageBoxRecorder boxes_;
};

TEST_F(LoadProfile, LoadingTheSampleDemoChargesEachPhase) {
  vtLoadProfile profile;
  AttachLoadProfile(&profile);
  LoadSampleDemo();
  AttachLoadProfile(nullptr);
  for (vtLoadPhase phase : {vtLoadPhase::Script, vtLoadPhase::Textures, vtLoadPhase::AseScene,
                            vtLoadPhase::OtherItems, vtLoadPhase::DisplayLists})
    EXPECT_GT(profile.Of(phase), 0.0) << LoadPhaseName(phase);
}

TEST_F(LoadProfile, NothingIsRecordedWithoutAProfile) {
  vtLoadProfile profile;
  AttachLoadProfile(&profile);
  AttachLoadProfile(nullptr);
  LoadSampleDemo();
  for (double seconds : profile.Seconds) EXPECT_EQ(seconds, 0.0);
}

TEST(LoadPhaseScope, ALaterAttachDoesNotChargeAScopeOpenedBefore) {
  vtLoadProfile profile;
  {
    vtLoadPhaseScope outer(vtLoadPhase::Script);
    AttachLoadProfile(&profile);
    {
      vtLoadPhaseScope inner(vtLoadPhase::Textures);
    }
  }  // outer was opened detached: its end charges nothing to Script
  AttachLoadProfile(nullptr);
  EXPECT_EQ(profile.Of(vtLoadPhase::Script), 0.0);
  EXPECT_GT(profile.Of(vtLoadPhase::Textures) + profile.Of(vtLoadPhase::Other), 0.0);
}

}  // namespace
