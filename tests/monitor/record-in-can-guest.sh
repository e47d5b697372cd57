# Run inside the CAN guest (busybox sh, /work holds vesk and trace_compare.sh): vesk --headless
# and candump -L record the same cangen traffic on vcan0 (standard, extended and remote frames,
# 29-bit identifiers that would fit in 11 bits among them); the two files must agree frame for
# frame and microsecond for microsecond.
#
# Then a trace as a replay bus: vesk's recording of it holds what canplayer puts on vcan0 from
# the same file, frame for frame, and keeps the file's spacing from its first frame on (the
# replay starts once the open has set the rate, 500 kbit/s, at which 1 ms gaps leave room).
set -eu
export VESK_INI=/tmp/Vesk.ini HOME=/tmp
candump -L vcan0 > candump.log &
dump=$!
# PeliCAN with extended identifiers, so that the controller takes 29-bit frames too.
./vesk --headless --device 0=socketcan:vcan0 --mode peli --format ext --record vesk.log \
    2> vesk.err &
vesk=$!
# Both are ready once vesk prints its first status line.
tries=0
until grep -q empfangen vesk.err; do
    tries=$((tries + 1)); [ "$tries" -lt 600 ] || { cat vesk.err; exit 1; }; sleep 0.1
done
cangen vcan0 -n 100 -g 2 -I r -L r -D r
cangen vcan0 -n 100 -g 2 -e -I r -L r -D r
cangen vcan0 -n 50 -g 2 -R -I r -L r
cangen vcan0 -n 50 -g 2 -e -R -I r
cangen vcan0 -n 50 -g 2 -e -I 123 -L r -D r
cangen vcan0 -n 50 -g 2 -e -I 7 -L 0
sleep 1
kill -TERM "$vesk"; wait "$vesk" || { echo "vesk ended with $?"; cat vesk.err; exit 1; }
kill -TERM "$dump"; wait "$dump" || true
sh ./trace_compare.sh candump.log vesk.log

printf '[Options]\nBaudrate=500000\n' > "$VESK_INI"
awk 'BEGIN {
    for (i = 0; i < 200; i++) {
        id = (i % 3 == 0) ? sprintf("%08X", 0x100 + i) : (i % 3 == 1) ? sprintf("%03X", 0x7F0 - i) : sprintf("%08X", 0x18DA0000 + i)
        printf "(1000.%06d) can0 %s#%02X%02X%02X%02X%02X%02X%02X%02X\n", i * 1000, id, i, i, i, i, i, i, i, i
    }
}' > play.log
./vesk --headless --device 0=replay:play.log --mode peli --format ext --record replayed.log \
    --duration 1 2> replay.err || { cat replay.err; exit 1; }
candump -L vcan0 > played.log &
dump=$!
sleep 0.5
canplayer -I play.log vcan0=can0
sleep 0.5
kill -TERM "$dump"; wait "$dump" || true
awk '{ print $3 }' played.log > played.frames
awk '{ print $3 }' replayed.log > replayed.frames
cmp -s played.frames replayed.frames || {
    echo "the replay differs from canplayer's:"; diff played.frames replayed.frames | head; exit 1; }
awk '{ t = substr($1, 2, length($1) - 2) * 1e6; if (NR > 1) { d = t - p - 1000; if (d < 0) d = -d;
           if (d > worst) worst = d } p = t }
     END { printf "%d frames replayed as canplayer sent them; largest spacing error %d us\n", NR, worst
           if (NR != 200 || worst > 2) exit 1 }' replayed.log
