# Sourced by the shell tests that end the program with a signal.
# wait_for_handler PID PROGRAM SIGNAL: waits until the process runs PROGRAM
# and has taken SIGNAL over (SigCgt), not for a guessed delay: before that, the
# signal would simply kill it. The shell's own fork, before it runs the
# program, has handlers too, hence the check of what it runs.
wait_for_handler() {
  case $3 in HUP) _number=1 ;; INT) _number=2 ;; TERM) _number=15 ;; *) return 1 ;; esac
  for _ in $(seq 1 300); do
    if [ "$(readlink "/proc/$1/exe")" = "$2" ]; then
      _mask=$(awk '/^SigCgt:/ {print $2}' "/proc/$1/status" 2>/dev/null)
      [ -n "$_mask" ] && [ $(( (0x$_mask >> (_number - 1)) & 1 )) -eq 1 ] && return 0
    fi
    sleep 0.1
  done
  return 1
}
