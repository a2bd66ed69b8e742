#!/usr/bin/env python3
"""Writes picture files that cost far more than their size, or lie about it, into the
folder given as the first argument. Each file's name says what the loader must do:
ok_*  loads, refuse_*  is refused, any_*  may load or be refused but must stay within
the limits. The second part of the name is the picture's declared pixel count in
millions where that matters (used for the memory bound)."""
import os
import struct
import sys
import zlib


def png_chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data +
            struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def png(width, height, colour_type=2, rows=None, truncate=None):
    ihdr = struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)
    out = b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr)
    if rows is not None:
        out += png_chunk(b"IDAT", rows)
    out += png_chunk(b"IEND", b"")
    return out[:truncate] if truncate else out


def flat_png_rows(width, height, channels):
    """Zero rows (filter byte + pixels), compressed in pieces to keep memory low."""
    comp = zlib.compressobj(9)
    row = b"\x00" * (1 + width * channels)
    parts = []
    block = row * 256
    full, rest = divmod(height, 256)
    for _ in range(full):
        parts.append(comp.compress(block))
    parts.append(comp.compress(row * rest))
    parts.append(comp.flush())
    return b"".join(parts)


def jpeg_scan_bomb(width, height, scans):
    """A progressive JPEG header followed by many (nearly) empty scans: every scan walks
    the whole picture in the decoder."""
    soi = b"\xff\xd8"
    dqt = b"\xff\xdb" + struct.pack(">H", 67) + b"\x00" + bytes([1] * 64)
    sof2 = b"\xff\xc2" + struct.pack(">HBHHB", 11, 8, height, width, 1) + b"\x01\x11\x00"
    # One DC and one AC table, each with one code of length 1 for symbol 0.
    dht = (b"\xff\xc4" + struct.pack(">H", 2 + 17 * 2 + 2) +
           b"\x00" + bytes([1] + [0] * 15) + b"\x00" +
           b"\x10" + bytes([1] + [0] * 15) + b"\x00")
    first = b"\xff\xda" + struct.pack(">HB", 8, 1) + b"\x01\x00" + b"\x00\x00\x00" + b"\x00"
    refine = b"\xff\xda" + struct.pack(">HB", 8, 1) + b"\x01\x00" + b"\x01\x3f\x00" + b"\x00"
    return soi + dqt + sof2 + dht + first + refine * (scans - 1) + b"\xff\xd9"


def gif(screen_w, screen_h, image_w, image_h):
    head = b"GIF89a" + struct.pack("<HHBBB", screen_w, screen_h, 0x80, 0, 0) + b"\x00" * 6
    desc = b"," + struct.pack("<HHHHB", 0, 0, image_w, image_h, 0)
    return head + desc + b"\x02\x02\x44\x01\x00;"


def bmp(width, height):
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, 0, 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + 40 + 16, 0, 0, 54) + info + b"\x00" * 16


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    files = {
        # Declared sizes beyond the budget, in every format the reader knows.
        "refuse_png_declares_100000x100000.png": png(100000, 100000, truncate=33),
        "refuse_png_declares_2147483647x1.png": png(2147483647, 1, truncate=33),
        "refuse_bmp_declares_100000x100000.bmp": bmp(100000, 100000),
        "refuse_bmp_declares_negative.bmp": bmp(-2147483647, -2147483647),
        "refuse_gif_declares_65535x65535.gif": gif(65535, 65535, 65535, 65535),
        "refuse_ppm_declares_100000x100000.ppm": b"P6\n100000 100000\n255\n" + b"\x00" * 30,
        "refuse_pgm_declares_100000x100000.pgm": b"P5\n100000 100000\n255\n" + b"\x00" * 30,
        "refuse_pbm_declares_200000x200000.pbm": b"P4\n200000 200000\n" + b"\x00" * 30,
        "refuse_xbm_declares_100000x100000.xbm":
            b"#define x_width 100000\n#define x_height 100000\nstatic char x_bits[] = {0x00};\n",
        "refuse_xpm_declares_100000x100000.xpm":
            b'/* XPM */\nstatic char *x[] = {\n"100000 100000 1 1",\n"a c #000000",\n"a"};\n',
        "refuse_jpeg_declares_65500x65500.jpg": jpeg_scan_bomb(65500, 65500, 2),
        # Scan bombs: small files, a decoder busy for minutes.
        "refuse_jpeg_1000_scans_16000x16000.jpg": jpeg_scan_bomb(16000, 16000, 1000),
        "refuse_jpeg_600_scans_64x64.jpg": jpeg_scan_bomb(64, 64, 600),
        "refuse_jpeg_40_scans_16000x16000.jpg": jpeg_scan_bomb(16000, 16000, 40),
        # Not pictures at all.
        "refuse_empty.png": b"",
        "refuse_text.png": b"this is not a picture\n" * 10,
        "refuse_png_signature_only.png": b"\x89PNG\r\n\x1a\n",
        # Within the limits: must load, and cost one copy of the picture.
        "ok_256_png_16000x16000.png": png(16000, 16000, 2, flat_png_rows(16000, 16000, 3)),
        "ok_256_png_rgba_16000x16000.png": png(16000, 16000, 6, flat_png_rows(16000, 16000, 4)),
        "ok_1_jpeg_few_scans_1000x1000.jpg": jpeg_scan_bomb(1000, 1000, 10),
        # Broken in the middle: a partial picture or a refusal, never more.
        "any_256_gif_tiny_16000x16000.gif": gif(16000, 16000, 16000, 16000),
        "any_1_png_truncated_1000x1000.png": png(1000, 1000, 2, flat_png_rows(1000, 1000, 3),
                                                 truncate=60),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
