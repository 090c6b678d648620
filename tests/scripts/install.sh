#!/usr/bin/env bash
# cmake --install puts the program, the batch tool, the help file, the
# launcher, the desktop entry and its icon in their usual places, and the
# installed program finds its help file.
set -euo pipefail
bin="$1"
build="$(cd "$bin/.." && pwd)"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

[ -e "$prefix/bin/qavn-extract" ] || { echo "missing after install: bin/qavn-extract"; exit 1; }
if [ ! -e "$bin/qavn" ]; then
  echo "install: the program is not built here (no GUI); batch tool checked only"
  exit 0
fi
for f in bin/qavn bin/qavn-open share/qavn/QAVN.HLP \
         share/applications/qavn.desktop share/icons/hicolor/32x32/apps/qavn.png; do
  [ -e "$prefix/$f" ] || { echo "missing after install: $f"; exit 1; }
done
[ -x "$prefix/bin/qavn-open" ] || { echo "qavn-open is not executable"; exit 1; }

desktop="$prefix/share/applications/qavn.desktop"
for key in 'Type=Application' 'Name=QAVN' 'Exec=qavn-open %f' 'Icon=qavn' 'Terminal=false'; do
  grep -qx "$key" "$desktop" || { echo "desktop entry lacks $key"; exit 1; }
done

# The launcher refuses a file that is not a configuration file.
if PATH="$prefix/bin:$PATH" "$prefix/bin/qavn-open" /etc/hostname 2>/dev/null; then
  echo "qavn-open accepted a file that is not a configuration file"; exit 1
fi
echo "install: ok"
