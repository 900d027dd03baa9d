# The Windows build the scripts share: mingw-w64 and Wine installed, the Qt
# SDK for Windows unpacked into build-win/qt6-mingw, libarchive cross-built
# from Debian's sources into build-win/libarchive-mingw (once: again only
# when its build script changes), a Wine prefix of the build's own (with a
# Tahoma, which Wine lacks: without it Qt draws text boxes empty), and the
# cross build configured in build-win/.
# Usage: . scripts/lib/windows.sh; windows_setup
windows_setup() {
  scripts/bootstrap g++-mingw-w64-x86-64-posix wine wine64 fonts-wine googletest xz-utils zip unzip xvfb xauth \
    dpkg-dev libz-mingw-w64-dev
  local root=$PWD
  local sdk=$root/../shared/sdk/qt6.4.2-mingw-x86_64.tar.xz
  [ -f "$sdk" ] || { echo "windows: no Qt SDK at $sdk" >&2; return 1; }
  mkdir -p build-win
  if [ ! -f build-win/qt6-mingw/.unpacked ] || [ "$sdk" -nt build-win/qt6-mingw/.unpacked ]; then
    rm -rf build-win/qt6-mingw
    tar xJf "$sdk" -C build-win
    touch build-win/qt6-mingw/.unpacked
  fi
  qt_win=$root/build-win/qt6-mingw
  archive_win=$root/build-win/libarchive-mingw
  local recipe=packaging/windows/libarchive/build-libarchive-mingw
  if [ ! -f "$archive_win/VERSIONS" ] || [ "$recipe" -nt "$archive_win/VERSIONS" ]; then
    echo "windows: building libarchive for Windows from Debian's sources (once, a few minutes)"
    rm -rf "$archive_win"
    "$recipe" build-win/libarchive-build "$archive_win"
  fi
  export WINEPREFIX=$root/build-win/wineprefix WINEARCH=win64 WINEDEBUG=-all
  # The mingw runtime's, Qt's and libarchive's DLLs for the programs and
  # tests of the build.
  export WINEPATH="/usr/lib/gcc/x86_64-w64-mingw32/12-posix;/usr/x86_64-w64-mingw32/lib;$qt_win/bin;$archive_win/bin"
  [ -f "$WINEPREFIX/system.reg" ] || wineboot --init >/dev/null 2>&1
  [ -f "$WINEPREFIX/drive_c/windows/Fonts/tahoma.ttf" ] ||
    cp /usr/share/wine/fonts/tahoma*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  QT_PLUGIN_PATH=$(winepath -w "$qt_win/plugins")
  export QT_PLUGIN_PATH
  configure build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DIAP_BENCH=OFF -DIAP_WITH_QT=ON -DIAP_TESTS=ON \
    -DCMAKE_PREFIX_PATH="$qt_win" -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DLibArchive_INCLUDE_DIR="$archive_win/include" -DLibArchive_LIBRARY="$archive_win/lib/libarchive.dll.a"
}
