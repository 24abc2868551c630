#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that every file is in its freedesktop
# place and that the installed launcher entry is valid.
# Usage: check_install.sh BUILD_DIR
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null
for file in \
  bin/memoranth \
  share/applications/org.memoranth.Memoranth.desktop \
  share/icons/hicolor/scalable/apps/org.memoranth.Memoranth.svg \
  share/memoranth/translations/memoranth_de.qm \
  share/metainfo/org.memoranth.Memoranth.metainfo.xml \
  share/man/man1/memoranth.1.gz \
  share/doc/memoranth/copyright \
  share/doc/memoranth/examples/capitals.txt; do
  [ -e "$prefix/$file" ] || { echo "missing after install: $file"; exit 1; }
done
desktop-file-validate "$prefix/share/applications/org.memoranth.Memoranth.desktop"
grep -q '^Exec=memoranth %f$' "$prefix/share/applications/org.memoranth.Memoranth.desktop"
"$prefix/bin/memoranth" --version
