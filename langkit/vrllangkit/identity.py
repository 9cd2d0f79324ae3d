"""Who a language server is: module and class names, ProgIDs, CLSID and
LIBID, resource language, and the fixed values it reports. Kept in a
language folder as language.json, which later build steps read as well.

A new language's GUIDs are derived (UUID version 5) from one fixed
namespace and the module name, so that deriving them again gives the same
ones; a folder may also pin GUIDs of its own, as the Spanish one does.
The installer's codes of a language's product (upgrade codes and component
GUIDs, one per package flavour) are derived the same way, unless the folder
pins them under productCodes, as the Spanish one does: installed products
carry the codes they were first shipped with."""

import json
import locale
import re
import unicodedata
import uuid
from dataclasses import asdict, dataclass
from pathlib import Path

from translate.lang import data as language_data

from .problems import ERROR, Problem, Refused

# The namespace of every derived GUID of the kit. Never change it: the
# registry of installed servers depends on it.
GUID_NAMESPACE = uuid.UUID("6b1f0c7e-3a52-4d8e-9c41-2f7a05d3e8b9")
MODULE_PREFIX = "VrlDiscoveryRes"
# qps-ploc, the pseudo-locale of the platform.
PSEUDO_TAG = "qps-ploc"
PSEUDO_RESOURCE_LANGUAGE = 0x0501

_BRACED_GUID = re.compile(r"\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\}")
# ProgIDs and module names: letters and digits only, starting with a letter.
_PLAIN_NAME = re.compile(r"[A-Za-z][A-Za-z0-9]*")


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
    # Pinned installer codes, or None when they are derived.
    product_codes: "ProductCodes | None" = None

    @property
    def rc_language(self):
        """The resource language as the LANGUAGE statement of a resource
        script takes it: primary, sub."""
        return self.resource_language & 0x3FF, self.resource_language >> 10


# The package flavours: per machine for each registry view, and per user.
PACKAGE_FLAVOURS = ("x86", "x64", "user")
MACHINE_FLAVOURS = ("x86", "x64")


@dataclass(frozen=True)
class ProductCodes:
    """A product's installer codes, each a map of package flavour to GUID.
    The ProgID and type library components hold what both registry views
    share, so both per-machine flavours have the same one."""

    upgrade_code: dict
    server_component: dict
    progid_component: dict
    typelib_component: dict


_PRODUCT_CODE_KEYS = {
    "upgrade_code": "upgradeCode",
    "server_component": "serverComponent",
    "progid_component": "progIdComponent",
    "typelib_component": "typeLibComponent",
}
# The components that both per-machine flavours share.
_SHARED_COMPONENTS = ("progid_component", "typelib_component")
# An optional key of the file.
PRODUCT_CODES_KEY = "productCodes"


def derived_product_codes(module):
    """The installer codes of a module that pins none of its own."""
    def derived(purpose, shared):
        return {flavour: derived_guid(f"{module}/{purpose}/{'x86' if shared and flavour in MACHINE_FLAVOURS else flavour}")
                for flavour in PACKAGE_FLAVOURS}
    return ProductCodes(
        upgrade_code=derived("upgrade", False),
        server_component=derived("server-component", False),
        progid_component=derived("progid-component", True),
        typelib_component=derived("typelib-component", True),
    )


def product_codes(identity):
    """The identity's installer codes: pinned, or else derived."""
    return identity.product_codes or derived_product_codes(identity.module)


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


