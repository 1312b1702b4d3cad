#!/usr/bin/env bash
# usage: install_roundtrip.sh SOURCE_DIR BUILD_DIR
# Installs BUILD_DIR into a throwaway home and checks that scripts/uninstall takes away the
# program and its desktop files but never the diary, and the settings file only with --purge.
set -euo pipefail
src=$1
build=$2
. "$src/scripts/lib/settings.sh"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
prefix=$home/.local
program_dir=$prefix/lib/orlune
installed=(
    "$program_dir/Orlune"
    "$program_dir/printsetup.so"
    "$prefix/bin/orlune"
    "$prefix/share/applications/orlune.desktop"
    "$prefix/share/man/man1/orlune.1"
    "$prefix/share/icons/hicolor/scalable/apps/orlune.svg"
    "$prefix/share/metainfo/orlune.metainfo.xml"
)
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

install_here() {
    cmake --install "$build" --prefix "$prefix" >/dev/null
    for f in "${installed[@]}"; do
        [ -e "$f" ] || fail "not installed: $f"
    done
    [ "$(readlink "$prefix/bin/orlune")" = "../lib/orlune/Orlune" ] || fail "link is not relative"
    [ -x "$prefix/bin/orlune" ] || fail "link does not reach the program"
}

uninstall_here() {
    HOME=$home ORLUNE_INSTALL_MANIFEST=$1 "$src/scripts/uninstall" "${@:2}" >/dev/null
    for f in "${installed[@]}"; do
        if [ -e "$f" ] || [ -L "$f" ]; then fail "left behind ($*): $f"; fi
    done
}

settings=$program_dir/Orlune.ini
diary_inside=$program_dir/diary/2026/1208.txt
diary_outside=$home/diary/2026/1208.txt

# Settings and a diary kept beside the program survive a plain uninstall.
install_here
write_settings "$settings" "$home/diary"
mkdir -p "$(dirname "$diary_inside")" "$(dirname "$diary_outside")"
echo entry >"$diary_inside"
echo entry >"$diary_outside"
uninstall_here "$build/install_manifest.txt"
[ -f "$settings" ] || fail "settings removed without --purge"
[ -f "$diary_inside" ] || fail "diary beside the program removed"

# --purge takes the settings file, never the diary; the folder stays while the diary is in it.
install_here
uninstall_here "$build/install_manifest.txt" --purge
[ ! -e "$settings" ] || fail "settings kept with --purge"
[ -f "$diary_inside" ] || fail "diary removed by --purge"
[ -f "$diary_outside" ] || fail "diary outside removed by --purge"

# Without a manifest the known list is used, and an emptied program folder goes too.
rm -rf "$program_dir/diary"
install_here
echo '[Data]' >"$settings"
uninstall_here "$home/no-manifest.txt" --purge
[ ! -e "$program_dir" ] || fail "empty program folder kept"
[ -f "$diary_outside" ] || fail "diary removed without manifest"

[ $failures -eq 0 ] && echo "install_roundtrip: all checks passed"
exit $failures
