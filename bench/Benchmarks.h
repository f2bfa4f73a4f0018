// The benchmarks of vortane-bench, one per figure of the result table.
// Each takes the arguments after its name and prints its rows.
#pragma once

namespace bench {

int RunFrameBench(int argc, char** argv);
int RunStartupBench(int argc, char** argv);
int RunStartupChild(bool emptyDemo);
int RunClockBench(int argc, char** argv);
int RunTextureBench(int argc, char** argv);
int RunTextBench(int argc, char** argv);
int RunNumbersBench(int argc, char** argv);
int RunLiveBench(int argc, char** argv);
int RunVideoBench(int argc, char** argv);
int RunVideoChild(int argc, char** argv);

}  // namespace bench
