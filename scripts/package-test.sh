#!/bin/bash
# Builds the Debian package from a built release tree and shows it working:
#
#   1. cpack -G DEB; prints its contents and Depends, and fails on any
#      lintian error;
#   2. checks the desktop entry and the AppStream file with their
#      validators; runs a whole upgrade with the packaged quillet, extracted
#      with dpkg-deb -x, by the desktop entry's command for the package's
#      quillet.txt from another folder, as an ordinary user against the
#      private scheduler and the emulated K7, played with the keyboard under
#      Xvfb, and checks what the printer received and the driver's autorun
#      value;
#   3. as root, where no quillet and no store are there yet (CI): installs
#      the package, checks the registry store its postinst made, and that the
#      store outlives a reinstallation and a removal and goes with a purge,
#      and that a configure never writes through a link in the store's place;
#      and that GLib, as the file manager does, gives a quillet.txt the
#      package's content type and opens it with the desktop entry.
#
# Usage: scripts/package-test.sh BUILD_DIR
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:?usage: scripts/package-test.sh BUILD_DIR}" && pwd)
# The private scheduler with the emulated K7, built in the release tree.
PRIVATE_CUPSD="$BUILD/emulator/quillet-private-cupsd"
# Three times an ordinary user's locked-memory limit of 8 MiB.
IMAGE_BYTES=$((24 * 1024 * 1024))
# The store that the build fixed, which the package's postinst creates.
STORE=$(sed -n 's/^QUILLET_REGISTRY_DB:[A-Z]*=//p' "$BUILD/CMakeCache.txt")

say() { printf '\n== %s\n' "$*"; }
fail() {
    echo "package test: $*" >&2
    exit 1
}

