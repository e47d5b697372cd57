#!/bin/sh
# replay_roundtrip.sh VESK: record the default bus without a window, play the recording back
# through a replay adapter and record again. The second recording must hold the first one's
# frames (and bus events) in order, with the same spacing to the microsecond (timestamps are
# whole microseconds, so two of them may differ by one); only the first spacing may differ, as
# the replay starts at the open.
set -eu
vesk=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export VESK_INI="$dir/Vesk.ini"
"$vesk" --headless --mode peli --format ext --record "$dir/first.log" --duration 2 2>/dev/null
"$vesk" --headless --mode peli --format ext --device "0=replay:$dir/first.log" \
    --record "$dir/second.log" --duration 2.5 2>/dev/null
awk '
    FNR == 1 { file++ }
    { t = substr($1, 2, length($1) - 2); line[file, FNR] = $3 " " $4; time[file, FNR] = t; n[file] = FNR }
    END {
        if (n[1] < 50) { print "first recording too short: " n[1] " lines"; exit 1 }
        if (n[1] != n[2]) { print "lines: " n[1] " recorded, " n[2] " after the replay"; exit 1 }
        worst = 0
        for (i = 1; i <= n[1]; i++) {
            if (line[1, i] != line[2, i]) { print "line " i ": " line[1, i] " / " line[2, i]; exit 1 }
            if (i < 3) continue
            d = (time[1, i] - time[1, i - 1]) - (time[2, i] - time[2, i - 1])
            if (d < 0) d = -d
            if (d > worst) worst = d
        }
        printf "%d lines replayed; largest spacing difference after the first: %.1f us\n", n[1], worst * 1e6
        if (worst > 2.5e-6) exit 1
    }' "$dir/first.log" "$dir/second.log"
