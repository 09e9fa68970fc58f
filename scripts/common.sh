# Shared by scripts/test and scripts/demo: install what is missing, configure and build.
# Sourced, not run.

QN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Debian packages the build, the tests and the demo need.
QN_PACKAGES=(cmake ninja-build ccache g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-ipafont-gothic fonts-vlgothic xvfb xauth x11-apps imagemagick xdotool
  dbus-daemon at-spi2-core python3-dbus
  iproute2 util-linux procps
  dpkg-dev desktop-file-utils qt6-qpa-plugins qt6-translations-l10n systemd
  clang-14 libfuzzer-14-dev
  libpaho-mqtt-dev libssl-dev mosquitto mosquitto-clients openssl
  protobuf-c-compiler libprotobuf-c-dev nodejs)
# Only scripts/test needs these: the MinGW-w64 cross compiler of the Windows build,
# Wine to run its tests, and wixl (msitools) to make its MSI.
QN_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64 wine wine64 msitools wixl xz-utils)

# qn_install_missing [more packages...]: QN_PACKAGES and the ones named.
qn_install_missing() {
  local missing=()
  for p in "${QN_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]} (run as root to install them)" >&2
    return 1
  fi
  echo "installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# qn_build DIR [cmake options...]; QN_BUILD_TARGETS (space-separated) builds only those.
qn_build() {
  local dir=$1; shift
  # A compiler cache makes a rebuild on the same machine (another clone, CI after a session)
  # take minutes instead of the whole build; a cold build is no slower.
  local launcher=()
  if command -v ccache >/dev/null 2>&1; then
    export CCACHE_BASEDIR=$QN_ROOT CCACHE_NOHASHDIR=1
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$QN_ROOT" -B "$QN_ROOT/$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null || return 1
  # shellcheck disable=SC2086 # a list of target names
  cmake --build "$QN_ROOT/$dir" -j "$(nproc)" ${QN_BUILD_TARGETS:+--target $QN_BUILD_TARGETS}
}

# The Sparkplug B decoder the tests and scripts/demo-mqtt read qnlog's payloads with: the npm
# packages of tests/mqtt/sparkplug, as its package-lock.json pins them (npm ci), under Node.js.
qn_install_sparkplug_decoder() {
  command -v npm >/dev/null || qn_install_missing npm || return 1
  local dir="$QN_ROOT/tests/mqtt/sparkplug"
  [ -f "$dir/node_modules/sparkplug-payload/package.json" ] && return 0
  echo "installing the Sparkplug B decoder's npm packages in $dir"
  (cd "$dir" && npm ci --no-audit --no-fund --ignore-scripts >/dev/null)
}
