#!/usr/bin/env bash
# The bash completion of plandrel, called as bash calls it (COMP_WORDS, COMP_CWORD):
#   completion-test.sh COMPLETION-SCRIPT PLANDREL
set -uo pipefail
script=$1
program=$2
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder" || exit 1
export LANG=C.UTF-8
# The completion runs the plandrel of the command line to list a database's maps.
PATH=$(dirname "$program"):$PATH
failures=0

source "$script"
complete -p plandrel | grep -q -- '-F _plandrel' || { echo "plandrel has no completion function" >&2; exit 1; }

# The completions of a command line whose last word is being completed, one per line.
completions() {
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMPREPLY=()
    _plandrel
    printf '%s\n' "${COMPREPLY[@]}" | sort
}

expect() {
    local wanted=$1
    shift
    local got
    got=$(completions "$@")
    if [[ $got != "$(printf '%s\n' $wanted | sort)" ]]; then
        echo "completing \"$*\": got [${got//$'\n'/ }], expected [$wanted]" >&2
        failures=$((failures + 1))
    fi
}
# Like expect, for completions that may hold blanks: one per line, sorted.
expect_one() {
    local wanted=$1
    shift
    local got
    got=$(completions "$@")
    if [[ $got != "$wanted" ]]; then
        echo "completing \"$*\": got [$got], expected [$wanted]" >&2
        failures=$((failures + 1))
    fi
}

# A database with maps named with a blank, in UTF-8, and with a tab.
printf 'P1\n4 2\n1 0 1 0\n0 1 0 1\n' >Sheet.pbm
convert Sheet.pbm BMP3:Sheet.bmp
for name in 'Lake side' 'Zürich' $'Tab\there'; do
    "$program" add Maps.pdb Sheet.bmp --top-left 1,1 --bottom-right 0,2 >/dev/null &&
        "$program" rename Maps.pdb Sheet "$name" || exit 1
done
touch Photo.PNG notes.txt Old.pdb
mkdir Folder

commands=$("$program" --help | sed -n '/^Subcommands:/,$p' | sed -nE 's/^  ([a-z][a-z0-9-]*) .*/\1/p')
expect "$commands" plandrel ""
expect "set-corner" plandrel se
expect "--help --version" plandrel --
for command in $commands; do
    options=$("$program" "$command" --help | sed -n '/^Options:/,$p' | grep -oE '(^|[ ,])--[a-z][a-z0-9-]*' |
        sed 's/^[ ,]//' | sort -u)
    expect "$options" plandrel "$command" --
done
expect "1 2 4 8" plandrel add Maps.pdb Sheet.bmp --depth ""
expect "" plandrel add Maps.pdb Sheet.bmp --top-left ""
expect "top-left-lat top-left-lon bottom-right-lat bottom-right-lon" plandrel set-corner Maps.pdb '#0' ""
expect "Maps.pdb Old.pdb Folder/" plandrel list ""
expect "Sheet.bmp Photo.PNG Folder/" plandrel add Maps.pdb ""
expect "Sheet.bmp Photo.PNG Folder/" plandrel add --depth 4 Maps.pdb Sheet.bmp ""
expect "Photo.PNG" plandrel convert P
expect_one $'Lake\\ side\nZürich' plandrel remove Maps.pdb ""
expect_one 'Lake\ side' plandrel rename Maps.pdb L
expect_one "Lake side" plandrel rename Maps.pdb '"Lake'
expect "Zürich" plandrel export Maps.pdb Z
expect "\\#0 \\#1 \\#2" plandrel beam Maps.pdb '#'
expect "" plandrel remove Missing.pdb ""
expect "" plandrel rename Maps.pdb '#0' ""

if ((failures != 0)); then
    echo "$failures completion(s) wrong" >&2
    exit 1
fi
echo "completion: every case as expected"
