#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks where the installed program keeps its
# settings file: in the user's configuration folder when its own folder cannot be written (as
# after a package install), beside the program for a copy in a writable folder of its own.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }
for f in bin/qnview bin/qnctl bin/qnsim share/applications/qnview.desktop \
         share/icons/hicolor/48x48/apps/qnview.png share/icons/hicolor/256x256/apps/qnview.png; do
  [ -e "$prefix/$f" ] || fail "not installed: $f"
done
"$prefix/bin/qnview" --version | grep -q '^QN-VIEW 1\.' || fail "qnview --version"
"$prefix/bin/qnview" --help | grep -q -- '--search-address' || fail "qnview --help"

export HOME=$work/home XDG_CONFIG_HOME=$work/home/config
expected=$XDG_CONFIG_HOME/QN-VIEW/qnview.ini
# A program folder nobody may write: a read-only mount where we are root (root ignores the
# permission bits), the permission bits otherwise.
if [ "$(id -u)" -eq 0 ]; then
  if ! unshare -m true 2>/dev/null; then
    echo "SKIP read-only program folder: no private mount namespace here"
  else
    got=$(unshare -m -- sh -c 'mount --bind "$1" "$1" && mount -o remount,bind,ro "$1" && "$1/qnview" --print-settings-path' \
          sh "$prefix/bin")
    [ "$got" = "$expected" ] || fail "read-only folder: settings at '$got', expected '$expected'"
  fi
else
  chmod a-w "$prefix/bin"
  got=$("$prefix/bin/qnview" --print-settings-path)
  chmod u+w "$prefix/bin"
  [ "$got" = "$expected" ] || fail "read-only folder: settings at '$got', expected '$expected'"
fi

# A portable copy in a writable folder keeps its file beside it, as always.
mkdir -p "$work/portable"
cp "$prefix/bin/qnview" "$work/portable/"
got=$("$work/portable/qnview" --print-settings-path)
[ "$got" = "$work/portable/qnview.ini" ] || fail "portable copy: settings at '$got'"
echo "install test passed"
