#!/usr/bin/env bash
# Keeps a manual page in step with its program's own help:
#   man-page-test.sh GROFF PROGRAM PAGE
# - the page renders without a single warning;
# - the version in its title line is the one `PROGRAM --version` prints;
# - every option of `PROGRAM --help` appears in it;
# - for a program with commands (plandrel), every command of `PROGRAM --help` has
#   its own subsection, headed "PROGRAM COMMAND ...", and every option of
#   `PROGRAM COMMAND --help` appears in that subsection.
set -euo pipefail
groff=$1
program=$2
page=$3
name=$(basename "$program")
failures=0
fail() {
  echo "$page: $*" >&2
  failures=$((failures + 1))
}

warnings=$("$groff" -man -Tascii -ww -z "$page" 2>&1 || true)
[ -z "$warnings" ] || fail "groff warns: $warnings"

# Plain text, one paragraph per line: sections at column 0, subsections at 3.
text=$("$groff" -man -Tascii -rLL=300n -P-cbou "$page" 2>/dev/null)

# Options named in a block of --help output: the long ones, without --help itself.
long_options() {
  grep -oE '(^|[ ,])--[a-z][a-z0-9-]*' | sed 's/^[ ,]//' | grep -vx -- '--help' | sort -u || true
}

version=$("$program" --version | sed -nE "s/^$name ([^ ]+) \\(.*\\)\$/\\1/p")
[ -n "$version" ] || fail "$name --version does not print \"$name VERSION (BUILD)\""
grep -qE "^\\.TH .*\"Navrello Plandrel ${version//./\\.}\"" "$page" ||
  fail "the title line does not name version $version"

help=$("$program" --help)
for option in $(long_options <<<"$help"); do
  grep -qF -- "$option" <<<"$text" || fail "option $option of \"$name --help\" is missing"
done

commands=$(sed -n '/^Subcommands:/,$p' <<<"$help" | sed -nE 's/^  ([a-z][a-z0-9-]*) .*/\1/p')
for command in $commands; do
  # The subsection: from its heading to the next heading or section.
  section=$(awk -v head="   $name $command" '
    index($0, head) == 1 && (length($0) == length(head) || substr($0, length(head) + 1, 1) == " ") { inside = 1; next }
    inside && /^ {0,3}[^ ]/ { exit }
    inside { print }' <<<"$text")
  if [ -z "$section" ]; then
    fail "command \"$command\" of \"$name --help\" has no subsection \"$name $command ...\""
    continue
  fi
  for option in $("$program" "$command" --help | sed -n '/^Options:/,$p' | long_options); do
    # The option in the heading counts too.
    heading=$(grep -E "^   $name $command( |\$)" <<<"$text")
    grep -qF -- "$option" <<<"$heading$section" ||
      fail "option $option of \"$name $command\" is missing from its subsection"
  done
done

if [ "$failures" -ne 0 ]; then
  echo "$page: $failures problem(s)" >&2
  exit 1
fi
echo "$page: in step with $name ($(wc -w <<<"$commands") commands)"
