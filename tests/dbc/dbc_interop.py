#!/usr/bin/env python3
"""vesk's databases against canmatrix (Debian's python3-canmatrix), which nobody here wrote.

Generated databases cover every start bit with every length 1-64 in both byte orders, signed and
unsigned, float and double, factors and offsets, value tables, simple and extended multiplexing,
11- and 29-bit identifiers (the same numbers in both formats). For random payloads (fixed seed)
vesk's raw value, physical value, label and set of multiplexed signals must equal canmatrix's
decoding; for random values vesk's encoding must equal canmatrix's, and decoding it again must
give the value back. The same requests then run against what canmatrix writes from its model of
each database, and against a database canmatrix writes from a model built here.

Where canmatrix's conventions differ, like is compared with like:
- canmatrix computes physical values in decimal.Decimal; here its signals' factor and offset are
  made floats after loading, so that its own raw2phys computes raw * factor + offset in double as
  vesk does, and physical values must be equal bit for bit (no ulp allowed).
- canmatrix looks labels up by the physical value; vesk and the file key them by the raw value,
  so canmatrix's label is taken from its table (Signal.values) by its raw value.
- canmatrix's phys2raw truncates toward zero where vesk rounds; its packing is fed the raw value
  that the physical value was made from, chosen so that the rounding gives it back.
- canmatrix cannot encode extended multiplexing; its packing (Frame.signals_to_bytes) is given the
  signals the multiplexers select, which is what its encode does for simple multiplexing.
- canmatrix keeps Motorola start bits in MSB-first numbering internally; both read the file's
  sawtooth numbering, so the files are the common ground.

Usage: dbc_interop.py PROBE... FOLDER  (exit 77 when canmatrix is missing)
PROBE is the command that runs the probe: its path, or `wine PROBE.exe` for the Windows build.
"""
import math
import os
import random
import struct
import subprocess
import sys

try:
    import canmatrix
    import canmatrix.formats
except ImportError:
    print("python3-canmatrix is not installed")
    sys.exit(77)

rng = random.Random(1234)
SCALES = [("1", "0"), ("0.5", "-10"), ("0.01", "0"), ("0.1", "-40"), ("0.25", "100"),
          ("0.001", "0.5"), ("-1", "0"), ("3", "-7"), ("0.0625", "-273.15"), ("10", "0")]


def sawtooth(msb_first):
    return msb_first // 8 * 8 + 7 - msb_first % 8


