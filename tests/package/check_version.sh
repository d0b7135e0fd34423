#!/usr/bin/env bash
# The version plumbing: every program prints the project's version number (with the commit in
# brackets for a build from a checkout), and the program answers --version and --help on a
# terminal without a display, without creating a site's tables in the folder it is run in.
#   check_version.sh VERSION PROGRAM...      (the first PROGRAM named talvern is the program itself)
set -u
version=$1
shift
failed=0
fail() { echo "FAIL: $*"; failed=1; }

programs=()
for program in "$@"; do programs+=("$(readlink -f "$program")"); done
set -- "${programs[@]}"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

# No display at all, and a platform that does not exist: a QApplication would abort here.
run() { env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=no-such-platform "$@"; }

pattern="^[a-z-]+ ${version//./\\.}( \([0-9A-Za-z._-]+\))?\$"
for program in "$@"; do
    name=$(basename "$program")
    out=$(run "$program" --version 2>&1)
    rc=$?
    first=$(head -n1 <<<"$out")
    [[ $rc -eq 0 ]] || fail "$name --version exited $rc: $out"
    [[ "$first" =~ $pattern && "$first" == "$name "* ]] || fail "$name --version printed '$first', wanted '$name $version'"
done

for program in "$@"; do
    [[ $(basename "$program") == talvern ]] || continue
    # --help wins over anything else given, and names the options the program knows.
    for args in "--help" "-h" "--menu --help" "--no-such-option --help"; do
        # shellcheck disable=SC2086
        out=$(run "$program" $args 2>&1)
        rc=$?
        [[ $rc -eq 0 ]] || fail "talvern $args exited $rc"
        for word in "Użycie: talvern" "Usage:" "--menu" "--version" "--help"; do
            grep -qF -- "$word" <<<"$out" || fail "talvern $args does not mention '$word'"
        done
    done
    out=$(run "$program" --menu --version 2>&1)
    [[ "$out" == "talvern $version"* ]] || fail "talvern --menu --version printed '$out'"
done

leftovers=$(ls -A "$scratch")
[[ -z "$leftovers" ]] || fail "the options left files behind in the folder: $leftovers"

if [[ $failed -eq 0 ]]; then
    echo "version plumbing: all passed"
fi
exit $failed
