#!/usr/bin/env bash
# Builds the Debian package (a plain Release configure, in build-package), installs it with
# apt-get, validates the launcher, the AppStream metadata and the package, runs the installed
# programs once as a user who cannot write /usr/bin, and removes the package again. scripts/test.sh runs it before the
# tests; it needs what `scripts/install-deps.sh test` installs.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

# Built as a new user would, from a plain configure without a prefix: the package must install
# under /usr all the same.
build=build-package
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target package >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb="$PWD/$build/tallemo_${version}_amd64.deb"
echo "package: $(basename "$deb") ($(du -k "$deb" | cut -f1) kB), built in $((SECONDS - started)) s"
echo "--- dpkg-deb -c"
contents=$(dpkg-deb -c "$deb")
if grep -q ' \./usr/local' <<<"$contents"; then
    echo "the package installs under /usr/local:" >&2
    grep ' \./usr/local' <<<"$contents" >&2
    exit 1
fi
for path in ./usr/bin/Tallemo ./usr/bin/tallemo-convert ./usr/share/tallemo/kinds/card-mail.toml \
    ./usr/share/man/man5/tallemo-kinds.5.gz; do
    grep -q " $path\$" <<<"$contents" || { echo "the package lacks $path" >&2; exit 1; }
done
echo "$(wc -l <<<"$contents") entries, all under /usr"
# A build for another prefix makes no package, and says why.
cmake -S . -B "$build-local-prefix" -DCMAKE_INSTALL_PREFIX=/usr/local >/dev/null
if refusal=$(cmake -P "$build-local-prefix/PackagePrefixCheck.cmake" 2>&1); then
    echo "a /usr/local build would make a package" >&2
    exit 1
fi
echo "a /usr/local build refuses: $(tr -s ' \n' ' ' <<<"$refusal" | cut -c1-90)..."

desktop_id=io.github.tallemo.Tallemo
scratch=$(mktemp -d)
chmod 755 "$scratch"
xvfb_pid=
window_pid=
cleanup() {
    [[ -n "$window_pid" ]] && kill "$window_pid" 2>/dev/null || true
    [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
    if dpkg-query -W -f='${Status}' tallemo 2>/dev/null | grep -q 'install ok installed'; then
        DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq tallemo >/dev/null
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT

# A stale copy from an interrupted run would hide this build's files.
cleanup_first() {
    if dpkg-query -W -f='${Status}' tallemo 2>/dev/null | grep -q 'install ok installed'; then
        DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq tallemo >/dev/null
    fi
}
cleanup_first
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
echo "installed: $(dpkg-query -W -f='${Package} ${Version}; Depends: ${Depends}' tallemo)"

echo "--- desktop-file-validate"
desktop-file-validate "/usr/share/applications/$desktop_id.desktop"
echo "--- appstreamcli validate"
# --no-net: the screenshot's address is not fetched; no check leaves this machine.
appstreamcli validate --no-net --explain "/usr/share/metainfo/$desktop_id.metainfo.xml"
echo "--- lintian"
# Errors and warnings fail; the accepted ones are overridden, with the reason, in
# data/debian/lintian-overrides (installed as /usr/share/lintian/overrides/tallemo).
lintian --fail-on error,warning --info --show-overrides "$deb"

# The installed programs as an ordinary user: /usr/bin is not theirs to write, so the settings
# file is the one in their configuration folder.
as_user() {
    runuser -u nobody -- env -i PATH=/usr/bin:/bin HOME="$scratch" \
        XDG_CONFIG_HOME="$scratch/config" LANG=ja_JP.UTF-8 "$@"
}
echo "--- tallemo-convert"
cp tests/fixtures/card/two-entries-with-heading.txt "$scratch/statement.txt"
chmod 644 "$scratch/statement.txt"
as_user tallemo-convert card "$scratch/statement.txt" >"$scratch/rows.tsv"
cmp "$scratch/rows.tsv" tests/fixtures/card/two-entries-with-heading.rows
echo "rows match tests/fixtures/card/two-entries-with-heading.rows"
settings_line=$(as_user tallemo-convert --help | tail -n 1)
echo "$settings_line"
[[ "$settings_line" == "Settings file used: $scratch/config/Tallemo/Tallemo.ini" ]]
# Root can write /usr/bin, but a settings file started there would become every user's.
root_line=$(env XDG_CONFIG_HOME="$scratch/root-config" tallemo-convert --help | tail -n 1)
echo "$root_line (as root)"
[[ "$root_line" == "Settings file used: $scratch/root-config/Tallemo/Tallemo.ini" ]]

echo "--- Tallemo under Xvfb"
# Xvfb picks a free display itself and says which when it is ready; -ac lets the ordinary user
# in (it listens on the local socket only).
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -ac 3>"$scratch/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    [[ -s "$scratch/display" ]] && break
    sleep 0.1
done
display=:$(head -n 1 "$scratch/display")
if [[ "$display" == ":" ]]; then
    echo "Xvfb did not start" >&2
    exit 1
fi
as_user env DISPLAY="$display" Tallemo >"$scratch/window.log" 2>&1 &
window_pid=$!
window=
for _ in $(seq 100); do
    window=$(DISPLAY=$display xdotool search --name '^Tallemo$' 2>/dev/null | head -n 1) || true
    [[ -n "$window" ]] && DISPLAY=$display xprop -id "$window" _NET_WM_ICON 2>/dev/null |
        grep -q 'Icon (' && break
    sleep 0.1
done
if [[ -z "$window" ]]; then
    echo "the window did not appear" >&2
    cat "$scratch/window.log" >&2
    exit 1
fi
DISPLAY=$display xprop -id "$window" WM_CLASS _NET_WM_NAME
icons=$(DISPLAY=$display xprop -id "$window" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)')
echo "_NET_WM_ICON:" $icons
[[ "$icons" == *"Icon (16 x 16)"* && "$icons" == *"Icon (48 x 48)"* ]]
kill "$window_pid"
wait "$window_pid" 2>/dev/null || true
window_pid=

cleanup
trap - EXIT
echo "package check passed in $((SECONDS - started)) s (package removed again)"
