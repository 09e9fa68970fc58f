#!/usr/bin/env bash
# End-to-end: qnsim units answer, qnctl search lists them.
#   search_e2e.sh loopback BIN  units on 127.0.0.x, search toward 127.255.255.255
#   search_e2e.sh netns BIN     units in a "LAN" namespace, searched from a "PC"
#                               namespace that has no default route
#   search_e2e.sh twolans BIN [DIALOG_TEST]
#                               a "PC" namespace linked to two "LAN" namespaces on
#                               two subnets, no default route anywhere, a unit in
#                               each; also the main dialog's search when given
#                               its test program
# The netns modes search with no target, so the query goes out of every network
# card of the PC namespace; every namespace is made here and always removed
# again, so nothing leaves them. UDP port 30718 and the program's own waits.
# Exit 77 means skipped.
set -u
mode=$1
bin=$2
dialog_test=${3:-}
sim_pids=()
work=$(mktemp -d)
pc=qnpc$$
made_ns=()

cleanup() {
    for pid in "${sim_pids[@]}"; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    for ns in "${made_ns[@]}"; do
        ip netns del "$ns" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap "exit 1" INT TERM HUP

fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*"; exit 77; }

# Starts qnsim with the given arguments (through the optional prefix command in
# $in_lan) and waits for its ready line.
start_sim() {
    local out=$work/sim${#sim_pids[@]}
    $in_lan "$bin/qnsim" "$@" >"$out" 2>&1 &
    sim_pids+=($!)
    for _ in $(seq 1 100); do
        grep -q '^discovery on UDP port' "$out" && return 0
        kill -0 "${sim_pids[-1]}" 2>/dev/null || break
        sleep 0.1
    done
    cat "$out" >&2
    fail "qnsim did not come up"
}

make_ns() {
    ip netns add "$1" || fail "ip netns add $1"
    made_ns+=("$1")
    ip -n "$1" link set lo up || fail "lo up in $1"
}

# A LAN namespace NAME on subnet NET (three octets) wired to the PC namespace,
# which takes NET.1; the LAN takes the further addresses given. Only routes to
# the subnets themselves exist: no gateway. The veth pair is created inside the
# namespaces, so nothing outside is touched.
add_lan() {
    local lan=$1 net=$2 pc_if=qa${#made_ns[@]}x$$ lan_if=qb${#made_ns[@]}x$$
    shift 2
    make_ns "$lan"
    ip -n "$pc" link add "$pc_if" type veth peer name "$lan_if" netns "$lan" || fail "veth pair"
    ip -n "$pc" addr add "$net.1/24" dev "$pc_if" || fail "PC address"
    for host in "$@"; do
        ip -n "$lan" addr add "$net.$host/24" dev "$lan_if" || fail "LAN address"
    done
    ip -n "$pc" link set "$pc_if" up && ip -n "$lan" link set "$lan_if" up || fail "links up"
}

# The units of one LAN: they hear the subnet's and the limited broadcast and
# answer senders of their subnet only.
start_lan_sim() {
    local lan=$1 net=$2
    shift 2
    in_lan="ip netns exec $lan" start_sim --allow-external --udp-port 30718 \
        --hear-broadcast 255.255.255.255 --hear-broadcast "$net.255" --allow-from "$net.0/24" "$@"
}

need_netns() {
    [ "$(id -u)" -eq 0 ] || skip "network namespaces need root"
    command -v ip >/dev/null || skip "no ip command (iproute2)"
    ip netns add "$pc" 2>/dev/null || skip "cannot create network namespaces here (ip netns add failed)"
    made_ns+=("$pc")
    ip -n "$pc" link set lo up || fail "lo up"
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
    need_netns
    net=10.213.7
    add_lan qnlan$$ $net 2 3
    in_pc="ip netns exec $pc"
    a=$net.2
    b=$net.3
    c=$net.4
    start_lan_sim qnlan$$ $net --discovery 1:late:300 \
        --unit QN-110:1:$a:10001:00-80-92-00-00-31 --unit QN-220:14:$b:10001:00-80-92-00-00-32
    target=()
    ;;
twolans)
    need_netns
    add_lan qnlana$$ 10.213.8 2
    add_lan qnlanb$$ 10.213.9 2
    in_pc="ip netns exec $pc"
    a=10.213.8.2
    b=10.213.9.2
    c=none
    start_lan_sim qnlana$$ 10.213.8 --unit QN-110:1:$a:10001:00-80-92-00-00-31
    # later, so the answer order is fixed
    start_lan_sim qnlanb$$ 10.213.9 --discovery 0:late:300 --unit QN-220:14:$b:10001:00-80-92-00-00-32
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
if [ -n "$dialog_test" ]; then
    # The main dialog searches every network card the same way, and lists the same lines.
    QN_NETNS_SEARCH_PORT=10001 QN_NETNS_SEARCH_EXPECT=$(printf '%s\n' "$expected" | tail -n +2) \
        $in_pc "$dialog_test" --gtest_brief=1 || fail "main dialog search"
fi
echo "PASS: $mode"
printf '%s\n' "$out"
