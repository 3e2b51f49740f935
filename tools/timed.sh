# Sourced by the test scripts: `timed NAME COMMAND...` runs the command, then prints how
# long it took and the CPU time it used (which varies less on a shared machine), so the
# CI log shows where its time goes.
timed() {
  local name=$1
  shift
  local TIMEFORMAT="== time: $name %0lR (cpu %0lU user, %0lS sys)"
  time "$@"
}
