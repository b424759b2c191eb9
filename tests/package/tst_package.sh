#!/usr/bin/env bash
# Builds the Debian package from a finished build folder, unpacks it into a temporary root as dpkg
# would install it, and starts what it holds: the installed tree, the dependencies found from the
# linked libraries, and the client running from its real folder, where its update script lies.
set -euo pipefail
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log" >&2; fail "cpack did not build the package"; }
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one package, found: ${debs[*]}"
deb="${debs[0]}"

depends="$(dpkg-deb -f "$deb" Depends)"
for needed in libqt5widgets5 libqt5webenginewidgets5 libprotobuf openssl libqt5sql5-sqlite; do
    [[ "$depends" == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
app="$root/usr/lib/zu-desktop"
for file in "$app/zu-desktop" "$root/usr/bin/zu-devhub"; do
    [ -x "$file" ] || fail "missing executable $file"
done
for file in "$app/scripts/auto_update.qs" "$app/doc/user-guide.md" "$app/libzuweb.so" "$root/usr/share/applications/zu-desktop.desktop" \
    "$root/usr/share/icons/hicolor/64x64/apps/zu-desktop.png" \
    "$root/usr/share/icons/hicolor/scalable/apps/zu-desktop.svg"; do
    [ -f "$file" ] || fail "missing $file"
done
[ "$(readlink "$root/usr/bin/zu-desktop")" = "../lib/zu-desktop/zu-desktop" ] \
    || fail "usr/bin/zu-desktop does not link to the client"
grep -q '^Exec=zu-desktop$' "$root/usr/share/applications/zu-desktop.desktop" || fail "desktop entry Exec"
grep -q '^Icon=zu-desktop$' "$root/usr/share/applications/zu-desktop.desktop" || fail "desktop entry Icon"

# Every per-user and machine-wide store inside the work folder.
home="$work/home"
mkdir -p "$home"
run() {
    env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
        XDG_CACHE_HOME="$home/cache" XDG_CONFIG_DIRS="$home/xdg" XDG_RUNTIME_DIR="$home/run" \
        TMPDIR="$home" QT_QPA_PLATFORM=offscreen "$@"
}
help="$(run "$root/usr/bin/zu-desktop" --help)" || fail "zu-desktop --help failed"
[[ "$help" == *"--host <host>"* ]] || fail "zu-desktop --help printed: $help"
# Started through the link, the client must see its real folder as its own: that is where it looks
# for scripts/auto_update.qs.
grep -rqF "\"$app\")" "$home/data" --include='zulog_*' \
    || fail "the client did not run from $app: $(grep -rh 'Library paths' "$home/data" || true)"
help="$(run "$root/usr/bin/zu-devhub" --help)" || fail "zu-devhub --help failed"
[[ "$help" == *"--web-port"* ]] || fail "zu-devhub --help printed: $help"
echo "PASS: $(basename "$deb") installs and starts"
