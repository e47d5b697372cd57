# Run inside the CAN guest (busybox sh, /work holds vesk): vesk --headless plays play.log
# (made below: 1000 frames a second; standard, extended and remote frames) onto vcan0 while
# candump -L records; candump's file must hold the file's frames in order. The spacing is
# reported beside canplayer's playing the same file in the same guest; it is not judged here:
# the guest's processor is emulated, so its timing is not the machine's (see docs/performance.md).
set -eu
export VESK_INI=/tmp/Vesk.ini HOME=/tmp
# vcan has no bit rate of its own; the rate only serves the bus load and the send-ahead time.
printf '[Options]\nBaudrate=1000000\n' > "$VESK_INI"

# 500 frames 1 ms apart from a fixed small generator (exact in any awk's arithmetic), so every
# run plays the same file: 3 in 5 standard, 1 in 7 remote, 0 to 8 data bytes.
awk 'function r() { x = (x * 75 + 74) % 65537; return x }
    BEGIN {
        x = 1
        for (i = 0; i < 500; i++) {
            if (r() % 5 < 3) id = sprintf("%03X", r() % 2048)
            else id = sprintf("%08X", (r() * 8192 + r() % 8192) % 536870912)
            data = "R"
            if (r() % 7) { data = ""; for (n = r() % 9; n > 0; n--) data = data sprintf("%02X", r() % 256) }
            printf "(1700000000.%06d) can0 %s#%s R\n", i * 1000, id, data
        }
    }' > play.log

compare() {  # compare NAME PLAYED_LOG: order checked, spacing reported
    awk -v name="$1" '
        FNR == 1 { file++ }
        { t[file, FNR] = substr($1, 2, length($1) - 2); f[file, FNR] = $3; n[file] = FNR }
        END {
            if (n[1] != n[2]) { print name ": the file has " n[1] " frames, candump saw " n[2]; exit 1 }
            for (i = 1; i <= n[1]; i++)
                if (f[1, i] != f[2, i]) { print name ": frame " i ": " f[1, i] " / " f[2, i]; exit 1 }
            within = 0; within2 = 0; worst = 0
            for (i = 2; i <= n[1]; i++) {
                d = (t[1, i] - t[1, i - 1]) - (t[2, i] - t[2, i - 1]); if (d < 0) d = -d
                if (d <= 0.0002) within++
                if (d <= 0.002) within2++
                if (d > worst) worst = d
            }
            printf "%s: %d frames in order; spacing within 0.2 ms: %d, within 2 ms: %d of %d; largest difference %.3f ms\n",
                name, n[1], within, within2, n[1] - 1, worst * 1000
        }' play.log "$2"
}

candump -L vcan0 > vesk.dump &
dump=$!
sleep 1
./vesk --headless --device 0=socketcan:vcan0 --mode peli --play play.log 2> vesk.err ||
    { echo "vesk ended with $?"; cat vesk.err; exit 1; }
sleep 0.5
kill -TERM "$dump"; wait "$dump" || true
compare vesk vesk.dump

candump -L vcan0 > canplayer.dump &
dump=$!
sleep 1
canplayer -I play.log vcan0=can0
sleep 0.5
kill -TERM "$dump"; wait "$dump" || true
compare canplayer canplayer.dump || true
