#!/usr/bin/env bash
# Developer entry point: installs what is missing, builds and runs.
#   ./dev.sh run [FILE...]   build optimised and run the console on FILE (default: the diagnosis example)
#   ./dev.sh test    check the layering of the libraries (tools/check_layers.sh), then
#                    build with AddressSanitizer + UBSan (Debug) and run the whole test suite, then
#                    the threading tests under ThreadSanitizer, then the whole suite on the
#                    optimised (Release) build, then installs it and builds the host example
#                    (examples/host) against the installed package
#   ./dev.sh workbench [FILE...]
#                    build optimised and open the console window (ruleworkbench) on FILE
#   ./dev.sh screenshots [DIR]
#                    build optimised and render the console and editor windows offscreen to PNG
#                    files in DIR (default build/screenshots)
#   ./dev.sh bench   build optimised (Release) and run the micro-benchmarks
#   ./dev.sh fuzz [SECONDS] [parser|program]
#                    build the fuzz targets with clang + libFuzzer and run one (default: parser,
#                    60 s): parser on arbitrary text, program on whole programs that run
#   ./dev.sh deps    only install the Debian packages the build needs
set -euo pipefail
cd "$(dirname "$0")"

JOBS="${JOBS:-2}"
# Qt 6 Widgets for the editors and the workbench; the DejaVu fonts so that windows rendered
# offscreen (tests, screenshots) have text.
PACKAGES=(cmake ninja-build g++ pkgconf libgtest-dev libgmock-dev libbenchmark-dev libedit-dev nlohmann-json3-dev
          qt6-base-dev fonts-dejavu-core)

deps() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
  fi
}

# The libraries installed into a fresh prefix, and the host example built against them twice:
# through the CMake package and through pkg-config.  Both must print the expected decisions; the
# thermostat host (rules reaching a host class) must print its expected outcome.
install_check() {
  local prefix
  prefix=$(mktemp -d)
  cmake --install build/release --prefix "$prefix" >/dev/null
  rm -rf build/host
  cmake -S examples/host -B build/host -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
  cmake --build build/host
  build/host/order_desk | diff - examples/host/expected_output.txt
  build/host/thermostats | diff - examples/host/expected_thermostats.txt
  local pcdir
  pcdir=$(dirname "$(find "$prefix" -name ruleengine.pc)")
  # shellcheck disable=SC2046
  g++ -o build/host/order_desk_pc examples/host/main.cpp -DORDERS_KB="\"$PWD/examples/host/orders.clp\"" \
    $(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags --libs ruleengine)
  build/host/order_desk_pc | diff - examples/host/expected_output.txt
  rm -rf "$prefix"
  echo "The installed libraries serve a host through CMake and pkg-config."
}

configure() {  # configure DIR BUILD_TYPE SANITIZE
  cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE="$2" -DRULE_SANITIZE="$3" >/dev/null
}

case "${1:-test}" in
  deps) deps ;;
  test)
    deps
    # The libraries' layers first: an upward include fails in seconds, before any build.
    tools/check_layers.sh
    configure build/test Debug ON
    cmake --build build/test -j "$JOBS"
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      ctest --test-dir build/test -j "$JOBS" --output-on-failure
    # ThreadSanitizer excludes AddressSanitizer, so the threading tests run again in a build of
    # their own, which makes only the libraries and that one test program.
    cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRULE_TSAN=ON -DRULE_BUILD_BENCH=OFF >/dev/null
    cmake --build build/tsan -j "$JOBS" --target rulecore_threading_tests
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 build/tsan/bin/rulecore_threading_tests
    # The optimised build is what users run: the same suite passes there too.
    configure build/release Release OFF
    cmake --build build/release -j "$JOBS"
    ctest --test-dir build/release -j "$JOBS" --output-on-failure
    install_check
    ;;
  run)
    deps
    configure build/release Release OFF
    cmake --build build/release -j "$JOBS" --target ruleconsole
    if [ $# -gt 1 ]; then
      build/release/bin/ruleconsole "${@:2}"
    else
      build/release/bin/ruleconsole examples/diagnosis.clp
    fi
    ;;
  workbench)
    deps
    configure build/release Release OFF
    cmake --build build/release -j "$JOBS" --target ruleworkbench
    build/release/bin/ruleworkbench "${@:2}"
    ;;
  screenshots)
    deps
    configure build/release Release OFF
    cmake --build build/release -j "$JOBS" --target ruleworkbench
    QT_QPA_PLATFORM=offscreen build/release/bin/ruleworkbench --screenshots "${2:-build/screenshots}"
    ;;
  bench)
    deps
    configure build/release Release OFF
    cmake --build build/release -j "$JOBS"
    for b in build/release/bin/*_bench; do "$b" "${@:2}"; done
    ;;
  fuzz)
    TARGET="${3:-parser}"
    if [ "$TARGET" != parser ] && [ "$TARGET" != program ]; then
      echo "usage: $0 fuzz [SECONDS] [parser|program]" >&2
      exit 2
    fi
    PACKAGES+=(clang)
    deps
    CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRULE_SANITIZE=ON \
      -DRULE_FUZZ=ON -DRULE_BUILD_TESTS=OFF -DRULE_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
    cmake --build build/fuzz -j "$JOBS"
    case "$TARGET" in
      parser)
        mkdir -p build/fuzz/work
        cp -n fuzz/corpus/* build/fuzz/work/ 2>/dev/null || true
        build/fuzz/bin/parser_fuzz build/fuzz/work fuzz/corpus -max_total_time="${2:-60}" -timeout=10 \
          -rss_limit_mb=2048 -max_len=4096
        ;;
      program)
        # New inputs go to the work folder; merge the good ones back into fuzz/program_corpus with
        # program_fuzz -merge=1.
        mkdir -p build/fuzz/program_work build/fuzz/program_artifacts
        build/fuzz/bin/program_fuzz build/fuzz/program_work fuzz/program_corpus -dict=fuzz/program.dict \
          -max_total_time="${2:-60}" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
          -artifact_prefix=build/fuzz/program_artifacts/
        ;;
    esac
    ;;
  *) echo "usage: $0 [run|test|workbench|screenshots|bench|fuzz|deps]" >&2; exit 2 ;;
esac