# The GUIDs that every server shares or calls on: no server's CLSID or LIBID
# may be one of them.
LOCALIZATION_CATID = "{8F16D2A9-3C5E-4B71-A0D8-E2479B6C5F13}"
SHARED_GUIDS = {
    "{E7092C4D-B18F-4A53-9C6E-2F8D41B07A95}": "the sibling library vrllocale.tlb's LIBID",
    "{41B7E3F0-95C2-4D6A-8E19-B3F05A72C6D8}": "the interface ILocaleResources's IID",
    LOCALIZATION_CATID: "the localization category's CATID",
    "{0002E005-0000-0000-C000-000000000046}": "the platform's component categories manager's CLSID",
    "{0002E012-0000-0000-C000-000000000046}": "the platform's category registration IID",
    "{0002E013-0000-0000-C000-000000000046}": "the platform's category information IID",
}
# Language tags as BCP 47 writes them: subtags of letters and digits.
_TAG = re.compile(r"[A-Za-z]{2,8}(-[A-Za-z0-9]{1,8})*")
_HEX_LANGUAGE = re.compile(r"0x[0-9A-Fa-f]{1,4}")
_TEXT_FIELDS = ("tag", "module", "class_name", "prog_id", "versioned_prog_id", "clsid", "libid",
                "language_name", "font", "version_text", "help_file")
# What the platform's own texts hold: a font face name has 31 characters.
_LONGEST_FIELD = {"font": 31, "language_name": 64, "version_text": 64, "help_file": 260}
_LONGEST_NAME = 100


def _printable(text):
    return all(unicodedata.category(character)[0] != "C" for character in text)


def identity_problems(identity):
    """What is wrong with an identity, as messages; empty when nothing is."""
    found = []
    if not _TAG.fullmatch(identity.tag):
        found.append(f"tag {identity.tag!r} is not a language tag (letters, digits and '-', as fr-FR)")
    for field, longest in _LONGEST_FIELD.items():
        value = getattr(identity, field)
        if not _printable(value) or not value.strip():
            found.append(f"{_KEYS[field]} {value!r} is empty or holds control characters")
        elif len(value) > longest:
            found.append(f"{_KEYS[field]} is longer than {longest} characters")
    for field in ("module", "class_name"):
        value = getattr(identity, field)
        if not _PLAIN_NAME.fullmatch(value) or len(value) > _LONGEST_NAME:
            found.append(f"{_KEYS[field]} {value!r} is not ASCII letters and digits, starting with a letter")
    prefix = identity.module + "."
    if not identity.prog_id.startswith(prefix) or not _PLAIN_NAME.fullmatch(identity.prog_id[len(prefix):]):
        found.append(f"progId {identity.prog_id!r} is not {identity.module}.<ASCII letters and digits>")
    if identity.versioned_prog_id != identity.prog_id + ".1":
        found.append(f"versionedProgId {identity.versioned_prog_id!r} is not {identity.prog_id}.1")
    for name in ("clsid", "libid"):
        value = getattr(identity, name)
        if not _BRACED_GUID.fullmatch(value):
            found.append(f"{_KEYS[name]} {value!r} is not a braced upper-case GUID")
        elif value in SHARED_GUIDS:
            found.append(f"{_KEYS[name]} {value} is {SHARED_GUIDS[value]}")
    if identity.clsid == identity.libid:
        found.append("clsid and libid are the same GUID")
    if not 0 < identity.resource_language <= 0xFFFF:
        found.append(f"resourceLanguage {identity.resource_language:#x} is not a 16-bit language id")
    if not 0 <= identity.reported_primary_language <= 0x3FF:
        found.append(f"reportedPrimaryLanguage {identity.reported_primary_language} is not a primary language id (0-1023)")
    if not 0 <= identity.reported_sub_language <= 0x3F:
        found.append(f"reportedSubLanguage {identity.reported_sub_language} is not a sublanguage id (0-63)")
    if len(identity.numbers) != 3 or not all(0 <= number <= 0x7FFFFFFF for number in identity.numbers):
        found.append("numbers must be three whole numbers from 0 to 2147483647")
    return found


def _is_whole_number(value):
    return isinstance(value, int) and not isinstance(value, bool)


