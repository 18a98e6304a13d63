# Shared by the scripts of this folder: installing what is missing and
# building. Source it; do not run it.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Installs the Debian/Ubuntu packages among "$@" that are not installed.
ensure_packages() {
  local missing=()
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
  ensure_packages cmake make g++ zlib1g-dev libgtest-dev
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
