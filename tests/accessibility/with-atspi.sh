#!/usr/bin/env bash
# Runs a command ("$@") the way assistive technology meets a desktop: on a virtual X display
# (Xvfb), in a private D-Bus session with the AT-SPI bus launcher, and with a temporary home and
# XDG folders, so nothing of the real user's settings, keyring, cache or ~/.gam is seen.
set -euo pipefail

if [[ -z "${TARNWICK_IN_ATSPI_SESSION:-}" ]]; then
    home=$(mktemp -d)
    trap 'rm -rf "$home"' EXIT
    mkdir -m 0700 "$home/run"
    # Not exec: the trap removes the temporary home afterwards.
    TARNWICK_IN_ATSPI_SESSION=1 HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
        XDG_CACHE_HOME="$home/.cache" XDG_RUNTIME_DIR="$home/run" \
        xvfb-run -a -s "-screen 0 1280x1000x24" dbus-run-session -- "$0" "$@"
    exit $?
fi

launcher=/usr/libexec/at-spi-bus-launcher
[[ -x "$launcher" ]] || { echo "at-spi2-core is not installed ($launcher)" >&2; exit 1; }
"$launcher" --launch-immediately &
launcher_pid=$!
trap 'kill "$launcher_pid" 2>/dev/null || true' EXIT
"$@"
