#!/usr/bin/env bash
# Builds with warnings as errors and runs every test. With CI=true it also checks the formatting, the
# workflows and shell scripts (scripts/lint.sh), and runs the tests a second time in an
# AddressSanitizer + UndefinedBehaviorSanitizer build.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh"

if [[ "${CI:-}" == "true" ]]; then
  echo "== clang-format"
  mapfile -t files < <(cd "$top" && git ls-files '*.cpp' '*.h')
  (cd "$top" && clang-format --dry-run --Werror "${files[@]}")
  echo "== CI files (actionlint, shellcheck)"
  "$top/scripts/lint.sh"
fi

echo "== build (warnings as errors)"
"$top/scripts/build.sh" "$top/build-test" -DLQ_WERROR=ON
echo "== tests"
(cd "$top/build-test" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 300)
echo "== report schema, and the fleet recipes on the bundled simulated Macs"
python3 "$top/tools/test_validate_report.py" -q
"$top/recipes/test.sh" --app "$top/build-test/lanternquill"
echo "== reference lists: the refresh tool, the committed lists regenerated, and read by the application"
python3 "$top/tools/refresh/test_refresh_reference.py" -q
python3 "$top/tools/refresh/refresh_reference.py" --from "$top/tools/refresh/sources" --out "$top/reference" --check
"$top/scripts/validate-reference.sh" "$top/reference" --app "$top/build-test/lanternquill"

if [[ "${CI:-}" == "true" ]]; then
  echo "== build (AddressSanitizer + UndefinedBehaviorSanitizer)"
  "$top/scripts/build.sh" "$top/build-asan" -DLQ_WERROR=ON -DLQ_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
  echo "== tests under the sanitizers"
  (cd "$top/build-asan" && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j2 --timeout 600)
fi

if [[ "${CI:-}" == "true" ]]; then
  # The fuzz targets, built with clang and run briefly on their seeds: a crash or a broken rule fails.
  # The long runs are done by hand (fuzz/README.md).
  echo "== fuzz targets (clang, libFuzzer, 2000 runs each)"
  export CCACHE_BASEDIR="$top"
  if [[ ! -f "$top/build-fuzz/build.ninja" ]]; then
    cmake -S "$top" -B "$top/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_COMPILER=clang++ -DLQ_FUZZ=ON -DLQ_WERROR=ON >/dev/null
  fi
  ninja -C "$top/build-fuzz" -j2 lq_fuzzers
  (cd "$top/build-fuzz" && ctest -L fuzz --output-on-failure -j2)
fi
