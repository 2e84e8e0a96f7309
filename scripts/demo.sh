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
KEY='HKLM\System\CurrentControlSet\control\Print\Printers\Tarvane_Nimbrel_K7\PrinterDriverData'
PACKAGES="build-essential cmake ninja-build qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins
  libcups2-dev cups cups-daemon cups-client libsqlite3-dev libgtest-dev googletest
  xvfb xdotool imagemagick fonts-dejavu-core"

say() { printf '\n== %s\n' "$*"; }

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO=sudo
fi

# --- 1. Packages -------------------------------------------------------------
missing=""
for package in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
        missing="$missing $package"
done
if [ -n "$missing" ]; then
    say "Installing:$missing"
    $SUDO apt-get update
    # shellcheck disable=SC2086
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
else
    say "All packages are installed"
fi

# --- 2. Build ----------------------------------------------------------------
say "Building in $BUILD (registry file $REGISTRY_DB)"
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DQUILLET_REGISTRY_DB="$REGISTRY_DB" >/dev/null
ninja -j2 -C "$BUILD" quillet quillet-reg quillet-private-cupsd k7-emulator
QUILLET="$BUILD/quillet"
QUILLET_REG="$BUILD/platform/quillet-reg"
PRIVATE_CUPSD="$BUILD/emulator/quillet-private-cupsd"

# Everything started from here on is stopped on the way out.
WORK=$(mktemp -d /tmp/quillet-demo-XXXXXX)
chmod 755 "$WORK"
CUPSD_PID=""
XVFB_PID=""
WIZARD_PID=""
stop() {
    if [ -n "$1" ] && kill "$1" 2>/dev/null; then
        wait "$1" 2>/dev/null || true
    fi
}
cleanup() {
    set +e
    stop "$WIZARD_PID"
    stop "$XVFB_PID"
    # The scheduler's fixture removes its folder, queues and emulator itself.
    stop "$CUPSD_PID"
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- 3. Private scheduler and emulated printer --------------------------------
say "Starting a private CUPS scheduler with an emulated Tarvane Nimbrel K7"
"$PRIVATE_CUPSD" --env "$WORK/cupsd.env" >/dev/null &
CUPSD_PID=$!
for _ in $(seq 600); do
    [ -s "$WORK/cupsd.env" ] && break
    kill -0 "$CUPSD_PID" 2>/dev/null || { echo "the private scheduler did not start" >&2; exit 1; }
    sleep 0.1
done
[ -s "$WORK/cupsd.env" ] || { echo "the private scheduler did not start in time" >&2; exit 1; }
set -a
# shellcheck disable=SC1091
. "$WORK/cupsd.env"
set +a
echo "Scheduler: $CUPS_SERVER; queues:"
lpstat -h "$CUPS_SERVER" -v | sed 's/^/  /'

# --- 4. Upgrade package and the driver's registry value -----------------------
PACKAGE="$WORK/package"
mkdir -p "$PACKAGE/driver"
printf 'K7\r\nTarvane Nimbrel K7\r\nDemo release 2.10\r\nFile=firmware.bin\r\n' >"$PACKAGE/quillet.txt"
head -c 262144 /dev/urandom >"$PACKAGE/firmware.bin"
cat >"$PACKAGE/driver/setup.exe" <<'EOF'
#!/bin/sh
# Stands in for the printer driver's installer.
echo "driver installer started $(date)" >>"$(dirname "$0")/../driver-setup.log"
EOF
chmod +x "$PACKAGE/driver/setup.exe"
say "Upgrade package in $PACKAGE"
ls -l "$PACKAGE" | sed 's/^/  /'

rm -f "$REGISTRY_DB"
"$QUILLET_REG" add "$KEY" /v "SM AutoRun" /t REG_DWORD /d 1 /f /db "$REGISTRY_DB" >/dev/null
AUTORUN_BEFORE=$("$QUILLET_REG" query "$KEY" /v "SM AutoRun" /db "$REGISTRY_DB" | grep -i "SM AutoRun")

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
    display=99
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
        display=$((display + 1))
    done
    Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$display"
    for _ in $(seq 100); do
        xdotool getmouselocation >/dev/null 2>&1 && break
        sleep 0.1
    done
    (cd "$PACKAGE" && exec "$QUILLET") 2>"$WORK/wizard.err" &
    WIZARD_PID=$!

    # Each page: wait until it is on screen, take its picture, press Enter.
    step=0
    for page in welcome select-printer test-print-ready test-print-wait download-ready \
        download complete; do
        step=$((step + 1))
        window=""
        for _ in $(seq 200); do
            window=$(xdotool search --onlyvisible --name '^Tarvane' 2>/dev/null | tail -1 || true)
            [ -n "$window" ] && break
            kill -0 "$WIZARD_PID" 2>/dev/null || break
            sleep 0.1
        done
        if [ -z "$window" ]; then
            echo "  the $page page did not appear" >&2
            break
        fi
        sleep 0.5
        shot=$(printf '%s/%02d-%s.png' "$SHOTS" "$step" "$page")
        import -window root "$shot"
        echo "  page $step, $page: \"$(xdotool getwindowname "$window")\", saved $shot"
        if [ "$page" = test-print-ready ]; then
            AUTORUN_DURING=$("$QUILLET_REG" query "$KEY" /v "SM AutoRun" /db "$REGISTRY_DB" |
                grep -i "SM AutoRun")
        fi
        xdotool windowfocus --sync "$window" 2>/dev/null || true
        xdotool key --clearmodifiers Return
        # Wait until that page has gone before looking for the next.
        for _ in $(seq 100); do
            xdotool search --onlyvisible --name '^Tarvane' 2>/dev/null | grep -qx "$window" || break
            sleep 0.1
        done
    done
    for _ in $(seq 100); do
        kill -0 "$WIZARD_PID" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$WIZARD_PID" 2>/dev/null; then
        echo "  the wizard did not end; stopping it (it restores the autorun value)" >&2
        kill -TERM "$WIZARD_PID"
    fi
    wait "$WIZARD_PID" || true
    WIZARD_PID=""
fi

# --- 6. What happened -----------------------------------------------------------
say "What the emulated K7 received"
sleep 1
if [ -s "$K7_RECORD" ]; then
    image_sha=$(sha256sum "$PACKAGE/firmware.bin" | cut -d' ' -f1)
    image_size=$(stat -c %s "$PACKAGE/firmware.bin")
    while IFS= read -r line; do
        kind=$(printf '%s' "$line" | sed -n 's/.*"kind":"\([^"]*\)".*/\1/p')
        bytes=$(printf '%s' "$line" | sed -n 's/.*"bytes":\([0-9]*\).*/\1/p')
        sha=$(printf '%s' "$line" | sed -n 's/.*"sha256":"\([0-9a-f]*\)".*/\1/p')
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
    done <"$K7_RECORD"
else
    echo "  nothing"
fi
[ -f "$PACKAGE/driver-setup.log" ] && echo "  (the stand-in driver installer was started)"

say "The K7 driver's autorun value"
echo "  before: $AUTORUN_BEFORE"
[ -n "${AUTORUN_DURING:-}" ] && echo "  during: $AUTORUN_DURING   (after the printer was chosen)"
echo "  after:  $("$QUILLET_REG" query "$KEY" /v "SM AutoRun" /db "$REGISTRY_DB" | grep -i "SM AutoRun")"
if [ -n "$HEADLESS" ]; then
    say "Screenshots of the pages: $SHOTS"
fi
