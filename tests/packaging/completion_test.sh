#!/usr/bin/env bash
# completion_test.sh BASH_COMPLETION ZENPATCH_CLI_COMPLETION ZENPATCH_CLI HACK_FILE
# Completes zenpatch-cli command lines with the bash completion and compares the candidates.
source "$1"
source "$2"
cli=$3
compopt() { :; } # only a completion that bash runs may change its own options

home=$(mktemp -d)
# Completions without --home read the default program folder: a private one, never the user's.
XDG_DATA_HOME=$(mktemp -d)
export XDG_DATA_HOME
trap 'rm -rf "$home" "$XDG_DATA_HOME"' EXIT
"$cli" --home "$home" init-db >/dev/null && "$cli" --home "$home" import "$4" >/dev/null || exit 1
cd "$home" && mkdir folder && touch infile

failed=0
# expect LINE CANDIDATES: completing LINE (the cursor at its end) offers CANDIDATES, sorted.
expect()
{
    local COMP_LINE=$1 COMP_POINT=${#1} COMP_WORDS COMP_CWORD COMPREPLY=()
    read -ra COMP_WORDS <<<"${1//=/ = }" # bash splits words at "=" too
    [[ $1 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _zenpatch_cli
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd' ')
    [[ $got == "$2" ]] || { echo "\"$1\": offered \"$got\", expected \"$2\""; failed=1; }
}

expect "$cli exp" "expand export export-text"
expect "$cli --h" "--help --home"
expect "$cli --home " "folder"
expect "$cli install 1 --" "--delete-output --eol --order --overwrite-source --search-output"
expect "$cli install 1 --eol " "crlf lf"
expect "$cli --home $home show Wh" "Who's Online Count"
expect "$cli --home=$home delete W" "Who's Online Count"
expect "$cli config " "set show"
expect "$cli config set SourceDir /src Out" "OutputDir"
expect "$cli encode in" "infile"
expect "$cli encode infile out --encoding u" "uuencode"
expect "$cli export 1 --folder " "folder"
expect "$cli list " ""
exit $failed
