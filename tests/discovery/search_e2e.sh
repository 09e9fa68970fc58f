#!/usr/bin/env bash
# End-to-end: qnsim units answer, qnctl search lists them.
#   search_e2e.sh loopback BIN  units on 127.0.0.x, search toward 127.255.255.255
#   search_e2e.sh netns BIN     units in a "LAN" namespace, search with the default
#                               target 255.255.255.255 from a "PC" namespace; both
#                               namespaces are made here and always removed again.
# Both use UDP port 30718 and the program's own waits. Exit 77 means skipped.
set -u
mode=$1
bin=$2
sim_pid=
sim_out=$(mktemp)
pc=qnpc$$
lan=qnlan$$
made_ns=()

cleanup() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null
        wait "$sim_pid" 2>/dev/null
    fi
    for ns in "${made_ns[@]}"; do
        ip netns del "$ns" 2>/dev/null
    done
    rm -f "$sim_out"
}
trap cleanup EXIT
trap "exit 1" INT TERM HUP

fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*"; exit 77; }

# Starts qnsim with the given arguments (through the optional prefix command in
# $in_lan) and waits for its ready line.
start_sim() {
    $in_lan "$bin/qnsim" "$@" >"$sim_out" 2>&1 &
    sim_pid=$!
    for _ in $(seq 1 100); do
        grep -q '^discovery on UDP port' "$sim_out" && return 0
        kill -0 "$sim_pid" 2>/dev/null || break
        sleep 0.1
    done
    cat "$sim_out" >&2
    fail "qnsim did not come up"
}

header='MACアドレス        機種      ID    IPアドレス'

case $mode in
loopback)
    in_lan=
    in_pc=
    a=127.0.0.31
    b=127.0.0.32
    # a third unit that never answers the second detail query is not listed
    c=127.0.0.33
    start_sim --udp-port 30718 --discovery 1:late:300 --discovery 2:only:search,detail1 \
        --unit QN-110:1:$a:10001:00-80-92-00-00-31 --unit QN-220:14:$b:10001:00-80-92-00-00-32 \
        --unit QN-120:2:$c:10001:00-80-92-00-00-33
    target=(--to 127.255.255.255)
    ;;
netns)
    [ "$(id -u)" -eq 0 ] || skip "network namespaces need root"
    command -v ip >/dev/null || skip "no ip command (iproute2)"
    ip netns add "$pc" 2>/dev/null || skip "cannot create network namespaces here (ip netns add failed)"
    made_ns+=("$pc")
    ip netns add "$lan" || fail "ip netns add $lan"
    made_ns+=("$lan")
    # A subnet that exists only inside these two namespaces; the veth pair is
    # created inside them, so nothing outside is touched.
    net=10.213.7
    ip -n "$pc" link add qa$$ type veth peer name qb$$ netns "$lan" || fail "veth pair"
    ip -n "$pc" link set lo up && ip -n "$lan" link set lo up || fail "lo up"
    ip -n "$pc" addr add $net.1/24 dev qa$$ || fail "PC address"
    ip -n "$lan" addr add $net.2/24 dev qb$$ && ip -n "$lan" addr add $net.3/24 dev qb$$ || fail "LAN addresses"
    ip -n "$pc" link set qa$$ up && ip -n "$lan" link set qb$$ up || fail "links up"
    ip -n "$pc" route add default dev qa$$ || fail "PC default route"
    in_lan="ip netns exec $lan"
    in_pc="ip netns exec $pc"
    a=$net.2
    b=$net.3
    c=$net.4
    start_sim --allow-external --udp-port 30718 --hear-broadcast 255.255.255.255 --allow-from $net.0/24 \
        --discovery 1:late:300 \
        --unit QN-110:1:$a:10001:00-80-92-00-00-31 --unit QN-220:14:$b:10001:00-80-92-00-00-32
    target=()
    ;;
*)
    echo "usage: $0 loopback|netns BIN" >&2
    exit 2
    ;;
esac

out=$($in_pc "$bin/qnctl" search "${target[@]}" --port 10001 2>&1)
status=$?
expected="$header
00-80-92-00-00-31 QN-110    ID:1  $a
00-80-92-00-00-32 QN-220    ID:14 $b"
[ $status -eq 0 ] || fail "qnctl search exited $status: $out"
# On loopback a qnsim someone else runs may answer too: keep the header and our units.
[ "$mode" = loopback ] && out=$(printf '%s\n' "$out" | grep -E "^MAC| ($a|$b|$c)\$")
if [ "$out" != "$expected" ]; then
    printf 'expected:\n%s\ngot:\n%s\n' "$expected" "$out" >&2
    fail "unit list differs"
fi
echo "PASS: $mode"
printf '%s\n' "$out"
