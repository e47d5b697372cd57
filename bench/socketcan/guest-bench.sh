# Run by the CAN guest tool (busybox sh, /work holds the binary); see docs/performance.md:
#   VCAN_VM_QEMU_ARGS="-icount shift=0" /work/shared/tools/vcan-vm \
#       bench/socketcan/guest-bench.sh BUILD/bench/socketcan/socketcan_bench
echo "kernel receive buffer limit: $(cat /proc/sys/net/core/rmem_max) bytes"
# cangen -g 0: as fast as it can send.
for run in 1 2 3 4 5; do ./socketcan_bench vcan0 20000; done
# Paced, near the simulated flood's rate, for the comparison of CPU per frame.
for run in 1 2 3; do ./socketcan_bench vcan0 20000 0 0 0.02; done
# The simulated adapter's flood at 1 Mbit/s on the same processor, read the same way.
./socketcan_bench vcan1 1000 0 10
# The unpaced flood with the socket's buffer allowed to grow to 8 MiB.
echo 8388608 >/proc/sys/net/core/rmem_max
for run in 1 2 3 4 5; do ./socketcan_bench vcan0 20000 8388608; done
