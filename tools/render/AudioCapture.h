// The sound track of a captured span: the demo's music decoded from the
// first frame's time for exactly as long as the frames last, so a video
// made from the frames and this file stays in sync.
#pragma once

#include <string>

// Writes frameCount / fps seconds of the music starting at fromMs into a
// 16-bit WAV file. musicPath empty or undecodable: silence of the same
// length (44100 Hz stereo). False with a message when the file cannot be
// written.
bool WriteCapturedAudio(const std::string& musicPath, double fromMs, long frameCount, int fps,
                        const std::string& wavPath, std::string& error);