# shellcheck source=scripts/wizard-session.sh
. "$ROOT/scripts/wizard-session.sh"
WORK=$(mktemp -d /tmp/quillet-package-XXXXXX)
chmod 755 "$WORK"
INSTALLED=""
LINTIAN_PID=""
# dpkg, waiting while another package manager holds its lock.
run_dpkg() {
    for _ in $(seq 150); do
        if dpkg "$@" >"$WORK/dpkg.log" 2>&1; then
            return 0
        fi
        grep -q 'lock' "$WORK/dpkg.log" || break
        sleep 2
    done
    cat "$WORK/dpkg.log" >&2
    return 1
}
cleanup() {
    set +e
    session_kill "$LINTIAN_PID"
    session_stop
    [ -n "$INSTALLED" ] && run_dpkg --purge quillet
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- 1. The package and lintian ------------------------------------------------
say "Debian package"
rm -rf "$BUILD/package"
(cd "$BUILD" && cpack -G DEB -B "$BUILD/package" >"$WORK/cpack.log" 2>&1) ||
    { cat "$WORK/cpack.log" >&2; fail "cpack failed"; }
deb=$(echo "$BUILD"/package/quillet_*.deb)
[ -f "$deb" ] || fail "cpack made no package"
echo "$deb"
dpkg-deb -c "$deb"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"
# lintian takes a while: it runs beside the upgrade below.
lintian --fail-on error "$deb" >"$WORK/lintian.log" 2>&1 &
LINTIAN_PID=$!

# --- 2. The packaged program, as an ordinary user -------------------------------
say "A whole upgrade with the packaged quillet, as an ordinary user"
dpkg-deb -x "$deb" "$WORK/root"
QUILLET="$WORK/root/usr/bin/quillet"
QUILLET_REG="$WORK/root/usr/bin/quillet-reg"
DESKTOP_ID=com.tarvane.Quillet
desktop-file-validate "$WORK/root/usr/share/applications/$DESKTOP_ID.desktop" ||
    fail "the desktop entry is not valid"
appstreamcli validate --no-net "$WORK/root/usr/share/metainfo/$DESKTOP_ID.metainfo.xml" ||
    fail "the AppStream file is not valid"

mkdir "$WORK/registry"
export QUILLET_REGISTRY_DB="$WORK/registry/registry.db"
"$QUILLET_REG" add "$SESSION_K7_KEY" /v "SM AutoRun" /t REG_DWORD /d 1 /f >/dev/null
if [ "$(id -u)" -eq 0 ]; then
    chown -R 65534:65534 "$WORK/registry"
fi
session_make_package "$WORK/upgrade" "$IMAGE_BYTES"
session_start_cupsd "$PRIVATE_CUPSD"
session_start_xvfb
AUTORUN_DURING=""
session_on_page() {
    echo "  page $1, $2"
    if [ "$2" = test-print-ready ]; then
        AUTORUN_DURING=$(session_autorun "$QUILLET_REG")
    fi
}
# The entry's command as the file manager runs it for the package's quillet.txt.
read -ra command <<<"$(sed -n 's/^Exec=//p' "$WORK/root/usr/share/applications/$DESKTOP_ID.desktop")"
[ "${command[0]}" = quillet ] && [ "${command[-1]}" = %f ] || fail "unexpected Exec line: ${command[*]}"
command=("$QUILLET" "${command[@]:1:${#command[@]}-2}" "$WORK/upgrade/quillet.txt")
echo "  from $WORK: ${command[*]}"
session_play "$WORK" "$ROOT/scripts/as-ordinary-user.sh" "${command[@]}" ||
    fail "the upgrade did not run to its end"

# The printer records a job once its connection closes.
for _ in $(seq 100); do
    session_k7_jobs | grep -q '^firmware ' && break
    sleep 0.1
done
received=$(session_k7_jobs | cut -d' ' -f1 | tr '\n' ' ')
firmware=$(session_k7_jobs | grep '^firmware ' || true)
expected="firmware $IMAGE_BYTES $(sha256sum "$WORK/upgrade/firmware.bin" | cut -d' ' -f1)"
echo "  the K7 received: $received"
echo "  firmware: $firmware"
[ "$received" = "test-page download-mode firmware " ] || fail "the printer's jobs are not a test page, download mode and the firmware"
[ "$firmware" = "$expected" ] || fail "the firmware differs from the image ($expected)"
after=$(session_autorun "$QUILLET_REG")
echo "  SM AutoRun during: $AUTORUN_DURING; after: $after"
[[ "$AUTORUN_DURING" == *0x0 ]] || fail "the ordinary user's wizard did not switch the autorun value off"
[[ "$after" == *0x1 ]] || fail "the autorun value is not back to 1"
# The scheduler takes its time to stop; the cleanup waits for it.
kill "$CUPSD_PID"

say "lintian (errors fail)"
lintian_status=0
wait "$LINTIAN_PID" || lintian_status=$?
LINTIAN_PID=""
grep -v 'running with root privileges' "$WORK/lintian.log" || true
[ "$lintian_status" -eq 0 ] || fail "lintian found errors"

# --- 3. Installed on this machine ------------------------------------------------
if [ "$(id -u)" -ne 0 ]; then
    say "Not root: the installation is not tried"
    exit 0
fi
if dpkg-query -W -f='${Status}' quillet 2>/dev/null | grep -q "ok installed" ||
    [ -e "$(dirname "$STORE")" ]; then
    say "quillet or its store is on this machine already: the installation is not tried"
    exit 0
fi
say "Installing the package"
INSTALLED=1
run_dpkg --install "$deb"
store_mode() { stat -c '%U:%G %a' "$1"; }
echo "  $(dirname "$STORE"): $(store_mode "$(dirname "$STORE")"); $STORE: $(store_mode "$STORE")"
[ "$(store_mode "$(dirname "$STORE")")" = "root:lpadmin 2775" ] || fail "the store's folder is not root:lpadmin 2775"
[ "$(store_mode "$STORE")" = "root:lpadmin 664" ] || fail "the store is not root:lpadmin 664"
unset QUILLET_REGISTRY_DB
quillet-reg query HKLM >/dev/null || fail "the new store is not a registry"

# Printer administrators may write the store; other users may not.
lpadmin_gid=$(getent group lpadmin | cut -d: -f3)
as_nobody() { setpriv --reuid=65534 --regid=65534 --inh-caps=-all --bounding-set=-all "$@"; }
as_nobody --groups="$lpadmin_gid" quillet-reg add "$SESSION_K7_KEY" /v "SM AutoRun" /t REG_DWORD /d 1 /f \
    >/dev/null || fail "a member of lpadmin cannot write the store"
if as_nobody --clear-groups quillet-reg add "$SESSION_K7_KEY" /v "SM AutoRun" /t REG_DWORD /d 0 /f \
    >/dev/null 2>&1; then
    fail "a user outside lpadmin wrote the store"
fi

# shared-mime-info's and desktop-file-utils' triggers have updated their caches.
mime_type=application/x-quillet-package
as_gio() { as_nobody --clear-groups env HOME="$WORK" LC_ALL=C.UTF-8 gio "$@"; }
[[ "$(as_gio info -a standard::content-type "$WORK/upgrade/quillet.txt")" == *"content-type: $mime_type" ]] ||
    fail "a quillet.txt is not of the type $mime_type"
[[ "$(as_gio mime "$mime_type")" == "Default application"*": $DESKTOP_ID.desktop"$'\n'* ]] ||
    fail "the desktop entry is not the default application of $mime_type"
echo "  quillet.txt: $mime_type, opened with $DESKTOP_ID.desktop"

run_dpkg --install "$deb"
[[ "$(session_autorun quillet-reg)" == *0x1 ]] || fail "the store was not kept on reinstallation"

# A printer administrator puts a dangling link in the store's place: the next
# configure leaves it alone and makes nothing where it points.
mv "$STORE" "$WORK/store.kept"
as_nobody --groups="$lpadmin_gid" ln -s "$WORK/planted" "$STORE"
run_dpkg --install "$deb"
if [ ! -L "$STORE" ] || [ -e "$WORK/planted" ]; then
    fail "the configure wrote through a link at $STORE"
fi
rm "$STORE"
mv "$WORK/store.kept" "$STORE"
echo "  a link in the store's place is left alone and not followed"
run_dpkg --remove quillet
[[ "$(session_autorun "$QUILLET_REG")" == *0x1 ]] || fail "the store was not kept on removal"
run_dpkg --purge quillet
INSTALLED=""
[ ! -e "$(dirname "$STORE")" ] || fail "the purge left $(dirname "$STORE")"
if grep -q "$mime_type" /usr/share/mime/types /usr/share/applications/mimeinfo.cache; then
    fail "the caches still hold $mime_type after the purge"
fi
echo "  kept on reinstallation and removal, gone after purge"
