#!/usr/bin/env bash
# Builds the Debian package from a build tree (as `make package` does), unpacks it into a
# temporary root with dpkg -x and checks what an installation gets: the files and icon sizes,
# the desktop entry, the AppStream metadata, the dependencies, lintian's verdict (no errors),
# and that the installed tarnwick answers --version and opens its practice domain with the
# practice gam installed beside it.
# Usage: check-deb.sh BUILD_DIR
set -euo pipefail

build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    exit 1
fi
deb=$(find "$work/out" -maxdepth 1 -name '*.deb')
root="$work/root"
dpkg -x "$deb" "$root"
echo "Package: $(basename "$deb")"
dpkg-deb --contents "$deb" | awk '{print "  " $6}'

app=org.tarnwick.Tarnwick
expected=(
    usr/bin/tarnwick
    usr/libexec/tarnwick/gam
    usr/share/applications/$app.desktop
    usr/share/metainfo/$app.metainfo.xml
    usr/share/icons/hicolor/scalable/apps/$app.svg
    usr/share/man/man1/tarnwick.1.gz
    usr/share/doc/tarnwick/copyright
    usr/share/doc/tarnwick/changelog.gz
)
for size in 16 22 24 32 48 64 128 256; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/$app.png")
done
for file in "${expected[@]}"; do
    [[ -f "$root/$file" ]] || fail "the package lacks /$file"
done
[[ -e "$root/usr/bin/gam" ]] && fail "the practice gam must not be on PATH"
for png in "$root"/usr/share/icons/hicolor/*x*/apps/$app.png; do
    folder=$(basename "$(dirname "$(dirname "$png")")")
    pixels=$(identify -format '%wx%h' "$png")
    [[ "$pixels" == "$folder" ]] || fail "$folder icon is $pixels"
done

desktop-file-validate "$root/usr/share/applications/$app.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app.metainfo.xml" || fail "appstreamcli validate"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for needed in libqt6widgets6 libsecret-1-0 qt6-qpa-plugins libqt6svg6; do
    [[ ", $depends," == *", $needed"[\ ,]* ]] || fail "Depends lacks $needed"
done
# Every dependency must be a package Debian knows (here: installed, or in the apt lists).
for name in $(tr ',|' '\n\n' <<<"$depends" | sed -E 's/\(.*\)//; s/ //g'); do
    dpkg-query -W "$name" >/dev/null 2>&1 || apt-cache show "$name" >/dev/null 2>&1 ||
        fail "unknown dependency $name"
done

echo "lintian:"
if ! lintian --fail-on error --display-info "$deb" >"$work/lintian.log" 2>&1; then
    fail "lintian reports errors"
fi
sed 's/^/  /' "$work/lintian.log"

version=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/tarnwick" --version)
[[ "$version" == "Tarnwick "* ]] || fail "tarnwick --version printed '$version'"

# The installed copy finds its practice gam without a source tree.
home="$work/home"
mkdir -p "$home/run"
chmod 0700 "$home/run"
HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" XDG_DATA_HOME="$home/.local/share" \
    XDG_RUNTIME_DIR="$home/run" QT_QPA_PLATFORM=offscreen PRACTICE_GAM_LOG="$work/gam-runs.jsonl" "$root/usr/bin/tarnwick" --practice &
practice=$!
for _ in $(seq 1 300); do
    grep -q '"argv":\["version"\]' "$work/gam-runs.jsonl" 2>/dev/null && break
    kill -0 "$practice" 2>/dev/null || break
    sleep 0.1
done
grep -q '"argv":\["version"\]' "$work/gam-runs.jsonl" 2>/dev/null ||
    fail "the installed tarnwick --practice did not run its practice gam"
kill "$practice" 2>/dev/null || true
wait "$practice" 2>/dev/null || true

if ((failures > 0)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "The package installs and validates."
