# Sourced by the Wine runners: the prefix of the build tree that holds a test executable.

# Prints the prefix for executable $1: "wineprefix" beside the CMakeCache.txt of its build tree.
wine_build_prefix() {
  local dir
  dir=$(cd "$(dirname "$1")" && pwd)
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  echo "$dir/wineprefix"
}
