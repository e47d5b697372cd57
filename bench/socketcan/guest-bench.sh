# Run by the CAN guest tool: /work/shared/tools/vcan-vm bench/socketcan/guest-bench.sh
# BUILD/bench/socketcan/socketcan_bench (busybox sh, /work holds the binary).
echo "kernel receive buffer limit: $(cat /proc/sys/net/core/rmem_max) bytes"
for run in 1 2 3; do ./socketcan_bench vcan0 20000; done
# The same flood with the socket's buffer allowed to grow to 8 MiB.
echo 8388608 >/proc/sys/net/core/rmem_max
for run in 1 2 3; do ./socketcan_bench vcan0 20000 8388608; done
./socketcan_bench vcan1 1000 0 5
