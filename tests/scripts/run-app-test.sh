#!/usr/bin/env bash
# `make run`'s starter, scripts/run-app, on a build folder of its own in a
# temporary folder: without a display it makes the sample database and lists it,
# again on a second run, also without the desktop application; with a display
# the window opens on that database.
#   run-app-test.sh PLANDREL PLANDREL_GUI
set -euo pipefail
cli=$(realpath "$1")
gui=$(realpath "$2")
scripts=$(realpath "$(dirname "$0")/../../scripts")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

make_build() {  # FOLDER [with-gui]
  mkdir -p "$1/src/cli" "$1/src/app"
  ln -s "$cli" "$1/src/cli/plandrel"
  if [ "${2:-}" = with-gui ]; then ln -s "$gui" "$1/src/app/plandrel-gui"; fi
}

# The sample, 600 x 500 pixels, cut into 256 x 240 tiles: three columns of
# 256, 256 and 88 pixels, three rows of 240, 240 and 20.
expected_tiles="Lakesi0-0 256x240
Lakesi0-1 256x240
Lakesi0-2 256x20
Lakesi1-0 256x240
Lakesi1-1 256x240
Lakesi1-2 256x20
Lakesi2-0 88x240
Lakesi2-1 88x240
Lakesi2-2 88x20"

check_no_display() {  # CASE FOLDER EXPECTED_HINT
  local output
  if ! output=$(env -u DISPLAY -u WAYLAND_DISPLAY "$scripts/run-app" "$2" 2>"$work/stderr"); then
    fail "$1: run-app failed: $(cat "$work/stderr")"
    return
  fi
  local database="$2/sample/Lakeside.pdb"
  [ -f "$database" ] || { fail "$1: no database at $database"; return; }
  local tiles
  tiles=$("$cli" list "$database" | awk -F'\t' '{print $2, $3}' | sort)
  [ "$tiles" = "$expected_tiles" ] || fail "$1: the database holds"$'\n'"$tiles"
  grep -q "Lakesi2-2" <<<"$output" || fail "$1: the maps are not listed: $output"
  grep -qF -- "$3" <<<"$output" || fail "$1: no \"$3\" in: $output"
}

make_build full with-gui
check_no_display "first run" full "xvfb-run -a full/src/app/plandrel-gui full/sample/Lakeside.pdb"
check_no_display "second run" full "xvfb-run -a full/src/app/plandrel-gui full/sample/Lakeside.pdb"
make_build cli-only
check_no_display "without the window" cli-only "The desktop application was not built"

# With a display the window opens on the sample database.
export XDG_CONFIG_HOME="$work/config"
if ! "$scripts/with-display" bash -c '
  "$1" full &
  pid=$!
  for _ in $(seq 300); do
    if xwininfo -name "Lakeside.pdb - Navrello Plandrel" 2>/dev/null | grep -q IsViewable; then
      kill "$pid"; wait "$pid" 2>/dev/null || true; exit 0
    fi
    sleep 0.1
  done
  kill "$pid"; exit 1
' window "$scripts/run-app"; then
  fail "with a display: no window on Lakeside.pdb"
fi

[ "$failures" -eq 0 ] || exit 1
echo "run-app: all cases passed"
