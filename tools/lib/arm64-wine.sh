# Debian's arm64 Wine, run on this x86-64 machine through qemu-aarch64: the root it lives in
# (made from Debian's packages, kept outside the clone and reused while its package versions
# stay the same) and the host scripts that send every process Wine starts back into qemu.
# Sourced by tools/arm64-wine-root, tools/test and cmake/wine-run-arm64.

ARM64_WINE_ROOT=${VT_ARM64_WINE_ROOT:-/var/cache/vantorel/arm64-wine-root}
# The apt state of the version check lives beside the root, so the check downloads only what
# changed in the archive since the last one.
ARM64_WINE_APT=$ARM64_WINE_ROOT.apt
ARM64_WINE_STAMP_NAME=.package-versions
ARM64_QEMU=/usr/bin/qemu-aarch64
# Wine runs bin_dir/<name of its argv[0]> for every new process, and bin_dir is where the ELF
# loader lies, so the host script of this name there is what each of them starts.
ARM64_WINE_LOADER_NAME=wine64-qemu
ARM64_WINE_LOADER=$ARM64_WINE_ROOT/usr/lib/wine/$ARM64_WINE_LOADER_NAME
ARM64_WINESERVER=$ARM64_WINE_ROOT/usr/lib/wine/wineserver

# What the root holds, no more: Wine itself; the X11 client libraries that winex11.so dlopens
# (libX11 and libXext it links); libglvnd's libGL (winex11's GLX, which opengl32 and wined3d
# draw through) with Mesa's GLX and its software rasteriser; gnutls, which crypt32, bcrypt and
# secur32 dlopen, as on the x64 host; fontconfig and DejaVu so that DirectWrite finds the family
# the badge's font is mapped to, and Wine's own fonts as the x64 run has them.
ARM64_WINE_PACKAGES=(
  wine64 libwine
  libx11-6 libxext6 libxcomposite1 libxcursor1 libxfixes3 libxi6 libxinerama1 libxrandr2
  libxrender1 libxxf86vm1
  libgl1 libglx-mesa0 libgl1-mesa-dri
  libgnutls30
  fontconfig fonts-dejavu-core fonts-wine
)

# Prints, sorted, name_version_arch of every package the root is made of, as Debian's archive
# resolves the list now: apt for arm64 with a state of its own (lists beside the root, an empty
# dpkg status), so the system's apt state is neither used nor touched.
arm64_wine_resolve() {
  local apt=$ARM64_WINE_APT
  mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial"
  : >>"$apt/status"
  local opts=(
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

# True when the root exists and was made from exactly the versions in $1.
arm64_wine_root_current() {
  [ -f "$ARM64_WINE_ROOT/$ARM64_WINE_STAMP_NAME" ] &&
    [ "$(cat "$ARM64_WINE_ROOT/$ARM64_WINE_STAMP_NAME")" = "$1" ]
}

# Writes the host scripts into root $1. They find the root from their own place, so the root
# may be made in one folder and moved to another.
arm64_wine_write_wrappers() {
  local bin=$1/usr/lib/wine
  [ -x "$bin/wine64" ] && [ -x "$bin/wineserver64" ] ||
    { echo "arm64 Wine root: $bin lacks wine64 or wineserver64" >&2; return 1; }
  cat >"$bin/$ARM64_WINE_LOADER_NAME" <<EOF
#!/bin/sh
# Starts arm64 Wine's loader under qemu; Wine runs this script for each process it starts.
root=\$(cd "\$(dirname "\$(readlink -f "\$0")")/../../.." && pwd)
exec $ARM64_QEMU -L "\$root" -0 $ARM64_WINE_LOADER_NAME "\$root/usr/lib/wine/wine64" "\$@"
EOF
  # Debian's wineserver is a shell script that would start the host's x86-64 server.
  cat >"$bin/wineserver" <<EOF
#!/bin/sh
# Starts arm64 Wine's server under qemu; Wine runs this script when no server is up.
root=\$(cd "\$(dirname "\$(readlink -f "\$0")")/../../.." && pwd)
exec $ARM64_QEMU -L "\$root" -0 wineserver "\$root/usr/lib/wine/wineserver64" "\$@"
EOF
  chmod 755 "$bin/$ARM64_WINE_LOADER_NAME" "$bin/wineserver"
}

# Fails with the way out when the root is missing: the runner does not make it.
arm64_wine_root_required() {
  if [ ! -x "$ARM64_WINE_LOADER" ] || [ ! -f "$ARM64_WINE_ROOT/$ARM64_WINE_STAMP_NAME" ]; then
    echo "arm64 Wine root missing or incomplete at $ARM64_WINE_ROOT: run tools/arm64-wine-root" >&2
    return 1
  fi
  [ -x "$ARM64_QEMU" ] || { echo "$ARM64_QEMU missing (Debian package qemu-user)" >&2; return 1; }
}

# qemu's library root stands for "/" in every path an arm64 process names, so a folder of the
# host is reachable at the same path only when the root holds no folder of that name. The root's
# own /tmp and /dev give way to the host's, and every top folder of the host that the root lacks
# gets a link there: then "/X/..." names the same file for the host and for Wine. /proc and /sys
# stay out, since qemu answers parts of /proc itself and a link would bypass it.
arm64_wine_link_host_dirs() {
  local root=$1 dir name
  for name in tmp dev; do
    if [ ! -L "$root/$name" ]; then
      rm -rf "${root:?}/$name"
      ln -s "/$name" "$root/$name"
    fi
  done
  for dir in /*/; do
    name=$(basename "$dir")
    case $name in proc | sys) continue ;; esac
    [ -e "$root/$name" ] || [ -L "$root/$name" ] || ln -s "/$name" "$root/$name"
  done
}

# Makes prefix $1's drive Z: the root, which is what "/" is to an arm64 process, so that Wine
# maps unix paths (the working folder among them) to Z: as it does on the host. A new prefix
# gets its drive folders here, before Wine's first start would link Z: to "/".
arm64_wine_prefix_prepare() {
  local devices=$1/dosdevices
  if [ ! -d "$devices" ]; then
    mkdir -p "$1/drive_c" "$devices"
    ln -sfn ../drive_c "$devices/c:"
  fi
  if [ "$(readlink "$devices/z:" || true)" != "$ARM64_WINE_ROOT" ]; then
    ln -sfn "$ARM64_WINE_ROOT" "$devices/z:.$$"
    mv -T "$devices/z:.$$" "$devices/z:"
  fi
}
