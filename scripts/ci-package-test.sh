#!/usr/bin/env bash
# The package as a user meets it: build it, install it, start the installed
# program as an ordinary user on a virtual display with fresh user folders,
# check that its main window shows, that the user's files land in that user's
# folders only and that nothing under /usr changed, then remove the package.
# Runs as root (CI); a few minutes, most of them the release build.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || { echo "run as root: it installs a package and adds a user" >&2; exit 1; }

deb=$(bash scripts/make-deb.sh | tail -n 1)
[ -f "$deb" ] || { echo "no package built" >&2; exit 1; }

work=$(mktemp -d)
chmod 755 "$work"
user="postrella-ci-$$"
home="$work/home"
installed=0
cleanup() {
    status=$?
    userdel "$user" 2>/dev/null || true
    if [ "$installed" -eq 1 ]; then
        DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq postrella >/dev/null || status=1
        if [ -e /usr/bin/postrella ] || [ -e /usr/share/postrella ]; then
            echo "FAIL: removing the package left files behind" >&2
            status=1
        fi
    fi
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb" >/dev/null
installed=1
desktop-file-validate /usr/share/applications/postrella.desktop
appstreamcli validate --no-net /usr/share/metainfo/postrella.metainfo.xml >/dev/null

# Every path under /usr with its mode, owner, size and times of change (any
# write changes the ctime), and the checksums of what the package installed.
snapshot() {
    find /usr -xdev -printf '%p %M %u:%g %s %T@ %C@\n' | LC_ALL=C sort
    dpkg -L postrella | while read -r f; do [ -f "$f" ] && sha256sum "$f"; done
}
snapshot >"$work/usr.before"

useradd --no-create-home --home-dir "$home" --shell /bin/sh "$user"
install -d -m 700 -o "$user" -g "$user" "$home"

# The main window's title is "Postrella"; the start screen has none. The
# first-run wizard is a panel inside the main window, so the window shows on
# a first start too. The program runs until the window is found or 60 s pass.
cat >"$work/run.sh" <<'SCRIPT'
set -u
/usr/bin/postrella >"$HOME/postrella.log" 2>&1 &
pid=$!
if timeout 60 xdotool search --sync --onlyvisible --name '^Postrella$' >/dev/null; then shown=0; else shown=1; fi
kill -0 "$pid" 2>/dev/null || { echo "the program ended by itself" >&2; shown=1; }
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
exit "$shown"
SCRIPT
started=$(date +%s)
if ! runuser -u "$user" -- env -i PATH=/usr/bin:/bin LANG=C.UTF-8 HOME="$home" \
    XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" XDG_CACHE_HOME="$home/.cache" \
    XDG_RUNTIME_DIR="$home/.run" QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" sh "$work/run.sh"; then
    echo "FAIL: the main window of the installed program did not show" >&2
    cat "$home/postrella.log" >&2 || true
    exit 1
fi
echo "main window shown after $(($(date +%s) - started)) s"

snapshot >"$work/usr.after"
if ! diff -u "$work/usr.before" "$work/usr.after"; then
    echo "FAIL: running the program changed files under /usr" >&2
    exit 1
fi

# What the program wrote at its start: the settings (owner only) and the
# unpacked help in a cache folder of the user's own.
fail=0
expect_mode() { # <mode> <path>
    local mode
    mode=$(stat -c %a "$2" 2>/dev/null || echo missing)
    [ "$mode" = "$1" ] || { echo "FAIL: $2 is $mode, expected $1" >&2; fail=1; }
}
expect_mode 600 "$home/.config/Fernwick/FW-Postrella.conf"
expect_mode 700 "$home/.cache/Postrella"
expect_mode 700 "$home/.cache/Postrella/temp"
expect_mode 700 "$home/.cache/Postrella/help"
[ -f "$home/.cache/Postrella/help/CurrentlyUncompressed.ini" ] || { echo "FAIL: help not unpacked" >&2; fail=1; }
# Nothing of the user's outside the user's folder.
stray=$(find / -xdev -user "$user" ! -path "$home" ! -path "$home/*" 2>/dev/null || true)
[ -z "$stray" ] || { echo "FAIL: files of the user outside $home:" >&2; echo "$stray" >&2; fail=1; }
[ "$fail" -eq 0 ]
echo "package test passed: $deb"
