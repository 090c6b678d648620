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

for f in bin/qavn-extract bin/qavn-mkproject bin/qavn-import; do
  [ -e "$prefix/$f" ] || { echo "missing after install: $f"; exit 1; }
done
if [ ! -e "$bin/qavn" ]; then
  echo "install: the program is not built here (no GUI); batch tool checked only"
  exit 0
fi
for f in bin/qavn bin/qavn-open share/qavn/QAVN.HLP \
         share/applications/qavn.desktop share/mime/packages/qavn.xml \
         share/icons/hicolor/scalable/apps/qavn.svg; do
  [ -e "$prefix/$f" ] || { echo "missing after install: $f"; exit 1; }
done
[ -x "$prefix/bin/qavn-open" ] || { echo "qavn-open is not executable"; exit 1; }

desktop="$prefix/share/applications/qavn.desktop"
for key in 'Type=Application' 'Name=QAVN' 'Exec=qavn-open %f' 'Icon=qavn' 'Terminal=false'; do
  grep -qx "$key" "$desktop" || { echo "desktop entry lacks $key"; exit 1; }
done

for size in 16 22 24 32 48 64 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/qavn.png"
  [ -e "$icon" ] || { echo "missing after install: icon ${size}x${size}"; exit 1; }
  # The PNG header holds the width and height as 32-bit big-endian numbers.
  dims=$(od -An -tx1 -j16 -N8 "$icon" | tr -d ' \n')
  [ "$dims" = "$(printf '%08x%08x' "$size" "$size")" ] || { echo "icon ${size}x${size} is $dims"; exit 1; }
done
mimes=$(grep '^MimeType=' "$desktop")
for type in application/x-qavn-project application/x-spss-sav application/x-spss-por application/x-stata-dta \
            application/x-sas-data application/x-sas-xport text/csv; do
  case "$mimes;" in *"=$type;"* | *";$type;"*) ;; *) echo "desktop entry lacks the MIME type $type"; exit 1 ;; esac
done
for type in application/x-qavn-project application/x-stata-dta application/x-sas-data application/x-sas-xport; do
  grep -q "type=\"$type\"" "$prefix/share/mime/packages/qavn.xml" ||
    { echo "the MIME package does not define $type"; exit 1; }
done
[ -e "$prefix/bin/qavn-import-window" ] || { echo "missing after install: bin/qavn-import-window"; exit 1; }
if command -v desktop-file-validate >/dev/null; then
  report=$(desktop-file-validate "$desktop" 2>&1) || true
  [ -z "$report" ] || { echo "desktop-file-validate: $report"; exit 1; }
else
  echo "install: desktop-file-validate not installed, entry not validated"
fi

# The launcher runs the program installed beside it, also when that folder is
# not on PATH: a stand-in program records its arguments and folder.
fake="$(mktemp -d)"
trap 'rm -rf "$prefix" "$fake"' EXIT
cp "$prefix/bin/qavn-open" "$fake/qavn-open"
printf '#!/bin/sh\necho "$PWD $*" > "%s/ran"\n' "$fake" > "$fake/qavn"
chmod +x "$fake/qavn"
mkdir "$fake/proj" && : > "$fake/proj/ZELQAV.CFG"
env PATH=/usr/bin:/bin "$fake/qavn-open" "$fake/proj/ZELQAV.CFG"
[ "$(cat "$fake/ran")" = "$fake/proj P=ZEL" ] || { echo "qavn-open ran: $(cat "$fake/ran" 2>/dev/null)"; exit 1; }

# The launcher refuses a file that is neither a configuration file nor a data set.
if PATH="$prefix/bin:$PATH" "$prefix/bin/qavn-open" /etc/hostname 2>/dev/null; then
  echo "qavn-open accepted a file that is not a configuration file"; exit 1
fi
echo "install: ok"
