# Shared by tools/build and tools/test: the Debian packages the builds need, installed when
# missing (these machines run the scripts as root), and the Wine session for the mingw tests.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

BUILD_PACKAGES=(
  cmake g++ make googletest libgtest-dev libgmock-dev libbenchmark-dev libyuv-dev
  mingw-w64 g++-mingw-w64-x86-64-posix
  wine64 wine xvfb xauth libgl1-mesa-dri fonts-dejavu-core
  osslsigncode openssl clang libclang-rt-14-dev unicode-data python3
)

# The ARM64 builds and checks: clang 19 with lld 19 and LLVM's tools builds the Windows ARM64
# build (over tools/arm64-toolchain's runtime), the aarch64 cross compiler and qemu build and run
# the portable core's tests on aarch64 Linux, and clang-cl 19 with LLVM's lld-link, llvm-lib,
# llvm-rc and llvm-mt configures the MSVC build.
ARM64_PACKAGES=(clang-19 lld-19 llvm-19 g++-aarch64-linux-gnu qemu-user)

ensure_packages() {
  local missing=()
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  # Another install on this machine may hold dpkg's lock for a while: wait for it.
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq -o DPkg::Lock::Timeout=600 \
    "${missing[@]}"
}

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

# Starts Xvfb on a free display and a persistent wineserver for the prefix of build folder $1,
# creating the prefix the first time. wine_session_end stops both.
wine_session_start() {
  export WINEPREFIX="$1/wineprefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64

  local display=99
  while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
  Xvfb ":$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
  XVFB_PID=$!
  export DISPLAY=":$display"
  local i
  for i in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done

  mkdir -p "$WINEPREFIX"
  "$WINESERVER" -p </dev/null >/dev/null 2>&1
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$WINE" wineboot -i </dev/null >/dev/null 2>&1
  fi
  # DirectWrite needs the badge's font family; the prefix maps it to an installed font.
  "$WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Segoe UI Variable Text' \
    /d 'DejaVu Sans' /f </dev/null >/dev/null 2>&1
  # Wine's system processes (services, devices) live only while some program runs, and a test
  # that starts them hands them its output pipes, so ctest would wait for them until its time-out.
  # One idle program for the whole session keeps them alive, started here with no pipes.
  (sleep infinity | "$WINE" cmd.exe >/dev/null 2>&1) &
  WINE_KEEPER_PID=$!
  sleep 1
}

wine_session_end() {
  [ -n "${WINEPREFIX:-}" ] && "$WINESERVER" -k 2>/dev/null || true
  if [ -n "${WINE_KEEPER_PID:-}" ]; then
    pkill -P "$WINE_KEEPER_PID" 2>/dev/null || true
    kill "$WINE_KEEPER_PID" 2>/dev/null || true
  fi
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
  WINE_KEEPER_PID=
  XVFB_PID=
}
