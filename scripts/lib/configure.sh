# The one configure line of the project's scripts: the folder, then any
# further cmake options (the build type defaults to RelWithDebInfo).
# Usage: configure <build folder> [cmake options...]
configure() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
}

# The project's version, as the top CMakeLists.txt sets it (the one place).
project_version() {
  sed -n 's/^project(iap_tool VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt
}
