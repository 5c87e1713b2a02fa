#!/usr/bin/env bash
# Checks the bash completion of tonedesk-cli: a table of command lines and what they complete,
# and that it completes every command and every option that tonedesk-cli's help lists.
#   completion-test.sh BIN_DIR COMPLETION_FILE
set -uo pipefail
export LC_ALL=C
cli=$(realpath "$1")/tonedesk-cli
source "$2"
complete -p tonedesk-cli > /dev/null || { echo "tonedesk-cli has no completion"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config/VANTO" "$work/files/sub"
printf '[ENV]\nCOM9=x\n[PORTS]\r\nSYSTEM=0\r\nCOM3=/dev/a\r\n COM17 = /dev/b\r\n' \
    > "$work/config/VANTO/Vanto Tonedesk.conf"
touch "$work/files/"{a.gam,b.CAL,c.icc,d.txt,m.ini}
export XDG_CONFIG_HOME=$work/config
cd "$work"

failed=0
# The completions of the last word, sorted and joined by spaces.
complete_words() {
    COMP_WORDS=(tonedesk-cli "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _tonedesk_cli 2> /dev/null
    printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' '
}
expect() {
    local want=$1 got
    shift
    got=$(complete_words "$@")
    if [[ $got != "$want" ]]; then
        echo "tonedesk-cli $*<TAB>: '$got', not '$want'"
        failed=1
    fi
}

expect "write-gamma" wr
expect "write-gamma" help w
expect "--kind" send --k
expect "text transfer" send --kind t
expect "0 1" write-gamma --bank ""
expect "-1 0 1 2" write-gamma --channel = ""
expect "115200 38400 9600" send --baud ""
expect "17 3 all" send --port ""
expect "bt1886 gamma hlg lstar pq srgb" levels --target ""
expect "--timeout --timing" scan --t
expect "files/a.gam files/b.CAL files/c.icc files/sub" levels files/
expect "files/m.ini files/sub" lint files/
expect "" send --port 3 ""

# Kept in step with the program: every command of its help, and every option of each
# command's help, is completed, and nothing else.
commands=$("$cli" --help | sed -n '/^Commands:/,/^$/p' | sed -n 's/^  \([a-z][a-z-]*\).*/\1/p')
[[ -n $commands ]] || { echo "no commands in tonedesk-cli --help"; failed=1; }
expect "$(printf '%s\n' $commands help --help --version | sort | paste -sd ' ')" ""
for command in $commands; do
    options=$("$cli" "$command" --help | grep -o -- '^  \(-h, \)\?--[a-z-]*' | grep -o -- '--.*')
    expect "$(sort <<< "$options" | paste -sd ' ')" "$command" --
done
exit $failed
