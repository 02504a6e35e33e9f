#!/usr/bin/env bash
# The client and the simulator for 64-bit Windows: cross-built with MinGW-w64 against Qt for
# Windows, every test suite run under Wine, then packed as build/packages/
# TorvanelClient-<version>-win64.zip and that zip tried: the unpacked client, under Wine, talks
# to the Linux simulator.
#
# Qt for Windows is kept in build/qt6-win: unpacked from ../shared/windows/
# qt6.4.2-mingw64-win.tar.xz beside the repository when that is there, built from Debian's
# source of the host's Qt otherwise (about 25 minutes on 2 cores, once). The Wine prefix is
# build/wine.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
root=$PWD

jobs=$(nproc)
qt=$root/build/qt6-win
qt_cache=$root/../shared/windows/qt6.4.2-mingw64-win.tar.xz
prefix=$root/build/wine
mingw_runtime=/usr/lib/gcc/x86_64-w64-mingw32/12-posix
mingw_lib=/usr/x86_64-w64-mingw32/lib
export PATH=/usr/lib/wine:$PATH
export WINEPREFIX=$prefix WINEDEBUG=-all
# No Mono or Gecko in the prefix: nothing here needs them, and Wine would ask for them.
export WINEDLLOVERRIDES="mscoree,mshtml="

# The host's Qt gives the build tools (moc, rcc) and the German translations.
bash scripts/deps.sh
ensure_packages g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 xz-utils zip icoutils

# --- Qt for Windows --------------------------------------------------------------------------

