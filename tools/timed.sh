# Sourced by the test scripts: `timed NAME COMMAND...` runs the command, then prints how
# long it took, so the CI log shows where its time goes.
timed() {
  local name=$1 t0=$SECONDS
  shift
  "$@"
  local s=$((SECONDS - t0))
  printf '== time: %s %d:%02d\n' "$name" $((s / 60)) $((s % 60))
}
