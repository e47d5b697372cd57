#!/usr/bin/env python3
"""Trace files against tools nobody here wrote, both ways.

vesk writes: python-can (Debian's python3-can) must read trace.log and trace.asc as recorded, and
can-utils' log2asc and asc2log must convert them without losing a frame or an error frame.
vesk reads: python-can writes one set of messages as a log and as an ASC file, log2asc and asc2log
convert them, and ReadTrace must find in all four what was written.
The corpus: another set (29-bit identifiers below 0x800, remote frames with their DLC, error
frames, two channels, both directions) through python-can's writers, asc2log, log2asc with each of
its options and asc2log again; every file must read as written, and its frames must come out of
the replay adapter's bus and out of the player in the file's order with their own format.
Every side is put into one line form, "F TIME_US ID EXT RTR DLC DATA TX" for a frame (DATA "-"
when empty) and "E TIME_US BusError" for a bus error, and compared line by line.

Usage: trace_interop.py TOOL... FOLDER  (exit 77 when python-can or can-utils is missing)
TOOL is the command that runs the probe: its path, or `wine PROBE.exe` for the Windows build.
"""
import os
import shutil
import subprocess
import sys
import time

try:
    import can
except ImportError:
    print("python3-can is not installed")
    sys.exit(77)


def line(us, msg, remote_dlc=True):
    if msg.is_error_frame:
        return f"E {us} BusError"
    dlc = msg.dlc if remote_dlc or not msg.is_remote_frame else 0
    data = "-" if msg.is_remote_frame or not msg.data else bytes(msg.data).hex().upper()
    return (f"F {us} {msg.arbitration_id:X} {int(msg.is_extended_id)} "
            f"{int(msg.is_remote_frame)} {dlc} {data} {int(not msg.is_rx)}")


def shift(text, by_us):
    kind, us, rest = text.split(" ", 2)
    return f"{kind} {int(us) - by_us} {rest}"


def read_with_python_can(reader, relative):
    messages = list(reader)
    first = round(messages[0].timestamp * 1e6) if messages and relative else 0
    return [line(round(m.timestamp * 1e6) - first, m) for m in messages]


def read_with_tool(tool, path):
    result = subprocess.run([*tool, "read", path], capture_output=True, text=True)
    if result.returncode != 0:
        return [f"not read: {result.stderr.strip()}"]
    return result.stdout.splitlines()


def check(name, found, expected):
    """Returns the number of lines that differ."""
    faults = 0 if len(found) == len(expected) else 1
    if faults:
        print(f"{name}: {len(found)} entries read, {len(expected)} written")
    for i, (got, want) in enumerate(zip(found, expected)):
        if got != want:
            faults += 1
            if faults <= 10:
                print(f"{name}: entry {i}: read '{got}', written '{want}'")
    if faults == 0:
        print(f"{name}: {len(found)} entries as written")
    return faults


def convert(tool, source, target, *args):
    subprocess.run([tool, "-I", source, "-O", target, *args], check=True,
                   stderr=subprocess.DEVNULL)
    return target


