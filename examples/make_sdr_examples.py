#!/usr/bin/env python3
"""Writes the examples of files that SDR programs make, from their public descriptions:
  capture_433.92M_250k.cu8           an 8-bit unsigned I/Q capture, its rate in the name
  tone.sigmf-meta + tone.sigmf-data  a SigMF recording of 16-bit complex samples
Both hold a complex tone of a tenth of the sample rate. usage: make_sdr_examples.py [FOLDER]
"""

import json
import math
import pathlib
import struct
import sys

SETS = 8192


def tone(amplitude, offset):
    for n in range(SETS):
        phase = 2.0 * math.pi * n / 10.0
        yield round(offset + amplitude * math.cos(phase)), round(offset + amplitude * math.sin(phase))


def main():
    folder = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent)
    cu8 = bytearray()
    for i, q in tone(100.0, 127.5):
        cu8 += bytes((i, q))
    (folder / "capture_433.92M_250k.cu8").write_bytes(bytes(cu8))

    data = b"".join(struct.pack("<hh", i, q) for i, q in tone(12000.0, 0.0))
    (folder / "tone.sigmf-data").write_bytes(data)
    meta = {
        "global": {
            "core:datatype": "ci16_le",
            "core:sample_rate": 2000000,
            "core:version": "1.0.0",
            "core:description": "A complex tone at a tenth of the sample rate",
        },
        "captures": [{"core:sample_start": 0, "core:frequency": 100000000}],
        "annotations": [],
    }
    (folder / "tone.sigmf-meta").write_text(json.dumps(meta, indent=2) + "\n")


if __name__ == "__main__":
    main()
