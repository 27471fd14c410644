#!/usr/bin/env bash
# Quorvex set-up: installs what is missing (Debian packages), configures, builds, then
#   ./build.sh run    starts the window
#   ./build.sh test   runs every test
#   ./build.sh bench  runs the benchmarks (not part of the tests)
set -euo pipefail
cd "$(dirname "$0")"
what=${1:-run}

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libqt6sql6-sqlite qt6-charts-dev
          libxlsxwriter-dev libgl-dev fonts-noto-cjk sqlite3)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" = 0 ] || SUDO=sudo
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --parallel

case "$what" in
run)
    exec build/bin/quorvex
    ;;
test)
    cd build
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel 2
    ;;
bench)
    for b in build/bin/bench_*; do "$b"; done
    ;;
*)
    echo "usage: ./build.sh [run|test|bench]" >&2
    exit 2
    ;;
esac
