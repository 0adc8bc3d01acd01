#!/usr/bin/env bash
# The desktop's media controls over D-Bus (run under dbus-run-session): a player with a playlist
# of two songs answers playerctl's commands as its own buttons do, shows the song it has, and
# signals the changes it makes by itself (a song that ends).
# Usage: mpris_test.sh ZORBEL SOURCE_DIR
set -euo pipefail
player=$1
source=$2
if [ -z "${PULSE_SERVER:-}" ]; then
    echo "no sound server: the player cannot play"
    exit 77
fi
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; wait; rm -rf "$work"' EXIT
home=$work/home
mkdir -p "$home/MID" "$home/ZbL" "$home/Song"
cp -r "$source/tests/data/PRG" "$source/tests/data/WAV" "$home/"
cp "$source/tests/data/songs/little-tune.mid" "$source/tests/data/songs/three-notes.mid" \
    "$home/MID/"
printf '%s\r\n' "$home/MID/little-tune.mid" "$home/MID/three-notes.mid" > "$home/ZbL/test.ZbL"
printf '[PlayControl]\nPlaylist=%s\nTrack=1\n' "$home/ZbL/test.ZbL" > "$home/ZB.INI"

ZORBEL_HOME=$home QT_QPA_PLATFORM=offscreen "$player" --new-instance > "$work/player.log" 2>&1 &
pid=$!
ctl() { playerctl --player=zorbel "$@"; }
for _ in $(seq 100); do
    ctl status > /dev/null 2>&1 && break
    sleep 0.1
done
expect() { # expect WHAT COMMAND...: the command's output is WHAT
    local got
    got=$("${@:2}" 2>&1) || true
    if [ "$got" != "$1" ]; then
        echo "'${*:2}' gave '$got', expected '$1'"
        cat "$work/player.log"
        exit 1
    fi
}
bus() { # bus METHOD ARGS...: a call on the player's object
    dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.zorbel \
        /org/mpris/MediaPlayer2 "$@"
}
identity() {
    bus org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2 string:Identity \
        | sed -n 's/.*variant *string "\(.*\)"/\1/p'
}
expect Stopped ctl status
expect little-tune ctl metadata xesam:title
expect "file://$home/MID/little-tune.mid" ctl metadata xesam:url
expect "Zorbel II" identity

ctl play
expect Playing ctl status
test -n "$(ctl metadata mpris:length)"
ctl pause
ctl pause # Pause does not resume
expect Paused ctl status
ctl play-pause
expect Playing ctl status
ctl next # the next entry plays, as it was playing
expect three-notes ctl metadata xesam:title
expect Playing ctl status
# The last song (1.25 s, heard within one 4 s buffer) ends by itself and its end is signalled:
# a follower that has shown "Playing" must see "Stopped" come without a command.
ctl --follow status > "$work/follow.log" 2>&1 &
follow=$!
for _ in $(seq 200); do
    grep -q Stopped "$work/follow.log" && break
    sleep 0.1
done
kill "$follow"
expect "Playing Stopped" echo $(cat "$work/follow.log")
ctl previous
expect little-tune ctl metadata xesam:title
expect Stopped ctl status
bus org.mpris.MediaPlayer2.Quit > /dev/null
wait "$pid"
echo "media controls work"
