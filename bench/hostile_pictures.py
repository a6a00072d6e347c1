#!/usr/bin/env python3
"""Writes hostile picture files, for timing the readers and taking their peak memory on them.

usage: bench/hostile_pictures.py KIND AMOUNT OUT   (AMOUNT: megabytes, or scans for jpeg-passes)

  png-tail    a 1x1 PNG whose image data goes on for MEGABYTES of compressed zeros
  png-empty   a 1x1 PNG whose row comes after MEGABYTES of empty deflate blocks
  png-chunks  a 1x1 PNG after MEGABYTES of empty private chunks
  png-cut     a 20000x20000 PNG cut off after MEGABYTES of its image data
  jpeg-cut    a 20000x20000 baseline gray JPEG cut off after MEGABYTES of its scan
  jpeg-scans  a 20000x20000 progressive gray JPEG: MEGABYTES of its first scan, then a bad scan
  jpeg-passes a 20000x20000 progressive gray JPEG: its first scan, then AMOUNT scans of a few
              hundred bytes that each pass over every block as empty
  gif-frames  a GIF of 1x1 frames, MEGABYTES long
  tiff-tiles  a gray TIFF of 16x16 deflate tiles that all name one tile's bytes, as large as
              MEGABYTES of offset table let it be (16.8 MB: 23170x23170)

Measure with e.g. /usr/bin/time -v build-bench/bench/imageio/tessora_load_picture OUT.
The files are made on the fly (in /tmp): they are too large to keep.
"""
import random
import struct
import sys
import zlib

MB = 1 << 20


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def png_head(width, height):
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr)


def write_idat(out, stream, piece=MB):
    for at in range(0, len(stream), piece):
        out.write(png_chunk(b"IDAT", stream[at:at + piece]))