def vesk_writes(tool, folder):
    subprocess.run([*tool, "write", folder], check=True)
    log_path, asc_path = os.path.join(folder, "trace.log"), os.path.join(folder, "trace.asc")
    with open(os.path.join(folder, "expected-log.txt")) as f:
        exp_log = f.read().splitlines()
    with open(os.path.join(folder, "expected-asc.txt")) as f:
        exp_asc = f.read().splitlines()
    # python-can keeps error frames other than bus errors as extended frames without the flag
    # ("C"); log2asc turns every error frame into an ErrorFrame.
    as_frame = ["F" + e[1:] if e[0] == "C" else e for e in exp_log]
    first = int(exp_log[0].split()[1])
    as_error = [shift(f"E {e.split()[1]} BusError" if e[0] == "C" else e, first) for e in exp_log]
    # ASC times count from the header's date, which has milliseconds: absolute times come back
    # exact only if the recorder started the file's clock on that millisecond.
    return (check("python-can reads .log", read_with_python_can(
                can.CanutilsLogReader(log_path), False), as_frame) +
            check("python-can reads .asc", read_with_python_can(
                can.ASCReader(asc_path, relative_timestamp=False), False), exp_asc) +
            check("log2asc", read_with_python_can(can.ASCReader(
                convert("log2asc", log_path, os.path.join(folder, "log2asc.asc"), "vesk0")),
                True), as_error) +
            # asc2log reads the date only in an English or German locale: compare relative times.
            check("asc2log", read_with_python_can(can.CanutilsLogReader(
                convert("asc2log", asc_path, os.path.join(folder, "asc2log.log"))), True),
                [shift(e, int(exp_asc[0].split()[1])) for e in exp_asc]))


def make_messages():
    """A deterministic mix of frames in both directions and error frames, with their times in us."""
    seed = 4711

    def rand():
        nonlocal seed
        seed = (seed * 1103515245 + 12345) & 0xFFFFFFFF
        return seed >> 8

    messages, us = [], 0
    for i in range(400):
        t = 1_700_000_000.0 + us / 1e6
        if i % 53 == 17:
            messages.append((us, can.Message(timestamp=t, is_error_frame=True)))
        else:
            ext, rtr, dlc = rand() % 2 == 1, rand() % 8 == 0, rand() % 9
            data = bytes(rand() & 0xFF for _ in range(dlc))
            ident = rand() & (0x1FFFFFFF if ext else 0x7FF)
            messages.append((us, can.Message(timestamp=t, arbitration_id=ident,
                                             is_extended_id=ext, is_remote_frame=rtr, dlc=dlc,
                                             data=None if rtr else data,
                                             is_rx=rand() % 4 != 0)))
        us += 1 + rand() % 20000
    return messages


def vesk_reads(tool, folder):
    messages = make_messages()
    paths = {}
    for name, writer in (("log", can.CanutilsLogWriter), ("asc", can.ASCWriter)):
        paths[name] = os.path.join(folder, "python-can." + name)
        out = writer(paths[name], channel="vcan0") if name == "log" else writer(paths[name])
        for _, msg in messages:
            out.on_message_received(msg)
        out.stop()
    # python-can's log writes a remote frame's DLC as plain "R".
    exp_log = [line(us, m, remote_dlc=False) for us, m in messages]
    exp_asc = [line(us, m) for us, m in messages]
    conv_asc = convert("log2asc", paths["log"], os.path.join(folder, "log2asc.asc"), "vcan0")
    conv_log = convert("asc2log", paths["asc"], os.path.join(folder, "asc2log.log"))
    return (check("ReadTrace of python-can .log", read_with_tool(tool, paths["log"]), exp_log) +
            check("ReadTrace of python-can .asc", read_with_tool(tool, paths["asc"]), exp_asc) +
            check("ReadTrace of log2asc", read_with_tool(tool, conv_asc), exp_log) +
            check("ReadTrace of asc2log", read_with_tool(tool, conv_log), exp_asc))


def corpus_messages():
    """Frames close together, so that the player (real time) is through a file in a blink."""
    seed = 815

    def rand():
        nonlocal seed
        seed = (seed * 1103515245 + 12345) & 0xFFFFFFFF
        return seed >> 8

    messages, us = [], 0
    for i in range(150):
        t = 1_700_000_000.0 + us / 1e6
        channel = f"vcan{i % 2}"
        if i % 23 == 11:
            messages.append((us, can.Message(timestamp=t, is_error_frame=True, channel=channel)))
        else:
            ext, rtr, dlc = rand() % 3 == 0, rand() % 6 == 0, rand() % 9
            # Every other 29-bit identifier is one that 11 bits would hold.
            ident = rand() & (0x7FF if not ext or i % 2 else 0x1FFFFFFF)
            messages.append((us, can.Message(
                timestamp=t, arbitration_id=ident, is_extended_id=ext, is_remote_frame=rtr,
                dlc=dlc, data=None if rtr else bytes(rand() & 0xFF for _ in range(dlc)),
                is_rx=rand() % 3 != 0, channel=channel)))
        us += 100 + rand() % 1400
    return messages


