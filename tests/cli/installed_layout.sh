#!/usr/bin/env bash
# The installed layout works without the build tree. Either installed into a temporary prefix
# and moved elsewhere (relocatable), or the Debian package unpacked with dpkg -x into a temporary
# folder: zorbel-cli finds its modules and its default instruments there and renders a song, the
# player's screenshot run (a first start that plays a song and writes its settings on close)
# keeps everything it writes in the user's folders, and, given a session bus, a plain first
# start with empty settings loads the installed demo list (the media controls tell).
# Usage: installed_layout.sh BUILD_DIR SOURCE_DIR
#        installed_layout.sh --deb PACKAGE
set -euo pipefail
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; wait; chmod -R u+w "$work"; rm -rf "$work"' EXIT
if [ "$1" = --deb ]; then
    dpkg -x "$2" "$work/root"
    p=$work/root/usr
    data=$p/share/zorbel
    test -s "$data/PRG/0.PRG" # the package brings the default instrument set
else
    source=$2
    cmake --install "$1" --prefix "$work/prefix" > /dev/null
    mv "$work/prefix" "$work/moved"
    p=$work/moved
    data=$p/share/zorbel
    # The tests' own patches stand in for the default set when the build has not imported it.
    if [ ! -d "$data/PRG" ]; then
        cp -r "$source/tests/data/PRG" "$source/tests/data/WAV" "$data/"
    fi
    # A song the tests' patches can play.
    cp "$source/tests/data/songs/three-notes.mid" "$data/MID/"
    song=$data/MID/three-notes.mid
fi
# The first demo song: a first start must show it; the package's instruments render it.
first=$(head -n 1 "$data/ZbL/DemoList" | tr -d '\r')
song=${song:-$data/MID/$first}
chmod -R a-w "$data"

"$p/bin/zorbel-cli" --version | grep -q "SoundFont import: found"
cd "$work"
"$p/bin/zorbel-cli" render "$song" -o "$work/song.wav" --quiet
test -s "$work/song.wav"

if [ -x "$p/bin/zorbel" ]; then
    user() { # user NAME COMMAND...: runs a command as a user with the home NAME
        mkdir -p "$work/$1"
        env -u ZORBEL_HOME -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$work/$1" \
            QT_QPA_PLATFORM=offscreen "${@:2}"
    }
    user shots "$p/bin/zorbel" --screenshot "$work/shots" > /dev/null
    test -s "$work/shots/main-playing.png"
    grep -q "^MID = $data/MID$" "$work/shots/.config/zorbel/ZB.INI"
    grep -q "^ZbL = $work/shots/.local/share/zorbel/ZbL$" "$work/shots/.config/zorbel/ZB.INI"
    test -d "$work/shots/Music/Zorbel"

    if command -v dbus-run-session > /dev/null && command -v playerctl > /dev/null; then
        user first dbus-run-session -- bash -c '
            "$1" --new-instance > /dev/null 2>&1 &
            for _ in $(seq 100); do
                playerctl --player=zorbel metadata xesam:title > /dev/null 2>&1 && break
                sleep 0.1
            done
            playerctl --player=zorbel metadata xesam:url
            kill %1' first-start "$p/bin/zorbel" > "$work/first-start.log" 2>&1 || true
        if ! grep -q "^file://$data/MID/$first$" "$work/first-start.log"; then
            cat "$work/first-start.log"
            echo "the first start did not load the installed demo list"
            exit 1
        fi
    fi
fi
chmod -R u+w "$data"
echo "installed layout works"
