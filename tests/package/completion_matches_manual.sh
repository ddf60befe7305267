#!/usr/bin/env bash
# The installed bash completion offers exactly the options the manual page documents and the
# program accepts, and for the
# options with a fixed set of values (--priority, --load) exactly the values it lists; it also
# completes the way a user types: a prefix, a value after a space, a value after "=".
# Usage: completion_matches_manual.sh STAGE_DIR
set -u
stage=${1:?usage: completion_matches_manual.sh STAGE_DIR}
completion=$stage/usr/share/bash-completion/completions/ferrox
manual=$stage/usr/share/man/man1/ferrox.1.gz
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# shellcheck source=/dev/null
source "$completion" || { echo "FAIL: $completion does not load"; exit 1; }
complete -p ferrox >/dev/null 2>&1 || { echo "FAIL: no completion registered for ferrox"; exit 1; }

# Completes the words given (the last one is being typed); prints the offers sorted, one a line.
offers() {
    COMP_WORDS=(ferrox "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _ferrox
    printf '%s\n' "${COMPREPLY[@]}" | sort
}

# The option entries of the manual page: the first word of each line after ".TP" that names one.
page=$(zcat "$manual" | sed 's/\\-/-/g')
documented=$(printf '%s\n' "$page" | awk 'prev == ".TP" && $2 ~ /^--/ { print $2 } { prev = $0 }' | sort -u)
offered=$(offers --)
[ "$(printf '%s\n' "$documented" | wc -l)" -ge 10 ] || fail "found only these options in the manual: $documented"
if [ "$documented" != "$offered" ]; then
    fail "the completion and the manual page list different options:"
    diff <(echo "$documented") <(echo "$offered") | sed -n 's/^</  only in the manual:/p; s/^>/  only in the completion:/p'
fi

# The program itself accepts exactly these options.
program=$(QT_QPA_PLATFORM=offscreen "$stage/usr/bin/ferrox" --help | sed -n 's/^ *\(-[a-zA-Z], \)\{0,1\}\(--[a-z-]*\).*/\2/p' | sort -u)
if [ "$documented" != "$program" ]; then
    fail "ferrox --help and the manual page list different options:"
    diff <(echo "$documented") <(echo "$program") | sed -n 's/^</  only in the manual:/p; s/^>/  only in ferrox --help:/p'
fi

# Values listed in the manual as ".BR --option " " a | b | c".
for option in --priority --load; do
    listed=$(printf '%s\n' "$page" | grep -E "^\.BR $option \" \" " | head -1 |
             sed -E "s/^\.BR $option \" \" //; s/ \| /\n/g" | sort)
    [ -n "$listed" ] || { fail "the manual lists no values for $option"; continue; }
    got=$(offers "$option" "")
    [ "$listed" = "$got" ] || fail "$option: the manual lists $(tr "\n" " " <<<"$listed"), the completion offers $(tr "\n" " " <<<"$got")"
done

check() {
    local want=$1
    shift
    local got
    got=$(offers "$@" | tr '\n' ' ')
    [ "$got" = "$want " ] || fail "completing '$*': got '$got', want '$want'"
}
check "--priority" --pri
check "--no-animation --no-pin" --no
check "high" --priority h
check "high" --priority = h       # bash splits "--priority=h" at the "="
check "widest" --load w
check "auto" --threads a

[ "$failed" -eq 0 ] && echo "$(echo "$documented" | wc -l) options: the completion and the manual page agree"
exit "$failed"
