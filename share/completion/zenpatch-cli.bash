# bash completion for zenpatch-cli (loaded by bash-completion).
# The commands, their arguments and their options are read from `zenpatch-cli --help`, so every
# command of the program completes as it stands. HACK arguments complete with the hack names of
# `zenpatch-cli list`, KEY with the settings of `config show`, DIR with folders, the other upper-case
# arguments (but the free WORDS of a filter) with file names, and a choice such as crlf|lf with its words.

# The word as the shell will pass it: quotes and backslashes removed, a leading ~/ expanded.
# (Never evaluated: a word on the command line is no command.)
_zenpatch_cli_unquote()
{
    local word=$1
    case $word in
        \'*) word=${word#\'} word=${word%\'} ;;
        \"*) word=${word#\"} word=${word%\"} ;;
        *) word=${word//\\/} ;;
    esac
    [[ $word == "~/"* ]] && word=$HOME/${word#"~/"}
    printf '%s' "$word"
}

# Completes the argument that the synopsis names with placeholder $1.
_zenpatch_cli_argument()
{
    local placeholder=$1 cli=$2
    shift 2 # the global options to pass on
    local word line
    word=$(_zenpatch_cli_unquote "$cur")
    case $placeholder in
        HACK | KEY)
            local -a listing
            if [[ $placeholder == HACK ]]; then
                mapfile -t listing < <("$cli" "$@" list 2>/dev/null | cut -f2)
            else
                mapfile -t listing < <("$cli" "$@" config show 2>/dev/null | cut -f1)
            fi
            for line in "${listing[@]}"; do
                [[ $line == "$word"* ]] && COMPREPLY+=("$line")
            done
            # Quote blanks and quotes in the names as in file names.
            compopt -o filenames
            ;;
        DIR) _filedir -d ;;
        WORDS) ;; # free text
        *\|*) mapfile -t COMPREPLY < <(compgen -W "${placeholder//|/ }" -- "$cur") ;;
        [A-Z]*) _filedir ;;
    esac
}

_zenpatch_cli()
{
    local cur prev words cword
    # "--home=DIR" stays one word.
    _init_completion -n = || return

    local cli=${words[0]} i=1
    local -a global=()
    # Global options before the command.
    while ((i < cword)); do
        case ${words[i]} in
            --home)
                if ((i + 1 == cword)); then
                    _filedir -d
                    return
                fi
                global+=(--home "$(_zenpatch_cli_unquote "${words[i + 1]}")")
                ((i += 2))
                ;;
            --home=*) global+=("--home=$(_zenpatch_cli_unquote "${words[i]#--home=}")") && ((i++)) ;;
            -*) ((i++)) ;;
            *) break ;;
        esac
    done
    if ((i == cword)); then
        if [[ $cur == -* ]]; then
            mapfile -t COMPREPLY < <(compgen -W "--home --yes --help --version" -- "$cur")
        else
            mapfile -t COMPREPLY < <(compgen -W "$("$cli" --help 2>/dev/null |
                sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\).*/\1/p')" -- "$cur")
        fi
        return
    fi

    # The command's synopsis, e.g. "HACK --folder DIR --name NAME [--make-folder]": positional
    # placeholders in order ("a | b" one slot of choices, "[X ...]" repeated), and each option with
    # the placeholder of its value (none for a flag).
    local command=${words[i]} synopsis
    synopsis=$("$cli" --help 2>/dev/null | sed -n "s/^  $command \(.*\)/\1/p")
    local -a slots=() tokens
    local -A values=()
    local token option="" bare repeat_from=-1 group_start=-1 alternative=0
    read -ra tokens <<<"$synopsis"
    for token in "${tokens[@]}"; do
        bare=${token//[\[\]()]/}
        if [[ -n $option ]]; then
            values[$option]=$bare
            option=""
        elif [[ $bare == --* ]]; then
            # An option of a choice "(--a X | --b Y)" is an option like any other.
            values[$bare]=""
            alternative=0
            [[ $token != *\] ]] && option=$bare
        elif [[ $bare == "|" ]]; then
            alternative=1
        elif [[ $bare == ... ]]; then
            repeat_from=$group_start
        elif ((alternative)); then
            slots[-1]+="|$bare"
            alternative=0
        else
            [[ $token == \[* ]] && group_start=${#slots[@]}
            slots+=("$bare")
        fi
    done

    # The argument being completed: an option's value, an option, or the n-th positional one.
    if [[ -n $prev && -n ${values[$prev]-} ]]; then
        _zenpatch_cli_argument "${values[$prev]}" "$cli" "${global[@]}"
        return
    fi
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "${!values[*]}" -- "$cur")
        return
    fi
    local n=0 j
    for ((j = i + 1; j < cword; j++)); do
        if [[ ${words[j]} == --* ]]; then
            [[ ${words[j]} != *=* && -n ${values[${words[j]}]-} ]] && ((j++))
        else
            ((n++))
        fi
    done
    if ((n >= ${#slots[@]})); then
        ((repeat_from < 0)) && return
        n=$((repeat_from + (n - repeat_from) % (${#slots[@]} - repeat_from)))
    fi
    _zenpatch_cli_argument "${slots[n]}" "$cli" "${global[@]}"
} &&
    complete -F _zenpatch_cli zenpatch-cli
