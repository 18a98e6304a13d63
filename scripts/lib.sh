# Shared by the scripts of this folder: installing what is missing and
# building. Source it; do not run it.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Installs the Debian/Ubuntu packages among "$@" that are not installed.
ensure_packages() {
  local missing=() package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null |
        grep -q 'install ok installed'; then
      missing+=("$package")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}" >&2
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo apt-get update -q >&2
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}" >&2
}

# Lets dpkg install packages of the architecture $1 (such as i386) beside
# the machine's own. The next ensure_packages that finds something missing
# updates the package lists, which then hold that architecture too.
ensure_architecture() {
  local arch="$1"
  if [ "$(dpkg --print-architecture)" = "$arch" ] ||
      dpkg --print-foreign-architectures | grep -qx "$arch"; then
    return 0
  fi
  echo "Adding the package architecture $arch" >&2
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo dpkg --add-architecture "$arch"
}

# What building and testing need.
ensure_build_packages() {
  ensure_packages cmake make g++ zlib1g-dev libexpat1-dev libarchive-dev liblzma-dev libgtest-dev
}

# Configures and builds into the folder $1 with the extra CMake options
# that follow.
build_into() {
  local build_dir="$1"
  shift
  cmake -S "$ROOT" -B "$build_dir" "$@" >/dev/null
  cmake --build "$build_dir" -j "$(nproc)"
}

