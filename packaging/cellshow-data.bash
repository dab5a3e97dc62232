# bash completion for cellshow-data                          -*- shell-script -*-
# Completes the subcommands (convert, check) or a folder first; after
# convert its options, the values of --fit= and files; after check a folder.
# Needs nothing but bash itself; bash-completion loads it by the command's name.

_cellshow_data() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    local command=${COMP_WORDS[1]}

    if ((COMP_CWORD == 1)); then
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -W "convert check --help" -- "$cur"; compgen -d -- "$cur")
        return
    fi
    if [[ $command == check ]]; then
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        return
    fi
    [[ $command == convert ]] || return 0

    # "--fit=co" reaches us as "--fit" "=" "co" when '=' breaks words (bash's
    # default), or as one word when it does not.
    local option= value=$cur prefix=
    if [[ $cur == "=" ]]; then
        option=$prev
        value=
    elif [[ $prev == "=" ]] && ((COMP_CWORD > 2)); then
        option=${COMP_WORDS[COMP_CWORD - 2]}
    elif [[ $cur == --*=* ]]; then
        option=${cur%%=*}
        value=${cur#*=}
        prefix=$option=
    else
        option=$prev
    fi
    case $option in
        --fit)
            mapfile -t COMPREPLY < <(compgen -P "$prefix" -W "contain cover stretch" -- "$value")
            return ;;
        --start | --row)
            return ;;  # a number
    esac
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "--start --fit= --row --help" -- "$cur")
        if ((${#COMPREPLY[@]} == 1)) && [[ $COMPREPLY == *= ]]; then
            compopt -o nospace 2>/dev/null
        fi
        return
    fi
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    return 0
}
complete -F _cellshow_data cellshow-data
