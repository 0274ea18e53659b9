#!/usr/bin/env bash
# Installs what is missing (Debian packages), then configures and builds Kavetto in ./build.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev libqt6opengl6-dev
  fonts-ipafont-gothic
  libmpg123-dev libmp3lame-dev libsndfile1-dev libtag1-dev libsdl2-dev
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  libmpv-dev libfluidsynth-dev timgm6mb-soundfont
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  lame mpg123 sox xvfb xauth ffmpeg ccache dbus-daemon
  desktop-file-utils at-spi2-core python3-pyatspi xdotool
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# scripts/test --sanitize builds elsewhere and only needs the packages.
[ "${1:-}" = --packages-only ] && exit 0

# Benchmarks are built only when asked for (bench/run.sh sets KAVETTO_BENCH=ON).
# ccache keeps rebuilds of an unchanged tree (a fresh clone, another work tree) short.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVETTO_BENCH="${KAVETTO_BENCH:-OFF}" "${launcher[@]}" ${KAVETTO_CMAKE_ARGS:-} >/dev/null
cmake --build build -j "$(nproc)"
