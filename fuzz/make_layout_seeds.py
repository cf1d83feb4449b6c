#!/usr/bin/env python3
"""Writes the seed corpora of the container fuzz targets from the public format descriptions
(RIFF/WAVE, RF64, SigMF, ustar/pax) into fuzz/corpus/<target>/.
Each WAV and tar seed starts with four bytes: how far the file runs beyond the bytes given."""

import io
import json
import pathlib
import struct
import tarfile

corpus = pathlib.Path(__file__).parent / "corpus"


def chunk(chunk_id, body):
    pad = b"\0" if len(body) % 2 else b""
    return chunk_id + struct.pack("<I", len(body)) + body + pad


def fmt(tag, channels, rate, bits, extensible=False):
    align = channels * bits // 8
    body = struct.pack("<HHIIHH", 0xFFFE if extensible else tag, channels, rate, rate * align, align, bits)
    if extensible:
        guid = struct.pack("<H", tag) + b"\x00\x00\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71"
        body += struct.pack("<HHI", 22, bits, 3) + guid
    return chunk(b"fmt ", body)


def riff(chunks, kind=b"RIFF", size=None):
    body = b"WAVE" + b"".join(chunks)
    return kind + struct.pack("<I", len(body) if size is None else size) + body


def write(target, name, data, beyond=None):
    folder = corpus / target
    folder.mkdir(parents=True, exist_ok=True)
    prefix = b"" if beyond is None else struct.pack("<I", beyond)
    (folder / name).write_bytes(prefix + data)


def wav_seeds():
    samples = bytes(range(64))
    write("fuzz_wav_chunks", "pcm16-stereo", riff([fmt(1, 2, 48000, 16), chunk(b"data", samples)]), 0)
    auxi = chunk(b"auxi", bytes(32) + struct.pack("<I", 433920000) + bytes(40))
    info = chunk(b"LIST", b"INFO" + chunk(b"ICMT", b"a comment\0"))
    write("fuzz_wav_chunks", "pcm8-mono-auxi-list",
          riff([fmt(1, 1, 250000, 8), auxi, info, chunk(b"data", samples), info]), 0)
    write("fuzz_wav_chunks", "float32-extensible", riff([fmt(3, 2, 2000000, 32, True), chunk(b"data", samples)]), 0)
    data_size = 1 << 33
    ds64 = chunk(b"ds64", struct.pack("<QQQI", data_size + 100, data_size, data_size // 4, 0))
    rf64 = riff([ds64, fmt(1, 2, 1000000, 16)], b"RF64", 0xFFFFFFFF) + b"data" + struct.pack("<I", 0xFFFFFFFF)
    write("fuzz_wav_chunks", "rf64-ds64", rf64 + samples, 0xFFFFFFFF)
    open_ended = riff([fmt(1, 2, 8000, 16)]) + b"data" + struct.pack("<I", 0xFFFFFFFF) + samples
    write("fuzz_wav_chunks", "data-to-end", open_ended, 1000)
    write("fuzz_wav_chunks", "pcm24", riff([fmt(1, 2, 48000, 24), chunk(b"data", samples[:48])]), 0)


def meta(**global_fields):
    fields = {"core:datatype": "cf32_le", "core:sample_rate": 1e6, "core:version": "1.0.0"}
    fields.update(global_fields)
    return {"global": fields, "captures": [{"core:sample_start": 0, "core:frequency": 1e8}], "annotations": []}


def sigmf_seeds():
    def write_meta(name, document, data_size=4096):
        write("fuzz_sigmf_meta", name, struct.pack("<q", data_size) + json.dumps(document).encode())

    write_meta("cf32", meta(**{"core:description": "a recording"}))
    write_meta("cu8", meta(**{"core:datatype": "cu8"}))
    write_meta("ri16-be", meta(**{"core:datatype": "ri16_be"}))
    dataset = meta(**{"core:dataset": "capture.bin", "core:trailing_bytes": 16})
    dataset["captures"][0]["core:header_bytes"] = 64
    write_meta("dataset", dataset)
    write_meta("two-channels", meta(**{"core:num_channels": 2}))
    write("fuzz_sigmf_meta", "nested", struct.pack("<q", 100) + b'{"global":' + b"[" * 40 + b"]" * 40 + b"}")


def tar_seeds():
    document = json.dumps(meta()).encode()
    for name, form in (("ustar", tarfile.USTAR_FORMAT), ("pax", tarfile.PAX_FORMAT), ("gnu", tarfile.GNU_FORMAT)):
        buffer = io.BytesIO()
        with tarfile.open(fileobj=buffer, mode="w", format=form) as archive:
            folder = "rec" if form == tarfile.USTAR_FORMAT else "a-rather-long-folder-name-" * 5
            for member, content in ((f"{folder}/rec.sigmf-meta", document), (f"{folder}/rec.sigmf-data", bytes(256))):
                info = tarfile.TarInfo(member)
                info.size = len(content)
                archive.addfile(info, io.BytesIO(content))
        write("fuzz_tar_headers", name, buffer.getvalue(), 0)


if __name__ == "__main__":
    wav_seeds()
    sigmf_seeds()
    tar_seeds()
