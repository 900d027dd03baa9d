# The one configure line of the project's scripts: the folder, then any
# further cmake options (the build type defaults to RelWithDebInfo).
# Usage: configure <build folder> [cmake options...]
configure() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
}
