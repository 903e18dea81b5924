#!/bin/sh
# The tests once more under the sanitizers, in a build directory of their own.
#   address: AddressSanitizer and UndefinedBehaviorSanitizer over the unit,
#            widget and network tests.
#   thread:  ThreadSanitizer over the thread-heavy core tests: the output
#            channel, the resolver and lookups, the workers and their Stop
#            against loopback and the namespace chain. (The widget tests stay
#            out: Qt itself is not instrumented, so every queued call and
#            thread end of Qt's own would be reported.)
# Any report fails the test.
# Usage: ci_sanitize.sh address|thread SOURCE_DIR BUILD_DIR
set -eu
kind=${1:?usage: ci_sanitize.sh address|thread SOURCE_DIR BUILD_DIR}
source=${2:?}
build=${3:?}
here=$(cd "$(dirname "$0")" && pwd)

configure() {
  cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DOSTREKON_SANITIZE="$1" >/dev/null
}

case "$kind" in
  address)
    configure address,undefined
    cmake --build "$build" -j "$(nproc)"
    cd "$build"
    ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1 \
    UBSAN_OPTIONS=print_stacktrace=1 \
      exec sh "$source/scripts/ctest_recap.sh" --output-on-failure --timeout 600 -E '^(fuzz|install|cli)\.' ;;
  thread)
    configure thread
    cmake --build "$build" -j "$(nproc)" --target unit_tests resolver_net_test \
      icmp_service_net_test icmp_workers_net_test
    cd "$build"
    # Unit tests are named by their suite (capitalised); the network tests
    # are those of the core library.
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$here/tsan.supp" \
      exec sh "$source/scripts/ctest_recap.sh" --output-on-failure --timeout 600 \
        -R '^[A-Z]|^net\.(resolver|icmp_service|icmp_workers|icmp_workers_dns)$' ;;
  *) echo "unknown sanitizer set: $kind" >&2; exit 2 ;;
esac
