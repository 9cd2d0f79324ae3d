"""The text sheet's bitmap (a 32-bit BMP file, as the GDI tool saves it) as a
PNG file, with the standard library only."""

import struct
import zlib

_BMP_SIGNATURE = b"BM"
_PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
_BITS_PER_PIXEL = 32
_RGB_COLOUR_TYPE = 2
_BIT_DEPTH = 8
_NO_FILTER = b"\x00"


def _chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def bmp_to_png(bmp_bytes):
    """The PNG of an uncompressed 32-bit BMP (top-down or bottom-up)."""
    if bmp_bytes[:2] != _BMP_SIGNATURE:
        raise ValueError("not a BMP file")
    offset = struct.unpack_from("<I", bmp_bytes, 10)[0]
    width, height, _, bits, compression = struct.unpack_from("<iiHHI", bmp_bytes, 18)
    if bits != _BITS_PER_PIXEL or compression != 0:
        raise ValueError(f"a {bits}-bit or compressed BMP file")
    stride = width * 4
    rows = [bmp_bytes[offset + row * stride: offset + (row + 1) * stride] for row in range(abs(height))]
    if height > 0:
        rows.reverse()
    raw = b"".join(_NO_FILTER + bytes(value for b, g, r, _ in zip(*[iter(row)] * 4) for value in (r, g, b)) for row in rows)
    header = struct.pack(">IIBBBBB", width, abs(height), _BIT_DEPTH, _RGB_COLOUR_TYPE, 0, 0, 0)
    return _PNG_SIGNATURE + _chunk(b"IHDR", header) + _chunk(b"IDAT", zlib.compress(raw, 9)) + _chunk(b"IEND", b"")
