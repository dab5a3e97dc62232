# bash completion for cellshow                              -*- shell-script -*-
# Completes the options, the fixed values of --colors=, --output=, --glyphs=,
# --fit= and --aspect=, a folder after --data and a file after --record,
# --export and --host-key.
# Needs nothing but bash itself; bash-completion loads it by the command's name.

_cellshow() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}

    # "--colors=tr" reaches us as "--colors" "=" "tr" when '=' breaks words
    # (bash's default), or as one word when it does not.
    local option= value=$cur prefix=
    if [[ $cur == "=" ]]; then
        option=$prev
        value=
    elif [[ $prev == "=" ]] && ((COMP_CWORD > 1)); then
        option=${COMP_WORDS[COMP_CWORD - 2]}
    elif [[ $cur == --*=* ]]; then
        option=${cur%%=*}
        value=${cur#*=}
        prefix=$option=
    else
        option=$prev
    fi

    local -a choices=()
    case $option in
        --colors) choices=(auto 8 16 256 truecolor) ;;
        --output) choices=(auto terminal window) ;;
        --glyphs) choices=(auto unicode ascii) ;;
        --fit) choices=(auto always never) ;;
        --aspect) choices=(16:10 4:3) ;;
        --data)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -P "$prefix" -d -- "$value")
            return ;;
        --record | --export | --host-key)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -P "$prefix" -f -- "$value")
            return ;;
        --key-after | --at | --start | --volume | --max-viewers | --max-per-address | --serve)
            return ;;  # a number, or an address and port
    esac
    if ((${#choices[@]})); then
        mapfile -t COMPREPLY < <(compgen -P "$prefix" -W "${choices[*]}" -- "$value")
        return
    fi

    if [[ $cur == -* || -z $cur ]]; then
        local options="--data --colors= --glyphs= --fit= --window --fullscreen --output= --mute --stats
            --record --key-after --export --at --aspect= --volume --loop --start --serve
            --host-key --max-viewers --max-per-address --help --version"
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        # An option that ends in '=' takes its value in the same word.
        if ((${#COMPREPLY[@]} == 1)) && [[ $COMPREPLY == *= ]]; then
            compopt -o nospace 2>/dev/null
        fi
    fi
    return 0
}
complete -F _cellshow cellshow
