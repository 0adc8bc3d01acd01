#!/usr/bin/env bash
# The installed layout works without the build tree: installed into a temporary prefix and moved
# elsewhere (relocatable), zorbel-cli finds its modules and its default instruments there, and
# the player's screenshot run (a first start that plays a song and writes its settings on
# close) keeps everything it writes in the user's folders.
# Usage: installed_layout.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" > /dev/null
mv "$work/prefix" "$work/moved"
p=$work/moved
data=$p/share/zorbel
# The tests' own patches stand in for the default set when the build has not imported it.
if [ ! -d "$data/PRG" ]; then
    cp -r "$source/tests/data/PRG" "$source/tests/data/WAV" "$data/"
fi
cp "$source/tests/data/songs/three-notes.mid" "$data/MID/"
chmod -R a-w "$data"

"$p/bin/zorbel-cli" --version | grep -q "SoundFont import: found"
cd "$work"
"$p/bin/zorbel-cli" render "$data/MID/three-notes.mid" -o "$work/three-notes.wav" --quiet
test -s "$work/three-notes.wav"

if [ -x "$p/bin/zorbel" ]; then
    mkdir -p "$work/home"
    env -u ZORBEL_HOME -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$work/home" \
        QT_QPA_PLATFORM=offscreen "$p/bin/zorbel" --screenshot "$work/shots" > /dev/null
    test -s "$work/shots/main-playing.png"
    grep -q "^MID = $data/MID$" "$work/home/.config/zorbel/ZB.INI"
    grep -q "^ZbL = $work/home/.local/share/zorbel/ZbL$" "$work/home/.config/zorbel/ZB.INI"
    test -d "$work/home/Music/Zorbel"
fi
chmod -R u+w "$data"
echo "installed layout works"
