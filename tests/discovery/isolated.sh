#!/bin/sh
# Runs a command in a private network namespace holding only loopback where the
# machine allows it (root), so simulated units that other programs on this
# machine run at UDP port 30718 cannot answer its searches. Elsewhere it runs
# the command as it is.
if [ "$(id -u)" -eq 0 ] && unshare -n true 2>/dev/null; then
    exec unshare -n -- sh -c 'ip link set lo up && exec "$@"' sh "$@"
fi
exec "$@"
