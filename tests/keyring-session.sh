#!/bin/sh
# Runs a test program against a secret store of its own, never the user's:
#   keyring-session.sh keyring PROGRAM [ARGS...]  a private session bus with an
#                                                 unlocked GNOME keyring in it
#   keyring-session.sh nobus PROGRAM [ARGS...]    a session bus that is not there
# Home, configuration, data and runtime folders are temporary in both cases.
set -eu
mode=$1
shift
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT INT TERM
export HOME="$tmp/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share" XDG_CACHE_HOME="$HOME/.cache"
export XDG_RUNTIME_DIR="$tmp/run"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset GNOME_KEYRING_CONTROL SSH_AUTH_SOCK

case "$mode" in
keyring)
    command -v dbus-run-session >/dev/null && command -v gnome-keyring-daemon >/dev/null || {
        echo "keyring-session.sh: dbus-run-session and gnome-keyring-daemon are needed" >&2
        exit 1
    }
    status=0
    dbus-run-session -- sh -c '
        # Fail rather than ever reach the bus of the user session.
        if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] || [ "$DBUS_SESSION_BUS_ADDRESS" = "$0" ]; then
            echo "keyring-session.sh: no private session bus" >&2
            exit 1
        fi
        printf %s postrella-test | gnome-keyring-daemon --unlock --components=secrets >/dev/null || exit 1
        POSTRELLA_PRIVATE_KEYRING=keyring "$@"
    ' "${DBUS_SESSION_BUS_ADDRESS:-none}" "$@" || status=$?
    exit "$status"
    ;;
nobus)
    status=0
    DBUS_SESSION_BUS_ADDRESS="unix:path=$tmp/no-bus" POSTRELLA_PRIVATE_KEYRING=nobus "$@" || status=$?
    exit "$status"
    ;;
*)
    echo "keyring-session.sh: unknown mode $mode" >&2
    exit 2
    ;;
esac
