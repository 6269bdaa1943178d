#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer + ASan + UBSan) and runs each one for a
# bounded time from its seed corpus. Fails on the first crash, failed property or
# sanitizer report.
#
#   scripts/fuzz.sh                 every target, 60 s each (CI)
#   scripts/fuzz.sh 3600 frame      one target for an hour
#
# New inputs go to <build>/corpus/<target>, crashes to <build>/artifacts/; the seeds in
# fuzz/corpus/<target> are only read.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-${TARVEX_FUZZ_SECONDS:-60}}
shift || true
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=(reply settings_file frame)
build=${TARVEX_FUZZ_BUILD_DIR:-build-fuzz}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVEX_WERROR=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTARVEX_FUZZ=ON >/dev/null
cmake --build "$build" --target fuzz_targets

# The settings-file target saves a file per input; a memory-backed folder keeps its
# fsync cheap.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

mkdir -p "$build/artifacts"
for t in "${targets[@]}"; do
    mkdir -p "$build/corpus/$t"
    echo "fuzz: $t for ${seconds} s"
    if ! "$build/bin/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$t-" "$build/corpus/$t" "fuzz/corpus/$t" \
        >"$build/artifacts/$t.log" 2>&1; then
        tail -n 60 "$build/artifacts/$t.log"
        echo "fuzz: $t FAILED (log: $build/artifacts/$t.log)" >&2
        exit 1
    fi
    grep -E "^(Done|stat::number_of_executed_units|stat::peak_rss_mb)" "$build/artifacts/$t.log" |
        sed "s/^/fuzz: $t: /"
done
echo "fuzz: all ${#targets[@]} targets ran ${seconds} s each without a report"
