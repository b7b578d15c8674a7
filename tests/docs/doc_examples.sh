#!/usr/bin/env bash
# Runs the command examples of the README and the manual pages as a reader would type
# them, and compares what they print with what the text shows.
#
# usage: doc_examples.sh BIN_DIR SOURCE_DIR MAN_DIR DOCUMENT...
# (MAN_DIR holds the built pages, NAME.1 for every doc/NAME.1.scd)
#
# An example is a fenced block (``` in both Markdown and scdoc) holding lines that begin
# with "$ ": each such line is a command, run by bash; a command ending in "\" goes on
# to the next line, and one holding a here-document (<<'END') takes the lines up to END.
# The lines after a command, up to the next command or the end of the block, are what
# it prints on standard output and standard error together. In them "..." stands for
# any text (an id or a time), and runs of blanks compare equal to one blank, so that
# the columns of a tab-separated line may be shown with spaces. Blocks without a "$ "
# line are not run.
#
# Every document gets a new empty folder (with a copy of doc/examples for the README,
# whose examples run from the repository folder), its own HOME and XDG folders, and
# BIN_DIR first on PATH. Its commands run in order; a "cd" carries over to the next.
# In scdoc sources "\\" is how a page shows "\", and is read so; a lone "\" in a
# block fails, since the page would not show it.
set -uo pipefail

bin_dir=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
man_dir=$(cd "$3" && pwd)
shift 3

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

failures=0
examples=0

fail() {
    echo "FAIL $1" >&2
    failures=$((failures + 1))
}

