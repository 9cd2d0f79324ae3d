"""Who a language server is: module and class names, ProgIDs, CLSID and
LIBID, resource language, and the fixed values it reports. Kept in a
language folder as language.json, which later build steps read as well.

A new language's GUIDs are derived (UUID version 5) from one fixed
namespace and the module name, so that deriving them again gives the same
ones; a folder may also pin GUIDs of its own, as the Spanish one does."""

import json
import locale
import re
import uuid
from dataclasses import asdict, dataclass

from translate.lang import data as language_data

# The namespace of every derived GUID of the kit. Never change it: the
# registry of installed servers depends on it.
GUID_NAMESPACE = uuid.UUID("6b1f0c7e-3a52-4d8e-9c41-2f7a05d3e8b9")
MODULE_PREFIX = "VrlDiscoveryRes"
# qps-ploc, the pseudo-locale of the platform.
PSEUDO_TAG = "qps-ploc"
PSEUDO_RESOURCE_LANGUAGE = 0x0501

_BRACED_GUID = re.compile(r"^\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\}$")
# ProgIDs and module names: letters and digits only, starting with a letter.
_PLAIN_NAME = re.compile(r"^[A-Za-z][A-Za-z0-9]*$")


@dataclass(frozen=True)
class Identity:
    tag: str
    module: str
    class_name: str
    prog_id: str
    versioned_prog_id: str
    clsid: str
    libid: str
    resource_language: int
    reported_primary_language: int
    reported_sub_language: int
    language_name: str
    font: str
    numbers: tuple
    version_text: str
    help_file: str

    @property
    def rc_language(self):
        """The resource language as the LANGUAGE statement of a resource
        script takes it: primary, sub."""
        return self.resource_language & 0x3FF, self.resource_language >> 10


# The file's keys, in the order the file lists them.
_KEYS = {
    "tag": "tag",
    "module": "module",
    "class_name": "className",
    "prog_id": "progId",
    "versioned_prog_id": "versionedProgId",
    "clsid": "clsid",
    "libid": "libid",
    "resource_language": "resourceLanguage",
    "reported_primary_language": "reportedPrimaryLanguage",
    "reported_sub_language": "reportedSubLanguage",
    "language_name": "languageName",
    "font": "font",
    "numbers": "numbers",
    "version_text": "versionText",
    "help_file": "helpFile",
}


def identity_problems(identity):
    """What is wrong with an identity, as messages; empty when nothing is."""
    found = []
    if not _PLAIN_NAME.match(identity.module):
        found.append(f"module name {identity.module!r} is not letters and digits")
    if not _PLAIN_NAME.match(identity.class_name):
        found.append(f"class name {identity.class_name!r} is not letters and digits")
    prefix = identity.module + "."
    if not identity.prog_id.startswith(prefix) or not _PLAIN_NAME.match(identity.prog_id[len(prefix):]):
        found.append(f"ProgID {identity.prog_id!r} is not {identity.module}.<letters and digits>")
    if identity.versioned_prog_id != identity.prog_id + ".1":
        found.append(f"versioned ProgID {identity.versioned_prog_id!r} is not {identity.prog_id}.1")
    for name in ("clsid", "libid"):
        if not _BRACED_GUID.match(getattr(identity, name)):
            found.append(f"{_KEYS[name]} {getattr(identity, name)!r} is not a braced upper-case GUID")
    if identity.clsid == identity.libid:
        found.append("clsid and libid are the same GUID")
    if not 0 < identity.resource_language <= 0xFFFF:
        found.append(f"resource language {identity.resource_language:#x} is not a 16-bit language id")
    if len(identity.numbers) != 3 or not all(isinstance(n, int) for n in identity.numbers):
        found.append("numbers must be three whole numbers")
    return found


def load_identity(path):
    """The identity in the JSON file at path; ValueError names what is wrong."""
    with open(path, encoding="utf-8") as file:
        document = json.load(file)
    missing = [key for key in _KEYS.values() if key not in document]
    if missing:
        raise ValueError(f"{path}: missing {', '.join(missing)}")
    values = {field: document[key] for field, key in _KEYS.items()}
    values["resource_language"] = int(values["resource_language"], 16)
    values["numbers"] = tuple(values["numbers"])
    identity = Identity(**values)
    problems = identity_problems(identity)
    if problems:
        raise ValueError(f"{path}: " + "; ".join(problems))
    return identity


def identity_document(identity):
    """The identity as the text of language.json."""
    values = asdict(identity)
    values["resource_language"] = f"0x{identity.resource_language:04X}"
    values["numbers"] = list(identity.numbers)
    return json.dumps({key: values[field] for field, key in _KEYS.items()}, indent=2, ensure_ascii=False) + "\n"


def derived_guid(module, purpose):
    """The GUID of a module for one purpose ("clsid", "libid", ...), braced
    and upper case, the same on every run."""
    return "{" + str(uuid.uuid5(GUID_NAMESPACE, f"{module}/{purpose}")).upper() + "}"


def windows_language_id(tag):
    """The platform's language id of a tag like fr-FR; ValueError if it has none."""
    if tag.lower() == PSEUDO_TAG:
        return PSEUDO_RESOURCE_LANGUAGE
    wanted = tag.replace("-", "_").lower()
    for language_id, name in sorted(locale.windows_locale.items()):
        if name.lower() == wanted:
            return language_id
    raise ValueError(f"no Windows language id is known for {tag!r}")


def english_language_name(tag):
    if tag.lower() == PSEUDO_TAG:
        return "Pseudo"
    primary = tag.split("-")[0].lower()
    if primary not in language_data.languages:
        raise ValueError(f"no language name is known for {tag!r}")
    # "Spanish; Castilian" -> "Spanish", "Greek, Modern (1453-)" -> "Greek"
    return re.split(r"[;,(]", language_data.languages[primary][0])[0].strip()


def derive_identity(tag, suffix, template):
    """A new language's identity: names from its tag and the module suffix
    (ES, FR, ...), GUIDs derived from the module name, and the font, numbers
    and version text of template, the source language's identity."""
    module = MODULE_PREFIX + suffix
    name = english_language_name(tag)
    class_word = re.sub(r"[^A-Za-z0-9]", "", name.title())
    language_id = windows_language_id(tag)
    prog_id = f"{module}.{class_word}Resources"
    return Identity(
        tag=tag,
        module=module,
        class_name=f"VrlDiscovery{class_word}Resources",
        prog_id=prog_id,
        versioned_prog_id=prog_id + ".1",
        clsid=derived_guid(module, "clsid"),
        libid=derived_guid(module, "libid"),
        resource_language=language_id,
        reported_primary_language=language_id & 0x3FF,
        reported_sub_language=language_id >> 10,
        language_name=name,
        font=template.font,
        numbers=template.numbers,
        version_text=template.version_text,
        help_file=f".\\Help\\VrlDiscovery{suffix}.hlp",
    )
