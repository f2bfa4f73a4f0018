// Small music files made by the tests themselves: sampled sound written
// with libsndfile, and a tiny tracker module built from bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// Interleaved 16-bit tones (a different pitch per channel), so every
// frame of the first seconds differs from its neighbours.
std::vector<std::int16_t> TestTones(int frames, int channels, int rate);

// Whether this libsndfile can write the format (SF_FORMAT_* major|subtype).
bool CanWriteSound(int format, int rate, int channels);

// Writes the samples as a sound file; false when libsndfile refuses.
bool WriteSound(const std::string& path, int format, int rate, int channels,
                const std::vector<std::int16_t>& samples);

// Writes frames of a sine of peak `level` (full scale: 1) at `hz`, alike in
// every channel; false when libsndfile refuses the format.
bool WriteSine(const std::string& path, int format, int rate, int channels, int frames, double level,
               double hz = 441);
// The sine of WriteSine at a frame, in 16-bit units (full scale: 32768).
double SineSample(int frame, int rate, double level, double hz = 441);

// Writes the samples as they are (no scaling) into a file of a floating
// point format.
bool WriteFloats(const std::string& path, int format, int rate, int channels, const std::vector<float>& samples);

// A minimal 4-channel module ("M.K."): one looped sample played on the
// first row of its one pattern; 64 rows at the default speed.
std::string TinyModule();

}  // namespace testsupport
