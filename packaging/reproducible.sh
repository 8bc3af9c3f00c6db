#!/usr/bin/env bash
# Builds the programs of the tree a second time, the native and the Windows side each into a
# folder of its own beside the first build, and checks that the second build gives the same
# bytes as the first: the five programs of each side, the .deb and the Windows zip. Only the
# program targets are built, with 2 jobs; the second folders are removed when all is the same.
# Usage: packaging/reproducible.sh NATIVE_BUILD_DIR MINGW_BUILD_DIR
# (the first builds made with the default and mingw presets, their programs built).
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
native=$(cd "${1:?native build directory}" && pwd)
mingw=$(cd "${2:?MinGW build directory}" && pwd)
native2="$native-repro"
mingw2="$mingw-repro"
programs=(Zarnik Brellow Quillet Almanac)

fail() {
    echo "reproducibility check FAILED: $*" >&2
    exit 1
}

# One time for the packages of both builds: the last commit's, as cpack takes it by itself.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$top" log -1 --format=%ct 2>/dev/null || date +%s)
fi
export SOURCE_DATE_EPOCH

started=$(date +%s)
rm -rf "$native2" "$mingw2"
cd "$top"
# The second builds leave out what is not packaged (tests, benchmark) so that a package's
# prerequisites are the programs alone.
cmake --preset default -B "$native2" -DBUILD_TESTING=OFF -DSETI_BUILD_BENCH=OFF > /dev/null
cmake --preset mingw -B "$mingw2" -DSETI_WINDOWS_TESTS=OFF > /dev/null
cmake --build "$native2" --target "${programs[@]}" -j2 > /dev/null
cmake --build "$mingw2" --target "${programs[@]}" -j2 > /dev/null

compare() {
    local first=$1 second=$2
    [ -f "$first" ] || fail "no $first: build the first tree's programs first"
    [ -f "$second" ] || fail "the second build made no $second"
    cmp "$first" "$second" || fail "$second is not the same as $first"
    echo "same: $(basename "$first") ($(wc -c < "$first") bytes)"
}

for program in "${programs[@]}" Korvath; do
    compare "$native/bin/$program" "$native2/bin/$program"
    compare "$mingw/bin/$program.exe" "$mingw2/bin/$program.exe"
done

for build in "$native" "$native2" "$mingw" "$mingw2"; do
    rm -rf "$build/packages"
done
for build in "$native" "$native2"; do
    (cd "$build" && cpack -G DEB > /dev/null)
done
for build in "$mingw" "$mingw2"; do
    (cd "$build" && cpack -G ZIP > /dev/null)
done
compare_packages() {
    local first=$1 second=$2 kind=$3
    local made=("$first"/packages/*."$kind")
    [ "${#made[@]}" -eq 1 ] && [ -f "${made[0]}" ] || fail "not one .$kind in $first/packages"
    compare "${made[0]}" "$second/packages/$(basename "${made[0]}")"
}
compare_packages "$native" "$native2" deb
compare_packages "$mingw" "$mingw2" zip

rm -rf "$native2" "$mingw2"
echo "reproducible: two builds gave the same programs and packages ($(( $(date +%s) - started )) s)"
