#!/usr/bin/env bash
# Installs every Debian package the player, its tools and its tests need.
# Idempotent: run it as often as you like (as root, or through sudo).
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  libsdl2-dev libx11-dev libsndfile1-dev libopenmpt-dev libstb-dev
  libfreetype-dev libfontconfig-dev fonts-dejavu-core
  libgl1-mesa-dev libglu1-mesa-dev libegl-dev libegl-mesa0 libgl1-mesa-dri
  xvfb xdotool x11-utils imagemagick xfonts-base
  clang libclang-rt-14-dev
  libassimp-dev valgrind python3
  libfast-float-dev libmicrohttpd-dev libcpp-httplib-dev nlohmann-json3-dev
  chromium chromium-driver python3-selenium
  libpng-dev libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev
  ffmpeg  # ffprobe and ffmpeg check the videos in the tests
)
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${PACKAGES[@]}"
