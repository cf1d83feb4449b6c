#!/usr/bin/env python3
"""Converts one corpus of inputs with two quelvor-cli binaries and compares the results.

usage: scripts/compare_outputs.py OLD_CLI NEW_CLI [SCRATCH_DIR]

Every case is converted by both binaries with the same settings. The .wv files must be equal
byte for byte, and so must the exit status and the --json line of each job (all fields except
"mbPerSecond", which is a speed). The corpus covers every binary format in both byte orders,
separate files, markers, the orders QI and I Only, mirror, shift, the low-pass filter at
several output rates, intervals, text formats, clipping and a silent input; the inputs span
several blocks so that block boundaries are crossed. Exits 0 when every case agrees.
"""
import json
import math
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile

COMMON = ["headerSource=User", "headerValue=0", "trailerSource=User", "trailerValue=0",
          "commentSource=User", "commentBegin=compare", "samplerateSource=User", "samplerateValue=10"]

BINARY_FORMATS = {  # display text: (struct code, full scale)
    "8 Bit Integer": ("b", 127), "8 Bit Unsigned Integer": ("B", 255),
    "16 Bit Integer": ("h", 32767), "16 Bit Unsigned Integer": ("H", 65535),
    "32 Bit Integer": ("i", 2**31 - 1), "32 Bit Unsigned Integer": ("I", 2**32 - 1),
    "64 Bit Integer": ("q", 2**62), "64 Bit Unsigned Integer": ("Q", 2**63),
    "32 Bit Float": ("f", 1.0), "64 Bit Float": ("d", 1.0),
}


def tone(n, seed, amplitude=0.7):
    """n complex values: two tones and some noise, |x| below amplitude."""
    rng = random.Random(seed)
    out = []
    for k in range(n):
        z = 0.6 * complex(math.cos(0.0123 * k), math.sin(0.0123 * k)) + \
            0.3 * complex(math.cos(-0.71 * k), math.sin(-0.71 * k))
        z = z * amplitude + complex(rng.gauss(0, 0.02), rng.gauss(0, 0.02))
        out.append(z)
    return out


def to_values(code, scale, values):
    if code in "fd":
        return [v * scale for v in values]
    if code in "BHIQ":  # unsigned: centred on half scale
        return [int(round((v + 1.0) * 0.5 * scale)) for v in values]
    return [int(round(v * scale)) for v in values]


def write_binary(path, fmt, values, big_endian=False):
    code, full = BINARY_FORMATS[fmt]
    order = ">" if big_endian else "<"
    data = to_values(code, full * 0.9 if code not in "fd" else 1.0, values)
    with open(path, "wb") as f:
        f.write(struct.pack(order + code * len(data), *data))


def interleave(z, extra_columns=0):
    out = []
    for v in z:
        out.append(v.real)
        out.extend([0.25] * extra_columns)
        out.append(v.imag)
    return out


