#!/usr/bin/env bash
# zorbel-cli's bash completion: commands, a command's options, and the files of its kind.
# Usage: completion_test.sh COMPLETION_FILE
set -euo pipefail
source "$1"
cd "$(mktemp -d)"
trap 'rm -rf "$PWD"' EXIT
touch song.mid SONG.MID font.sf2 notes.txt words.kar
mkdir songs
expect() {
    local want=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    _zorbel_cli
    # In any order: the file system decides that of files.
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | xargs)
    want=$(printf '%s\n' $want | LC_ALL=C sort | xargs)
    if [ "$got" != "$want" ]; then
        echo "completing '$*': got '$got', expected '$want'"
        exit 1
    fi
}
expect "render" zorbel-cli re
expect "--version" zorbel-cli --v
expect "check-prg dump info import-sf2 render play devices --help --version" zorbel-cli ""
expect "--trim --transpose" zorbel-cli render --tr
expect "--summary" zorbel-cli dump --su
expect "--tempo --transpose --trim" zorbel-cli render --t
expect "" zorbel-cli dump --mute ""
expect "songs" zorbel-cli render --prg so
expect "SONG.MID song.mid songs words.kar" zorbel-cli play ""
expect "font.sf2 songs" zorbel-cli import-sf2 ""
expect "" zorbel-cli render --volume ""
echo "completion works"
