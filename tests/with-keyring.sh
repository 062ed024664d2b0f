#!/usr/bin/env bash
# Runs one test binary ("$1", further arguments passed on) against a throw-away
# Secret Service: a private D-Bus session with gnome-keyring's secrets component,
# its login keyring created and unlocked with an empty password inside a
# temporary home, so the real user's keyring is never touched. Works headless
# and as root.
set -euo pipefail

if [[ -z "${TARNWICK_IN_KEYRING_SESSION:-}" ]]; then
    home=$(mktemp -d)
    trap 'rm -rf "$home"' EXIT
    mkdir -m 0700 "$home/run"
    # Not exec: the trap removes the temporary home afterwards.
    TARNWICK_IN_KEYRING_SESSION=1 HOME="$home" XDG_DATA_HOME="$home/.local/share" \
        XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home/run" \
        dbus-run-session -- "$0" "$@"
    exit $?
fi

mkdir -p "$XDG_DATA_HOME"
# --unlock reads the password from standard input and creates the login keyring
# (the default collection) when it does not exist yet.
eval "$(echo '' | gnome-keyring-daemon --unlock --components=secrets)"
export GNOME_KEYRING_CONTROL
exec "$@"
