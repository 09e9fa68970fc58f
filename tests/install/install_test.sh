#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the installed files, --version and
# --help. Then works the installed program on a virtual screen as a user does: started
# from a program folder nobody may write (as after a package install), a formula changed
# in a unit's window lands in the settings file in the user's configuration folder; a
# portable copy in a writable folder keeps the file beside it, as always.
# Usage: install_test.sh BUILD_DIR. Exit status 77: skipped (no virtual screen here).
set -euo pipefail
build=$1
. "$(dirname "$0")/../../scripts/gui.sh"
work=$(mktemp -d)
sim=
cleanup() {
  local rc=$?
  view_ended "install test: "
  stop_pid "$view"
  if [ "$rc" -ne 0 ] && [ -e "$work/qnview.log" ]; then
    echo "== QN-VIEW's output:" >&2
    if [ -s "$work/qnview.log" ]; then cat "$work/qnview.log" >&2; else echo "(none)" >&2; fi
  fi
  stop_pid "$sim"
  gui_stop
  chmod -R u+w "$work"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*"; exit 77; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/qnview bin/qnctl bin/qnsim share/applications/qnview.desktop \
         share/icons/hicolor/48x48/apps/qnview.png share/icons/hicolor/256x256/apps/qnview.png; do
  [ -e "$prefix/$f" ] || fail "not installed: $f"
done
"$prefix/bin/qnview" --version | grep -q '^QN-VIEW 1\.' || fail "qnview --version"
"$prefix/bin/qnview" --help | grep -q -- '--search-address' || fail "qnview --help"

for tool in Xvfb dbus-daemon xdotool; do
  command -v "$tool" >/dev/null || skip "no $tool here to run QN-VIEW on (scripts/test installs it)"
done
a11y --help >/dev/null 2>&1 || skip "scripts/a11y cannot run here (no python3-dbus?) to work QN-VIEW with"
# A program folder nobody may write: a read-only mount where we are root (root ignores
# the permission bits), the permission bits otherwise.
if [ "$(id -u)" -eq 0 ]; then
  unshare -m true 2>/dev/null || skip "no private mount namespace here for a read-only program folder"
  installed=(unshare -m -- sh -c 'mount --bind "$0" "$0" && mount -o remount,bind,ro "$0" && exec "$0/qnview" "$@"'
             "$prefix/bin")
else
  chmod a-w "$prefix/bin"
  installed=("$prefix/bin/qnview")
fi

# One QN-210, ID 3, on an address of its own and a free TCP port; searches go to that
# address only, so units of tests running beside this one stay out of the list.
unit_ip=127.16.0.21
"$prefix/bin/qnsim" --unit "QN-210:3:$unit_ip:0" >"$work/qnsim.log" 2>&1 &
sim=$!
for _ in $(seq 100); do
  port=$(sed -n "s/^QN-210 ID 3 at ${unit_ip//./\\.}:\([0-9]*\) .*/\1/p" "$work/qnsim.log")
  [ -n "$port" ] && break
  kill -0 "$sim" 2>/dev/null || { cat "$work/qnsim.log" >&2; fail "qnsim did not start"; }
  sleep 0.1
done
[ -n "$port" ] || fail "qnsim named no port"

# The settings file, in code page 932 with CRLF line ends: a header line, then six lines
# per channel record (signal name, a, b, unit, graph minimum, graph maximum), records in
# the order model code (0: QN-210), unit ID, kind (0: input), channel; 7 channels a kind.
record=$(( ((0 * 16 + 3) * 2 + 0) * 7 + 0 ))  # AI1 of the QN-210 with ID 3
ai1_record() {  # ai1_record FILE: name, a, b and unit, in UTF-8
  sed -n "$((2 + 6 * record)),$((5 + 6 * record))p" "$1" 2>/dev/null | tr -d '\r' | iconv -f CP932 -t UTF-8 2>/dev/null
}
expected=$'1\n2.500000\n-1.250000\n℃'

# Starts QN-VIEW (COMMAND), connects to the unit, sets AI1's formula to 2.5 x - 1.25 in ℃,
# waits until the settings file FILE holds it, and ends QN-VIEW by its exit button.
change_formula() {  # change_formula FILE COMMAND...
  local file=$1 main='QN-VIEW' unit="QN-210\\(ID:3\\) - ${unit_ip//./\\.}" dialog='換算式と単位の設定'
  shift
  "$@" --search-address "$unit_ip" --language ja >"$work/qnview.log" 2>&1 &
  view=$!
  shows --in "$main" wait '状態' --text '^Version' >/dev/null
  a11y --in "$main" set-text 'QNNETポート\(P\) :' "$port"
  a11y --in "$main" do '検索\(S\)' Press
  shows --in "$main" wait 'デバイスリスト' --children 1 >/dev/null
  shows --in "$main" wait '状態' --text '^Version' >/dev/null
  a11y --in "$main" select ".*${unit_ip//./\\.}.*" || fail "the unit is not in the device list"
  a11y --in "$main" do '接続\(C\)' Press
  shows --in "$unit" wait 'DO1 出力状態' >/dev/null
  a11y --in "$unit" do 'AI1 換算式' Press
  shows --in "$dialog" wait '係数' >/dev/null
  a11y --in "$dialog" set-text '係数' 2.5
  a11y --in "$dialog" set-text 'オフセット' -1.25
  a11y --in "$dialog" set-text '単位' ℃
  a11y --in "$dialog" do 'OK' Press
  for _ in $(seq 600); do
    check_view
    [ "$(ai1_record "$file")" = "$expected" ] && break
    sleep 0.1
  done
  [ "$(ai1_record "$file")" = "$expected" ] || fail "$file does not hold AI1's new formula"
  [ "$(head -n 1 "$file")" = $'QNVIEW_02\r' ] && [ "$(wc -l <"$file")" -eq 4033 ] || fail "$file is not whole"
  a11y --in "$main" do '終了\(X\)' Press
  view_exits
}

gui_home "$work/home-installed"
gui_start "$work"
change_formula "$XDG_CONFIG_HOME/QN-VIEW/qnview.ini" "${installed[@]}"
[ ! -e "$prefix/bin/qnview.ini" ] || fail "a settings file appeared in the read-only program folder"

gui_home "$work/home-portable"
mkdir "$work/portable"
cp "$prefix/bin/qnview" "$work/portable/"
change_formula "$work/portable/qnview.ini" "$work/portable/qnview"
[ ! -e "$XDG_CONFIG_HOME/QN-VIEW/qnview.ini" ] || fail "the portable copy wrote a settings file in $XDG_CONFIG_HOME"
echo "install test passed"