def _typed_values(document):
    """The identity's values from the parsed file, or the messages of what
    has the wrong type."""
    if not isinstance(document, dict):
        return None, ["not a JSON object"]
    found = []
    missing = [key for key in _KEYS.values() if key not in document]
    if missing:
        found.append(f"missing {', '.join(missing)}")
    unknown = sorted(set(document) - set(_KEYS.values()) - {PRODUCT_CODES_KEY})
    if unknown:
        found.append(f"unknown key{'s' if len(unknown) > 1 else ''} {', '.join(unknown)}")
    values = {}
    for field, key in _KEYS.items():
        if key not in document:
            continue
        value = document[key]
        if field in _TEXT_FIELDS:
            if not isinstance(value, str):
                found.append(f"{key} must be a string")
                continue
        elif field == "resource_language":
            if not isinstance(value, str) or not _HEX_LANGUAGE.fullmatch(value):
                found.append(f"{key} must be a string 0xNNNN")
                continue
            value = int(value, 16)
        elif field == "numbers":
            if not isinstance(value, list) or not all(_is_whole_number(number) for number in value):
                found.append(f"{key} must be a list of three whole numbers")
                continue
            value = tuple(value)
        elif not _is_whole_number(value):
            found.append(f"{key} must be a whole number")
            continue
        values[field] = value
    if PRODUCT_CODES_KEY in document:
        codes, code_problems = _typed_product_codes(document[PRODUCT_CODES_KEY])
        found += code_problems
        if codes:
            values["product_codes"] = codes
    return values, found


def _typed_product_codes(document):
    """The pinned installer codes, or the messages of what is wrong with them."""
    if not isinstance(document, dict) or set(document) != set(_PRODUCT_CODE_KEYS.values()):
        return None, [f"{PRODUCT_CODES_KEY} must be an object of {', '.join(_PRODUCT_CODE_KEYS.values())}"]
    found = []
    codes = {}
    for field, key in _PRODUCT_CODE_KEYS.items():
        name = f"{PRODUCT_CODES_KEY}.{key}"
        by_flavour = document[key]
        if not isinstance(by_flavour, dict) or set(by_flavour) != set(PACKAGE_FLAVOURS):
            found.append(f"{name} must be an object of {', '.join(PACKAGE_FLAVOURS)}")
            continue
        wrong = [flavour for flavour in PACKAGE_FLAVOURS
                 if not isinstance(by_flavour[flavour], str) or not _BRACED_GUID.fullmatch(by_flavour[flavour])]
        if wrong:
            found += [f"{name}.{flavour} must be a braced upper-case GUID" for flavour in wrong]
        elif field in _SHARED_COMPONENTS and by_flavour["x86"] != by_flavour["x64"]:
            found.append(f"{name}: x86 and x64 must be the same GUID (both registry views share the component)")
        else:
            codes[field] = {flavour: by_flavour[flavour] for flavour in PACKAGE_FLAVOURS}
    return (None, found) if found else (ProductCodes(**codes), [])


class IdentityRefused(Refused, ValueError):
    """A language.json that cannot be used, with its problems."""


def _refused(path, messages, line=None):
    return IdentityRefused([Problem(ERROR, str(path), line, None, message) for message in messages])


def load_identity(path):
    """The identity in the JSON file at path; IdentityRefused (a ValueError)
    names what is wrong, as "FILE: error: ..." or "FILE:LINE: error: ..."."""
    try:
        data = Path(path).read_bytes()
    except OSError as error:
        raise _refused(path, [f"cannot be read: {error.strerror}"]) from None
    try:
        document = json.loads(data.decode("utf-8"))
    except UnicodeDecodeError as error:
        line = data[: error.start].count(b"\n") + 1
        raise _refused(path, [f"not UTF-8 (byte {data[error.start]:#04x})"], line) from None
    except json.JSONDecodeError as error:
        raise _refused(path, [f"not well-formed JSON: {error.msg}"], error.lineno) from None
    except RecursionError:
        raise _refused(path, ["not well-formed JSON: nested too deeply"]) from None
    values, found = _typed_values(document)
    if not found:
        found = identity_problems(Identity(**values))
    if found:
        raise _refused(path, found)
    return Identity(**values)


