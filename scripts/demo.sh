#!/bin/bash
# Demonstrates a whole firmware upgrade on this machine, with nothing of the
# system's own printing touched:
#
#   1. installs the packages it needs (Debian 12; as root, or through sudo);
#   2. builds the wizard in build-demo/, with a registry file of its own;
#   3. starts a private CUPS scheduler with three queues, two of which feed an
#      emulated Tarvane Nimbrel K7;
#   4. prepares an upgrade package (quillet.txt, a firmware image and a
#      stand-in driver installer) in a temporary folder, and sets the K7
#      driver's "SM AutoRun" value to 1;
#   5. runs the wizard in that folder: on your display if $DISPLAY is set,
#      otherwise under Xvfb, where the keyboard is played with xdotool and a
#      screenshot of every page is saved;
#   6. prints what the printer received and the autorun value before and
#      after, and stops everything it started.
#
# Usage: scripts/demo.sh
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD="$ROOT/build-demo"
REGISTRY_DB="$BUILD/demo-registry.db"
SHOTS="$BUILD/demo-screenshots"
PACKAGES="build-essential cmake ninja-build qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins
  libcups2-dev cups cups-daemon cups-client libsqlite3-dev libssl-dev libsystemd-dev libgtest-dev googletest
  xvfb xdotool imagemagick fonts-dejavu-core"

say() { printf '\n== %s\n' "$*"; }

# --- 1. Packages -------------------------------------------------------------
say "Packages"
# shellcheck disable=SC2086
"$ROOT/scripts/install-deps.sh" $PACKAGES

# --- 2. Build ----------------------------------------------------------------
say "Building in $BUILD (registry file $REGISTRY_DB)"
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DQUILLET_REGISTRY_DB="$REGISTRY_DB" >/dev/null
ninja -j2 -C "$BUILD" quillet quillet-reg quillet-private-cupsd k7-emulator
QUILLET="$BUILD/quillet"
QUILLET_REG="$BUILD/platform/quillet-reg"
PRIVATE_CUPSD="$BUILD/emulator/quillet-private-cupsd"

# Everything started from here on is stopped on the way out.
# shellcheck source=scripts/wizard-session.sh
. "$ROOT/scripts/wizard-session.sh"
WORK=$(mktemp -d /tmp/quillet-demo-XXXXXX)
chmod 755 "$WORK"
cleanup() {
    set +e
    session_stop
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- 3. Private scheduler and emulated printer --------------------------------
say "Starting a private CUPS scheduler with an emulated Tarvane Nimbrel K7"
session_start_cupsd "$PRIVATE_CUPSD"
echo "Scheduler: $CUPS_SERVER; queues:"
lpstat -h "$CUPS_SERVER" -v | sed 's/^/  /'

# --- 4. Upgrade package and the driver's registry value -----------------------
PACKAGE="$WORK/package"
session_make_package "$PACKAGE" 262144
say "Upgrade package in $PACKAGE"
ls -l "$PACKAGE" | sed 's/^/  /'

export QUILLET_REGISTRY_DB="$REGISTRY_DB"
# The wizard's recovery records stay with this demo, not in the user's own state.
export XDG_STATE_HOME="$WORK/state"
rm -f "$REGISTRY_DB"
"$QUILLET_REG" add "$SESSION_K7_KEY" /v "SM AutoRun" /t REG_DWORD /d 1 /f >/dev/null
AUTORUN_BEFORE=$(session_autorun "$QUILLET_REG")

# --- 5. The wizard -----------------------------------------------------------
HEADLESS=""
if [ -n "${DISPLAY:-}" ]; then
    say "Running the wizard on $DISPLAY: follow its pages (Enter presses OK)"
    (cd "$PACKAGE" && "$QUILLET")
else
    say "No display: running the wizard under Xvfb, played with the keyboard by xdotool"
    HEADLESS=1
    mkdir -p "$SHOTS"
    rm -f "$SHOTS"/*.png
    session_start_xvfb
    # Each page: take its picture; note the autorun value once the printer
    # has been chosen.
    session_on_page() {
        local shot
        shot=$(printf '%s/%02d-%s.png' "$SHOTS" "$1" "$2")
        import -window root "$shot"
        echo "  page $1, $2: \"$(xdotool getwindowname "$3")\", saved $shot"
        if [ "$2" = test-print-ready ]; then
            AUTORUN_DURING=$(session_autorun "$QUILLET_REG")
        fi
    }
    session_play "$PACKAGE" "$QUILLET" || true
fi

# --- 6. What happened -----------------------------------------------------------
say "What the emulated K7 received"
sleep 1
if [ -s "$K7_RECORD" ]; then
    image_sha=$(sha256sum "$PACKAGE/firmware.bin" | cut -d' ' -f1)
    image_size=$(stat -c %s "$PACKAGE/firmware.bin")
    session_k7_jobs | while read -r kind bytes sha; do
        case "$kind" in
        firmware)
            if [ "$sha" = "$image_sha" ] && [ "$bytes" = "$image_size" ]; then
                verdict="matches firmware.bin"
            else
                verdict="DIFFERS from firmware.bin ($image_size bytes, $image_sha)"
            fi
            echo "  firmware image: $bytes bytes, SHA-256 $sha, $verdict"
            ;;
        test-page) echo "  test page command ($bytes bytes)" ;;
        download-mode) echo "  download mode command ($bytes bytes)" ;;
        *) echo "  other data: $bytes bytes" ;;
        esac
    done
else
    echo "  nothing"
fi
[ -f "$PACKAGE/driver-setup.log" ] && echo "  (the stand-in driver installer was started)"

say "The K7 driver's autorun value"
echo "  before: $AUTORUN_BEFORE"
[ -n "${AUTORUN_DURING:-}" ] && echo "  during: $AUTORUN_DURING   (after the printer was chosen)"
echo "  after:  $(session_autorun "$QUILLET_REG")"
if [ -n "$HEADLESS" ]; then
    say "Screenshots of the pages: $SHOTS"
fi
