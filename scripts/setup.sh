# Sourced by ./run and ./test: installs the Debian packages the build, the
# tests and the demo need, when any is missing.
qavn_packages=(cmake ninja-build g++ pkg-config qt6-base-dev googletest libgtest-dev
               nlohmann-json3-dev pspp sqlite3 xdg-utils desktop-file-utils xvfb openbox xdotool x11-utils
               clang libclang-rt-dev libreadstat-dev libsqlite3-dev python3-pandas
               libxml2-dev libxml2-utils zlib1g-dev libre2-dev r-base-core r-cran-readr r-cran-haven libzstd-dev libx11-dev
               ripgrep libxlsxwriter-dev)

qavn_missing=()
for p in "${qavn_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || qavn_missing+=("$p")
done
if [ ${#qavn_missing[@]} -gt 0 ]; then
  echo "Installing: ${qavn_missing[*]}"
  if [ "$(id -u)" -eq 0 ]; then sudo_cmd=(); else sudo_cmd=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${qavn_missing[@]}"
fi

# The readers of the HTML site and the xlsx workbook in the tests: Chromium,
# run headless, and openpyxl for pandas. A machine that cannot have them
# skips those checks (they say so), so a failed install stops nothing.
qavn_readers=()
for p in chromium python3-openpyxl; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || qavn_readers+=("$p")
done
if [ ${#qavn_readers[@]} -gt 0 ]; then
  echo "Installing: ${qavn_readers[*]}"
  if [ "$(id -u)" -eq 0 ]; then sudo_cmd=(); else sudo_cmd=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  { "${sudo_cmd[@]}" apt-get update -qq &&
      "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${qavn_readers[@]}"; } ||
    echo "Could not install ${qavn_readers[*]}: the checks that read the site or the workbook with them are skipped"
fi

# Node and npm bring the Parquet readers the tests use (scripts/npm-readers.sh);
# a node installed otherwise (with its own npm) is used as it is.
if ! command -v node >/dev/null; then
  echo "Installing: nodejs npm"
  if [ "$(id -u)" -eq 0 ]; then sudo_cmd=(); else sudo_cmd=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends nodejs npm
fi
