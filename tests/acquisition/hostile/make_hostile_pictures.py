#!/usr/bin/env python3
"""Writes picture files that cost far more than their size, or lie about it, into the
folder given as the first argument. Each file's name says what the loader must do:
ok_*  loads, refuse_*  is refused, any_*  may load or be refused but must stay within
the limits. The second part of the name is the picture's declared pixel count in
millions where that matters (used for the memory bound); for a TIFF or an AVIF, whose
decoder holds a picture of its own form until ours is made from it, the millions of
32-bit pixels the two take together. The AVIF files start from pictures ImageMagick writes."""
import os
import struct
import subprocess
import sys
import tempfile
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


def deflate_zeros(n):
    """n zero bytes, deflated in pieces to keep memory low."""
    comp = zlib.compressobj(9)
    block = b"\x00" * (1 << 20)
    parts = [comp.compress(block) for _ in range(n >> 20)]
    parts.append(comp.compress(b"\x00" * (n & ((1 << 20) - 1))))
    parts.append(comp.flush())
    return b"".join(parts)


def tiff(width, height, samples=3, strip=b"", pages=1, loop=False):
    """A little-endian TIFF of 8-bit samples, deflated, one strip shared by every page;
    with loop the last page's successor is the first."""
    out = bytearray(b"II*\x00\x00\x00\x00\x00")
    strip_at = len(out)
    out += strip + b"\x00" * (len(strip) % 2)
    bits_at = len(out)
    out += struct.pack("<4H", 8, 8, 8, 8)
    entries = [(256, 4, 1, width), (257, 4, 1, height),
               (258, 3, samples, bits_at if samples > 2 else 8), (259, 3, 1, 8),
               (262, 3, 1, 2 if samples >= 3 else 1), (273, 4, 1, strip_at),
               (277, 3, 1, samples), (278, 4, 1, height), (279, 4, 1, len(strip))]
    if samples in (2, 4):
        entries.append((338, 3, 1, 2))  # unassociated alpha
    ifd_size = 2 + 12 * len(entries) + 4
    first = len(out)
    struct.pack_into("<I", out, 4, first)
    for page in range(pages):
        last = page == pages - 1
        following = (first if loop else 0) if last else len(out) + ifd_size
        out += struct.pack("<H", len(entries))
        for tag, kind, count, value in entries:
            out += struct.pack("<HHIHH" if kind == 3 and count == 1 else "<HHII",
                               tag, kind, count, value, *([0] if kind == 3 and count == 1 else []))
        out += struct.pack("<I", following)
    return bytes(out)


def riff_chunk(kind, data):
    return kind + struct.pack("<I", len(data)) + data + b"\x00" * (len(data) % 2)


def webp(*chunks):
    body = b"WEBP" + b"".join(chunks)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def vp8l_flat(width, height):
    """A lossless WebP bitstream of one colour: each of its five codes has a single
    symbol, so the pixels take no bits at all, whatever the picture's size."""
    bits = []

    def put(value, count):
        bits.extend((value >> i) & 1 for i in range(count))

    put(width - 1, 14)
    put(height - 1, 14)
    put(0, 1)  # no alpha
    put(0, 3)  # version
    put(0, 1)  # no transform
    put(0, 1)  # no colour cache
    put(0, 1)  # no meta codes
    for symbol in (0x40, 0x80, 0xC0, 0xFF, 0):  # green, red, blue, alpha, distance
        put(1, 1)  # simple code
        put(0, 1)  # one symbol
        put(1, 1)  # of eight bits
        put(symbol, 8)
    bits.extend([0] * (-len(bits) % 8))
    data = bytes(sum(bits[i + j] << j for j in range(8)) for i in range(0, len(bits), 8))
    return riff_chunk(b"VP8L", b"\x2f" + data + b"\x00" * 4)


def webp_animation(canvas_w, canvas_h, frames):
    """An animation of 1 x 1 lossless frames on a canvas of the given size."""
    vp8x = riff_chunk(b"VP8X", bytes([0x02, 0, 0, 0]) +
                      (canvas_w - 1).to_bytes(3, "little") + (canvas_h - 1).to_bytes(3, "little"))
    anim = riff_chunk(b"ANIM", b"\x00" * 4 + b"\x00\x00")
    frame = riff_chunk(b"ANMF", b"\x00" * 6 + b"\x00" * 6 + (100).to_bytes(3, "little") +
                       b"\x00" + vp8l_flat(1, 1))
    return webp(vp8x, anim, frame * frames)


