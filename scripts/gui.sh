# Runs QN-VIEW on a virtual screen of its own and works it as an assistive tool does:
# scripts/a11y reads and drives it through its accessibility interface (AT-SPI, on a
# session bus started here), by the names a screen reader speaks, and the helpers wait on
# what the program shows rather than on fixed times or screen positions.
# Sourced, not run, by scripts/demo and the install test. The sourcing script defines
# fail MESSAGE (prints it and exits non-zero), keeps QN-VIEW's process id in $view, and
# calls gui_stop from its EXIT trap.
#
#   gui_home DIR     HOME and XDG folders of its own under DIR (before gui_start)
#   gui_start WORK   the virtual screen and the buses; their output in WORK/xvfb.log, dbus.log

QN_GUI_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
gui_xserver=
gui_bus=
view=

stop_pid() {  # stop_pid PID: ask, then insist after a few seconds
  local pid=$1
  [ -n "$pid" ] || return 0
  kill "$pid" 2>/dev/null || return 0
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

# A clean state for every run: Qt remembers dialog state (the folder chooser's last
# folder, say) and QN-VIEW its options under the user's home and XDG folders. Its own
# runtime folder also keeps QN-VIEW from being stopped by a copy already open on the
# desktop (one copy per user).
gui_home() {  # gui_home DIR
  export HOME="$1"
  export XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache" XDG_DATA_HOME="$HOME/.local/share"
  export XDG_STATE_HOME="$HOME/.local/state" XDG_RUNTIME_DIR="$HOME/runtime"
  mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME" "$XDG_STATE_HOME"
  mkdir -m 700 "$XDG_RUNTIME_DIR"
}

gui_start() {  # gui_start WORK
  local work=$1
  # A virtual screen on a display number the X server picks itself (-displayfd), so it
  # never takes one that is in use; it listens on a local socket only. -noreset: an X
  # server resets when its last client leaves, and a client connecting meanwhile is
  # turned away; xdotool's short visits (or the accessibility bus registering itself)
  # before QN-VIEW had connected on a busy machine made QN-VIEW's start fail, which Qt
  # ends with an abort.
  exec 3>"$work/display"
  Xvfb -displayfd 3 -screen 0 1440x1080x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  gui_xserver=$!
  exec 3>&-
  for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    kill -0 "$gui_xserver" 2>/dev/null || { cat "$work/xvfb.log" >&2; fail "Xvfb did not start"; }
    sleep 0.1
  done
  [ -s "$work/display" ] || fail "Xvfb gave no display number"
  export DISPLAY=":$(tr -dc 0-9 <"$work/display")"
  unset WAYLAND_DISPLAY
  export QT_QPA_PLATFORM=xcb
  # The screen takes clients before anything starts on it.
  for _ in $(seq 100); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && break
    kill -0 "$gui_xserver" 2>/dev/null || break
    sleep 0.1
  done
  xdotool getdisplaygeometry >/dev/null 2>&1 || { cat "$work/xvfb.log" >&2; fail "the virtual screen $DISPLAY takes no clients"; }

  # A session bus of its own carries the accessibility interface; the accessibility bus
  # starts before QN-VIEW, so that it registers on it at once.
  dbus-daemon --session --fork --nopidfile --print-address=3 --print-pid=4 \
    3>"$work/bus.address" 4>"$work/bus.pid" 2>"$work/dbus.log" || { cat "$work/dbus.log" >&2; fail "no session bus"; }
  gui_bus=$(tr -dc 0-9 <"$work/bus.pid")
  DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus.address")
  export DBUS_SESSION_BUS_ADDRESS QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
  a11y bus 2>>"$work/dbus.log" || fail "the accessibility bus did not start"
}

gui_stop() {
  stop_pid "$gui_bus"
  stop_pid "$gui_xserver"
}

a11y() { "$QN_GUI_DIR/a11y" "$@"; }

# Says on stderr how QN-VIEW ended, once it has (for the EXIT trap; a helper that found
# it gone in a command substitution could not wait for it there).
view_ended() {  # view_ended PREFIX
  local status=0
  [ -n "$view" ] && ! kill -0 "$view" 2>/dev/null || return 0
  wait "$view" 2>/dev/null || status=$?
  if [ "$status" -gt 128 ]; then
    echo "$1QN-VIEW had ended by signal SIG$(kill -l $((status - 128)))" >&2
  else
    echo "$1QN-VIEW had ended with status $status" >&2
  fi
}

# QN-VIEW must stay up until the script ends it: say how it ended if it went by itself.
check_view() {
  kill -0 "$view" 2>/dev/null || fail "QN-VIEW ended by itself"
}
# Waits until at least N visible top-level windows have a title matching PATTERN;
# prints the id of the newest.
window_named() {  # window_named PATTERN [N]
  local ids
  for _ in $(seq 600); do
    check_view
    ids=$(xdotool search --onlyvisible --name "$1" 2>/dev/null || true)
    if [ -n "$ids" ] && [ "$(wc -l <<<"$ids")" -ge "${2:-1}" ]; then
      sort -n <<<"$ids" | tail -n 1
      return 0
    fi
    sleep 0.1
  done
  fail "no window '$1' appeared"
}
# Waits until the window WINDOW is no longer shown.
window_gone() {  # window_gone WINDOW
  for _ in $(seq 600); do
    grep -qx "$1" <<<"$(xdotool search --onlyvisible --name '.' 2>/dev/null || true)" || return 0
    sleep 0.1
  done
  fail "window $1 did not close"
}
# Waits until what the program shows satisfies the a11y wait arguments; prints it.
shows() {  # shows [--in WINDOW] NAME [--text REGEX|--equals TEXT|--children N|--checked]
  check_view
  a11y "$@" --timeout 60 || { check_view; fail "QN-VIEW did not show that"; }
}
# A check box is ticked as the operator does it: focus, then the space bar (a click).
tick() {  # tick WINDOW-ID WINDOW-NAME CHECK-BOX-NAME
  xdotool windowfocus --sync "$1"
  a11y --in "$2" do "$3" SetFocus
  xdotool key space
  shows --in "$2" wait "$3" --checked >/dev/null
}
# Waits up to 60 s for QN-VIEW to end (after its exit button, say); fails unless it
# ended with status 0.
view_exits() {
  local rc=0
  for _ in $(seq 600); do
    kill -0 "$view" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$view" 2>/dev/null && fail "QN-VIEW did not end within 60 s"
  wait "$view" || rc=$?
  view=
  [ "$rc" -eq 0 ] || fail "QN-VIEW ended with status $rc$([ "$rc" -gt 128 ] && echo " (SIG$(kill -l $((rc - 128))))")"
}
