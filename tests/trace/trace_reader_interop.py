#!/usr/bin/env python3
"""Reads with ReadTrace what tools nobody here wrote have written.

python-can (Debian's python3-can) writes one set of messages as a candump log and as an ASC file;
can-utils' log2asc converts the log and asc2log the ASC. ReadTrace must find in each of the four
files every frame with its identifier, format, remote flag, DLC, data, direction and time to the
microsecond (relative to the first), and the error frames as bus errors.

Usage: trace_reader_interop.py DUMP FOLDER   (exit 77 when python-can or can-utils is missing)
"""
import os
import shutil
import subprocess
import sys

try:
    import can
except ImportError:
    print("python3-can is not installed")
    sys.exit(77)

T0 = 1_700_000_000.0


def make_messages():
    """A deterministic mix of frames in both directions and error frames, with their times in us."""
    seed = 4711

    def rand():
        nonlocal seed
        seed = (seed * 1103515245 + 12345) & 0xFFFFFFFF
        return seed >> 8

    messages = []
    us = 0
    for i in range(400):
        if i % 53 == 17:
            messages.append((us, can.Message(timestamp=T0 + us / 1e6, is_error_frame=True)))
        else:
            ext = rand() % 2 == 1
            rtr = rand() % 8 == 0
            dlc = rand() % 9
            data = bytes(rand() & 0xFF for _ in range(dlc))
            ident = rand() & (0x1FFFFFFF if ext else 0x7FF)
            messages.append((us, can.Message(timestamp=T0 + us / 1e6, arbitration_id=ident,
                                             is_extended_id=ext, is_remote_frame=rtr, dlc=dlc,
                                             data=None if rtr else data,
                                             is_rx=rand() % 4 != 0)))
        us += 1 + rand() % 20000
    return messages


def expected_lines(messages, remote_dlc=True):
    lines = []
    for us, msg in messages:
        if msg.is_error_frame:
            lines.append(f"E {us} BusError")
            continue
        dlc = msg.dlc if remote_dlc or not msg.is_remote_frame else 0
        data = "-" if msg.is_remote_frame or not msg.data else bytes(msg.data).hex().upper()
        lines.append(f"F {us} {msg.arbitration_id:X} {int(msg.is_extended_id)} "
                     f"{int(msg.is_remote_frame)} {dlc} {data} {int(not msg.is_rx)}")
    return lines


def check(name, dump, path, expected):
    """Compares what ReadTrace found with what was written; returns the number of faults."""
    result = subprocess.run([dump, path], capture_output=True, text=True)
    if result.returncode != 0:
        print(f"{name}: not read: {result.stderr.strip()}")
        return 1
    found = result.stdout.splitlines()
    faults = 0
    if len(found) != len(expected):
        print(f"{name}: {len(found)} entries read, {len(expected)} written")
        faults += 1
    for i, (got, want) in enumerate(zip(found, expected)):
        if got != want:
            faults += 1
            if faults <= 10:
                print(f"{name}: entry {i}: read '{got}', written '{want}'")
    if faults == 0:
        print(f"{name}: {len(found)} entries as written")
    return faults


def main():
    dump, folder = sys.argv[1], sys.argv[2]
    for tool in ("log2asc", "asc2log"):
        if shutil.which(tool) is None:
            print(f"{tool} (can-utils) is not installed")
            return 77
    os.makedirs(folder, exist_ok=True)
    messages = make_messages()
    faults = 0

    log_path = os.path.join(folder, "python-can.log")
    writer = can.CanutilsLogWriter(log_path, channel="vcan0")
    for _, msg in messages:
        writer.on_message_received(msg)
    writer.stop()
    # python-can's log writes a remote frame's DLC as plain "R".
    exp_log = expected_lines(messages, remote_dlc=False)
    faults += check("python-can .log", dump, log_path, exp_log)

    asc_path = os.path.join(folder, "python-can.asc")
    writer = can.ASCWriter(asc_path)
    for _, msg in messages:
        writer.on_message_received(msg)
    writer.stop()
    exp_asc = expected_lines(messages)
    faults += check("python-can .asc", dump, asc_path, exp_asc)

    conv_asc = os.path.join(folder, "log2asc.asc")
    subprocess.run(["log2asc", "-I", log_path, "-O", conv_asc, "vcan0"], check=True,
                   stderr=subprocess.DEVNULL)
    faults += check("log2asc", dump, conv_asc, exp_log)

    conv_log = os.path.join(folder, "asc2log.log")
    subprocess.run(["asc2log", "-I", asc_path, "-O", conv_log], check=True,
                   stderr=subprocess.DEVNULL)
    faults += check("asc2log", dump, conv_log, exp_asc)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