def avif_files():
    """AVIF files made from ImageMagick's: the container's declared size changed to a
    huge one, or to a small one over a large AV1 picture, and one cut short."""
    with tempfile.TemporaryDirectory() as tmp:
        def make(size, fill="xc:#336699"):
            path = os.path.join(tmp, "p.avif")
            subprocess.run(["convert", "-size", size, fill, path], check=True)
            with open(path, "rb") as f:
                return f.read()
        small = make("64x64")
        # (dav1d decodes no AV1 picture above 35.6 million pixels, AV1's largest level.)
        large = make("5800x5800")
        middle = make("4000x4000")
        noisy = make("300x200", "plasma:")

    def declaring(data, width, height):
        at = data.find(b"ispe")
        assert at > 0, "no ispe box in ImageMagick's AVIF"
        return data[:at + 8] + struct.pack(">II", width, height) + data[at + 16:]
    return {
        "refuse_avif_declares_100000x100000.avif": declaring(small, 100000, 100000),
        "refuse_avif_declares_16000x16000.avif": declaring(small, 16000, 16000),
        "refuse_avif_5800x5800_declared_64x64.avif": declaring(large, 64, 64),
        "any_1_avif_truncated_300x200.avif": noisy[:len(noisy) * 2 // 3],
        "ok_22_avif_4000x4000.avif": middle,
    }


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for old in os.listdir(out):  # files of an earlier corpus
        os.remove(os.path.join(out, old))
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
        "refuse_webp_declares_30000x30000.webp": webp_animation(30000, 30000, 1),
        "refuse_webp_declares_16777216x16777216.webp": webp_animation(1 << 24, 1 << 24, 1),
        "refuse_tiff_declares_100000x100000.tif": tiff(100000, 100000),
        "refuse_tiff_declares_4294967295x1.tif": tiff(4294967295, 1),
        # Small files whose pictures take the whole budget, and more in the decoder.
        "refuse_webp_flat_16000x16000.webp": webp(vp8l_flat(16000, 16000)),
        "refuse_tiff_one_strip_rgb_16000x16000.tif":
            tiff(16000, 16000, 3, deflate_zeros(16000 * 16000 * 3)),
        # Many frames or pages, or pages without end.
        "refuse_webp_20000_frames.webp": webp_animation(1, 1, 20000),
        "refuse_tiff_20000_pages.tif": tiff(1, 1, 1, deflate_zeros(1), pages=20000),
        "refuse_tiff_pages_in_a_loop.tif": tiff(1, 1, 1, deflate_zeros(1), pages=2, loop=True),
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
        "ok_128_webp_flat_8000x8000.webp": webp(vp8l_flat(8000, 8000)),
        "ok_3_webp_animation_first_of_3.webp": webp_animation(1000, 1000, 3),
        "ok_125_tiff_grey_10000x10000.tif": tiff(10000, 10000, 1, deflate_zeros(10000 * 10000)),
        "ok_112_tiff_one_strip_rgb_8000x8000.tif":
            tiff(8000, 8000, 3, deflate_zeros(8000 * 8000 * 3)),
        "ok_8_tiff_rgba_1000x1000_2_pages.tif": tiff(1000, 1000, 4, deflate_zeros(4000000), pages=2),
        # Broken in the middle: a partial picture or a refusal, never more.
        "any_256_gif_tiny_16000x16000.gif": gif(16000, 16000, 16000, 16000),
        "any_1_png_truncated_1000x1000.png": png(1000, 1000, 2, flat_png_rows(1000, 1000, 3),
                                                 truncate=60),
        "any_1_webp_truncated_1000x1000.webp": webp(vp8l_flat(1000, 1000))[:24],
        "any_1_tiff_truncated_1000x1000.tif":
            tiff(1000, 1000, 1, deflate_zeros(1000000)[:500]),
    }
    files.update(avif_files())
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