def identity_document(identity):
    """The identity as the text of language.json."""
    values = asdict(identity)
    values["resource_language"] = f"0x{identity.resource_language:04X}"
    values["numbers"] = list(identity.numbers)
    document = {key: values[field] for field, key in _KEYS.items()}
    if identity.product_codes:
        document[PRODUCT_CODES_KEY] = {key: getattr(identity.product_codes, field)
                                       for field, key in _PRODUCT_CODE_KEYS.items()}
    return json.dumps(document, indent=2, ensure_ascii=False) + "\n"


def derived_guid(name, namespace=GUID_NAMESPACE):
    """The GUID of a name in a namespace (a UUID, or a GUID's text), braced
    and upper case, the same on every run (UUID version 5). The kit's names
    are a module's purposes: "VrlDiscoveryResFR/clsid", ..."""
    return "{" + str(uuid.uuid5(uuid.UUID(str(namespace)), name)).upper() + "}"


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


# Letters that Unicode does not decompose into an ASCII letter and marks.
_ASCII_LETTERS = str.maketrans({
    "ø": "o", "Ø": "O", "æ": "ae", "Æ": "AE", "œ": "oe", "Œ": "OE", "ß": "ss", "ẞ": "SS",
    "ł": "l", "Ł": "L", "đ": "d", "Đ": "D", "ð": "d", "Ð": "D", "þ": "th", "Þ": "TH",
    "ı": "i", "ħ": "h", "Ħ": "H", "ŧ": "t", "Ŧ": "T", "ŋ": "n", "Ŋ": "N", "ĸ": "k",
})


def ascii_letters(text):
    """text with its letters in ASCII: accents dropped (å -> a, ñ -> n), and
    ø, æ, ß, ł, đ, ... spelt out. ValueError names a letter that has no
    ASCII form."""
    decomposed = unicodedata.normalize("NFKD", text.translate(_ASCII_LETTERS))
    kept = "".join(character for character in decomposed if not unicodedata.combining(character))
    foreign = sorted({character for character in kept if not character.isascii()})
    if foreign:
        raise ValueError(f"{text!r}: no ASCII form is known for {', '.join(foreign)}")
    return kept


def module_suffix(name):
    """The module suffix of a --name (ASCII letters and digits, upper case);
    ValueError when it is anything else."""
    suffix = ascii_letters(name).upper()
    if not _PLAIN_NAME.fullmatch(suffix):
        raise ValueError(f"--name {name!r} is not letters and digits, starting with a letter")
    if len(MODULE_PREFIX + suffix) > _LONGEST_NAME:
        raise ValueError(f"--name {name!r} is too long")
    return suffix


def language_tag(tag):
    """tag, when it is a BCP 47 language tag; ValueError otherwise."""
    if not _TAG.fullmatch(tag):
        raise ValueError(f"{tag!r} is not a language tag (letters, digits and '-', as fr-FR)")
    return tag


def derive_identity(tag, suffix, template):
    """A new language's identity: names from its tag and the module suffix
    (ES, FR, ...), GUIDs derived from the module name, and the font, numbers
    and version text of template, the source language's identity."""
    module = MODULE_PREFIX + suffix
    name = english_language_name(tag)
    class_word = re.sub(r"[^A-Za-z0-9]", "", ascii_letters(name).title())
    language_id = windows_language_id(tag)
    prog_id = f"{module}.{class_word}Resources"
    return Identity(
        tag=tag,
        module=module,
        class_name=f"VrlDiscovery{class_word}Resources",
        prog_id=prog_id,
        versioned_prog_id=prog_id + ".1",
        clsid=derived_guid(f"{module}/clsid"),
        libid=derived_guid(f"{module}/libid"),
        resource_language=language_id,
        reported_primary_language=language_id & 0x3FF,
        reported_sub_language=language_id >> 10,
        language_name=name,
        font=template.font,
        numbers=template.numbers,
        version_text=template.version_text,
        help_file=f".\\Help\\VrlDiscovery{suffix}.hlp",
    )
