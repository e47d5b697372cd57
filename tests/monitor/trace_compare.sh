# trace_compare.sh CANDUMP_LOG VESK_LOG: the received frames of vesk's candump log (direction
# " R" dropped) must be candump -L's lines exactly: time to the microsecond, interface, frame.
set -eu
sed -n 's/ R$//p' "$2" > vesk.rx
count=$(wc -l < "$1")
[ "$count" -eq 400 ] || { echo "candump recorded $count frames, not 400"; exit 1; }
if cmp -s "$1" vesk.rx; then
    echo "the recordings agree: $count frames"
else
    echo "the recordings differ:"; diff "$1" vesk.rx | head -20; exit 1
fi
