#!/usr/bin/env bash
# Both programs print the project's version and the same build:
#   version-test.sh VERSION PLANDREL PLANDREL_GUI
set -euo pipefail
version=$1
cli=$("$2" --version)
gui=$("$3" --version)
echo "$cli"
echo "$gui"
pattern="^plandrel ${version//./\\.} \\(([^()]+)\\)\$"
[[ $cli =~ $pattern ]] || { echo "plandrel --version does not print \"plandrel $version (BUILD)\"" >&2; exit 1; }
build=${BASH_REMATCH[1]}
[ "$gui" = "plandrel-gui $version ($build)" ] ||
  { echo "plandrel-gui --version does not print \"plandrel-gui $version ($build)\"" >&2; exit 1; }
