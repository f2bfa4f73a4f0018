// The playback speeds an author steps through: the player's speed keys and
// the studio's speed buttons (vtDemoSystem::SetSpeed takes any rate above 0).
#pragma once

inline constexpr float kSpeeds[] = {0.25f, 0.5f, 1.0f, 2.0f};