def corpus(tool, folder):
    folder = os.path.join(folder, "corpus")
    os.makedirs(folder, exist_ok=True)
    path = lambda name: os.path.join(folder, name)
    messages = corpus_messages()
    for name, writer in (("python-can.log", can.CanutilsLogWriter),
                         ("python-can.asc", can.ASCWriter)):
        out = writer(path(name))
        for _, msg in messages:
            out.on_message_received(msg)
        out.stop()
    full = [line(us, m) for us, m in messages]
    no_remote_dlc = [line(us, m, remote_dlc=False) for us, m in messages]
    # asc2log keeps the remote frames' DLC, which python-can's log loses: log2asc starts from it.
    source = convert("asc2log", path("python-can.asc"), path("asc2log.log"))
    # log2asc -f writes an error frame as a data frame of its class bits: left out there.
    with open(source) as f, open(path("no-error-frames.log"), "w") as out:
        out.writelines(l for l in f if not l.split()[2].startswith("2000"))
    channels = ("can0", "can1")
    files = [
        ("python-can.log", no_remote_dlc),
        ("python-can.asc", full),
        ("asc2log.log", full),
        (convert("log2asc", source, path("log2asc.asc"), *channels), full),
        (convert("log2asc", source, path("log2asc-n.asc"), "-n", *channels), full),
        # Four decimal places: the times cut to 100 us.
        (convert("log2asc", source, path("log2asc-4.asc"), "-4", *channels),
         [f"{k} {int(us) // 100 * 100} {rest}" for k, us, rest in (e.split(" ", 2) for e in full)]),
        (convert("log2asc", source, path("log2asc-r.asc"), "-r", *channels),
         [line(us, m, remote_dlc=False) for us, m in messages]),
        (convert("log2asc", path("no-error-frames.log"), path("log2asc-f.asc"), "-f", *channels),
         [e for e in full if e[0] == "F"]),
        (convert("asc2log", path("log2asc.asc"), path("asc2log-of-log2asc.log")), full),
    ]
    faults = 0
    for name, expected in files:
        file = path(name)
        faults += check("corpus " + os.path.basename(file), read_with_tool(tool, file), expected)
        result = subprocess.run([*tool, "play", file], capture_output=True, text=True)
        out = result.stdout.splitlines()
        frames = [" ".join(e.split()[2:7]) for e in expected if e[0] == "F"]
        for tag, what in (("B", "replay bus"), ("P", "player")):
            got = [l[2:] for l in out if l[0] == tag] if result.returncode == 0 else [
                f"not played: {result.stderr.strip()}"]
            faults += check(f"corpus {os.path.basename(file)} on the {what}", got, frames)
    return faults


def main():
    tool, folder = sys.argv[1:-1], sys.argv[-1]
    for name in ("log2asc", "asc2log"):
        if shutil.which(name) is None:
            print(f"{name} (can-utils) is not installed")
            return 77
    os.makedirs(folder, exist_ok=True)
    # The ASC header gives the start in local time; fix the zone so that both sides agree. Wine
    # takes its zone from the host's settings, not from TZ: with Wine both sides keep the host's.
    if os.path.basename(tool[0]).startswith("wine"):
        os.environ.pop("TZ", None)
    else:
        os.environ["TZ"] = "Europe/Berlin"
    time.tzset()
    return 1 if vesk_writes(tool, folder) + vesk_reads(tool, folder) + corpus(tool, folder) else 0


if __name__ == "__main__":
    sys.exit(main())