def build_cases(scratch):
    """(name, input files, settings) of every case; the files are written here."""
    cases = []
    n = 230_017  # more than two blocks, not a multiple of anything
    z = tone(n, 1)

    def path(name):
        return os.path.join(scratch, name)

    for fmt in BINARY_FORMATS:
        for big in (False, True):
            if fmt.startswith("8 Bit") and big:
                continue
            name = f"{fmt.replace(' ', '_')}_{'be' if big else 'le'}.bin"
            write_binary(path(name), fmt, interleave(z), big)
            settings = [f"format={fmt}", f"endianness={'Big' if big else 'Little'}"]
            cases.append((name, [path(name)], settings))
    i16 = path("16_Bit_Integer_le.bin")
    f32 = path("32_Bit_Float_le.bin")
    for rate in (10, 9, 7, 5, 3, 1):
        label = "Input Samplerate" if rate == 10 else f"Input Samplerate x {rate}/10"
        cases.append((f"i16_filter_{rate}", [i16], ["filterType=Blackman Window", "cutoff=0.2", "taps=256",
                                                   f"outputSamplerate={label}"]))
    cases.append(("f32_filter_hamming_1024", [f32], ["format=32 Bit Float", "filterType=Hamming Window",
                                                     "cutoff=0.3", "taps=1024",
                                                     "outputSamplerate=Input Samplerate x 8/10"]))
    cases.append(("i16_filter_short_taps", [i16], ["filterType=Hanning Window", "cutoff=0.1", "taps=17",
                                                   "outputSamplerate=Input Samplerate x 6/10"]))
    cases.append(("i16_mirror_shift", [i16], ["mirror=Yes", "shift=0.137"]))
    cases.append(("i16_shift_filter", [i16], ["shift=-0.05", "filterType=Blackman Window", "cutoff=0.2",
                                              "taps=64", "outputSamplerate=Input Samplerate x 5/10"]))
    cases.append(("i16_order_qi_offsets", [i16], ["order=QI", "iDcOffset=12", "qDcOffset=-7"]))
    cases.append(("i16_i_only_q_is_i", [i16], ["order=I Only - Q=I"]))
    cases.append(("i16_i_only_q_zero", [i16], ["order=I Only - Q=0"]))
    cases.append(("i16_interval", [i16], ["firstSample=1001", "lastSampleType=User", "lastSampleValue=150000"]))
    cases.append(("i16_interval_filter", [i16], ["firstSample=77", "lastSampleType=User", "lastSampleValue=1900",
                                                 "filterType=Blackman Window", "cutoff=0.2", "taps=256",
                                                 "outputSamplerate=Input Samplerate x 5/10"]))
    cases.append(("i16_manual_scale", [i16], ["autoOptimization=No", "scaleFactor=1.2"]))
    cases.append(("i16_manual_clipping", [i16], ["autoOptimization=No", "scaleFactor=2.0"]))
    cases.append(("i16_manual_too_low", [i16], ["autoOptimization=No", "scaleFactor=0.1"]))

    markers = path("markers_i16.bin")
    write_binary(markers, "16 Bit Integer", interleave(z, extra_columns=2))
    cases.append(("i16_markers", [markers], ["qMarkers=2"]))

    silent = path("silent.bin")
    with open(silent, "wb") as f:
        f.write(bytes(4 * 50_000))
    cases.append(("silent", [silent], []))

    zi, zq = path("sep_i.bin"), path("sep_q.bin")
    write_binary(zi, "32 Bit Float", [v.real for v in z])
    write_binary(zq, "32 Bit Float", [v.imag for v in z[:-5]])
    cases.append(("separate_f32", [zi, zq], ["structure=Separate IQ (2 Files)", "format=32 Bit Float"]))
    cases.append(("separate_f32_filter", [zi, zq], ["structure=Separate IQ (2 Files)", "format=32 Bit Float",
                                                    "filterType=Blackman Window", "cutoff=0.2", "taps=128",
                                                    "outputSamplerate=Input Samplerate x 7/10"]))

    text = path("text.txt")
    with open(text, "w") as f:
        for v in z[:120_000]:
            f.write("%.6f %.6f\n" % (v.real, v.imag))
    cases.append(("text_float", [text], ["format=Text Floating Point"]))
    cases.append(("text_float_mirror_shift", [text], ["format=Text Floating Point", "mirror=Yes", "shift=0.01"]))
    text_int = path("text_int.txt")
    with open(text_int, "w") as f:
        for v in z[:60_000]:
            f.write("%d,%d;\n" % (round(v.real * 30000), round(v.imag * 30000)))
    cases.append(("text_integer", [text_int], ["format=Text Integer"]))
    # Values in every notation and separator, with a marker column, over several chunks of the
    # text reading; and text in separate files.
    mixed = path("text_mixed.txt")
    notations = ["%.6f", "%.9f", "%g", "%.3e", "%.2f", "%.0f"]
    spaces = [" ", "\t", "  ", " , "]
    with open(mixed, "w") as f:
        for n, v in enumerate(z[:150_000]):
            f.write((notations[n % 6] % (v.real * 10)) + spaces[n % 4] + "7" + spaces[n % 3] +
                    (notations[n % 5] % v.imag) + ("\r\n" if n % 7 == 0 else "\n"))
    cases.append(("text_mixed_markers", [mixed], ["format=Text Floating Point", "qMarkers=1"]))
    ti, tq = path("text_i.txt"), path("text_q.txt")
    with open(ti, "w") as f:
        f.write("\n".join("%.6f" % v.real for v in z[:50_000]) + "\n")
    with open(tq, "w") as f:
        f.write("\n".join("%.5f" % v.imag for v in z[:49_000]) + "\n")
    cases.append(("text_separate", [ti, tq], ["structure=Separate IQ (2 Files)", "format=Text Floating Point"]))
    return cases


def run(cli, files, settings, output):
    args = [cli, "convert", "--quiet", "--json", "--output", output]
    for item in COMMON + settings:
        args += ["--set", item]
    proc = subprocess.run(args + files, capture_output=True, text=True)
    jobs = []
    for line in proc.stdout.splitlines():
        job = json.loads(line)
        job.pop("mbPerSecond", None)
        job.pop("output", None)
        jobs.append(job)
    return proc.returncode, jobs


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    old_cli, new_cli = (os.path.abspath(p) for p in sys.argv[1:3])
    scratch = sys.argv[3] if len(sys.argv) > 3 else tempfile.mkdtemp(prefix="quelvor-compare-")
    os.makedirs(scratch, exist_ok=True)
    failures = 0
    try:
        cases = build_cases(scratch)
        for name, files, settings in cases:
            results = []
            for tag, cli in (("old", old_cli), ("new", new_cli)):
                output = os.path.join(scratch, f"{name}.{tag}.wv")
                if os.path.exists(output):
                    os.unlink(output)
                status, jobs = run(cli, files, settings, output)
                data = open(output, "rb").read() if os.path.exists(output) else None
                results.append((status, jobs, data))
            same = results[0] == results[1]
            size = len(results[1][2]) if results[1][2] is not None else 0
            state = results[1][1][0]["status"] if results[1][1] else "no job"
            print(f"{'same' if same else 'DIFFERENT':9s} {name:28s} exit {results[1][0]}  {state:30s} {size} bytes")
            failures += 0 if same else 1
    finally:
        if len(sys.argv) <= 3:
            shutil.rmtree(scratch, ignore_errors=True)
    print(f"{len(cases) - failures} of {len(cases)} cases byte-identical")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
