#!/usr/bin/env bash
# qnctl.exe under Wine against the Linux qnsim on loopback: a session with
# `qnctl.exe run`, a search of the loopback network with `qnctl.exe search`, and
# the error number of a refused connection, which both builds must report as 10061.
#   qnctl_wine.sh WINE QNCTL_EXE LINUX_BIN
# Runs only inside the private network namespace of scripts/windows-tests. What it
# saw also goes to qnctl_wine.log in the working folder, for the stage's summary.
set -u
wine=$1
exe=$2
bin=$3
sim_pid=
sim_out=$(mktemp)

cleanup() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null
        wait "$sim_pid" 2>/dev/null
    fi
    rm -f "$sim_out"
}
trap cleanup EXIT
trap "exit 1" INT TERM HUP

log=qnctl_wine.log
: >"$log"
fail() { echo "FAIL: $*" | tee -a "$log" >&2; exit 1; }
say() { echo "$*" | tee -a "$log"; }
# A Windows program writes CR LF; compare lines.
win() { "$wine" "$exe" "$@" | tr -d '\r'; }

# Addresses of their own and a free UDP port, so that the other tests running
# beside this one neither answer nor hear this search.
"$bin/qnsim" --udp-port 0 --unit QN-210:3:127.0.0.181:10001 --unit QN-110:1:127.0.0.182:10001 >"$sim_out" 2>&1 &
sim_pid=$!
udp=
for _ in $(seq 1 100); do
    udp=$(sed -n 's/^discovery on UDP port \([0-9]*\)$/\1/p' "$sim_out")
    [ -n "$udp" ] && break
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.05
done
[ -n "$udp" ] || fail "qnsim did not start: $(cat "$sim_out")"

out=$(win run 127.0.0.181:10001 SetDO 1 GetDO GetUnitModelID)
expected=$'SetDO 1\nGetDO 1\nGetUnitModelID 3 8'
[ "$out" = "$expected" ] || fail "qnctl.exe run printed '$out', expected '$expected'"
say "qnctl.exe run: $(echo "$out" | tr '\n' ';')"

# The two units answer in either order; the header comes first.
out=$(win search --to 127.255.255.255 --udp-port "$udp" --port 10001 --wait 1000 | { IFS= read -r h; echo "$h"; sort; })
expected=$'MACアドレス        機種      ID    IPアドレス
00-80-92-08-03-11 QN-210    ID:3  127.0.0.181
00-80-92-09-01-11 QN-110    ID:1  127.0.0.182'
[ "$out" = "$expected" ] || fail "qnctl.exe search printed:
$out
expected:
$expected"
say "qnctl.exe search --to 127.255.255.255: $(($(echo "$out" | wc -l) - 1)) units"

# Nobody listens at port 10002: refused, 10061, from the Windows and the Linux build.
out=$(win identify 127.0.0.181:10002)
[ "$out" = "error 10061" ] || fail "qnctl.exe identify of a closed port printed '$out'"
linux=$("$bin/qnctl" identify 127.0.0.181:10002)
[ "$linux" = "error 10061" ] || fail "qnctl identify of a closed port printed '$linux'"
say "closed port: qnctl.exe '$out', qnctl '$linux'"
