# Sourced by the command-line tests: a scratch folder as the current folder
# (removed on exit), and expect/fail counting failures into $failures.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
expect() {  # expect STATUS DESCRIPTION COMMAND...
  local want=$1 what=$2; shift 2
  "$@" >out.txt 2>err.txt; local got=$?
  if [ $got != "$want" ]; then
    echo "FAIL  $what: exit $got, wanted $want; stderr: $(cat err.txt)"; failures=$((failures + 1))
  else
    echo "ok    $what"
  fi
}
fail() { echo "FAIL  $1"; failures=$((failures + 1)); }
refuses() {  # refuses DESCRIPTION REASON COMMAND...: exit 1 and one line, "vbltool: ..." with REASON in it
  local what=$1 reason=$2; shift 2
  expect 1 "$what" "$@"
  [ "$(wc -l < err.txt)" = 1 ] && grep -q '^vbltool: ' err.txt && grep -qF -- "$reason" err.txt ||
    fail "$what: wanted one line saying '$reason', got: $(cat err.txt)"
}
