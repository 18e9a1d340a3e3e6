# Bash completion of plandrel, the command-line tool of Navrello Plandrel:
# its commands, each command's options and their values, databases (.pdb),
# pictures, and the maps of the database already typed (by their names as
# `plandrel list` prints them, or #N).

# A word as the command will get it: without its quotes and backslashes, ~/ expanded.
_plandrel_dequote() {
    local word=$1
    case $word in
    \'*) word=${word#\'} word=${word%\'} ;;
    \"*) word=${word#\"} word=${word%\"} ;;
    *) word=$(sed 's/\\\(.\)/\1/g' <<<"$word") ;;
    esac
    [[ $word == "~/"* ]] && word=$HOME/${word#"~/"}
    printf '%s' "$word"
}

# Adds each candidate that begins with the word being completed, quoted for the
# command line: as it is after an opening quote, with backslashes otherwise.
_plandrel_offer() {
    local typed=$1 candidate
    shift
    local prefix
    prefix=$(_plandrel_dequote "$typed")
    for candidate in "$@"; do
        [[ $candidate == "$prefix"* ]] || continue
        case $typed in
        \'* | \"*) COMPREPLY+=("$candidate") ;;
        *) COMPREPLY+=("$(printf '%q' "$candidate")") ;;
        esac
    done
}

# Files whose extension is one of the arguments (any case), and folders.
_plandrel_files() {
    local typed=$1 path
    shift
    local -a found
    mapfile -t found < <(compgen -f -- "$(_plandrel_dequote "$typed")")
    local -a offered=()
    for path in "${found[@]}"; do
        if [[ -d $path ]]; then
            offered+=("$path/")
            continue
        fi
        local extension=${path##*.}
        extension=${extension,,}
        if (($# == 0)) || [[ " $* " == *" $extension "* && $path == *.* ]]; then
            offered+=("$path")
        fi
    done
    _plandrel_offer "$typed" "${offered[@]}"
    # A folder is completed further, not ended with a space.
    [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} == */ ]] && compopt -o nospace 2>/dev/null
}

# The maps of the database `db`: their names, and #N for every index. A name
# that `list` had to escape (it holds a backslash or a control character) is
# offered only by its index.
_plandrel_maps() {
    local program=$1 typed=$2 db=$3 index name
    local -a names=() indexes=()
    [[ -f $db ]] || return
    while IFS=$'\t' read -r index name _; do
        indexes+=("#$index")
        [[ $name == *\\* ]] || names+=("$name")
    done < <("$program" list -- "$db" 2>/dev/null)
    case $(_plandrel_dequote "$typed") in
    \#*) _plandrel_offer "$typed" "${indexes[@]}" ;;
    *) _plandrel_offer "$typed" "${names[@]}" ;;
    esac
}

_plandrel() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local commands="new save list add remove rename set-corner beam export check convert"
    COMPREPLY=()

    # The command, and the arguments before the word being completed.
    local command="" word i
    local -a arguments=()
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        case $word in
        --depth | --top-left | --bottom-right | --jobs) ((i++)) ;;
        -*) ;;
        *) if [[ -z $command ]]; then command=$word; else arguments+=("$(_plandrel_dequote "$word")"); fi ;;
        esac
    done

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            _plandrel_offer "$cur" --help --version
        else
            _plandrel_offer "$cur" $commands
        fi
        return
    fi

    case $prev in
    --depth)
        _plandrel_offer "$cur" 1 2 4 8
        return
        ;;
    --top-left | --bottom-right | --jobs) return ;;
    esac

    if [[ $cur == -* ]]; then
        local options="--help"
        case $command in
        new) options+=" --force" ;;
        list) options+=" --json --geojson" ;;
        add) options+=" --depth --compress --color-table --dither --top-left --bottom-right --jobs" ;;
        esac
        _plandrel_offer "$cur" $options
        return
    fi

    # What the next argument is, by the command and its place.
    local kind
    case $command:${#arguments[@]} in
    new:0 | save:[01] | list:0 | add:0 | remove:0 | rename:0 | set-corner:0 | beam:0 | export:0 | check:0) kind=database ;;
    add:*) kind=picture ;;
    remove:1 | rename:1 | set-corner:1 | beam:1 | export:1) kind=map ;;
    set-corner:2) kind=corner ;;
    beam:2) kind=file ;;
    convert:0) kind=picture ;;
    export:2 | convert:1) kind=written-picture ;;
    *) return ;;
    esac
    case $kind in
    database) _plandrel_files "$cur" pdb ;;
    picture) _plandrel_files "$cur" bmp gif jpg jpeg png tif tiff ;;
    written-picture) _plandrel_files "$cur" bmp gif jpg jpeg png ;;
    file) _plandrel_files "$cur" ;;
    map) _plandrel_maps "$(_plandrel_dequote "${COMP_WORDS[0]}")" "$cur" "${arguments[0]}" ;;
    corner) _plandrel_offer "$cur" top-left-lat top-left-lon bottom-right-lat bottom-right-lon ;;
    esac
}

complete -F _plandrel plandrel