def png_tail(out, size):
    row = b"\x00\x10\x20\x30"
    c = zlib.compressobj(9)
    head = c.compress(row) + c.flush(zlib.Z_FULL_FLUSH)
    # After a full flush the compressor starts afresh: the same input gives the same block, so
    # one block of 16 MiB of zeros is made once and repeated.
    zeros = bytes(16 * MB)
    block = c.compress(zeros) + c.flush(zlib.Z_FULL_FLUSH)
    assert block == c.compress(zeros) + c.flush(zlib.Z_FULL_FLUSH)
    count = max(1, size // len(block))
    adler = zlib.adler32(row)
    a, b = adler & 0xFFFF, adler >> 16
    b = (b + count * len(zeros) * a) % 65521  # appending zeros leaves a alone
    # A final, empty block with fixed codes, then the checksum of everything.
    stream = head + block * count + b"\x03\x00" + struct.pack(">I", (b << 16) | a)
    out.write(png_head(1, 1))
    write_idat(out, stream)
    out.write(png_chunk(b"IEND", b""))


def png_empty(out, size):
    c = zlib.compressobj(9)
    head = c.compress(b"") + c.flush(zlib.Z_SYNC_FLUSH)
    empty = c.compress(b"") + c.flush(zlib.Z_SYNC_FLUSH)  # a stored block of nothing
    stream = head + empty * (size // len(empty)) + c.compress(b"\x00\x10\x20\x30") + c.flush()
    out.write(png_head(1, 1))
    write_idat(out, stream)
    out.write(png_chunk(b"IEND", b""))


def png_chunks(out, size):
    out.write(png_head(1, 1))
    # Ancillary, private, safe to copy: a reader passes over them.
    empty = png_chunk(b"prIv", b"")
    piece = empty * 65536
    for _ in range(size // len(piece)):
        out.write(piece)
    write_idat(out, zlib.compress(b"\x00\x10\x20\x30"))
    out.write(png_chunk(b"IEND", b""))


def png_cut(out, size):
    width = height = 20000
    rnd = random.Random(7)
    # Sub-filtered rows of mostly small steps: a smooth picture with grain, which deflate packs
    # about six to one. The rows come from a pool, farther apart than deflate's window.
    steps = [0, 0, 0, 0, 0, 0, 1, 255]
    pool = [b"\x01" + bytes(rnd.choice(steps) for _ in range(3 * width)) for _ in range(16)]
    c = zlib.compressobj(6)
    stream = bytearray()
    for y in range(height):
        stream += c.compress(pool[y % len(pool)])
        if len(stream) >= size:
            break
    out.write(png_head(width, height))
    # libpng's own writer makes chunks of 8 KiB; the last one is cut short by the file's end.
    body = bytearray()
    for at in range(0, len(stream), 8192):
        body += png_chunk(b"IDAT", bytes(stream[at:at + 8192]))
    out.write(body[:size])


def jpeg_segment(marker, data):
    return struct.pack(">BBH", 0xFF, marker, len(data) + 2) + data


def jpeg_head(progressive):
    width = height = 20000
    dqt = b"\x00" + bytes([1] * 64)
    sof = struct.pack(">BHHB", 8, height, width, 1) + b"\x01\x11\x00"
    # DC codes 00 (no change) and 01 (one step); the only AC code, 0, ends the block.
    dht_dc = b"\x00" + bytes([0, 2] + [0] * 14) + b"\x00\x01"
    dht_ac = b"\x10" + bytes([1] + [0] * 15) + b"\x00"
    sos = b"\x01\x01\x00\x00" + (b"\x00\x00" if progressive else b"\x3f\x00")
    return (b"\xff\xd8" + jpeg_segment(0xDB, dqt) + jpeg_segment(0xC2 if progressive else 0xC0, sof)
            + jpeg_segment(0xC4, dht_dc + dht_ac) + jpeg_segment(0xDA, sos))


BLOCKS = (20000 // 8) ** 2


def jpeg_cut(out, size):
    out.write(jpeg_head(False))
    # Each byte codes two blocks: one step up (01 1, end 0), one step down (01 0, end 0).
    out.write(b"\x64" * min(size, BLOCKS // 2))


def jpeg_scans(out, size):
    out.write(jpeg_head(True))
    # The first scan has only the blocks' first coefficients: 01 1 (one step up), 01 0 (down).
    out.write(b"\x69\xa6\x9a" * min(size // 3, BLOCKS // 8))
    # A scan of the coefficients from 1 down to 0 is impossible: libjpeg gives up on it.
    out.write(jpeg_segment(0xDA, b"\x01\x01\x00\x01\x00\x00") + b"\xff\xd9")


def jpeg_passes(out, scans):
    head = jpeg_head(True)
    # A second table for the other coefficients: the one code 00, a run of 2^14 empty blocks and
    # more as told by 14 further bits (00 10101010101010: 27306 blocks).
    dht_ac = b"\x10" + bytes([0, 1] + [0] * 14) + b"\xe0"
    out.write(head[:-10] + jpeg_segment(0xC4, dht_ac) + head[-10:])  # before the scan header
    out.write(b"\x69\xa6\x9a" * (BLOCKS // 8))
    runs = b"\x2a\xaa" * (BLOCKS // 27306 + 1)
    for _ in range(scans):
        out.write(jpeg_segment(0xDA, b"\x01\x01\x00\x01\x3f\x00") + runs)
    out.write(b"\xff\xd9")


def gif_frames(out, size):
    out.write(b"GIF89a" + struct.pack("<HHBBB", 1, 1, 0x80, 0, 0) + b"\x00\x00\x00\xff\xff\xff")
    # A 1x1 frame: descriptor, code size 2, codes clear, 0, end in two bytes, block end.
    frame = b"\x2c" + struct.pack("<HHHHB", 0, 0, 1, 1, 0) + b"\x02\x02\x44\x01\x00"
    count = max(1, size // len(frame))
    piece = frame * 65536
    for _ in range(count // 65536):
        out.write(piece)
    out.write(frame * (count % 65536) + b"\x3b")


def tiff_tiles(out, size):
    side = min(23170, int((size / 8) ** 0.5) * 16)
    count = ((side + 15) // 16) ** 2
    tile = zlib.compress(bytes(16 * 16), 9)
    tile += b"\x00" * (len(tile) % 2)
    offsets_at = 8 + len(tile)
    counts_at = offsets_at + 4 * count
    directory_at = counts_at + 4 * count
    out.write(b"II*\x00" + struct.pack("<I", directory_at) + tile)
    out.write(struct.pack("<I", 8) * count + struct.pack("<I", len(tile)) * count)
    # Width, height, 8 bits, deflate, gray, one sample, the tiles' side, offsets, lengths.
    entries = [(256, 4, 1, side), (257, 4, 1, side), (258, 3, 1, 8), (259, 3, 1, 8),
               (262, 3, 1, 1), (277, 3, 1, 1), (322, 4, 1, 16), (323, 4, 1, 16),
               (324, 4, count, offsets_at), (325, 4, count, counts_at)]
    out.write(struct.pack("<H", len(entries)))
    for entry in entries:
        out.write(struct.pack("<HHII", *entry))
    out.write(struct.pack("<I", 0))


KINDS = {"png-tail": png_tail, "png-empty": png_empty, "png-chunks": png_chunks,
         "png-cut": png_cut, "jpeg-cut": jpeg_cut, "jpeg-scans": jpeg_scans,
         "jpeg-passes": jpeg_passes, "gif-frames": gif_frames, "tiff-tiles": tiff_tiles}

if __name__ == "__main__":
    if len(sys.argv) != 4 or sys.argv[1] not in KINDS:
        sys.exit(__doc__)
    with open(sys.argv[3], "wb") as f:
        amount = float(sys.argv[2])
        KINDS[sys.argv[1]](f, int(amount if sys.argv[1] == "jpeg-passes" else amount * MB))