class Db:
    def __init__(self):
        self.lines, self.tail, self.messages, self.count = [], [], [], 0

    def message(self, signals, ident=None, extended=None, size=8):
        """signals: (name, mux, start, length, order, sign, factor, offset, valtype, labels)"""
        k = self.count
        self.count += 1
        if ident is None:
            ident, extended = (k // 2, k % 2 == 1) if k < 4096 else (k, True)
        number = ident | (0x80000000 if extended else 0)
        name = f"M{k}"
        self.lines.append(f"BO_ {number} {name}: {size} Ecu")
        for (sig, mux, start, length, order, sign, f, o, valtype, labels) in signals:
            role = f" {mux}" if mux else ""
            self.lines.append(f' SG_ {sig}{role} : {start}|{length}@{order}{sign} ({f},{o}) '
                              f'[0|0] "u" Ecu')
            if valtype:
                self.tail.append(f"SIG_VALTYPE_ {number} {sig} : {valtype};")
            if labels:
                pairs = " ".join(f'{r} "{t}"' for r, t in labels)
                self.tail.append(f"VAL_ {number} {sig} {pairs} ;")
        self.lines.append("")
        self.messages.append((ident, extended, name))
        return number

    def write(self, path):
        with open(path, "w") as f:
            f.write('VERSION ""\n\nNS_ :\n\tCM_\n\tVAL_\n\nBS_:\n\nBU_: Ecu\n\n')
            f.write("\n".join(self.lines + self.tail) + "\n")


def generated(folder):
    db = Db()
    for order in (1, 0):
        for length in range(1, 65):
            for first in range(0, 65 - length):
                start = first if order == 1 else sawtooth(first)
                for sign in "+-":
                    f, o = rng.choice(SCALES)
                    labels = None
                    if length <= 4:
                        labels = [(0, "zero"), (1, "one")] + ([(-1, "minus")] if sign == "-" else [])
                    db.message([("S", None, start, length, order, sign, f, o, None, labels)])
    for order in (1, 0):
        for first in range(0, 33):
            start = first if order == 1 else sawtooth(first)
            f, o = rng.choice(SCALES)
            db.message([("F", None, start, 32, order, "-", f, o, 1, [(2, "two")])])
        f, o = rng.choice(SCALES)
        db.message([("D", None, 0 if order == 1 else 7, 64, order, "-", f, o, 2, None)])
    db.message([("Mux", "M", 0, 4, 1, "+", "1", "0", None, None),
                ("A", "m0", 8, 16, 1, "+", "0.1", "0", None, None),
                ("B", "m1", 8, 8, 1, "-", "1", "0", None, None),
                ("C", "m2", 23, 16, 0, "+", "0.5", "-3", None, None),
                ("E", "m3", 40, 12, 1, "-", "2", "1", None, None),
                ("Always", None, 56, 8, 1, "+", "1", "0", None, [(7, "seven")])])
    number = db.message([("Top", "M", 0, 2, 1, "+", "1", "0", None, None),
                         ("Sub", "m1M", 8, 4, 1, "+", "1", "0", None, None),
                         ("X", "m3", 16, 8, 1, "+", "1", "0", None, None),
                         ("Y", "m0", 31, 16, 0, "-", "0.5", "0", None, None),
                         ("Z", "m2", 24, 8, 1, "-", "1", "0", None, None),
                         ("Always", None, 48, 16, 1, "+", "1", "0", None, None)])
    db.tail += [f"SG_MUL_VAL_ {number} Sub Top 1-1;", f"SG_MUL_VAL_ {number} X Sub 3-5, 7-7;",
                f"SG_MUL_VAL_ {number} Y Top 0-0, 2-3;", f"SG_MUL_VAL_ {number} Z Sub 0-2;"]
    path = os.path.join(folder, "generated.dbc")
    db.write(path)
    return path


def from_model(folder):
    """A database canmatrix writes from a model built with its own classes."""
    model = canmatrix.CanMatrix()
    frame = canmatrix.Frame("EngineControlUnitStatusMessageLongName",
                            arbitration_id=canmatrix.ArbitrationId(0x18FEF100, extended=True),
                            size=8, cycle_time=100, comment='says "hello"\nin two lines')
    frame.add_signal(canmatrix.Signal("EngineSpeedWithAVeryLongSignalName", start_bit=0, size=16,
                                      is_little_endian=True, is_signed=False, factor="0.125",
                                      offset="0", values={0: "stopped"}))
    motorola = canmatrix.Signal("Temperature", size=12, is_little_endian=False, is_signed=True,
                                factor="0.1", offset="-40")
    motorola.set_startbit(23, bitNumbering=1)
    frame.add_signal(motorola)
    model.add_frame(frame)
    path = os.path.join(folder, "model.dbc")
    canmatrix.formats.dumpp({"": model}, path)
    return path


def load(path):
    db = canmatrix.formats.loadp_flat(path)
    for frame in db.frames:
        for s in frame.signals:
            s.factor, s.offset = float(s.factor), float(s.offset)
            s.float_factory = float  # raw2phys turns a float signal's raw value into this
    return db


def probe(tool, path, requests):
    r = subprocess.run([*tool, path], input="\n".join(requests) + "\n", capture_output=True,
                       text=True)
    if r.returncode != 0:
        raise SystemExit(f"{os.path.basename(path)} not read: {r.stderr.strip()}")
    return r.stdout.splitlines()


def same_double(a, b):
    return (math.isnan(a) and math.isnan(b)) or struct.pack("<d", a) == struct.pack("<d", b)


def number(text):
    return float(text) if any(c in text for c in ".en") else int(text)


def payloads(frame):
    out = [bytes(frame.size), bytes([0xFF] * frame.size)]
    out += [bytes(rng.getrandbits(8) for _ in range(frame.size)) for _ in range(4)]
    return out


def label_of(signal, raw):
    if isinstance(raw, float):
        if not math.isfinite(raw) or raw != int(raw):
            return "-"
        raw = int(raw)
    return signal.values.get(raw, "-")


def expected_decode(frame, data):
    return {name: (d.raw_value, float(d.phys_value), label_of(d.signal, d.raw_value))
            for name, d in frame.decode(bytearray(data)).items()}


def same_raw(got, want):
    return same_double(float(got), want) if isinstance(want, float) else got == want


def check_decode(tool, path, db, faults):
    requests, expected = [], []
    for frame in db.frames:
        for data in payloads(frame):
            aid = frame.arbitration_id
            requests.append(f"D {aid.id:X} {int(aid.extended)} {data.hex()}")
            expected.append((frame.name, data.hex(), expected_decode(frame, data)))
    lines = iter(probe(tool, path, requests))
    for name, hexdata, want in expected:
        got = {}
        for line in lines:
            if line == ".":
                break
            _, sig, raw, value, label = line.split(" ", 4)
            got[sig] = (number(raw), float(value), label)
        if got.keys() != want.keys():
            faults.append(f"{name} {hexdata}: signals {sorted(got)} != canmatrix {sorted(want)}")
            continue
        for sig, (raw, value, label) in want.items():
            g = got[sig]
            if not same_raw(g[0], raw) or not same_double(g[1], value) or g[2] != label:
                faults.append(f"{name}.{sig} {hexdata}: vesk {g} canmatrix {(raw, value, label)}")
    return len(requests)


def away(q):
    """Rounds half away from zero; adding 0.5 would itself round above 2^52."""
    whole = math.floor(abs(q))
    return math.copysign(whole + 1 if abs(q) - whole >= 0.5 else whole, q)


def pick_raw(s):
    """A raw value whose physical value rounds back to it, as large as that allows."""
    f, o = s.factor, s.offset
    for bits in range(s.size, 0, -1):
        for _ in range(3):
            if s.is_float:
                fmt = ">f" if s.size == 32 else ">d"
                raw = struct.unpack(fmt, struct.pack(fmt, rng.uniform(-1, 1) * 2.0 ** (bits - 8)))[0]
                back = (raw * f + o - o) / f
                if struct.unpack(fmt, struct.pack(fmt, back))[0] == raw:
                    return raw
                continue
            low, high = (-(1 << (bits - 1)), (1 << (bits - 1)) - 1) if s.is_signed else (0, (1 << bits) - 1)
            raw = rng.randint(low, high)
            raw = int(float(raw))  # exact in a double, so the physical value can carry it
            if low <= raw <= high and away((raw * f + o - o) / f) == raw:
                return raw
    return 0


def check_encode(tool, path, db, faults):
    requests, expected, values = [], [], []
    for frame in db.frames:
        mux = {}
        if frame.is_complex_multiplexed:
            mux = {"Top": rng.randrange(4), "Sub": rng.choice([0, 2, 3, 4, 6, 7])}
        elif frame.is_multiplexed:
            mux = {"Mux": rng.choice([0, 1, 2, 3, 9])}
        # The signals these multiplexer values select, as canmatrix decodes them.
        signals = [frame.signal_by_name(n) for n in frame.decode(frame.signals_to_bytes(mux))]
        data = {s.name: mux[s.name] if s.name in mux else pick_raw(s) for s in signals}
        want = frame.signals_to_bytes(data) if frame.is_complex_multiplexed else frame.encode(data)
        physical = {s.name: data[s.name] * s.factor + s.offset for s in signals}
        aid = frame.arbitration_id
        requests.append(f"E {aid.id:X} {int(aid.extended)} " +
                        " ".join(f"{n}={repr(v)}" for n, v in physical.items()))
        expected.append((frame, bytes(want).hex().upper()))
        values.append(physical)
    decode = []
    for (frame, want), line in zip(expected, probe(tool, path, requests)):
        if line != f"B {want}":
            faults.append(f"{frame.name}: vesk encodes {line}, canmatrix B {want}")
        aid = frame.arbitration_id
        data = line[2:] if line.startswith("B ") else want  # a refusal is reported above
        decode.append(f"D {aid.id:X} {int(aid.extended)} {data}")
    lines = iter(probe(tool, path, decode))
    for (frame, _), physical in zip(expected, values):
        for line in lines:
            if line == ".":
                break
            _, sig, _, value, _ = line.split(" ", 4)
            step = abs(frame.signal_by_name(sig).factor)
            if sig in physical and not abs(float(value) - physical[sig]) <= step:
                faults.append(f"{frame.name}.{sig}: {physical[sig]} encoded, {value} decoded")
    return len(requests)


def check_names(tool, path, db, faults):
    requests = [f"M {f.arbitration_id.id:X} {int(f.arbitration_id.extended)}" for f in db.frames]
    for frame, line in zip(db.frames, probe(tool, path, requests)):
        want = f"M {frame.name}\t{frame.cycle_time}\t{(frame.comment or '')}".replace("\n", "\\n")
        if line != want:
            faults.append(f"{frame.name}: vesk {line!r}, canmatrix {want!r}")


def main():
    tool, folder = sys.argv[1:-1], sys.argv[-1]
    os.makedirs(folder, exist_ok=True)
    faults = []
    source = generated(folder)
    db = load(source)
    rewritten = os.path.join(folder, "rewritten.dbc")
    canmatrix.formats.dumpp({"": canmatrix.formats.loadp_flat(source)}, rewritten)
    model = from_model(folder)
    decoded = check_decode(tool, source, db, faults)
    check_decode(tool, rewritten, db, faults)
    encoded = check_encode(tool, source, db, faults)
    check_encode(tool, rewritten, db, faults)
    model_db = load(model)
    check_decode(tool, model, model_db, faults)
    check_names(tool, model, model_db, faults)
    for f in faults[:30]:
        print(f)
    print(f"{len(db.frames)} messages, {decoded} frames decoded and {encoded} encoded per file: "
          f"{len(faults)} differences")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