# The same Qt as the host's build tools, from Debian's source package, configured as the
# cached build was (see ../shared/windows/README.md).
build_qt_from_source() {
  local version work
  version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)
  work=$root/build/qt6-win-source
  if ! grep -Eqs '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/*; then
    # Debian's own archives only, in either form of apt's configuration.
    echo "Enabling Debian's source packages (deb-src)"
    if [ -f /etc/apt/sources.list ]; then
      sed -n '/debian\.org/s/^deb /deb-src /p' /etc/apt/sources.list |
        as_root tee /etc/apt/sources.list.d/torvanel-deb-src.list >/dev/null
    fi
    grep -l 'debian\.org' /etc/apt/sources.list.d/*.sources 2>/dev/null |
      while IFS= read -r sources; do
        sed 's/^Types: deb$/Types: deb-src/' "$sources" |
          as_root tee "/etc/apt/sources.list.d/torvanel-deb-src-$(basename "$sources")" >/dev/null
      done
    as_root apt-get update -qq
  fi
  ensure_packages ninja-build cmake perl python3
  rm -rf "$work" "$qt"
  mkdir -p "$work"
  (
    cd "$work"
    apt-get source --download-only "qt6-base=$version"
    tar xf qt6-base_*.orig.tar.xz
    mkdir build
    cd build
    # -no-feature-tabletevent: Debian's source leaves out 3rdparty/wintab.
    "../qtbase-everywhere-src-${version%%[+-]*}/configure" \
      -prefix "$qt" -release -shared -strip -xplatform win32-g++ -qt-host-path /usr \
      -nomake examples -nomake tests -no-opengl -no-dbus -no-icu -no-glib -no-fontconfig \
      -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -qt-doubleconversion \
      -no-feature-sql -no-feature-xml -no-feature-concurrent -no-feature-printsupport \
      -no-feature-tabletevent -no-feature-vulkan -- -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
      -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
    ninja -j "$jobs"
    cmake --install .
  )
  rm -rf "$work"
}

echo "=== Qt for Windows"
if [ -f "$qt/lib/cmake/Qt6/Qt6Config.cmake" ]; then
  echo "$qt"
elif [ -f "$qt_cache" ] && [ -z "${TORVANEL_QT_FROM_SOURCE:-}" ]; then
  echo "unpacking $qt_cache"
  rm -rf "$qt"
  mkdir -p build
  tar xJf "$qt_cache" -C build
else
  echo "building Qt for Windows from Debian's source into $qt"
  build_qt_from_source
fi

# --- Build ------------------------------------------------------------------------------------

echo "=== Linux simulator (the peer of the smoke run)"
cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs" --target torvanel-sim

echo "=== Windows build"
# rcc records each resource file's date, which is when it was checked out; one fixed date
# keeps the programs the same from every checkout.
export QT_RCC_SOURCE_DATE_OVERRIDE=1
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"

# --- Tests under Wine -------------------------------------------------------------------------

echo "=== Wine prefix"
if [ ! -f "$prefix/.torvanel-ready" ]; then
  rm -rf "$prefix"
  wine64 wineboot --init >/dev/null 2>&1
  # Wine passes no QT_* variable of the host on; the prefix's own environment holds them.
  # Without a console, Qt on Windows would hand its log (and QtTest's) to a debugger.
  wine64 reg add 'HKCU\Environment' /v QT_QPA_PLATFORM /d offscreen /f >/dev/null
  wine64 reg add 'HKCU\Environment' /v QT_FORCE_STDERR_LOGGING /d 1 /f >/dev/null
  wineserver -w
  touch "$prefix/.torvanel-ready"
fi
echo "$prefix"

keeper_fifo=$(mktemp -u -t torvanel-wine.XXXXXX)
scratch=$(mktemp -d -t torvanel-windows.XXXXXX)
pids=() # ours to end: the keeper, the simulator, the client
cleanup() {
  stop_processes "${pids[@]}"
  exec 9>&- 2>/dev/null || true
  # Every Windows process of our prefix, the keeper included, and its server.
  wineserver -k 2>/dev/null || true
  rm -f "$keeper_fifo"
  rm -rf "$scratch"
}
trap cleanup EXIT

# One Wine process waits for the whole run, so that Wine's own services start once, with
# their output going nowhere: started by a test, they would hold its output pipe open, and
# CTest would wait for them.
wineserver -p
mkfifo "$keeper_fifo"
wine64 cmd /c pause <"$keeper_fifo" >/dev/null 2>&1 &
pids+=($!)
exec 9>"$keeper_fifo"
# Up before the first test, whichever process starts them.
wine64 cmd /c exit >/dev/null 2>&1

echo "=== Windows tests under Wine"
ctest --preset windows -j "$jobs"

# --- Package ----------------------------------------------------------------------------------

echo "=== Windows package"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows/CMakeCache.txt)
name=TorvanelClient-$version-win64
stage=build/windows-package/$name
rm -rf build/windows-package
mkdir -p "$stage/platforms" "$stage/styles" "$stage/imageformats" "$stage/translations" \
  "$stage/docs" "$stage/sim" "$stage/licenses"
cp build/windows/src/TorvanelClient.exe build/windows/sim/torvanel-sim.exe "$stage/"
# The offscreen platform is for runs without a desktop, as the check below.
cp "$qt/plugins/platforms/qwindows.dll" "$qt/plugins/platforms/qoffscreen.dll" "$stage/platforms/"
cp "$qt"/plugins/styles/*.dll "$stage/styles/"
cp "$qt"/plugins/imageformats/*.dll "$stage/imageformats/"
cp /usr/share/qt6/translations/qtbase_de.qm "$stage/translations/"
# Qt takes the program's folder for its own: plugins beside the programs, translations below.
printf '[Paths]\r\nPrefix = .\r\nPlugins = .\r\nTranslations = translations\r\n' >"$stage/qt.conf"
# The administrator's settings file, with Windows line ends; the documentation lies in the
# folder itself.
sed -e 's/\r$//' -e 's|(installiert: /usr/share/doc/torvanel-client/docs/settings.md)|(im Programmordner: docs\\settings.md)|' \
  -e 's/$/\r/' packaging/TorvanelClient.ini.sample >"$stage/TorvanelClient.ini"
cp README.md "$stage/"
cp docs/settings.md "$stage/docs/"
cp sim/README.md "$stage/sim/"
# Qt is LGPL-3 (with the GPL-3 it builds on); its source is Debian's package qt6-base.
cp /usr/share/common-licenses/LGPL-3 "$stage/licenses/Qt-LGPL-3.txt"
cp /usr/share/common-licenses/GPL-3 "$stage/licenses/GPL-3.txt"

# Every library a program or plugin loads comes along, unless Windows has it: what neither
# Qt nor MinGW-w64 provides is the system's.
imports() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p'; }
changed=1
while [ $changed -eq 1 ]; do
  changed=0
  while IFS= read -r -d '' binary; do
    for dll in $(imports "$binary"); do
      [ -e "$stage/$dll" ] && continue
      for dir in "$qt/bin" "$mingw_runtime" "$mingw_lib"; do
        if [ -e "$dir/$dll" ]; then
          cp "$dir/$dll" "$stage/"
          changed=1
          break
        fi
      done
    done
  done < <(find "$stage" -name '*.exe' -print0 -o -name '*.dll' -print0)
done

# The same sources give the same zip: every file dated by the last commit (strip writes that
# date into the headers too), in a fixed order, without the owner and extra time fields zip
# would add.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
export SOURCE_DATE_EPOCH
# Qt comes stripped; the programs and Debian's MinGW-w64 runtime still carry their symbols.
x86_64-w64-mingw32-strip --strip-unneeded "$stage"/*.exe "$stage"/lib*.dll
find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

mkdir -p build/packages
zip_file=$root/build/packages/$name.zip
rm -f "$zip_file"
(cd build/windows-package && find "$name" | LC_ALL=C sort | TZ=UTC zip -q -X -D "$zip_file" -@)
echo "$zip_file"

echo "=== Package checks"
fail() {
  echo "Windows package check failed: $1" >&2
  for log in "$scratch"/*.log; do
    [ -e "$log" ] && { echo "--- $log"; cat "$log"; }
  done
  exit 1
}
unpacked=$scratch/unpacked
mkdir -p "$unpacked"
(cd "$unpacked" && unzip -q "$zip_file")
app=$unpacked/$name
for f in TorvanelClient.exe torvanel-sim.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll Qt6Network.dll \
  libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll platforms/qwindows.dll \
  platforms/qoffscreen.dll translations/qtbase_de.qm qt.conf TorvanelClient.ini README.md; do
  [ -f "$app/$f" ] || fail "$f is not in the package"
done
grep -q $'H_Port=6767\r$' "$app/TorvanelClient.ini" || fail "TorvanelClient.ini lacks its CRLF line ends"
# A tray program opens no console window; the simulator is a console program.
subsystem() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^Subsystem.*(\(.*\))$/\1/p'; }
[ "$(subsystem "$app/TorvanelClient.exe")" = "Windows GUI" ] ||
  fail "TorvanelClient.exe is not a GUI program"
[ "$(subsystem "$app/torvanel-sim.exe")" = "Windows CUI" ] ||
  fail "torvanel-sim.exe is not a console program"
# The client carries its icon for the Explorer and shortcuts, in every size they ask for.
wrestool -x --type=group_icon --name=MAINICON "$app/TorvanelClient.exe" >"$scratch/icon.ico"
[ "$(icotool -l "$scratch/icon.ico" | sed -n 's/.*--width=\([0-9]*\).*/\1/p' | xargs)" = "16 32 48 256" ] ||
  fail "TorvanelClient.exe lacks its icon"
