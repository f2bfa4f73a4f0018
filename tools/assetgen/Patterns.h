// The procedural pictures of the demo's 3D items.
#pragma once

#include "Image.h"

namespace assetgen {

// Tech panels with glowing seams; tiles in both directions, because the
// tunnel wraps it around the tube and scrolls it along.
Image TunnelTexture(int size);

// Grey hull plating with a coloured stripe and small lights.
Image HullTexture(int size);

// A sphere map of a dark studio with a few bright lights: the reflection
// is added onto the surfaces, so most of it must stay dark.
Image EnvironmentMap(int size);

// Glowing crystal veins for the beacon at the end of the tunnel.
Image BeaconTexture(int size);

// A soft round glow with rays, black at the edges: drawn additively.
Image HaloTexture(int size);

// Plain white, for additive flashes.
Image WhiteTexture(int size);

}  // namespace assetgen
