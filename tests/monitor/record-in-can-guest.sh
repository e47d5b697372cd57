# Run inside the CAN guest (busybox sh, /work holds vesk and trace_compare.sh): vesk --headless
# and candump -L record the same cangen traffic on vcan0 (standard, extended and remote frames);
# the two files must agree frame for frame and microsecond for microsecond.
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
sleep 1
kill -TERM "$vesk"; wait "$vesk" || { echo "vesk ended with $?"; cat vesk.err; exit 1; }
kill -TERM "$dump"; wait "$dump" || true
sh ./trace_compare.sh candump.log vesk.log
