#!/bin/sh
# vesk.exe under Wine with a file name beyond the ANSI code page, given relative to the working
# folder: the recording lands in the file of that name, and a replay of it by that name plays its
# frames into a second recording. A program that took its arguments from main's narrow argv would
# see "Messung_???_?.log" and fail both.
#   wide_paths_wine_test.sh WINE VESK.EXE FOLDER
set -eu
wine=$1
vesk=$2
dir=$3
rm -rf "$dir"
mkdir -p "$dir"
cd "$dir"
name='Messung_äöü_Ω.log'

"$wine" "$vesk" --headless --record "$name" --duration 1 2>record.txt ||
  { cat record.txt; exit 1; }
[ -s "$name" ] || { echo "no recording named $name:"; ls; cat record.txt; exit 1; }
recorded=$(grep -c '#' "$name" || true)
[ "$recorded" -gt 0 ] || { echo "$name holds no frame"; cat "$name"; exit 1; }

"$wine" "$vesk" --headless --device "0=replay:$name" --record replayed.log --duration 2 \
  2>replay.txt || { cat replay.txt; exit 1; }
replayed=$(grep -c '#' replayed.log || true)
echo "recorded $recorded frames, replayed $replayed"
[ "$replayed" -gt 0 ] || { echo "the replay of $name played nothing"; cat replay.txt; exit 1; }
