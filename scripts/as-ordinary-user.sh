#!/bin/sh
# Runs a command with an ordinary desktop user's rights and limits. As root
# (CI) it drops to nobody (uid 65534) with no capabilities, no supplementary
# group and Debian's default locked-memory limit of 8 MiB, soft and hard, in
# a home folder of its own; root's rights would hide what users meet. As
# anyone else it runs the command as it is.
set -eu
[ "$(id -u)" -eq 0 ] || exec "$@"

uid=65534
home=$(mktemp -d "${TMPDIR:-/tmp}/quillet-user-XXXXXX")
chown "$uid:$uid" "$home"
trap 'rm -rf "$home"' EXIT

as_user() {
  prlimit --memlock=8388608:8388608 -- \
    setpriv --reuid=$uid --regid=$uid --clear-groups --inh-caps=-all --bounding-set=-all \
    env HOME="$home" XDG_STATE_HOME="$home/.local/state" "$@"
}
if ! as_user sh -c 'command -v "$1" >/dev/null && [ -x "$(command -v "$1")" ]' sh "$1"; then
  echo "as-ordinary-user: $1 cannot be run by uid $uid; its folders must be open to others" >&2
  exit 1
fi
status=0
as_user "$@" || status=$?
exit $status
