#!/usr/bin/env bash
# Builds the .deb from the native build and the zip from the MinGW build, and checks what they
# hold: lintian must pass the .deb with no error or warning, which is then unpacked into a
# scratch root and its programs are run there; the zip must hold exactly the five .exe files,
# redbit.png, README.txt and LICENSE.txt with CR LF line ends, Korvath.exe the same bytes as
# Zarnik.exe.
# Usage: packaging/check.sh NATIVE_BUILD_DIR MINGW_BUILD_DIR
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
native=$(cd "${1:?native build directory}" && pwd)
mingw=$(cd "${2:?MinGW build directory}" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
    echo "packaging check FAILED: $*" >&2
    exit 1
}

rm -rf "$native/packages" "$mingw/packages"
(cd "$native" && cpack -G DEB)
(cd "$mingw" && cpack -G ZIP)
debs=("$native"/packages/*.deb)
zips=("$mingw"/packages/*.zip)
[ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || fail "not one .deb in $native/packages"
[ "${#zips[@]}" -eq 1 ] && [ -f "${zips[0]}" ] || fail "not one .zip in $mingw/packages"
deb=${debs[0]}
zip=${zips[0]}

# --- the .deb ------------------------------------------------------------------------------
echo "== $deb"
dpkg-deb --info "$deb"
dpkg-deb -c "$deb"
expected=(usr/bin/Zarnik usr/bin/Korvath usr/bin/Brellow usr/bin/Quillet usr/bin/Almanac
          usr/share/seti-logtools/redbit.png
          usr/share/man/man1/Zarnik.1.gz usr/share/man/man1/Korvath.1.gz
          usr/share/man/man1/Brellow.1.gz usr/share/man/man1/Quillet.1.gz
          usr/share/man/man1/Almanac.1.gz
          usr/share/doc/seti-logtools/README.md usr/share/doc/seti-logtools/copyright
          usr/share/doc/seti-logtools/changelog.Debian.gz
          usr/share/lintian/overrides/seti-logtools)
root="$scratch/root"
dpkg-deb -x "$deb" "$root"
for file in "${expected[@]}"; do
    [ -f "$root/$file" ] || fail "the .deb lacks /$file"
done
for program in Zarnik Korvath Brellow Quillet Almanac; do
    [ -x "$root/usr/bin/$program" ] || fail "/usr/bin/$program is not executable"
done
extra=$(cd "$root" && find . -type f | sed 's|^\./||' | sort | grep -vxF -f <(printf '%s\n' "${expected[@]}") || true)
[ -z "$extra" ] || fail "the .deb holds more than it should: $extra"
cmp -s "$root/usr/bin/Zarnik" "$root/usr/bin/Korvath" || fail "Korvath is not a copy of Zarnik"
cmp -s "$root/usr/share/seti-logtools/redbit.png" "$top/examples/redbit.png" ||
    fail "redbit.png in the .deb is not the one in examples/"

# Debian's own checks: any error or warning fails (the tag overridden, and why, is in
# packaging/lintian-overrides); the informational tags are shown.
lintian --fail-on error,warning --display-info "$deb" ||
    fail "lintian found errors or warnings in $deb"
doc="$root/usr/share/doc/seti-logtools"
version=$(dpkg-deb -f "$deb" Version)
changelog_version=$(zcat "$doc/changelog.Debian.gz" | dpkg-parsechangelog -l - -S Version)
[ "$version" = "$changelog_version" ] ||
    fail "the package is version $version, its changelog's last entry $changelog_version"
# The copyright file holds the licence of LICENSE, indented as its format wants.
sed -n 's/^ //; /^Permission/,$p' "$doc/copyright" | sed 's/^\.$//' |
    cmp -s - <(sed -n '/^Permission/,$p' "$top/LICENSE") ||
    fail "the copyright file does not hold the licence text of LICENSE"

# Every man page reads without a warning, Korvath(1) through its link to Zarnik(1).
for page in Zarnik Korvath Brellow Quillet Almanac; do
    warnings=$(cd "$root/usr/share/man" && man --warnings -l "man1/$page.1.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man page $page.1.gz: $warnings"
done
korvath_page=$(cd "$root/usr/share/man" && MANWIDTH=80 man -l man1/Korvath.1.gz 2>/dev/null)
grep -q "Korvath" <<<"$korvath_page" || fail "Korvath(1) does not show the page of both names"

# The unpacked programs run: usage texts in both modes, a page, an archived result, the
# Almanac page of the archived result's support data file, linking to its result page.
run="$scratch/run"
mkdir -p "$run/archive"
usage=$(cd "$run" && "$root/usr/bin/Zarnik")
grep -qx "Zarnik.exe for Win32" <<<"$usage" || fail "Zarnik printed no usage text: $usage"
usage=$(cd "$run" && "$root/usr/bin/Korvath")
grep -qx "Korvath.exe for Win32" <<<"$usage" || fail "Korvath printed no usage text: $usage"
said=$(cd "$run" && "$root/usr/bin/Quillet" "$top/examples/client/result.sah" page.html 2>&1)
[ -z "$said" ] || fail "Quillet from the .deb said: $said"
grep -q '<IMG SRC="redbit.png" HEIGHT=' "$run/page.html" || fail "Quillet wrote no page with bars"
said=$(cd "$run" && "$root/usr/bin/Brellow" "$top/examples/client/result.sah" archive -ss 2>&1)
[ -z "$said" ] || fail "Brellow from the .deb said: $said"
ls "$run"/archive/*.result >/dev/null 2>&1 || fail "Brellow from the .deb archived nothing"
[ -s "$run/ss_past_data.txt" ] || fail "Brellow from the .deb appended no record"
usage=$(cd "$run" && "$root/usr/bin/Almanac" -help)
grep -q "Almanac" <<<"$usage" || fail "Almanac -help printed no usage text: $usage"
name=$(tr '\r' '\n' < "$run/ss_past_data.txt" | sed -n 's/^name=//p' | head -n 1)
cp "$run/page.html" "$run/$name.html"
(cd "$run" && "$root/usr/bin/Almanac" > "$scratch/almanac.out" 2>&1) ||
    fail "Almanac from the .deb failed: $(cat "$scratch/almanac.out")"
grep -q '<svg class="chart"' "$run/Almanac.html" || fail "Almanac wrote no page with charts"
grep -qF "href=\"$name.html\"" "$run/Almanac.html" ||
    fail "the Almanac page does not link to $name.html beside it"

# --- the zip -------------------------------------------------------------------------------
echo "== $zip"
python3 -m zipfile -l "$zip"
python3 - "$zip" "$top/examples/redbit.png" "$top/LICENSE" <<'EOF'
import sys
import zipfile

archive, image, license_file = sys.argv[1], sys.argv[2], sys.argv[3]
with zipfile.ZipFile(archive) as z:
    names = sorted(n for n in z.namelist() if not n.endswith("/"))
    tops = {n.split("/", 1)[0] for n in names}
    if len(tops) != 1:
        sys.exit(f"the zip has no one top folder: {sorted(tops)}")
    top = tops.pop() + "/"
    wanted = sorted(top + n for n in ("Zarnik.exe", "Korvath.exe", "Brellow.exe", "Quillet.exe",
                                      "Almanac.exe", "redbit.png", "README.txt", "LICENSE.txt"))
    if names != wanted:
        sys.exit(f"the zip holds {names}, not {wanted}")
    for program in ("Zarnik", "Korvath", "Brellow", "Quillet", "Almanac"):
        if z.read(top + program + ".exe")[:2] != b"MZ":
            sys.exit(f"{program}.exe is no Windows program")
    if z.read(top + "Zarnik.exe") != z.read(top + "Korvath.exe"):
        sys.exit("Korvath.exe is not a copy of Zarnik.exe")
    with open(image, "rb") as f:
        if z.read(top + "redbit.png") != f.read():
            sys.exit("redbit.png in the zip is not the one in examples/")
    for text in ("README.txt", "LICENSE.txt"):
        lines = z.read(top + text)
        if lines.count(b"\n") == 0 or lines.count(b"\n") != lines.count(b"\r\n"):
            sys.exit(f"{text} does not end its lines with CR LF")
    with open(license_file, "rb") as f:
        if z.read(top + "LICENSE.txt").replace(b"\r\n", b"\n") != f.read():
            sys.exit("LICENSE.txt in the zip is not LICENSE")
    readme = z.read(top + "README.txt")
    for example in (b"Zarnik.exe -sh=", b"Korvath.exe -ob=", b"Brellow.exe ", b"Quillet.exe ",
                    b"Almanac.exe -page=", b"redbit.png", b"MIT licence", b"LICENSE.txt"):
        if example not in readme:
            sys.exit(f"README.txt lacks {example.decode()}")
print("zip holds the five programs, redbit.png, README.txt and LICENSE.txt")
EOF

echo "packaging check passed: $(basename "$deb"), $(basename "$zip")"
