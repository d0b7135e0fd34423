#!/usr/bin/env bash
# Runs TALVERN in a real X server (Xvfb) with an accessibility bus of its own, walks it with the
# screen-reader check and, with --shots, saves the locked window and the Settings page.
#   tests/shell/screenshots.sh BUILD_DIR [--shots DIR]
# Needs xvfb, dbus, at-spi2-core and python3-dogtail (scripts/install-deps). CTest
# runs it as the screen-reader test; without xvfb-run or dogtail it exits 77, which CTest reports
# as skipped.
set -euo pipefail
if ! command -v xvfb-run >/dev/null; then
    echo "skipped: xvfb-run is not installed (scripts/install-deps installs xvfb)" >&2
    exit 77
fi
if ! /usr/bin/python3 -c "import dogtail" 2>/dev/null; then
    echo "skipped: dogtail is not installed (scripts/install-deps installs python3-dogtail)" >&2
    exit 77
fi
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: screenshots.sh BUILD_DIR [--shots DIR]}" && pwd)
shift
shots=""
if [[ "${1:-}" == "--shots" ]]; then
    mkdir -p "$2"
    shots=$(cd "$2" && pwd)
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/site" "$scratch/config" "$scratch/run"
chmod 700 "$scratch/run"

cat > "$scratch/session.sh" <<SESSION
set -euo pipefail
export GSETTINGS_BACKEND=keyfile
gsettings set org.gnome.desktop.interface toolkit-accessibility true
/usr/libexec/at-spi-bus-launcher --launch-immediately &
# The accessibility bus is up once the launcher answers for its address.
for _ in \$(seq 200); do
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
        >/dev/null 2>&1 && break
    sleep 0.05
done
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
cd "$scratch/site"
"$build/shell/talvern" &
program=\$!
status=0
/usr/bin/python3 "$here/a11y_check.py" --password 9 ${shots:+--shots "$shots"} || status=\$?
kill \$program 2>/dev/null || true
wait \$program 2>/dev/null || true
exit \$status
SESSION

export HOME="$scratch" XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/run"
xvfb-run -a -s "-screen 0 1024x768x24" dbus-run-session -- bash "$scratch/session.sh"