# A glob that matches what an expected line stands for.
pattern_of() {
    local p
    p=$(printf '%s' "$1" | tr -s ' \t' ' ')
    p=${p//\\/\\\\}
    p=${p//\*/\\*}
    p=${p//\?/\\?}
    p=${p//\[/\\[}
    p=${p//.../*}
    printf '%s' "$p"
}

# check DOC LINE COMMAND EXPECTED...: runs COMMAND, compares its output.
check() {
    local doc=$1 line=$2 command=$3
    shift 3
    local cwd
    cwd=$(cat "$tmp/cwd")
    examples=$((examples + 1))
    local out
    out=$(cd "$cwd" && QM_EXAMPLE_CWD=$tmp/cwd bash -c "$command"$'\npwd >"$QM_EXAMPLE_CWD"' 2>&1 </dev/null)
    local -a actual=()
    if [[ -n $out ]]; then
        mapfile -t actual <<<"$out"
    fi
    local expected=("$@")
    # A blank line before the closing fence is layout, not output.
    while ((${#expected[@]})) && [[ -z ${expected[-1]} ]]; do
        unset 'expected[-1]'
    done
    local ok=1 i
    if ((${#actual[@]} != ${#expected[@]})); then
        ok=0
    else
        for i in "${!expected[@]}"; do
            local got
            got=$(printf '%s' "${actual[$i]}" | tr -s ' \t' ' ')
            # shellcheck disable=SC2053 # the right side is a glob on purpose
            if [[ $got != $(pattern_of "${expected[$i]}") ]]; then
                ok=0
                break
            fi
        done
    fi
    if ((!ok)); then
        fail "$doc:$line: $command"
        echo "--- expected" >&2
        printf '%s\n' "${expected[@]}" >&2
        echo "--- got" >&2
        printf '%s\n' "${actual[@]}" >&2
    fi
}

# The line `l` of an scdoc page's block as the reader sees it: "\\" shows "\". roff
# reads a lone "\" as the start of an escape, so the page would not show what runs.
page_text() {
    local bare=${l//\\\\/}
    [[ $bare == *\\* ]] && fail "$1: a single \\ in an example (write \\\\)"
    l=${l//\\\\/\\}
}

run_document() {
    local doc=$1 path=$source_dir/$1
    local work=$tmp/${doc//\//_}
    mkdir -p "$work/home" "$work/config" "$work/xdg" "$work/state" "$work/run" "$work/cwd"
    chmod 700 "$work/run"
    if [[ $doc == README.md ]]; then
        mkdir -p "$work/cwd/doc"
        cp -r "$source_dir/doc/examples" "$work/cwd/doc/"
    fi
    printf '%s' "$work/cwd" >"$tmp/cwd"
    export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CONFIG_DIRS=$work/xdg
    export XDG_STATE_HOME=$work/state XDG_RUNTIME_DIR=$work/run
    export PATH=$bin_dir:$base_path LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen

    local scd=0
    [[ $doc == *.scd ]] && scd=1
    local -a lines
    mapfile -t lines <"$path"
    local n=${#lines[@]} i=0 in_block=0
    local command="" start=0 heredoc="" have=0
    local -a expected=()
    while ((i < n)); do
        local l=${lines[$i]}
        i=$((i + 1))
        ((scd && in_block)) && page_text "$doc:$i"
        if [[ $l == '```'* ]]; then
            if ((in_block && have)); then
                check "$doc" "$start" "$command" "${expected[@]}"
                have=0
            fi
            in_block=$((!in_block))
            continue
        fi
        ((in_block)) || continue
        if [[ $l == '$ '* ]]; then
            ((have)) && check "$doc" "$start" "$command" "${expected[@]}"
            command=${l#\$ }
            start=$i
            have=1
            expected=()
            # Continued lines and here-documents belong to the command.
            heredoc=""
            if [[ $command =~ \<\<-?\'?([A-Za-z_]+)\'? ]]; then
                heredoc=${BASH_REMATCH[1]}
            fi
            while [[ $command == *\\ ]] && ((i < n)); do
                l=${lines[$i]}
                ((scd && in_block)) && page_text "$doc:$i"
                command+=$'\n'$l
                i=$((i + 1))
            done
            if [[ -n $heredoc ]]; then
                while ((i < n)); do
                    l=${lines[$i]}
                    ((scd && in_block)) && page_text "$doc:$i"
                    command+=$'\n'$l
                    i=$((i + 1))
                    [[ $l == "$heredoc" ]] && break
                done
            fi
        elif ((have)); then
            expected+=("$l")
        fi
    done
    ((in_block)) && fail "$doc: a fenced block is not closed"
}

base_path=$PATH
# Each document runs in a subshell, which keeps its exported folders to itself; its
# counts come back through a file.
# shellcheck disable=SC2030,SC2031
for doc in "$@"; do
    (failures=0 examples=0
     run_document "$doc"
     echo "$failures $examples" >"$tmp/counts")
    read -r f e <"$tmp/counts"
    failures=$((failures + f))
    examples=$((examples + e))
    if ((e == 0)); then
        fail "$doc: no example found"
    fi
    echo "$doc: $e examples"
done

# The pages must not break options or paths with a hyphen at 80 columns: a reader would
# copy "--de-" and "bug".
for doc in "$@"; do
    [[ $doc == *.scd ]] || continue
    page=$man_dir/$(basename "$doc" .scd)
    if broken=$(MANWIDTH=80 man -l "$page" 2>/dev/null | grep -n '[[:alnum:]][-‐]$'); then
        fail "$doc: words broken at a hyphen at 80 columns:"
        echo "$broken" >&2
    fi
done

# The example schemes the reference prints are the files in doc/examples, line for line.
reference=$(sed 's/\\\\/\\/g' "$source_dir/doc/quillmark-cli.1.scd")
for scheme in "$source_dir"/doc/examples/*.scheme; do
    [[ $reference == *$'```\n'"$(cat "$scheme")"$'\n```'* ]] ||
        fail "doc/quillmark-cli.1.scd does not show $(basename "$scheme") as it is"
done

# Every file a Markdown document links to is there.
for doc in "$@"; do
    [[ $doc == *.md ]] || continue
    while read -r target; do
        [[ $target == *://* || $target == '#'* ]] && continue
        [[ -e $source_dir/$(dirname "$doc")/${target%%#*} ]] || fail "$doc: links to $target, which does not exist"
    done < <(grep -o '](\([^)]*\))' "$source_dir/$doc" | sed 's/^](//; s/)$//')
done

echo "$examples examples, $failures failed"
((failures == 0))
