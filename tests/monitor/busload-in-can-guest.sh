# Run inside the CAN guest (busybox sh, /work holds vesk): steady cangen traffic on vcan0 while
# canbusload -e and vesk --headless, both at 500 kbit/s, measure it side by side. The medians of
# their per-second exact figures must agree within one percentage point; both series and vesk's
# estimate are printed.
set -eu
export VESK_INI=/tmp/Vesk.ini HOME=/tmp
# vcan has no bit rate of its own; both tools are told the same one.
printf '[Options]\nBaudrate=500000\n' > "$VESK_INI"

# Fixed-length frames a millisecond apart; counting data keeps the stuff bits varying, as on a bus.
cangen vcan0 -g 1 -I 123 -L 8 -D i &
gen=$!
sleep 1
canbusload -e vcan0@500000 > canbusload.out &
load=$!
./vesk --headless --device 0=socketcan:vcan0 --duration 12 2> vesk.err ||
    { echo "vesk ended with $?"; cat vesk.err; exit 1; }
kill -TERM "$load" "$gen"
wait "$load" "$gen" || true

# canbusload: "vcan0@500000 FRAMES BITS PAYLOAD[ ...] PERCENT%" each second; vesk: "... Buslast
# ESTIMATE %  exakt EXACT %" each second. The first two seconds of each are left out (start-up).
awk '
    function median(v, n,    i, j, t) {
        for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] > v[j]; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
        return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
    }
    FILENAME == "canbusload.out" && $1 == "vcan0@500000" {
        if (++seen > 2) { c[++nc] = $3 * 100 / 500000; cs = cs sprintf(" %.2f", c[nc]) }
    }
    FILENAME == "vesk.err" && /exakt/ {
        for (i = 1; i < NF; i++) { if ($i == "Buslast") e = $(i + 1); if ($i == "exakt") x = $(i + 1) }
        if (++lines > 2) { v[++nv] = x; vs = vs " " x; es = es " " e }
    }
    END {
        print "canbusload -e, per second (%):" cs
        print "vesk exakt, per second (%):   " vs
        print "vesk Buslast (estimate) (%):  " es
        if (nc == 0 || nv == 0) { print "no figures"; exit 1 }
        a = median(c, nc); b = median(v, nv); d = a > b ? a - b : b - a
        printf "medians: canbusload -e %.2f %%, vesk exakt %.2f %%: %.2f percentage points apart\n", a, b, d
        if (a < 5) { print "no steady traffic measured"; exit 1 }
        exit d > 1
    }' canbusload.out vesk.err
