"""What a built language server file holds, read from its resources with
pefile (no code of it runs): its string table, in whichever resource
language and block layout, its registry script and its version block."""

import re
from dataclasses import dataclass, field

import pefile

RT_STRING = pefile.RESOURCE_TYPE["RT_STRING"]
STRINGS_PER_BLOCK = 16
REGISTRY_SCRIPT = ("REGISTRY", 1001)
_GUID = r"\{[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}\}"


class NotAServer(ValueError):
    """A file that is no PE file, or no language server."""


@dataclass
class RegistryFacts:
    clsid: str | None = None
    prog_id: str | None = None
    versioned_prog_id: str | None = None


@dataclass
class ServerResources:
    texts: dict = field(default_factory=dict)  # string id -> text
    text_languages: set = field(default_factory=set)  # the resource languages of the string blocks
    has_type_library: bool = False
    registry: RegistryFacts | None = None
    version: dict = field(default_factory=dict)  # the version block's strings
    machine: int = 0


def _named(entry, wanted):
    return str(entry.name) == wanted if entry.name is not None else entry.id == wanted


def _string_block(block_id, data):
    """The texts of one block, never reading past its data."""
    texts, at = {}, 0
    for slot in range(STRINGS_PER_BLOCK):
        if at + 2 > len(data):
            break
        length = int.from_bytes(data[at:at + 2], "little")
        at += 2
        if length:
            texts[(block_id - 1) * STRINGS_PER_BLOCK + slot] = data[at:at + 2 * length].decode("utf-16-le", "replace")
        at += 2 * length
    return texts


def registry_facts(script):
    """The CLSID and ProgIDs that a server's registry script names for its class."""
    clsid = re.search(rf"ForceRemove\s+({_GUID})", script) or re.search(rf"CLSID\s*=\s*s\s*'({_GUID})'", script)
    prog_id = re.search(r"VersionIndependentProgID\s*=\s*s\s*'([^']+)'", script)
    versioned = re.search(r"\bProgID\s*=\s*s\s*'([^']+)'", script)
    return RegistryFacts(clsid.group(1).upper() if clsid else None, prog_id.group(1) if prog_id else None,
                         versioned.group(1) if versioned else None)


def read_server_resources(path):
    """The resources of the file at path; NotAServer names what it lacks."""
    try:
        image = pefile.PE(str(path), fast_load=True)
        image.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    except pefile.PEFormatError as error:
        raise NotAServer(f"{path}: error: not a PE file ({error.value})") from None
    found = ServerResources(machine=image.FILE_HEADER.Machine)
    directory = getattr(image, "DIRECTORY_ENTRY_RESOURCE", None)
    for kind in directory.entries if directory else []:
        for named in kind.directory.entries:
            for language in named.directory.entries:
                data = image.get_data(language.data.struct.OffsetToData, language.data.struct.Size)
                if kind.id == RT_STRING and named.id:
                    for text_id, text in _string_block(named.id, data).items():
                        found.texts.setdefault(text_id, text)
                    found.text_languages.add(language.id)
                elif _named(kind, "TYPELIB"):
                    found.has_type_library = True
                elif _named(kind, REGISTRY_SCRIPT[0]) and _named(named, REGISTRY_SCRIPT[1]):
                    found.registry = registry_facts(data.decode("latin-1"))
    image.parse_data_directories()
    for info in getattr(image, "FileInfo", None) or []:
        for block in info:
            for table in getattr(block, "StringTable", []):
                found.version.update({key.decode(errors="replace"): value.decode(errors="replace")
                                      for key, value in table.entries.items()})
    if not found.texts:
        raise NotAServer(f"{path}: error: not a language server (no string table)")
    if not found.has_type_library:
        raise NotAServer(f"{path}: error: not a language server (no type library)")
    return found
