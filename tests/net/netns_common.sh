# Shared by the namespace harnesses (sourced, not run). The caller sets
# PREFIX (its namespaces' name prefix) and HARNESS (its own name for messages).

skip() { echo "$HARNESS: SKIP: $*" >&2; exit 77; }
fail() { echo "$HARNESS: $*" >&2; exit 1; }

# Skips (exit 77) unless namespaces can be made here.
require_netns() {
  [[ $(id -u) -eq 0 ]] || skip "needs root ($1)"
  command -v ip >/dev/null || skip "ip (iproute2) is not installed"
  ip netns list >/dev/null 2>&1 || skip "ip netns is not usable here"
}

# A harness killed hard (time-out) leaves its namespaces behind: remove those
# whose owner is gone, with whatever still runs in them.
remove_stale() {
  local ns owner pid
  for ns in $(ip netns list | awk '{print $1}' | grep "^$PREFIX-"); do
    owner=${ns#"$PREFIX"-}; owner=${owner%%-*}
    kill -0 "$owner" 2>/dev/null && continue
    for pid in $(ip netns pids "$ns" 2>/dev/null); do kill -KILL "$pid" 2>/dev/null; done
    ip netns del "$ns" 2>/dev/null
    rm -rf "/etc/netns/$ns" "/tmp/$ns".*
  done
}
