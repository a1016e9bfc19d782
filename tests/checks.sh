# Sourced by the shell tests: check NAME COMMAND... passes when the command
# succeeds, and counts into $passed and $failed.
passed=0
failed=0
check() {
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1)); echo "[ OK ] $name"
  else
    failed=$((failed + 1)); echo "[FAIL] $name"
  fi
}
