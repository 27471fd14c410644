#!/usr/bin/env bash
# Quorvex set-up: installs what is missing (Debian packages), configures, builds what the mode
# needs, then
#   ./build.sh run    starts the window (builds the window and quorvex-cli only)
#   ./build.sh test   runs every test
#   ./build.sh bench  runs the benchmarks (not part of the tests)
#   ./build.sh sanitize  runs every test built with AddressSanitizer and UBSan (build-sanitize/)
#   ./build.sh fuzz   runs each libFuzzer target for FUZZ_SECONDS (default 30; build-fuzz/)
#   ./build.sh package  builds build/quorvex_<version>_amd64.deb and checks it with lintian
#                       and appstreamcli
set -uo pipefail
cd "$(dirname "$0")"
what=${1:-run}

# Ends the set-up with one line that says what failed and what to do.
fail() {
    echo "build.sh: $*" >&2
    exit 1
}

case "$what" in
run | test | bench | sanitize | fuzz | package) ;;
*)
    echo "usage: ./build.sh [run|test|bench|sanitize|fuzz|package]" >&2
    exit 2
    ;;
esac

# The sources and the package hold file names such as 历史号码: under the C or POSIX locale CMake
# and CPack cannot read them back. C.UTF-8 comes with Debian's libc, so no package is needed.
case "$(locale charmap 2>/dev/null)" in
UTF-8) ;;
*) export LC_ALL=C.UTF-8 LANG=C.UTF-8 ;;
esac

# Every package that holds a file the configure step or the program needs, named explicitly:
# installs run without recommendations, so nothing may come in only as a recommendation.
#   libqt6opengl6-dev       Qt6OpenGL's CMake package, which Qt6Charts' CMake package requires
#   qt6-translations-l10n   Qt's own Chinese texts for the standard buttons and dialogs
#   libgumbo-dev            HTML5 parser of the online update's results pages
#   libsqlite3-dev          SQLite's C API, used on the Qt driver's own connection
#   libicu-dev              ICU's Chinese calendar: the lunar new year, where the zodiac year turns
#   libxlsxwriter-dev       spreadsheet export
#   zlib1g-dev              zlib: the copies of the history are unpacked with it, and libxlsxwriter's
#                           pkg-config file links -lz, which its package does not pull in
#   fonts-noto-cjk          Chinese glyphs in the window
#   qt6-svg-dev             the chart saved as an SVG drawing (QSvgGenerator)
packages=(cmake ninja-build g++ pkg-config qt6-base-dev libqt6opengl6-dev libqt6sql6-sqlite
          qt6-charts-dev qt6-translations-l10n libgumbo-dev libsqlite3-dev libicu-dev libxlsxwriter-dev
          zlib1g-dev libgl-dev fonts-noto-cjk qt6-svg-dev)
case "$what" in
# The tests read exported workbooks back with tools of their own.
test | sanitize) packages+=(xlsx2csv unzip) ;;
# The fuzz targets need clang and its libFuzzer runtime.
fuzz) packages+=(clang libclang-rt-14-dev) ;;
# The benchmarks time a Python script of ours beside the searches, and use the tests' support.
bench) packages+=(python3) ;;
# The package's dependencies come from dpkg-shlibdeps (dpkg-dev), which CPack runs on the files
# that file(1) names as binaries; lintian and appstreamcli check the result.
package) packages+=(dpkg-dev file lintian appstream) ;;
esac
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    if [ "$(id -u)" != 0 ]; then
        command -v sudo >/dev/null ||
            fail "these packages are missing and installing them needs root or sudo: ${missing[*]}; install them as root with apt-get, then run this again"
        SUDO=sudo
    fi
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -qq ||
        fail "could not read Debian's package lists (apt-get update failed); check the network and the apt sources, then run this again"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" ||
        fail "could not install ${missing[*]} (apt-get install failed, see above); fix apt, then run this again"
fi

# Each kind of build has a folder of its own, so switching never rebuilds the others.
dir=build
options=()
case "$what" in
sanitize)
    dir=build-sanitize
    # -O1: the usual level for sanitizer runs, and a much quicker build than -O3.
    options=(-DQUORVEX_SANITIZE=ON -DQUORVEX_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS_RELEASE=-O1)
    ;;
fuzz)
    dir=build-fuzz
    options=(-DCMAKE_CXX_COMPILER=clang++ -DQUORVEX_FUZZ=ON -DQUORVEX_BUILD_TESTS=OFF
             -DQUORVEX_BUILD_BENCH=OFF)
    ;;
esac
mkdir -p "$dir"
# Installed under /usr (the package): an installed program keeps its data in the user's folder.
if ! cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    "${options[@]}" >"$dir/configure.log" 2>&1; then
    grep -A4 "CMake Error" "$dir/configure.log" | head -20 >&2
    fail "configure failed (the whole output is in $dir/configure.log); a package may be missing or broken: run this again, or reinstall the packages listed in build.sh"
fi
# Only what the mode runs: the window starts without building a test first.
case "$what" in
run) targets=(quorvex quorvex-cli quorvex_sample_history) ;;
test | sanitize) targets=(quorvex_tests) ;;
bench) targets=(quorvex_benchmarks) ;;
fuzz) targets=(fuzz_historyline fuzz_textimport) ;;
package) targets=(quorvex quorvex-cli quorvex_packaging_files) ;;
esac
cmake --build "$dir" --parallel --target "${targets[@]}" || fail "the build failed (the compiler's messages are above)"

case "$what" in
run)
    exec build/bin/quorvex
    ;;
test)
    cd build
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel 2 || fail "some tests failed (listed above)"
    ;;
sanitize)
    cd build-sanitize
    # Any report ends the test that made it, so ctest names it.
    export ASAN_OPTIONS=abort_on_error=1:detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel 2 ||
        fail "some tests failed or a sanitizer reported a fault under AddressSanitizer/UBSan (listed above)"
    ;;
fuzz)
    for f in fuzz_historyline fuzz_textimport; do
        mkdir -p "build-fuzz/corpus/$f"
        echo "Fuzzing $f for ${FUZZ_SECONDS:-30} s"
        (cd build-fuzz && "bin/$f" -max_total_time="${FUZZ_SECONDS:-30}" -max_len=4096 \
            -print_final_stats=1 "corpus/$f" >"$f.log" 2>&1) ||
            { tail -40 "build-fuzz/$f.log" >&2; fail "fuzz target $f found a fault (above; whole log in build-fuzz/$f.log, the input in build-fuzz/crash-*)"; }
        grep -E "stat::number_of_executed_units" "build-fuzz/$f.log"
    done
    ;;
package)
    (cd build && cpack -G DEB >cpack.log 2>&1) || { tail -20 build/cpack.log >&2; fail "cpack could not make the package (whole log in build/cpack.log)"; }
    deb=$(ls build/quorvex_*_amd64.deb)
    lintian --fail-on error,warning "$deb" || fail "lintian found faults in $deb (above)"
    rm -rf build/package-check && mkdir -p build/package-check && dpkg-deb -x "$deb" build/package-check
    appstreamcli validate --no-net build/package-check/usr/share/metainfo/*.metainfo.xml ||
        fail "appstreamcli found faults in the package's metainfo (above)"
    echo "Package: $deb"
    ;;
bench)
    ran=0
    for b in build/bin/bench_*; do
        [ -x "$b" ] || continue
        "$b" || fail "benchmark $b failed"
        ran=$((ran + 1))
    done
    [ "$ran" -gt 0 ] || fail "no benchmark was built (build/bin/bench_* is missing): configure with -DQUORVEX_BUILD_BENCH=ON"
    ;;
esac
