#!/usr/bin/env python3
"""vesk --headless --send ... --cycle 10 on vcan0 inside the CAN guest, seen by candump -L.

A database of both byte orders, signed, float and multiplexed signals, 11- and 29-bit messages,
value-table labels; each message is sent cyclically with values whose bytes canmatrix (Debian's
python3-canmatrix, which nobody here wrote) computes on the host. candump's frames must carry
exactly those bytes, every message's; the mean interval per message is reported and must lie
near the cycle time (the guest's processor is emulated, so the bound is loose).

Usage: send_guest_test.py VCAN_VM VESK FOLDER     (exit 77: no guest tool or no canmatrix)
"""
import decimal
import os
import subprocess
import sys

try:
    import canmatrix.formats
except ImportError:
    print("python3-canmatrix is not installed")
    sys.exit(77)

CYCLE_MS = 10
RUN_S = 3

DBC = '''VERSION ""

NS_ :
\tCM_
\tBA_DEF_
\tBA_
\tVAL_

BS_:

BU_: Ecu

BO_ 291 Motor: 8 Ecu
 SG_ Drehzahl : 0|16@1+ (0.5,0) [0|30000] "1/min" Ecu
 SG_ Temperatur : 23|12@0- (0.25,-10) [-500|500] "C" Ecu
 SG_ Gang : 32|4@1+ (1,0) [0|0] "" Ecu
 SG_ Last : 47|9@0+ (0.1,0) [0|51.1] "%" Ecu

BO_ 2566844672 Getriebe: 8 Ecu
 SG_ Moment : 0|32@1- (1,0) [0|0] "Nm" Ecu
 SG_ Druck : 39|16@0- (0.01,0) [0|0] "bar" Ecu

BO_ 512 Diagnose: 4 Ecu
 SG_ Seite M : 0|8@1+ (1,0) [0|0] "" Ecu
 SG_ Spannung m1 : 8|16@1+ (0.001,0) [0|0] "V" Ecu
 SG_ Strom m2 : 8|12@1- (0.5,0) [0|0] "A" Ecu
 SG_ Zaehler : 31|6@0+ (1,0) [0|0] "" Ecu

SIG_VALTYPE_ 2566844672 Moment : 1;
VAL_ 291 Gang 0 "Leer" 3 "Dritter" 7 "Rueckwaerts" ;
'''

# Physical values chosen exact in binary, so that rounding and truncation agree.
SENDS = [
    ("Motor", {"Drehzahl": 1234.5, "Temperatur": -37.75, "Gang": "Rueckwaerts", "Last": 42.5}),
    ("Getriebe", {"Moment": -1234.25, "Druck": -81.92}),
    ("Diagnose", {"Seite": 2, "Strom": -300.5, "Zaehler": 45}),
]

GUEST = """set -eu
export VESK_INI=/tmp/Vesk.ini HOME=/tmp
# vcan has no bit rate of its own; the rate only serves the bus load.
printf '[Options]\\nBaudrate=1000000\\n' > "$VESK_INI"
candump -L vcan0 > send.dump &
dump=$!
sleep 1
./vesk --headless --device 0=socketcan:vcan0 --mode peli --dbc send.dbc --duration RUN_S \\
SENDS 2> vesk.err || { echo "vesk ended with $?"; cat vesk.err; exit 1; }
sleep 0.5
kill -TERM "$dump"; wait "$dump" || true
echo ==dump==
cat send.dump
echo ==end==
"""


def raw(signal, value):
    """What canmatrix packs: the raw value (its encode takes raw values), computed in decimal from
    the physical one; a label's from its value table (vesk is given the text)."""
    if isinstance(value, str):
        return next(k for k, t in signal.values.items() if t == value)
    r = signal.phys2raw(decimal.Decimal(repr(value)))
    if r * signal.factor + signal.offset != decimal.Decimal(repr(value)):
        raise SystemExit(f"{signal.name}={value} is no exact raw step")
    return float(r) if signal.is_float else int(r)


def main():
    guest_tool, vesk, folder = sys.argv[1], sys.argv[2], sys.argv[3]
    if not os.access(guest_tool, os.X_OK):
        print(f"no guest tool at {guest_tool}")
        return 77
    os.makedirs(folder, exist_ok=True)
    dbc = os.path.join(folder, "send.dbc")
    with open(dbc, "w") as f:
        f.write(DBC)
    db = canmatrix.formats.loadp_flat(dbc)
    expected = {}
    args = []
    for name, values in SENDS:
        frame = db.frame_by_name(name)
        data = bytes(frame.encode({s: raw(frame.signal_by_name(s), v) for s, v in values.items()}))
        aid = frame.arbitration_id
        expected[f"{aid.id:08X}" if aid.extended else f"{aid.id:03X}"] = (name, data.hex().upper())
        assignments = " ".join(f"{s}={v}" for s, v in values.items())
        args.append(f"    --send '{name} {assignments}' --cycle {CYCLE_MS}")
    script = os.path.join(folder, "send-in-can-guest.sh")
    with open(script, "w") as f:
        f.write(GUEST.replace("RUN_S", str(RUN_S)).replace("SENDS", " \\\n".join(args)))
    run = subprocess.run([guest_tool, script, vesk, dbc], capture_output=True, text=True)
    if run.returncode != 0 or "==dump==" not in run.stdout:
        print(run.stdout, run.stderr)
        return 1
    dump = run.stdout.split("==dump==", 1)[1].split("==end==", 1)[0].split()
    times, faults = {}, []
    for i in range(0, len(dump) - 2, 3):
        stamp, _, frame = dump[i:i + 3]
        ident, data = frame.split("#", 1)
        if ident not in expected:
            faults.append(f"unexpected frame {frame}")
            continue
        name, want = expected[ident]
        if data != want:
            faults.append(f"{name}: candump {data}, canmatrix {want}")
        times.setdefault(ident, []).append(float(stamp.strip("()")))
    for ident, (name, want) in expected.items():
        t = times.get(ident, [])
        if len(t) < 10:
            faults.append(f"{name}: {len(t)} frames in {RUN_S} s")
            continue
        mean = (t[-1] - t[0]) / (len(t) - 1) * 1000
        print(f"{name} ({ident}#{want}): {len(t)} frames, mean interval {mean:.2f} ms "
              f"(cycle {CYCLE_MS} ms)")
        if not CYCLE_MS * 0.9 <= mean <= CYCLE_MS * 1.5:
            faults.append(f"{name}: mean interval {mean:.2f} ms for a cycle of {CYCLE_MS} ms")
    for f in faults[:20]:
        print(f)
    print(f"{len(faults)} differences")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
