#!/usr/bin/env bash
# Starts the real desktop application on a virtual display with a database
# and checks, from outside the process, its window's title and first size.
set -euo pipefail
gui=$1
cli=$2
with_display="$(dirname "$0")/../../scripts/with-display"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$gui" --version | grep -Eq '^plandrel-gui 3\.5 \(.+\)$' || { echo "unexpected --version output" >&2; exit 1; }
"$cli" new "$work/Europe.pdb"

export XDG_CONFIG_HOME="$work/config"
"$with_display" bash -c '
  "$1" "$2" &
  pid=$!
  info=
  for _ in $(seq 300); do
    info=$(xwininfo -name "Europe.pdb - Navrello Plandrel" 2>/dev/null || true)
    if grep -q "IsViewable" <<<"$info"; then break; fi
    sleep 0.1
  done
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  echo "$info"
  grep -q "IsViewable" <<<"$info" || { echo "no window titled \"Europe.pdb - Navrello Plandrel\" appeared" >&2; exit 1; }
  grep -q "Width: 580$" <<<"$info" && grep -q "Height: 450$" <<<"$info" || { echo "the window is not 580 x 450" >&2; exit 1; }
' window-test "$gui" "$work/Europe.pdb"
