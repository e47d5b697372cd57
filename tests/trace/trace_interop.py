#!/usr/bin/env python3
"""Reads the recorder's traces back with tools nobody here wrote.

python-can (Debian's python3-can) must find in trace.log and trace.asc every frame with its
identifier, format, remote flag, length, data, direction and time, and the error frames; can-utils'
log2asc must convert the log and asc2log the ASC without losing a frame.

Usage: trace_interop.py WRITER FOLDER   (exit 77 when python-can or can-utils is missing)
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

CAN_ERR_FLAG = 0x20000000
CAN_ERR_BUSERROR = 0x80


def read_expected(path):
    frames = []
    with open(path) as f:
        for line in f:
            parts = line.split()
            if parts[0] == "F":
                _, us, ident, ext, rtr, dlc, data, rx = parts
                frames.append(dict(kind="F", us=int(us), id=int(ident, 16), ext=ext == "1",
                                   rtr=rtr == "1", dlc=int(dlc),
                                   data=b"" if data == "-" else bytes.fromhex(data), rx=rx == "1"))
            else:
                _, us, classes, data = parts
                frames.append(dict(kind="E", us=int(us), id=int(classes, 16),
                                   data=b"" if data == "-" else bytes.fromhex(data)))
    return frames


def describe(msg):
    return (f"t={msg.timestamp:.6f} id={msg.arbitration_id:X} ext={msg.is_extended_id} "
            f"rtr={msg.is_remote_frame} err={msg.is_error_frame} dlc={msg.dlc} "
            f"data={bytes(msg.data).hex()} rx={msg.is_rx}")


def check(name, messages, expected, time_offset_us=0, check_time=True):
    """Compares what a reader found with what was recorded; returns the number of faults."""
    faults = 0
    if len(messages) != len(expected):
        print(f"{name}: {len(messages)} messages read, {len(expected)} recorded")
        faults += 1
    for i, (msg, exp) in enumerate(zip(messages, expected)):
        us = round(msg.timestamp * 1e6) - time_offset_us
        problems = []
        if check_time and us != exp["us"]:
            problems.append(f"time {us} us, recorded {exp['us']} us")
        if exp["kind"] == "E":
            if exp["id"] & CAN_ERR_BUSERROR:
                if not msg.is_error_frame:
                    problems.append("not an error frame")
            # python-can keeps other error classes as frames with the flag stripped.
            elif msg.arbitration_id != exp["id"] & 0x1FFFFFFF or bytes(msg.data) != exp["data"]:
                problems.append("error frame classes or data differ")
        else:
            if msg.is_error_frame:
                problems.append("error frame instead of a frame")
            if msg.arbitration_id != exp["id"]:
                problems.append(f"id {msg.arbitration_id:X}")
            if msg.is_extended_id != exp["ext"]:
                problems.append("format")
            if msg.is_remote_frame != exp["rtr"]:
                problems.append("remote flag")
            if msg.dlc != exp["dlc"]:
                problems.append(f"dlc {msg.dlc}")
            if not exp["rtr"] and bytes(msg.data) != exp["data"]:
                problems.append("data")
            if msg.is_rx != exp["rx"]:
                problems.append("direction")
        if problems:
            faults += 1
            if faults <= 10:
                print(f"{name}: message {i}: {', '.join(problems)}: {describe(msg)}")
    if faults == 0:
        print(f"{name}: {len(messages)} messages as recorded")
    return faults


def main():
    writer, folder = sys.argv[1], sys.argv[2]
    for tool in ("log2asc", "asc2log"):
        if shutil.which(tool) is None:
            print(f"{tool} (can-utils) is not installed")
            return 77
    os.makedirs(folder, exist_ok=True)
    # The ASC header gives the start in local time; fix the zone so that both sides agree.
    env = dict(os.environ, TZ="Europe/Berlin")
    os.environ["TZ"] = "Europe/Berlin"
    import time
    time.tzset()
    subprocess.run([writer, folder], check=True, env=env)

    log_path = os.path.join(folder, "trace.log")
    asc_path = os.path.join(folder, "trace.asc")
    exp_log = read_expected(os.path.join(folder, "expected-log.txt"))
    exp_asc = read_expected(os.path.join(folder, "expected-asc.txt"))
    faults = 0

    faults += check("python-can .log", list(can.CanutilsLogReader(log_path)), exp_log)
    # ASC times are relative to the header's date, which has milliseconds: absolute times come
    # back exact only if the writer started the file's clock on that millisecond.
    faults += check("python-can .asc", list(can.ASCReader(asc_path, relative_timestamp=False)),
                    exp_asc)

    # log2asc: every line of the log, frames and error frames, comes out of the ASC again.
    conv_asc = os.path.join(folder, "log2asc.asc")
    subprocess.run(["log2asc", "-I", log_path, "-O", conv_asc, "vesk0"], check=True, env=env)
    converted = list(can.ASCReader(conv_asc))
    first_us = exp_log[0]["us"]
    # log2asc writes times relative to the first line and turns every error frame into an
    # ErrorFrame.
    exp_conv = [dict(e, us=e["us"] - first_us, id=e["id"] | CAN_ERR_BUSERROR)
                if e["kind"] == "E" else dict(e, us=e["us"] - first_us) for e in exp_log]
    faults += check("log2asc", converted, exp_conv)

    # asc2log: every frame and ErrorFrame of the ASC comes out of the log again. Its absolute
    # times depend on the date, which it reads only in an English or German locale, so compare
    # times relative to the first message.
    conv_log = os.path.join(folder, "asc2log.log")
    subprocess.run(["asc2log", "-I", asc_path, "-O", conv_log], check=True, env=env,
                   stderr=subprocess.DEVNULL)
    converted = list(can.CanutilsLogReader(conv_log))
    if converted:
        offset = round(converted[0].timestamp * 1e6) - exp_asc[0]["us"]
        faults += check("asc2log", converted, exp_asc, time_offset_us=offset)
    else:
        print("asc2log: nothing converted")
        faults += 1
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
