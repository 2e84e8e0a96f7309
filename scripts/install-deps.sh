#!/bin/sh
# Installs what Quillet needs to build, test and run on Debian 12, or the
# Debian packages named as arguments (scripts/demo.sh names its own).
set -eu

packages="${*:-}"
[ -n "$packages" ] || packages="build-essential cmake ninja-build ccache pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libcups2-dev cups cups-daemon cups-client
  libsqlite3-dev sqlite3 libssl-dev
  clang libclang-rt-14-dev
  libsystemd-dev dbus-daemon python3-gi
  xvfb xauth fonts-dejavu-core
  dpkg-dev file lintian adduser qt6-qpa-plugins xdotool
  desktop-file-utils appstream libglib2.0-bin shared-mime-info"

missing=""
for package in $packages; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing="$missing $package"
done
[ -z "$missing" ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# On a machine still installing updates another apt holds the locks: wait up
# to this many seconds for them rather than fail at once.
lock_timeout=600
apt_get() {
  $sudo env LC_ALL=C DEBIAN_FRONTEND=noninteractive \
    apt-get -o "DPkg::Lock::Timeout=$lock_timeout" "$@"
}

echo "Installing:$missing"
# apt-get update (apt 2.6) waits only for the dpkg lock, not for the lock of
# its lists that another update holds, so that one is retried here.
waited=0
while ! output=$(apt_get update -qq 2>&1); do
  case $output in
    *"Could not get lock"*) [ "$waited" -lt "$lock_timeout" ] ;;
    *) false ;;
  esac || { printf '%s\n' "$output" >&2; exit 1; }
  sleep 5
  waited=$((waited + 5))
done
[ -z "$output" ] || printf '%s\n' "$output"
# shellcheck disable=SC2086
apt_get install -y -qq --no-install-recommends $missing
