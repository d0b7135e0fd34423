#!/usr/bin/env bash
# Runs one driver against the real program in a real X server (Xvfb) with an accessibility bus of
# its own, in a scratch HOME with an empty site folder:
#   tests/x/run-x.sh BUILD_DIR DRIVER.py [ARGS...]
# The driver (Python, dogtail and xdotool) starts the program itself through xsite.py, so that it
# can watch it exit and start it again. It finds the build, the site folder and the scratch folder
# in TALVERN_BUILD, TALVERN_SITE and TALVERN_SCRATCH. Without xvfb-run, dogtail or xdotool the run
# exits 77, which CTest reports as skipped.
set -euo pipefail
for tool in xvfb-run xdotool dbus-run-session; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is not installed (scripts/install-deps installs it)" >&2
        exit 77
    fi
done
if ! /usr/bin/python3 -c "import dogtail" 2>/dev/null; then
    echo "skipped: dogtail is not installed (scripts/install-deps installs python3-dogtail)" >&2
    exit 77
fi
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: run-x.sh BUILD_DIR DRIVER.py [ARGS...]}" && pwd)
driver=$(cd "$(dirname "${2:?usage: run-x.sh BUILD_DIR DRIVER.py [ARGS...]}")" && pwd)/$(basename "$2")
shift 2

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/site" "$scratch/home/.config" "$scratch/run"
chmod 700 "$scratch/run"

cat > "$scratch/session.sh" <<'SESSION'
set -euo pipefail
export GSETTINGS_BACKEND=keyfile
gsettings set org.gnome.desktop.interface toolkit-accessibility true
/usr/libexec/at-spi-bus-launcher --launch-immediately &
launcher=$!
# The accessibility bus is up once the launcher answers for its address.
for _ in $(seq 200); do
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
        >/dev/null 2>&1 && break
    sleep 0.05
done
status=0
/usr/bin/python3 "$@" || status=$?
kill "$launcher" 2>/dev/null || true
exit $status
SESSION

export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config" XDG_DATA_HOME="$scratch/home/.local/share"
export XDG_RUNTIME_DIR="$scratch/run"
export TALVERN_BUILD="$build" TALVERN_SITE="$scratch/site" TALVERN_SCRATCH="$scratch"
export PYTHONPATH="$here${PYTHONPATH:+:$PYTHONPATH}" PYTHONDONTWRITEBYTECODE=1
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- bash "$scratch/session.sh" "$driver" "$@"
