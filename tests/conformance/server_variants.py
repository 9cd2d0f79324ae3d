"""Broken copies of a language server file, made by editing its resources in
place with pefile: each keeps the file's layout and changes one thing."""

import shutil
from pathlib import Path

import pefile

RT_STRING = pefile.RESOURCE_TYPE["RT_STRING"]
STRINGS_PER_BLOCK = 16


def _resource_span(image, kind, name):
    """(file offset, size) of the first language of resource kind/name."""
    for entry in image.DIRECTORY_ENTRY_RESOURCE.entries:
        if (entry.name and str(entry.name) == kind) or entry.id == kind:
            for named in entry.directory.entries:
                if (named.name and str(named.name) == name) or named.id == name:
                    data = named.directory.entries[0].data.struct
                    return image.get_offset_from_rva(data.OffsetToData), data.Size
    raise LookupError(f"no resource {kind}/{name}")


def _copy(source, target):
    shutil.copyfile(source, target)
    return bytearray(Path(target).read_bytes())


def _string_block(blob, offset, size):
    texts, at = [], offset
    for _ in range(STRINGS_PER_BLOCK):
        length = int.from_bytes(blob[at:at + 2], "little")
        texts.append(blob[at + 2:at + 2 + 2 * length].decode("utf-16-le"))
        at += 2 + 2 * length
    return texts


def _write_string_block(blob, offset, size, texts):
    data = b"".join(len(t).to_bytes(2, "little") + t.encode("utf-16-le") for t in texts)
    if len(data) > size:
        raise ValueError("a text edit may only shorten the block")
    blob[offset:offset + size] = data + bytes(size - len(data))


def edit_text(source, target, string_id, edit):
    """A copy whose text string_id is edit(text); the edit may only shorten it."""
    blob = _copy(source, target)
    image = pefile.PE(data=bytes(blob))
    offset, size = _resource_span(image, RT_STRING, string_id // STRINGS_PER_BLOCK + 1)
    texts = _string_block(blob, offset, size)
    texts[string_id % STRINGS_PER_BLOCK] = edit(texts[string_id % STRINGS_PER_BLOCK])
    _write_string_block(blob, offset, size, texts)
    Path(target).write_bytes(blob)


def edit_registry_script(source, target, old, new):
    """A copy whose registry script has `old` replaced by `new`, of the same length."""
    if len(old) != len(new):
        raise ValueError("the script keeps its length")
    blob = _copy(source, target)
    image = pefile.PE(data=bytes(blob))
    offset, size = _resource_span(image, "REGISTRY", 1001)
    script = bytes(blob[offset:offset + size])
    if old.encode() not in script:
        raise LookupError(f"the script has no {old!r}")
    blob[offset:offset + size] = script.replace(old.encode(), new.encode())
    Path(target).write_bytes(blob)


def without_type_library(source, target):
    """A copy whose TYPELIB resource type is renamed, so that it has none."""
    blob = _copy(source, target)
    name = len("TYPELIB").to_bytes(2, "little") + "TYPELIB".encode("utf-16-le")
    at = blob.find(name)
    if at < 0:
        raise LookupError("no TYPELIB resource type")
    blob[at:at + len(name)] = len("TYPELIX").to_bytes(2, "little") + "TYPELIX".encode("utf-16-le")
    Path(target).write_bytes(blob)


def of_other_bitness(source, target):
    """A copy that says it is for the other machine type."""
    image = pefile.PE(str(source))
    image.FILE_HEADER.Machine = 0x14C if image.FILE_HEADER.Machine == 0x8664 else 0x8664
    image.write(str(target))


def registry_script(path):
    image = pefile.PE(str(path))
    offset, size = _resource_span(image, "REGISTRY", 1001)
    return Path(path).read_bytes()[offset:offset + size].decode("latin-1")
