# Debian's arm64 Wine, run on this x86-64 machine through qemu-aarch64: the root it lives in
# (made from Debian's packages, kept outside the clone and reused while its package versions
# stay the same) and the host scripts that send every process Wine starts back into qemu.
# Sourced by tools/arm64-wine-root, tools/test and cmake/wine-run-arm64.

ARM64_WINE_ROOT=${VT_ARM64_WINE_ROOT:-/var/cache/vantorel/arm64-wine-root}
# The apt state of the version check lives beside the root, so the check downloads only what
# changed in the archive since the last one.
ARM64_WINE_APT=$ARM64_WINE_ROOT.apt
ARM64_WINE_STAMP_NAME=.package-versions
# Raised whenever what this file writes into the root changes, so that older roots are made anew.
ARM64_WINE_RECIPE=3
ARM64_QEMU=/usr/bin/qemu-aarch64
# The Debian archive the root comes from: the system's own.
ARM64_WINE_SOURCES=/etc/apt/sources.list.d/debian.sources
# Wine runs bin_dir/<name of its argv[0]> for every new process, bin_dir being the folder of
# /proc/self/exe (the dynamic loader's copy beside Wine's, see below), so the host script of this
# name there is what each of them starts.
ARM64_WINE_LOADER_NAME=wine64-qemu
ARM64_WINE_LOADER=$ARM64_WINE_ROOT/usr/lib/wine/$ARM64_WINE_LOADER_NAME
ARM64_WINESERVER=$ARM64_WINE_ROOT/usr/lib/wine/wineserver

# What the root holds, no more: Wine itself; the X11 client libraries that winex11.so dlopens
# (libX11 and libXext it links); libglvnd's libGL (winex11's GLX, which opengl32 and wined3d
# draw through) with Mesa's GLX and its software rasteriser; gnutls, which crypt32, bcrypt and
# secur32 dlopen, as on the x64 host; Wine's own fonts, which it reads from its data folder.
ARM64_WINE_PACKAGES=(
  wine64 libwine
  libx11-6 libxext6 libxcomposite1 libxcursor1 libxfixes3 libxi6 libxinerama1 libxrandr2
  libxrender1 libxxf86vm1
  libgl1 libglx-mesa0 libgl1-mesa-dri
  libgnutls30
  fonts-wine
)

# Prints, sorted, name_version_arch of every package the root is made of, as Debian's archive
# resolves the list now: apt for arm64 with a state of its own (lists beside the root, an empty
# dpkg status) and the same sources as mmdebstrap is given, so the system's apt state is neither
# used nor touched.
arm64_wine_resolve() {
  local apt=$ARM64_WINE_APT
  mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/sources"
  : >>"$apt/status"
  ln -sfn "$ARM64_WINE_SOURCES" "$apt/sources/$(basename "$ARM64_WINE_SOURCES")"
  local opts=(
    -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt/sources"
    -o APT::Architecture=arm64 -o APT::Architectures=arm64
    -o Dir::State::Lists="$apt/lists" -o Dir::State::status="$apt/status"
    -o Dir::Cache="$apt/cache" -o Dir::Etc::Preferences=/dev/null
    -o Dir::Etc::PreferencesParts=/dev/null -o APT::Install-Recommends=false
    -o Debug::NoLocking=true
  )
  apt-get "${opts[@]}" -qq update >/dev/null ||
    { echo "arm64 Wine root: apt-get update for arm64 failed" >&2; return 1; }
  local uris
  uris=$(apt-get "${opts[@]}" -qq --print-uris install "${ARM64_WINE_PACKAGES[@]}") ||
    { echo "arm64 Wine root: apt cannot resolve ${ARM64_WINE_PACKAGES[*]} for arm64" >&2; return 1; }
  # Each line: 'URI' name_version_arch.deb size hash; the version's epoch is written %3a.
  awk '{ sub(/\.deb$/, "", $2); gsub(/%3a/, ":", $2); print $2 }' <<<"$uris" | sort
}

# The stamp of a root made by this recipe from the package versions $1.
arm64_wine_stamp() {
  printf 'recipe %s\n%s\n' "$ARM64_WINE_RECIPE" "$1"
}

# True when the root exists and its stamp is $1.
arm64_wine_root_current() {
  [ -f "$ARM64_WINE_ROOT/$ARM64_WINE_STAMP_NAME" ] &&
    [ "$(cat "$ARM64_WINE_ROOT/$ARM64_WINE_STAMP_NAME")" = "$1" ]
}

# Writes the host scripts into root $1. Each starts an arm64 program of the root under qemu
# through the root's own dynamic loader and libraries. qemu's library root (-L) is not used: under
# it "/" is the root for every path a program names, so Wine maps no unix path to drive Z: (nor
# the working folder), and its server, resolving the host's paths against the root, loses the
# names of open files. The loader's copy beside Wine's is what qemu reports as /proc/self/exe, so
# Wine still finds its files there, and this script as the loader of every process it starts.
# The scripts find the root from their own place, so the root may be made in one folder and moved
# to another.
arm64_wine_write_wrappers() {
  local bin=$1/usr/lib/wine
  [ -x "$bin/wine64" ] && [ -x "$bin/wineserver64" ] ||
    { echo "arm64 Wine root: $bin lacks wine64 or wineserver64" >&2; return 1; }
  cp -L "$1/lib/ld-linux-aarch64.so.1" "$bin/ld-linux-aarch64.so.1"
  arm64_wine_write_wrapper "$bin/$ARM64_WINE_LOADER_NAME" wine64 \
    "Wine's loader; Wine runs this script for each process it starts."
  # Debian's wineserver is a shell script that would start the host's x86-64 server.
  arm64_wine_write_wrapper "$bin/wineserver" wineserver64 \
    "Wine's server; Wine runs this script when no server is up."
}

# Writes script $1 that starts program $2 of its own folder; $3 says what for. Mesa's drivers
# and the X11 locale data come from the root; fontconfig reads the host's configuration, fonts
# and font cache, as the x64 Wine does, so both runs draw with the same fonts.
arm64_wine_write_wrapper() {
  cat >"$1" <<EOF
#!/bin/sh
# Starts arm64 $3
bin=\$(dirname "\$(readlink -f "\$0")")
root=\$(cd "\$bin/../../.." && pwd)
export LIBGL_DRIVERS_PATH="\$root/usr/lib/aarch64-linux-gnu/dri"
export XLOCALEDIR="\$root/usr/share/X11/locale"
exec $ARM64_QEMU "\$bin/ld-linux-aarch64.so.1" \\
  --library-path "\$root/lib/aarch64-linux-gnu:\$root/usr/lib/aarch64-linux-gnu" \\
  --argv0 "\$(basename "\$0")" "\$bin/$2" "\$@"
EOF
  chmod 755 "$1"
}

# Fails with the way out when the root is missing: the runner does not make it.
arm64_wine_root_required() {
  if [ ! -x "$ARM64_WINE_LOADER" ] || [ ! -f "$ARM64_WINE_ROOT/$ARM64_WINE_STAMP_NAME" ]; then
    echo "arm64 Wine root missing or incomplete at $ARM64_WINE_ROOT: run tools/arm64-wine-root" >&2
    return 1
  fi
  [ -x "$ARM64_QEMU" ] || { echo "$ARM64_QEMU missing (Debian package qemu-user)" >&2; return 1; }
}