for binary in "$app"/*.exe "$app"/*.dll "$app"/*/*.dll; do
  for dll in $(imports "$binary"); do
    for dir in "$qt/bin" "$mingw_runtime" "$mingw_lib"; do
      [ -e "$dir/$dll" ] && [ ! -e "$app/$dll" ] && fail "$(basename "$binary") needs $dll"
    done
  done
done

echo "=== Smoke run: the unpacked client under Wine against the Linux simulator"
sim_log=$scratch/sim.log
client_log=$scratch/client.log
build/default/sim/torvanel-sim --port 0 --table "$scratch/table.txt" --verbose \
  </dev/null >"$sim_log" 2>&1 &
sim=$!
pids+=("$sim")
if ! port=$(wait_for_sim_port "$sim_log" "$sim"); then
  kill -0 "$sim" 2>/dev/null || fail "the simulator ended"
  fail "the simulator did not say its port"
fi
sed -i "s/^H_Port=.*\r$/H_Port=$port\r/" "$app/TorvanelClient.ini"
grep -q "^H_Port=$port" "$app/TorvanelClient.ini" || fail "no port set in TorvanelClient.ini"
# Only what the package holds: no WINEPATH to Qt or MinGW-w64.
(cd "$app" && exec env -u WINEPATH wine64 TorvanelClient.exe >"$client_log" 2>&1) &
client=$!
pids+=("$client")
expect_client_served "$sim" "$client" "$sim_log"
echo "client from the zip on the simulator's port $port: table requested, heartbeat answered"
echo "Windows checks passed"
