# Run by the CAN guest tool (busybox sh; /work holds vesk, play_bench and one trace *.log), see
# docs/performance.md, section "Playing a trace":
#   build/bench/monitor/play_bench write /tmp/play-1000.log
#   /work/shared/tools/vcan-vm bench/monitor/play-guest-bench.sh \
#       build/vesk build/bench/monitor/play_bench /tmp/play-1000.log
# With VCAN_VM_QEMU_ARGS="-icount shift=0" the guest runs on an instruction-counted clock (idle
# time still passes in real time), with "-icount shift=0,sleep=off" idle time is skipped too, so
# that the host's load no longer shows in the figures.
# Three rounds, each playing the trace onto vcan0 with vesk --headless and then with canplayer
# while candump -L records; then the spacing candump saw against the file's, for every play.
set -eu
export VESK_INI=/tmp/Vesk.ini HOME=/tmp
# vcan has no bit rate; the channel's rate only sets how long before its recorded time stamp
# each frame is handed over (its duration on a real bus), so the fastest rate errs the least.
printf '[Options]\nBaudrate=1000000\n' > "$VESK_INI"
file=$(ls /work/*.log | head -n 1)

busy() {  # busy and total jiffies of the guest's processor so far
    awk '/^cpu / { print $2 + $3 + $4 + $7 + $8, $2 + $3 + $4 + $5 + $6 + $7 + $8 }' /proc/stat
}

record() {  # record DUMP COMMAND...: candump -L's view of vcan0 while COMMAND runs
    out=$1; shift
    candump -L vcan0 > "$out" &
    dump=$!
    sleep 1
    before=$(busy)
    "$@" || { echo "$* ended with $?"; return 1; }
    after=$(busy)
    echo "$before $after" | awk -v name="$(basename "$out" .log)" \
        '{ printf "%s: processor busy %.0f %% of the play (candump included)\n", name, 100 * ($3 - $1) / ($4 - $2) }'
    sleep 0.5
    kill -TERM "$dump"; wait "$dump" || true
}

dumps=""
for round in 1 2 3; do
    record "/tmp/vesk$round.log" ./vesk --headless --device 0=socketcan:vcan0 --mode peli \
        --play "$file" 2> vesk.err || { cat vesk.err; exit 1; }
    record "/tmp/canplayer$round.log" canplayer -I "$file" vcan0=can0
    dumps="$dumps vesk,_round_$round=/tmp/vesk$round.log canplayer,_round_$round=/tmp/canplayer$round.log"
done
./play_bench compare "$file" $dumps | sed 's/,_round_/, round /'
