#!/usr/bin/env bash
# qnctl.exe under Wine against the Linux qnsim on loopback: a session with
# `qnctl.exe run`, a search of the loopback network with `qnctl.exe search`, the
# error number of a refused connection, each build's system's own (Winsock's 10061, errno's 111),
# qnsim.exe serving the Linux qnctl and ending on Ctrl+C, and a search of every
# network card, on a LAN that exists only in this namespace.
#   qnctl_wine.sh WINE QNCTL_EXE LINUX_BIN
# Runs only inside the private network namespace of scripts/windows-tests. What it
# saw also goes to qnctl_wine.log in the working folder, for the stage's summary.
set -u
wine=$1
exe=$2
bin=$3
sim_pid=
wsim_pid=
lan_pid=
lan=
sim_out=$(mktemp)

cleanup() {
    for pid in $sim_pid $wsim_pid $lan_pid; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    [ -z "$lan" ] || ip link del "$lan" 2>/dev/null
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
# Waits for the qnsim writing to $1 (process $2) and prints its UDP port.
ready_port() {
    local port=
    for _ in $(seq 1 100); do
        port=$(sed -n 's/^discovery on UDP port \([0-9]*\)$/\1/p' "$1")
        [ -n "$port" ] && break
        kill -0 "$2" 2>/dev/null || break
        sleep 0.05
    done
    echo "$port"
}

"$bin/qnsim" --udp-port 0 --unit QN-210:3:127.0.0.181:10001 --unit QN-110:1:127.0.0.182:10001 >"$sim_out" 2>&1 &
sim_pid=$!
udp=$(ready_port "$sim_out" "$sim_pid")
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

# Nobody listens at port 10002: refused, Winsock's 10061 from the Windows build, errno's
# ECONNREFUSED (111) from the Linux build.
out=$(win identify 127.0.0.181:10002)
[ "$out" = "error 10061" ] || fail "qnctl.exe identify of a closed port printed '$out'"
linux=$("$bin/qnctl" identify 127.0.0.181:10002)
[ "$linux" = "error 111" ] || fail "qnctl identify of a closed port printed '$linux'"
say "closed port: qnctl.exe '$out', qnctl '$linux'"

# qnsim.exe serves the Linux qnctl, and one Ctrl+C ends it at once with status 0
# (Wine hands a SIGINT to the program as its console's Ctrl+C). Its discovery
# stays off: UDP port 30718 belongs to another test.
wsim_out=$sim_out.win
"$wine" "$(dirname "$exe")/qnsim.exe" --unit QN-120:2:127.0.0.183:10001 --discovery 0:off >"$wsim_out" 2>&1 &
wsim_pid=$!
for _ in $(seq 1 200); do
    grep -q '^QN-120 ID 2 at 127.0.0.183:10001' "$wsim_out" && break
    kill -0 "$wsim_pid" 2>/dev/null || break
    sleep 0.05
done
out=$("$bin/qnctl" run 127.0.0.183:10001 GetUnitModelID SetAO 0 1 0x4000 GetAO 0)
[ "$out" = $'GetUnitModelID 2 11\nSetAO 0 1 16384\nGetAO 0 1 16384' ] || fail "qnctl run against qnsim.exe printed '$out' ($(cat "$wsim_out"))"
kill -INT "$wsim_pid"
for _ in $(seq 1 40); do
    kill -0 "$wsim_pid" 2>/dev/null || break
    sleep 0.05
done
kill -0 "$wsim_pid" 2>/dev/null && fail "qnsim.exe still runs 2 s after Ctrl+C"
wait "$wsim_pid"
status=$?
wsim_pid=
rm -f "$wsim_out"
[ "$status" -eq 0 ] || fail "qnsim.exe ended with status $status on Ctrl+C"
say "qnsim.exe: served qnctl run ($(echo "$out" | tr '\n' ';')), ended on Ctrl+C with status 0"

# Without an address the search goes out of every network card (the interface
# list from GetAdaptersAddresses). The card here is one end of a veth pair made
# in this private namespace, on the documentation network 192.0.2.0/24; a Linux
# qnsim unit sits on the other end. Nothing of it exists outside the namespace.
if ip -o link show | grep -qv ': lo:'; then
    say "every-network search: not tried (this namespace has network cards of its own)"
    exit 0
fi
if ! ip link add qnwinpc type veth peer name qnwinlan 2>/dev/null; then
    say "every-network search: not tried (no veth pair can be made here)"
    exit 0
fi
lan=qnwinpc
ip addr add 192.0.2.10/24 brd + dev qnwinpc && ip addr add 192.0.2.11/24 brd + dev qnwinlan &&
    ip link set qnwinpc up && ip link set qnwinlan up || fail "cannot set up the veth pair"
lan_out=$sim_out.lan
"$bin/qnsim" --allow-external --udp-port 0 --unit QN-220:5:192.0.2.11:10001 --hear-broadcast 192.0.2.255 \
    --hear-broadcast 255.255.255.255 --allow-from 192.0.2.0/24 >"$lan_out" 2>&1 &
lan_pid=$!
lan_udp=$(ready_port "$lan_out" "$lan_pid")
[ -n "$lan_udp" ] || fail "qnsim on the veth LAN did not start: $(cat "$lan_out")"
rm -f "$lan_out"
out=$(win search --udp-port "$lan_udp" --port 10001 --wait 1000)
expected=$'MACアドレス        機種      ID    IPアドレス
00-80-92-0A-05-11 QN-220    ID:5  192.0.2.11'
[ "$out" = "$expected" ] || fail "qnctl.exe search (every network) printed:
$out
expected:
$expected"
say "qnctl.exe search (every network card): found the unit at 192.0.2.11 on this namespace's veth LAN"
