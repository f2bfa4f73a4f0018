// The exchange between the main loop and the server's threads: the
// command queue, the state snapshot, the events and stopping.
#include "studio/vtStudioExchangeU.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/AllocCounter.h"

namespace {

using std::chrono::milliseconds;

vtStudioCommand Seek(float ms) { return {vtStudioCommandKind::Seek, ms, 0}; }

TEST(StudioExchange, CommandsAreTakenInOrderOnceAndCountAsAppliedWithTheNextState) {
  vtStudioExchange exchange;
  const std::uint64_t first = exchange.Push(Seek(1)), second = exchange.Push(Seek(2));
  EXPECT_EQ(second, first + 1);
  vtStudioState state;
  EXPECT_FALSE(exchange.WaitApplied(first, milliseconds(0), state)) << "nothing taken yet";
  std::vector<vtStudioCommand> taken;
  exchange.TakeCommands(taken);
  ASSERT_EQ(taken.size(), 2u);
  EXPECT_EQ(taken[0].Value, 1);
  EXPECT_EQ(taken[1].Value, 2);
  EXPECT_FALSE(exchange.WaitApplied(second, milliseconds(0), state)) << "taken, not yet published";
  vtStudioState published;
  published.TimeMs = 2;
  exchange.PublishState(published);
  EXPECT_TRUE(exchange.WaitApplied(second, milliseconds(0), state));
  EXPECT_EQ(state.TimeMs, 2);
  exchange.TakeCommands(taken);
  EXPECT_TRUE(taken.empty()) << "each command is taken once";
}

TEST(StudioExchange, AFrameWithoutCommandsAllocatesNothing) {
  vtStudioExchange exchange;
  std::vector<vtStudioCommand> taken;
  taken.reserve(8);
  exchange.Push(Seek(1));
  exchange.TakeCommands(taken);  // the queue now holds the reserved storage
  testsupport::NewCallCounter counter;
  for (int frame = 0; frame < 100; ++frame) {
    exchange.TakeCommands(taken);
    exchange.PublishState(vtStudioState());
  }
  EXPECT_EQ(counter.OwnCalls(), 0u);
}

TEST(StudioExchange, AWaitingCommandWakesWithTheFrameThatAppliedIt) {
  vtStudioExchange exchange;
  const std::uint64_t ticket = exchange.Push(Seek(5));
  std::thread mainLoop([&] {
    std::this_thread::sleep_for(milliseconds(20));
    std::vector<vtStudioCommand> taken;
    exchange.TakeCommands(taken);
    vtStudioState state;
    state.TimeMs = taken.at(0).Value;
    exchange.PublishState(state);
  });
  vtStudioState state;
  EXPECT_TRUE(exchange.WaitApplied(ticket, milliseconds(20000), state));
  EXPECT_EQ(state.TimeMs, 5);
  mainLoop.join();
}

// An edit no frame took in time is withdrawn (nothing may apply it later);
// one a frame took is answered, however long it takes.
TEST(StudioExchange, AnEditIsWithdrawnUntilTakenAndAnsweredOnceTaken) {
  vtStudioExchange exchange;
  vtStudioReply reply;
  EXPECT_FALSE(exchange.WaitEdit(exchange.PushEdit({}), milliseconds(1), reply));
  std::vector<std::pair<std::uint64_t, vtStudioEdit>> taken;
  exchange.TakeEdits(taken);
  EXPECT_TRUE(taken.empty());

  const std::uint64_t ticket = exchange.PushEdit({});
  exchange.TakeEdits(taken);
  std::thread mainLoop([&] {
    std::this_thread::sleep_for(milliseconds(30));
    exchange.FinishEdit(ticket, {409, {{"error", "stale"}}});
  });
  EXPECT_TRUE(exchange.WaitEdit(ticket, milliseconds(1), reply));
  EXPECT_EQ(reply.Status, 409);
  mainLoop.join();
}

TEST(StudioExchange, TheQueueIsBoundedAndStopRefusesAndWakes) {
  vtStudioExchange exchange;
  for (std::size_t i = 0; i < vtStudioExchange::kMaxQueuedCommands; ++i) EXPECT_NE(exchange.Push(Seek(0)), 0u);
  EXPECT_EQ(exchange.Push(Seek(0)), 0u) << "a main loop not taking commands lets no queue grow";
  std::vector<vtStudioEvent> events;
  std::thread stopper([&] {
    std::this_thread::sleep_for(milliseconds(20));
    exchange.Stop();
  });
  EXPECT_FALSE(exchange.EventsAfter(0, milliseconds(60000), events)) << "woken by Stop";
  stopper.join();
  vtStudioState state;
  EXPECT_FALSE(exchange.WaitApplied(1, milliseconds(60000), state));
  EXPECT_TRUE(exchange.Stopped());
  std::vector<vtStudioCommand> taken;
  exchange.TakeCommands(taken);
  EXPECT_EQ(exchange.Push(Seek(0)), 0u);
}

TEST(StudioExchange, EventsAreNumberedAndTheNewestKept) {
  vtStudioExchange exchange;
  const std::size_t posted = vtStudioExchange::kKeptEvents + 10;
  for (std::size_t i = 1; i <= posted; ++i) exchange.PostEvent("message", std::to_string(i));
  EXPECT_EQ(exchange.LastEventId(), posted);
  std::vector<vtStudioEvent> events;
  ASSERT_TRUE(exchange.EventsAfter(0, milliseconds(0), events));
  ASSERT_EQ(events.size(), vtStudioExchange::kKeptEvents);
  EXPECT_EQ(events.front().Id, 11u);
  EXPECT_EQ(events.front().Data, "11");
  EXPECT_EQ(events.back().Id, posted);
  ASSERT_TRUE(exchange.EventsAfter(posted - 2, milliseconds(0), events));
  EXPECT_EQ(events.size(), 2u);
  EXPECT_FALSE(exchange.EventsAfter(posted, milliseconds(0), events));
  std::thread poster([&] {
    std::this_thread::sleep_for(milliseconds(20));
    exchange.PostEvent("reload", "{}");
  });
  ASSERT_TRUE(exchange.EventsAfter(posted, milliseconds(60000), events)) << "woken by the event";
  EXPECT_EQ(events.at(0).Name, "reload");
  poster.join();
}

TEST(StudioExchange, TheWaveformIsEmptyUntilReadAndWaitedForWhileReading) {
  vtStudioExchange exchange;
  auto none = exchange.Waveform(milliseconds(0));
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->Min.empty()) << "no music";
  exchange.WaveformPending();
  EXPECT_FALSE(exchange.Waveform(milliseconds(0)));
  auto wave = std::make_shared<vtWaveform>();
  wave->Min = {0.5f};
  std::thread worker([&] {
    std::this_thread::sleep_for(milliseconds(20));
    exchange.PublishWaveform(wave);
  });
  EXPECT_EQ(exchange.Waveform(milliseconds(60000)), wave);
  worker.join();
}

}  // namespace
