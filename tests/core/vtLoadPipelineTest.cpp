// The load pipeline: jobs run on workers (in place without any), results
// come back to the main thread in the order they were posted, Finish waits
// for every job, and the thread count comes from VORTANE_LOAD_THREADS.
#include "core/vtLoadPipelineU.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(vtLoadPipeline, TasksRunOnTheMainThreadInTheOrderPosted) {
  for (int threads : {1, 3}) {
    SCOPED_TRACE(threads);
    vtLoadPipeline pipeline(threads);
    EXPECT_EQ(pipeline.Parallel(), threads > 1);
    const std::thread::id main = std::this_thread::get_id();
    std::atomic<int> onWorkers{0};
    std::vector<int> order;
    for (int job = 0; job < 20; ++job) {
      pipeline.RunOnWorker([&, job] {
        if (std::this_thread::get_id() != main) ++onWorkers;
        // Each job posts two results; a job's results keep their order.
        for (int part = 0; part < 2; ++part)
          pipeline.PostToMain([&, job, part] {
            EXPECT_EQ(std::this_thread::get_id(), main);
            order.push_back(2 * job + part);
          });
      });
    }
    pipeline.Finish();
    ASSERT_EQ(order.size(), 40u);
    for (int job = 0; job < 20; ++job) {
      const auto first = std::find(order.begin(), order.end(), 2 * job);
      const auto second = std::find(order.begin(), order.end(), 2 * job + 1);
      EXPECT_LT(first, second);
    }
    EXPECT_EQ(onWorkers, threads > 1 ? 20 : 0);
    if (threads == 1) {  // in place: everything in the order it was asked for
      for (int i = 0; i < 40; ++i) EXPECT_EQ(order[i], i);
    }
  }
}

TEST(vtLoadPipeline, WaitingReturnsWithATaskOrWhenNoJobIsLeft) {
  vtLoadPipeline pipeline(2);
  pipeline.WaitAndRunMainTasks();  // nothing asked: returns at once
  bool ran = false;
  pipeline.RunOnWorker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    pipeline.PostToMain([&] { ran = true; });
  });
  while (!ran) pipeline.WaitAndRunMainTasks();
  EXPECT_EQ(pipeline.RunMainTasks(), 0u);
}

// A job that throws ends like any other job: its exception is raised on
// the main thread, the other jobs' tasks still run, and nothing waits.
TEST(vtLoadPipeline, AJobsExceptionIsRaisedOnTheMainThread) {
  vtLoadPipeline pipeline(2);
  int ran = 0;
  pipeline.RunOnWorker([] { throw std::runtime_error("job failed"); });
  pipeline.RunOnWorker([&] { pipeline.PostToMain([&] { ++ran; }); });
  EXPECT_THROW(pipeline.Finish(), std::runtime_error);
  pipeline.Finish();
  EXPECT_EQ(ran, 1);
}

TEST(vtLoadPipeline, AttachmentsNest) {
  EXPECT_EQ(vtLoadPipeline::Active(), nullptr);
  vtLoadPipeline outer(1), inner(1);
  {
    vtLoadPipeline::Attachment a(outer);
    EXPECT_EQ(vtLoadPipeline::Active(), &outer);
    {
      vtLoadPipeline::Attachment b(inner);
      EXPECT_EQ(vtLoadPipeline::Active(), &inner);
    }
    EXPECT_EQ(vtLoadPipeline::Active(), &outer);
  }
  EXPECT_EQ(vtLoadPipeline::Active(), nullptr);
}

TEST(vtLoadPipeline, ThreadsComeFromTheEnvironmentOrTheCores) {
  const char* saved = std::getenv("VORTANE_LOAD_THREADS");
  const std::string before = saved ? saved : "";
  ::unsetenv("VORTANE_LOAD_THREADS");
  const int cores = vtLoadPipeline::ConfiguredThreads();
  EXPECT_GE(cores, 1);
  const struct {
    const char* Text;
    int Threads;
  } cases[] = {{"1", 1}, {"3", 3}, {"0", cores}, {"-2", cores}, {"two", cores}, {"2x", cores}, {"", cores}};
  for (const auto& c : cases) {
    ::setenv("VORTANE_LOAD_THREADS", c.Text, 1);
    EXPECT_EQ(vtLoadPipeline::ConfiguredThreads(), c.Threads) << '"' << c.Text << '"';
  }
  if (saved)
    ::setenv("VORTANE_LOAD_THREADS", before.c_str(), 1);
  else
    ::unsetenv("VORTANE_LOAD_THREADS");
}

}  // namespace
