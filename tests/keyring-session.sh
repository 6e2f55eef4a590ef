#!/bin/sh
# Runs a test program against a secret store of its own, never the user's:
#   keyring-session.sh keyring PROGRAM [ARGS...]  a private session bus with an
#                                                 unlocked GNOME keyring in it
#   keyring-session.sh bus PROGRAM [ARGS...]      a private session bus, no keyring
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
# The store is chosen by the desktop; on KDE it would be a KWallet that the private bus lacks.
unset GNOME_KEYRING_CONTROL SSH_AUTH_SOCK XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION KDE_SESSION_VERSION

case "$mode" in
keyring | bus)
    command -v dbus-run-session >/dev/null && command -v gnome-keyring-daemon >/dev/null || {
        echo "keyring-session.sh: dbus-run-session and gnome-keyring-daemon are needed" >&2
        exit 1
    }
    status=0
    dbus-run-session -- sh -c '
        mode=$1
        shift
        # Fail rather than ever reach the bus of the user session.
        if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] || [ "$DBUS_SESSION_BUS_ADDRESS" = "$0" ]; then
            echo "keyring-session.sh: no private session bus" >&2
            exit 1
        fi
        if [ "$mode" = keyring ]; then
            printf %s postrella-test | gnome-keyring-daemon --unlock --components=secrets >/dev/null || exit 1
        fi
        POSTRELLA_PRIVATE_KEYRING=$mode "$@"
    ' "${DBUS_SESSION_BUS_ADDRESS:-none}" "$mode" "$@" || status=$?
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
