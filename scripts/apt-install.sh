# Sourced by the set-up scripts: apt_install WHAT PACKAGE... installs the
# Debian packages with apt-get (as root), or says what is missing and fails.
apt_install() {
  local what=$1
  shift
  if [ "$(id -u)" != 0 ] || ! command -v apt-get >/dev/null 2>&1; then
    echo "missing $what: $* (install them, or run as root with apt-get)" >&2
    return 1
  fi
  echo "== installing $*"
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -q --no-install-recommends "$@" >/dev/null ||
    { apt-get update -q >/dev/null && apt-get install -y -q --no-install-recommends "$@" >/dev/null; }
}
