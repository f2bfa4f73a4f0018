// vortane-synth OUT.ogg: renders the sample demo's tune (60 seconds,
// 44100 Hz stereo) to Ogg Vorbis.
#include <cstdio>

#include "Synth.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vortane-synth OUT.ogg\n");
    return 2;
  }
  const int rate = 44100, bars = 30;
  synth::Stereo tune = synth::RenderTune(rate, bars);
  if (!synth::WriteOggVorbis(tune, rate, 0.3, argv[1])) {
    std::fprintf(stderr, "vortane-synth: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
