#!/usr/bin/env bash
# The files the package gives the desktop: the menu entry, the AppStream data (as configured, with
# the project's version) and the three manual pages. Skipped (77) when neither validator is here.
#   check_desktop_files.sh DESKTOP_FILE METAINFO_FILE VERSION MAN_PAGE...
set -u
desktop=$1 metainfo=$2 version=$3
shift 3
failed=0
fail() { echo "FAIL: $*"; failed=1; }
checked=0

if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
    checked=1
fi
grep -qx 'Exec=talvern --menu' "$desktop" || fail "the menu entry does not start 'talvern --menu'"
grep -qx 'Icon=talvern' "$desktop" || fail "the menu entry's icon is not talvern"

if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net --pedantic "$metainfo" || fail "appstreamcli validate $metainfo"
    checked=1
fi
grep -q "<release version=\"$version\"" "$metainfo" || fail "the AppStream release is not $version"

# groff reports unknown macros and bad requests as warnings on standard error.
for page in "$@"; do
    warnings=$(LC_ALL=C.UTF-8 groff -man -ww -z -Tutf8 "$page" 2>&1)
    [[ -z "$warnings" ]] || fail "$page: $warnings"
done

[[ $failed -eq 0 && $checked -eq 0 ]] && { echo "desktop-file-validate and appstreamcli are missing"; exit 77; }
[[ $failed -eq 0 ]] && echo "desktop files: all passed"
exit $failed
