#!/usr/bin/env bash
# Regenerates every generated asset of the sample demo in data/: the
# pictures (tools/assetgen), the music (tools/synth) and the ASE scenes
# (tools/ase). The description files and the script in data/ are written
# by hand. The output is committed, so the player needs only data/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVT_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j"${VT_JOBS:-2}" --target vortane-assetgen vortane-synth
build/release/tools/vortane-assetgen data
mkdir -p data/music
build/release/tools/vortane-synth data/music/tune.ogg
python3 tools/ase/make_scenes.py data/scene
du -sh data
