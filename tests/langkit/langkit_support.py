"""What the kit's tests share: the kit run as the build runs it, a scratch
folder per test, and the string table that the resource compiler makes of a
resource script the kit wrote."""

import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
LANGKIT = ROOT / "langkit" / "langkit"
sys.dont_write_bytecode = True
sys.path.insert(0, str(LANGKIT.parent))

from vrllangkit.fitness import read_source  # noqa: E402
from vrllangkit.language import source_folder  # noqa: E402

SOURCE = read_source(source_folder())
WINDRES = "x86_64-w64-mingw32-windres"
RT_STRING = 6


def langkit(*arguments):
    return subprocess.run(
        ["/usr/bin/python3", str(LANGKIT), *map(str, arguments)], capture_output=True, text=True, encoding="utf-8"
    )


class Scratch(unittest.TestCase):
    def setUp(self):
        self.scratch = Path(tempfile.mkdtemp(prefix="langkit-test."))
        self.addCleanup(shutil.rmtree, self.scratch)


def windres(test, script):
    """The .res file that the resource compiler makes of a resource script."""
    res = Path(script).with_suffix(".res")
    result = subprocess.run([WINDRES, "-i", str(script), "-o", str(res), "-O", "res"], capture_output=True, text=True)
    test.assertEqual(result.returncode, 0, result.stderr)
    return res.read_bytes()


def _name(data, offset):
    """A .res header's type or name field: (value, offset after it)."""
    if struct.unpack_from("<H", data, offset)[0] == 0xFFFF:
        return struct.unpack_from("<H", data, offset + 2)[0], offset + 4
    end = offset
    while struct.unpack_from("<H", data, end)[0]:
        end += 2
    return data[offset:end].decode("utf-16-le"), end + 2


def res_string_table(data):
    """{string id: text} of every string block in a .res file."""
    table = {}
    offset = 0
    while offset < len(data):
        size, header_size = struct.unpack_from("<II", data, offset)
        kind, after = _name(data, offset + 8)
        block, _ = _name(data, after)
        body = data[offset + header_size: offset + header_size + size]
        if kind == RT_STRING:
            position = 0
            for index in range(16):
                length = struct.unpack_from("<H", body, position)[0]
                if length:
                    table[(block - 1) * 16 + index] = body[position + 2: position + 2 + 2 * length].decode("utf-16-le")
                position += 2 + 2 * length
        offset += (header_size + size + 3) & ~3
    return table
