# Bash completion of tonedesk-cli: its commands, each command's options, the values of the
# options that take a few, and file names with the extensions a command reads. Plain bash: it
# works with or without the bash-completion package.

_tonedesk_cli_files() {
    # Folders and the files whose names end in one of the extensions given.
    local cur=$1 name ext
    shift
    compopt -o filenames 2> /dev/null
    while IFS= read -r name; do
        if [[ -d $name ]]; then
            COMPREPLY+=("$name")
            continue
        fi
        for ext in "$@"; do
            if [[ ${name,,} == *.$ext ]]; then
                COMPREPLY+=("$name")
                break
            fi
        done
    done < <(compgen -f -- "$cur")
}

_tonedesk_cli_ports() {
    # all, and the COM numbers that the profile's section PORTS names.
    local profile=${XDG_CONFIG_HOME:-$HOME/.config}/VANTO/Vanto\ Tonedesk.conf line section=
    local -a ports=(all)
    if [[ -r $profile ]]; then
        while IFS= read -r line; do
            line=${line%$'\r'}
            if [[ $line =~ ^[[:space:]]*\[(.*)\] ]]; then
                section=${BASH_REMATCH[1]}
            elif [[ $section == PORTS && $line =~ ^[[:space:]]*COM([0-9]+)[[:space:]]*= ]]; then
                ports+=("${BASH_REMATCH[1]}")
            fi
        done < "$profile"
    fi
    COMPREPLY=($(compgen -W "${ports[*]}" -- "$1"))
}

_tonedesk_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    # "--option=value" comes as three words where "=" breaks words.
    if [[ $cur == = ]]; then
        cur=
    elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi
    COMPREPLY=()

    # The commands, each with its own options (every one also takes --timeout, --log, --timing
    # and --help).
    local -A own=(
        [scan]= [model]= [lint]=
        [send]="--port --baud --kind"
        [levels]="--formula --target"
        [write-gamma]="--port --baud --bank --channel"
        [export]="--bank"
    )
    local commands="${!own[*]} help"
    if ((COMP_CWORD == 1)); then
        COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
        return
    fi
    local command=${COMP_WORDS[1]}
    if [[ $command == help ]]; then
        ((COMP_CWORD == 2)) && COMPREPLY=($(compgen -W "${commands% help}" -- "$cur"))
        return
    fi

    # The values of the options that take a few.
    local -A values=(
        [--baud]="9600 38400 115200"
        [--kind]="plain value text transfer"
        [--bank]="0 1"
        [--channel]="-1 0 1 2"
        [--target]="gamma srgb bt1886 lstar pq hlg"
    )
    case $prev in
    --port)
        _tonedesk_cli_ports "$cur"
        return
        ;;
    --log)
        compopt -o filenames 2> /dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return
        ;;
    --timeout | --formula)
        return
        ;;
    esac
    if [[ -n $prev && -v values[$prev] ]]; then
        COMPREPLY=($(compgen -W "${values[$prev]}" -- "$cur"))
        return
    fi

    [[ -v own[$command] ]] || return
    local options=${own[$command]}
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options --timeout --log --timing --help" -- "$cur"))
        return
    fi
    case $command in
    levels | write-gamma | export) _tonedesk_cli_files "$cur" gam cal icc icm ;;
    lint) _tonedesk_cli_files "$cur" ini ;;
    esac
}

complete -F _tonedesk_cli tonedesk-cli