# Lets apt fetch source packages: a "deb-src" twin of each "deb" entry of
# the machine's own deb822 source lists, once.
ensure_source_entries() {
  local twin=/etc/apt/sources.list.d/sorters-sources.sources
  [ -f "$twin" ] && return 0
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  for list in /etc/apt/sources.list.d/*.sources; do
    sed -n 's/^Types: deb$/Types: deb-src/; p' "$list"
    echo
  done | $sudo tee "$twin" >/dev/null
  $sudo apt-get update -q >&2
}

# Unpacks the source of the distribution's source package $1, with the
# distribution's own patches (its security fixes among them) applied, into
# the folder $2, made anew; the downloads are kept in $3. A mirror may lack
# a version's files, so each version the lists name is tried in turn,
# newest first.
unpack_distribution_source() {
  local package="$1" source_dir="$2" downloads="$3"
  ensure_packages dpkg-dev
  ensure_source_entries
  mkdir -p "$downloads"
  local dsc version
  dsc=$(find "$downloads" -maxdepth 1 -name "${package}_*.dsc" | head -n 1)
  if [ -z "$dsc" ]; then
    for version in $(apt-cache showsrc "$package" | sed -n 's/^Version: //p' | sort -rV); do
      (cd "$downloads" && apt-get source --download-only "$package=$version" >/dev/null 2>&1) && break
    done
    dsc=$(find "$downloads" -maxdepth 1 -name "${package}_*.dsc" | head -n 1)
  fi
  [ -n "$dsc" ] || { echo "no source of $package found" >&2; exit 1; }
  rm -rf "$source_dir"
  dpkg-source --no-check -x "$dsc" "$source_dir" >/dev/null
}

# Builds expat's static library from the distribution's source with the
# CMake toolchain file $1 and installs it into $2, once: $2/include and
# $2/lib/libexpat.a are all a build needs.
build_static_expat() {
  local toolchain="$1" prefix="$2" work="$ROOT/build-expat-source"
  [ -f "$prefix/lib/libexpat.a" ] && return 0
  local tree
  tree="$work/$(basename "$toolchain" .cmake)"
  unpack_distribution_source expat "$tree" "$work"
  # The distribution's tree holds the library's own in a folder "expat".
  [ -d "$tree/expat" ] && tree="$tree/expat"
  # Its patches test "XML_DTD == 1", as its own (autotools) build defines
  # it; expat's CMake build would define it empty.
  sed -i 's/^#cmakedefine XML_DTD$/#cmakedefine XML_DTD 1/' "$tree/expat_config.h.cmake"
  cmake -S "$tree" -B "$tree/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib \
    -DEXPAT_SHARED_LIBS=OFF -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF \
    -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_PKGCONFIG=OFF >/dev/null
  cmake --build "$tree/build" -j "$(nproc)" >/dev/null
  cmake --install "$tree/build" >/dev/null
}

# Configures the source tree $1 with the CMake toolchain file $2 and the
# options that follow, for static libraries only, and builds the target $3.
build_static_target() {
  local tree="$1" toolchain="$2" target="$3"
  shift 3
  # Their warnings are their makers' to read, not ours.
  cmake -S "$tree" -B "$tree/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DCMAKE_C_FLAGS=-w "$@" >/dev/null
  cmake --build "$tree/build" --target "$target" -j "$(nproc)" >/dev/null
}

# Builds what reading archives needs as static libraries, from the
# distribution's sources, with the CMake toolchain file $1, into $2 (its
# include/ and lib/ hold libarchive, liblzma and libbz2), once. The options
# after $2 tell libarchive's build where the target's zlib is. Only the
# readers of the formats the programs open are wanted: no crypto, no
# other compressors, no attributes.
build_static_archive() {
  local toolchain="$1" prefix="$2" work="$ROOT/build-archive-source"
  shift 2
  [ -f "$prefix/lib/libarchive.a" ] && return 0
  local trees="$work/$(basename "$toolchain" .cmake)"
  mkdir -p "$prefix/include" "$prefix/lib" "$trees"
  # bzip2's own build is a Makefile for the build machine: its library's
  # sources are compiled here through a CMake project of two lines.
  unpack_distribution_source bzip2 "$trees/bzip2" "$work"
  printf '%s\n' 'project(bz2 C)' 'add_library(bz2 STATIC blocksort.c huffman.c crctable.c
    randtable.c compress.c decompress.c bzlib.c)' >"$trees/bzip2/CMakeLists.txt"
  build_static_target "$trees/bzip2" "$toolchain" bz2
  cp "$trees/bzip2/bzlib.h" "$prefix/include/"
  cp "$trees/bzip2/build/libbz2.a" "$prefix/lib/"
  unpack_distribution_source xz-utils "$trees/xz" "$work"
  build_static_target "$trees/xz" "$toolchain" liblzma
  cp -r "$trees/xz/src/liblzma/api/lzma.h" "$trees/xz/src/liblzma/api/lzma" "$prefix/include/"
  cp "$trees/xz/build/liblzma.a" "$prefix/lib/"
  unpack_distribution_source libarchive "$trees/libarchive" "$work"
  local off=()
  for feature in MBEDTLS NETTLE OPENSSL LIBB2 LZ4 LZO ZSTD LIBXML2 EXPAT PCREPOSIX LIBGCC CNG \
                 TAR CPIO CAT XATTR ACL ICONV TEST INSTALL WERROR; do
    off+=("-DENABLE_$feature=OFF")
  done
  build_static_target "$trees/libarchive" "$toolchain" archive_static "${off[@]}" "$@" \
    -DPOSIX_REGEX_LIB=NONE \
    -DLIBLZMA_INCLUDE_DIR="$prefix/include" -DLIBLZMA_LIBRARY="$prefix/lib/liblzma.a" \
    -DBZIP2_INCLUDE_DIR="$prefix/include" -DBZIP2_LIBRARY_RELEASE="$prefix/lib/libbz2.a"
  cp "$trees/libarchive/libarchive/archive.h" "$trees/libarchive/libarchive/archive_entry.h" \
    "$prefix/include/"
  # Named libarchive_static.a where it sits beside a DLL's import library.
  cp "$(ls "$trees"/libarchive/build/libarchive/libarchive*.a | head -n 1)" \
    "$prefix/lib/libarchive.a"
}

# Whether this machine can execute 32-bit x86 programs. Some virtual
# machines cannot, even with a kernel built for it: there any 32-bit
# program fails with "Exec format error". The answer comes from running
# the 32-bit wine loader (installed for the i686 tests anyway), else the
# 32-bit dynamic loader, and is asked once per script.
can_run_32bit() {
  if [ -z "${SORTERS_RUNS_32BIT:-}" ]; then
    SORTERS_RUNS_32BIT=no
    local probe
    for probe in /usr/lib/wine/wine /lib/ld-linux.so.2; do
      if [ -e "$probe" ]; then
        if "$probe" --version >/dev/null 2>&1; then SORTERS_RUNS_32BIT=yes; fi
        break
      fi
    done
  fi
  [ "$SORTERS_RUNS_32BIT" = yes ]
}

# The one line a log shows where the i686 programs were built but could
# not be run.
say_no_32bit() {
  echo "this machine cannot run 32-bit programs; the i686 tests were not run" >&2
}

# Sets up wine for console programs: one prefix for all builds, made once.
# Console programs need no display, and the prefix needs neither Mono nor
# Gecko. WINE names the program that starts a Windows program: Debian's
# wrapper where 32-bit programs run; elsewhere the 64-bit loader itself,
# since the wrapper picks the 32-bit loader whenever it is installed,
# even where it cannot execute.
prepare_wine() {
  export WINEPREFIX="${SORTERS_WINEPREFIX:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/sorters-wine}"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  unset DISPLAY WAYLAND_DISPLAY
  WINE=wine
  if ! can_run_32bit && [ -x /usr/lib/wine/wine64 ]; then
    export WINELOADER=/usr/lib/wine/wine64
    WINE="$WINELOADER"
  fi
  # A prefix made by the 64-bit loader alone cannot start 32-bit programs:
  # make it anew when the machine's answer differs from the one it was
  # made with.
  local made_for="$WINEPREFIX/sorters-runs-32bit"
  if [ -f "$WINEPREFIX/system.reg" ] &&
      [ "$(cat "$made_for" 2>/dev/null)" != "$SORTERS_RUNS_32BIT" ]; then
    rm -rf "$WINEPREFIX"
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Preparing the wine prefix $WINEPREFIX" >&2
    mkdir -p "$(dirname "$WINEPREFIX")"
    boot_log="$(mktemp)"
    if ! "$WINE" wineboot -i >"$boot_log" 2>&1; then
      cat "$boot_log" >&2
      exit 1
    fi
    rm -f "$boot_log"
    wineserver -w
    echo "$SORTERS_RUNS_32BIT" >"$made_for"
  fi
}
