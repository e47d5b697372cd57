#!/usr/bin/env python3
"""vesk --decode against python-can (which writes the trace) and canmatrix (which decodes it).

A database with an 11-bit and a 29-bit message of the same number, Motorola and Intel signals,
a value table and a multiplexer; random frames of both written by python-can's candump log
writer and as ASC; vesk's CSV must hold, line for line, canmatrix's decoding of every frame
(values compared bit for bit, canmatrix's factors made floats as vesk computes in double). Also
the exit statuses: 1 for a database or trace that cannot be read, 2 for --decode without --dbc.

Usage: decode_cli_test.py VESK FOLDER     (exit 77 when python-can or canmatrix is missing)
"""
import csv
import io
import os
import random
import subprocess
import sys

try:
    import can
    import canmatrix.formats
except ImportError:
    print("python3-can or python3-canmatrix is not installed")
    sys.exit(77)

vesk, folder = sys.argv[1], sys.argv[2]
os.makedirs(folder, exist_ok=True)
dbc = os.path.join(folder, "motor.dbc")
with open(dbc, "w", encoding="cp1252") as f:
    f.write('VERSION ""\n\nBU_: Motor\n\n'
            'BO_ 291 Motor: 8 Motor\n'
            ' SG_ Drehzahl : 7|12@0+ (0.5,-10) [0|2037] "1/min" Vector__XXX\n'
            ' SG_ Gang : 51|4@0+ (1,0) [0|15] "" Vector__XXX\n'
            ' SG_ Temperatur : 32|12@1- (0.25,0) [-512|511] "°C" Vector__XXX\n\n'
            'BO_ 2147483939 MotorExt: 8 Motor\n'
            ' SG_ Art M : 0|2@1+ (1,0) [0|3] "" Vector__XXX\n'
            ' SG_ Druck m0 : 8|16@1+ (0.1,0) [0|6553.5] "bar" Vector__XXX\n'
            ' SG_ Fluss m1 : 8|24@1- (0.01,5) [0|0] "l/h" Vector__XXX\n\n'
            'VAL_ 291 Gang 0 "Leerlauf" 1 "Erster, kurz" 15 "R" ;\n')

rng = random.Random(7)
messages = []
for i in range(300):
    extended = i % 2 == 1
    data = bytes(rng.randrange(256) for _ in range(8))
    messages.append(can.Message(timestamp=1700000000 + i * 0.001, arbitration_id=0x123,
                                is_extended_id=extended, data=data, channel="can0"))
# A frame of another identifier and a short one: no lines and an absent signal.
messages.append(can.Message(timestamp=1700000000.5, arbitration_id=0x124, is_extended_id=False,
                            data=b"\x01", channel="can0"))
messages.append(can.Message(timestamp=1700000000.6, arbitration_id=0x123, is_extended_id=False,
                            data=b"\x12", channel="can0"))

traces = {"log": os.path.join(folder, "bus.log"), "asc": os.path.join(folder, "bus.asc")}
for kind, path in traces.items():
    writer = can.CanutilsLogWriter(path) if kind == "log" else can.ASCWriter(path)
    for m in messages:
        writer.on_message_received(m)
    writer.stop()

matrix = canmatrix.formats.loadp_flat(dbc)
for frame in matrix.frames:
    for s in frame.signals:
        s.factor, s.offset = float(s.factor), float(s.offset)


def expected():
    rows = []
    for m in messages:
        frame = matrix.frame_by_id(canmatrix.ArbitrationId(m.arbitration_id,
                                                           extended=m.is_extended_id))
        if frame is None:
            continue
        if len(m.data) < frame.size:
            # vesk names the signals the short frame cannot carry; canmatrix refuses the frame
            rows.append(None)
            continue
        decoded = frame.decode(bytes(m.data))
        for s in frame.signals:
            if s.name not in decoded:
                continue  # not selected by the multiplexer
            value = decoded[s.name]
            rows.append((s.name, float(value.phys_value), value.named_value
                         if isinstance(value.named_value, str) and s.values else ""))
    return rows


failures = []
for kind, path in traces.items():
    run = subprocess.run([vesk, "--decode", path, "--dbc", dbc], capture_output=True, text=True)
    if run.returncode != 0:
        failures.append(f"{kind}: status {run.returncode}: {run.stderr}")
        continue
    lines = list(csv.reader(io.StringIO(run.stdout)))
    if lines[0] != "time,id,extended,message,signal,raw,value,unit,label".split(","):
        failures.append(f"{kind}: header {lines[0]}")
    got = [(r[4], float(r[6]), r[8]) for r in lines[1:] if r[6] != ""]
    absent = [r for r in lines[1:] if r[6] == ""]
    want = [r for r in expected() if r is not None]
    if got != want:
        for i, (g, w) in enumerate(zip(got, want)):
            if g != w:
                failures.append(f"{kind}: signal line {i}: vesk {g}, canmatrix {w}")
                break
        else:
            failures.append(f"{kind}: {len(got)} decoded signals, canmatrix {len(want)}")
    # The one-byte frame: Drehzahl needs bytes 0-1, so all three are absent, none made up.
    if [r[4] for r in absent] != ["Drehzahl", "Gang", "Temperatur"]:
        failures.append(f"{kind}: absent signals {absent}")
    first = lines[1]
    if kind == "log" and (first[0] != "1700000000.000000" or first[1:4] != ["123", "0", "Motor"]):
        failures.append(f"{kind}: first line {first}")

broken = os.path.join(folder, "broken.dbc")
with open(broken, "w") as f:
    f.write('BO_ 291 M: 2 X\n SG_ S : 20|12@1+ (1,0) [0|0] "" X\n')
for args, status in (([traces["log"], "--dbc", broken], 1),
                     ([os.path.join(folder, "missing.log"), "--dbc", dbc], 1),
                     ([traces["log"]], 2)):
    run = subprocess.run([vesk, "--decode"] + args, capture_output=True, text=True)
    if run.returncode != status or run.stdout:
        failures.append(f"{args}: status {run.returncode}, not {status}; stdout {run.stdout!r}")

if failures:
    print("\n".join(failures))
    sys.exit(1)
print(f"{len(messages)} frames decoded as canmatrix decodes them, in both trace formats")
