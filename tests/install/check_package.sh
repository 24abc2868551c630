#!/usr/bin/env bash
# Builds the Debian package from a finished build and checks what a distribution would: its
# Depends, that it holds the program, its data and documentation and no test programs, that
# the packaged program runs, and that a packager's build makes no test programs at all.
# Usage: check_package.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
deb=$(find "$work" -maxdepth 1 -name 'memoranth_*.deb')
[ -n "$deb" ] || { echo "no package made"; cat "$work/cpack.log"; exit 1; }

fail() { echo "$*"; exit 1; }
depends=$(dpkg-deb -f "$deb" Depends)
names=$(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ .*//')
for package in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6; do
  grep -qxF "$package" <<<"$names" || fail "Depends lacks $package: $depends"
done
[ "$(dpkg-deb -f "$deb" Package)" = memoranth ] || fail "wrong package name"
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no Maintainer"

dpkg-deb -c "$deb" | awk '{print $6}' >"$work/contents"
for file in \
  ./usr/bin/memoranth \
  ./usr/share/applications/org.memoranth.Memoranth.desktop \
  ./usr/share/metainfo/org.memoranth.Memoranth.metainfo.xml \
  ./usr/share/icons/hicolor/scalable/apps/org.memoranth.Memoranth.svg \
  ./usr/share/man/man1/memoranth.1.gz \
  ./usr/share/memoranth/translations/memoranth_de.qm \
  ./usr/share/doc/memoranth/copyright \
  ./usr/share/doc/memoranth/examples/capitals.txt; do
  grep -qxF "$file" "$work/contents" || fail "not in the package: $file"
done
if grep -E '/(test_|bench_|memoranth_screenshot)' "$work/contents"; then
  fail "test programs in the package"
fi

dpkg-deb -x "$deb" "$work/root"
"$work/root/usr/bin/memoranth" --version | grep -q '^Memoranth ' || fail "packaged program fails"
"$work/root/usr/bin/memoranth" --stats "$work/root/usr/share/doc/memoranth/examples/capitals.txt" |
  grep -q '^Title: capitals$' || fail "packaged example unreadable"
zcat "$work/root/usr/share/man/man1/memoranth.1.gz" | grep -q '^\.TH MEMORANTH 1' ||
  fail "manual page unreadable"

# A packager's configuration builds the program and its data, and no test program.
cmake -S "$source_dir" -B "$work/packager" -G Ninja -DMEMORANTH_BUILD_TESTS=OFF >/dev/null
targets=$(cmake --build "$work/packager" --target help)
grep -q '^memoranth:' <<<"$targets" || fail "no program target in a packager's build"
if grep -E '^(test_|bench_|memoranth_screenshot)' <<<"$targets"; then
  fail "a packager's build makes test programs"
fi
echo "package $(basename "$deb"): ok"
