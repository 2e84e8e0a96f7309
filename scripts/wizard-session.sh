# shellcheck shell=bash
# Sourced by scripts/demo.sh and scripts/package-test.sh (bash): a private
# CUPS scheduler with the emulated K7, an upgrade package, and the wizard
# under Xvfb played with the keyboard. The caller makes $WORK, a temporary
# folder, and calls session_stop on the way out.

SESSION_K7_KEY='HKLM\System\CurrentControlSet\control\Print\Printers\Tarvane_Nimbrel_K7\PrinterDriverData'
CUPSD_PID=""
XVFB_PID=""
WIZARD_PID=""

session_kill() {
    if [ -n "$1" ] && kill "$1" 2>/dev/null; then
        wait "$1" 2>/dev/null || true
    fi
}

# SIGTERM to the wizard's session, the wizard and any wrapper it runs under;
# the wizard restores the autorun value on its way out.
session_stop_wizard() {
    if [ -n "$WIZARD_PID" ]; then
        kill -TERM -- "-$WIZARD_PID" 2>/dev/null || true
        wait "$WIZARD_PID" 2>/dev/null || true
        WIZARD_PID=""
    fi
}

# Stops whatever the session started. The scheduler's program removes its
# folder, queues and emulator itself.
session_stop() {
    session_stop_wizard
    session_kill "$XVFB_PID"
    XVFB_PID=""
    session_kill "$CUPSD_PID"
    CUPSD_PID=""
}

# session_start_cupsd PROGRAM: starts quillet-private-cupsd and exports its
# CUPS_SERVER, K7_RECORD and K7_URI.
session_start_cupsd() {
    "$1" --env "$WORK/cupsd.env" >/dev/null &
    CUPSD_PID=$!
    for _ in $(seq 600); do
        [ -s "$WORK/cupsd.env" ] && break
        kill -0 "$CUPSD_PID" 2>/dev/null || { echo "the private scheduler did not start" >&2; return 1; }
        sleep 0.1
    done
    [ -s "$WORK/cupsd.env" ] || { echo "the private scheduler did not start in time" >&2; return 1; }
    set -a
    # shellcheck disable=SC1091
    . "$WORK/cupsd.env"
    set +a
}

# session_make_package FOLDER IMAGE_BYTES: an upgrade package as a printer
# maker lays it out: quillet.txt, the firmware image and the driver
# installer (here a stand-in that logs its start).
session_make_package() {
    mkdir -p "$1/driver"
    printf 'K7\r\nTarvane Nimbrel K7\r\nDemo release 2.10\r\nFile=firmware.bin\r\n' >"$1/quillet.txt"
    head -c "$2" /dev/urandom >"$1/firmware.bin"
    (cd "$1" && sha256sum firmware.bin >firmware.bin.sha256)
    cat >"$1/driver/setup.exe" <<'EOF'
#!/bin/sh
# Stands in for the printer driver's installer.
echo "driver installer started $(date)" >>"$(dirname "$0")/../driver-setup.log"
EOF
    chmod +x "$1/driver/setup.exe"
}

# session_start_xvfb: a virtual display on the first free number, as DISPLAY.
session_start_xvfb() {
    local display=99
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
        display=$((display + 1))
    done
    Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$display"
    for _ in $(seq 100); do
        xdotool getmouselocation >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "Xvfb did not start" >&2
    return 1
}

# session_play FOLDER COMMAND...: runs COMMAND in the package folder and
# presses Enter on each page of a whole upgrade. Before each press it calls
# session_on_page STEP PAGE WINDOW, when the caller defines it. Returns 0
# when every page appeared and the program then ended by itself.
session_play() {
    local folder=$1 step=0 page window
    shift
    # A session of its own, so that session_stop reaches every process of it.
    (cd "$folder" && exec setsid "$@") 2>"$WORK/wizard.err" &
    WIZARD_PID=$!
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
            session_stop_wizard
            sed 's/^/  wizard: /' "$WORK/wizard.err" >&2
            return 1
        fi
        sleep 0.5
        if declare -F session_on_page >/dev/null; then
            session_on_page "$step" "$page" "$window"
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
        session_stop_wizard
        return 1
    fi
    wait "$WIZARD_PID" || true
    WIZARD_PID=""
}

# session_k7_jobs: what the emulated K7 received, one job a line:
# KIND BYTES SHA256.
session_k7_jobs() {
    [ -f "$K7_RECORD" ] || return 0
    sed -n 's/.*"kind":"\([^"]*\)","bytes":\([0-9]*\),"sha256":"\([0-9a-f]*\)".*/\1 \2 \3/p' \
        "$K7_RECORD"
}

# session_autorun QUILLET_REG: the K7 driver's "SM AutoRun" line.
session_autorun() {
    "$1" query "$SESSION_K7_KEY" /v "SM AutoRun" | grep -i "SM AutoRun"
}
