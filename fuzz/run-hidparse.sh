#!/bin/sh
# Builds the hidparse libFuzzer target with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs it for N seconds (default 60), seeded
# with the golden descriptors. Exits non-zero when the fuzzer finds a fault.
# Needs the Debian packages clang and libclang-rt-14-dev.
# Usage: fuzz/run-hidparse.sh [SECONDS]   (build dir: $QZ_FUZZ_BUILD_DIR or build-fuzz)
set -eu

seconds=${1:-60}
case $seconds in
  ''|*[!0-9]*) echo "run-hidparse.sh: SECONDS must be a number, not '$seconds'" >&2; exit 2 ;;
esac
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QZ_FUZZ_BUILD_DIR:-$root/build-fuzz}

if ! command -v clang++ >/dev/null 2>&1; then
  echo "run-hidparse.sh: clang++ not found (apt-get install clang libclang-rt-14-dev)" >&2
  exit 2
fi

cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQZ_FUZZ=ON >/dev/null
cmake --build "$build" --target hidparse_fuzz -j2

# Seeds: the golden descriptors, turned from annotated hex into bytes.
seeds=$build/hidparse-seeds
corpus=$build/hidparse-corpus
mkdir -p "$seeds" "$corpus"
for hex in "$root"/tests/data/descriptors/*.hex; do
  out=$seeds/$(basename "$hex" .hex).bin
  sed -e 's/#.*//' "$hex" | tr -s ' \t\r,' '\n' | grep -v '^$' | while read -r byte; do
    printf "\\$(printf '%03o' "0x${byte#0x}")"
  done >"$out"
done

# -timeout catches inputs that take long: parsing must stay linear in the input.
exec "$build/hidparse_fuzz" -max_total_time="$seconds" -timeout=10 -max_len=8192 \
  -print_final_stats=1 "$corpus" "$seeds"
