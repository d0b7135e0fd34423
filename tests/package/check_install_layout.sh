#!/usr/bin/env bash
# Installs the build into a scratch prefix, as the package does, and checks that everything the
# package is to hold lands where the desktop and the program look for it.
#   check_install_layout.sh BUILD_DIR SOURCE_DIR
set -u
build=$1 source=$2
failed=0
fail() { echo "FAIL: $*"; failed=1; }
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }

expected=(
    bin/talvern bin/talvern-dbf bin/talvern-ports bin/talvern-progsim
    share/applications/talvern.desktop
    share/metainfo/org.example.talvern.metainfo.xml
    share/man/man1/talvern.1.gz share/man/man1/talvern-dbf.1.gz share/man/man1/talvern-ports.1.gz share/man/man1/talvern-progsim.1.gz
    share/doc/talvern/copyright share/doc/talvern/changelog.gz
)
for size in 16 32 48 64 128 256; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/talvern.png")
done
for f in "${expected[@]}"; do
    [[ -s "$prefix/$f" ]] || fail "missing $f"
done
for p in talvern talvern-dbf talvern-ports talvern-progsim; do
    [[ -x "$prefix/bin/$p" ]] || fail "bin/$p is not executable"
done

# Each icon is a PNG of its size (the width and height stand at bytes 16..23 of the header).
for size in 16 32 48 64 128 256; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/talvern.png"
    [[ -f $icon ]] || continue
    read -r w h < <(od -An -tu1 -j16 -N8 "$icon" | awk '{print $3 * 256 + $4, $7 * 256 + $8}')
    [[ "$w $h" == "$size $size" ]] || fail "icon ${size}x${size} is ${w}x${h}"
    [[ $(head -c8 "$icon" | od -An -tx1 | tr -d ' ') == 89504e470d0a1a0a ]] || fail "icon $size is not a PNG"
done

# The program finds the manual relative to its own folder (shell/app/InstalledPaths.h).
relative=$(sed -n 's/.*kManualFolderFromProgram\[\] = "\(.*\)";/\1/p' "$source/shell/app/InstalledPaths.h")
[[ "$relative" == ../share/doc/talvern/manual ]] || fail "InstalledPaths.h names '$relative'"
if [[ -f "$source/docs/manual/index.html" ]]; then
    [[ -f "$prefix/bin/$relative/index.html" ]] || fail "the manual is not at bin/$relative/index.html"
    [[ -f "$prefix/share/doc-base/talvern-manual" ]] || fail "the manual is not registered with doc-base"
    # Every page, style sheet and picture, in the same folders as in the sources.
    while IFS= read -r f; do
        [[ -f "$prefix/share/doc/talvern/manual/$f" ]] || fail "manual file $f not installed"
    done < <(cd "$source/docs/manual" && find . \( -name '*.html' -o -name '*.css' -o -name '*.png' \) -printf '%P\n')
fi

[[ $failed -eq 0 ]] && echo "install layout: all passed"
exit $failed
