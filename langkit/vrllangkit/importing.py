"""A language folder made from a built language server file: its texts from
the file's string table, keyed by id against the source language's; its
identity from the registry script, the type library, the version block and
the values its object reports, asked in Wine without registering it."""

import json
import locale
import subprocess
from pathlib import Path, PureWindowsPath

from .exporting import Exported, texts_po_document
from .fitness import MODULE_NAME_ID, read_source
from .identity import MODULE_PREFIX, PSEUDO_RESOURCE_LANGUAGE, PSEUDO_TAG, Identity, identity_problems, language_tag, module_suffix
from .language import source_folder
from .problems import ERROR, NOTE, WARNING, Problem, Refused
from .server_file import NotAServer, read_server_resources

# The machine types of the two bitnesses' files.
_MACHINE_BITS = {0x14C: 32, 0x8664: 64}
_FIXED_VALUES = ("clsid", "className", "libid", "languageName", "font", "versionText", "helpFile",
                 "reportedPrimaryLanguage", "reportedSubLanguage", "numbers")


def default_runner(bits):
    """The build's own stand-in for wine and its vrl-conform, of a bitness."""
    root = Path(__file__).resolve().parents[2]
    build = root / ("build-win64" if bits == 64 else "build")
    return [str(build / "wine"), str(build / "bin" / "vrl-conform.exe")]


def windows_path(path):
    return str(PureWindowsPath("Z:/" + str(Path(path).resolve()).lstrip("/")))


def ask_server(path, runner):
    """The class, library and fixed values of the server file, from
    `runner... --identity FILE` (vrl-conform in Wine)."""
    command = [*runner, "--identity", windows_path(path)]
    try:
        run = subprocess.run(command, capture_output=True, timeout=300)
    except OSError as error:
        raise ValueError(f"{path}: the object cannot be asked: {command[0]}: {error.strerror}") from None
    if run.returncode != 0:
        said = run.stderr.decode("utf-8", "replace").strip().splitlines()
        raise NotAServer(f"{path}: error: not a language server ({said[-1] if said else 'its object cannot be made'})")
    values = json.loads(run.stdout.decode("utf-8"))
    missing = [key for key in _FIXED_VALUES if key not in values]
    if missing:
        raise ValueError(f"{path}: the object's answer lacks {', '.join(missing)}")
    return values


def _tag_of(resource_language, tag):
    if tag:
        return language_tag(tag)
    if resource_language == PSEUDO_RESOURCE_LANGUAGE:
        return PSEUDO_TAG
    name = locale.windows_locale.get(resource_language)
    if not name:
        raise ValueError(f"no language tag is known for resource language 0x{resource_language:04X}; give --tag")
    return name.replace("_", "-")


def imported_identity(path, resources, asked, tag=None):
    """The identity of the server file: the registry script's CLSID and
    ProgIDs where it has one (else the type library's class, and ProgIDs
    named after the module and class), the version block's module name."""
    problems = []
    if len(resources.text_languages) != 1:
        raise Refused([Problem(ERROR, str(path), None, None, "the string table is stored under "
                               f"{len(resources.text_languages)} resource languages, not one")])
    resource_language = next(iter(resources.text_languages))
    module = resources.version.get("InternalName") or Path(path).stem
    module = module[:-4] if module.lower().endswith(".dll") else module
    class_name = asked["className"]
    registry = resources.registry
    clsid = asked["clsid"].upper()
    if registry and registry.clsid and registry.clsid != clsid:
        problems.append(Problem(ERROR, str(path), None, None,
                                f"the registry script names class {registry.clsid}, its type library {clsid}"))
    word = class_name[len("VrlDiscovery"):] if class_name.startswith("VrlDiscovery") else class_name
    prog_id = (registry and registry.prog_id) or f"{module}.{word}"
    versioned = (registry and registry.versioned_prog_id) or f"{prog_id}.1"
    if problems:
        raise Refused(problems)
    return Identity(
        tag=_tag_of(resource_language, tag), module=module, class_name=class_name, prog_id=prog_id,
        versioned_prog_id=versioned, clsid=clsid, libid=asked["libid"].upper(), resource_language=resource_language,
        reported_primary_language=asked["reportedPrimaryLanguage"], reported_sub_language=asked["reportedSubLanguage"],
        language_name=asked["languageName"], font=asked["font"], numbers=tuple(asked["numbers"]),
        version_text=asked["versionText"], help_file=asked["helpFile"])


def imported_texts(path, file_texts, source):
    """The texts keyed against the source's (Exported, in id order), and
    notes on the ids that the source lacks and the file lacks."""
    notes = []
    for text_id in sorted(set(file_texts) - set(source) - {MODULE_NAME_ID}):
        notes.append(Problem(WARNING, str(path), None, str(text_id), "the source has no such text; left out"))
    untranslated = sorted(set(source) - set(file_texts))
    if untranslated:
        notes.append(Problem(NOTE, str(path), None, None, f"{len(untranslated)} texts of the source are not in the "
                             f"file and stay untranslated: id {', '.join(map(str, untranslated[:10]))}"
                             + (", ..." if len(untranslated) > 10 else "")))
    texts = [Exported(text_id, text, file_texts.get(text_id, ""), False, None) for text_id, text in sorted(source.items())]
    return texts, notes


def read_server(path, runner=None, tag=None):
    """(identity, texts, notes) of a language server file."""
    try:
        resources = read_server_resources(path)
    except OSError as error:
        raise ValueError(f"{path}: cannot be read: {error.strerror}") from None
    except NotAServer as refusal:
        raise Refused([Problem(ERROR, str(path), None, None, str(refusal).split(": error: ", 1)[-1])]) from None
    bits = _MACHINE_BITS.get(resources.machine)
    if bits is None:
        raise Refused([Problem(ERROR, str(path), None, None, "not a language server (neither 32- nor 64-bit)")])
    try:
        asked = ask_server(path, runner or default_runner(bits))
    except NotAServer as refusal:
        raise Refused([Problem(ERROR, str(path), None, None, str(refusal).split(": error: ", 1)[-1])]) from None
    identity = imported_identity(path, resources, asked, tag)
    problems = [Problem(ERROR, str(path), None, None, message) for message in identity_problems(identity)]
    if problems:
        raise Refused(problems)
    texts, notes = imported_texts(path, resources.texts, read_source(source_folder()))
    return identity, texts, notes


def folder_name(identity, name):
    """The folder and module suffix: --name, or the module's own suffix."""
    if name:
        return module_suffix(name).lower()
    if not identity.module.startswith(MODULE_PREFIX) or len(identity.module) == len(MODULE_PREFIX):
        raise ValueError(f"the module {identity.module} names no language folder; give --name")
    return identity.module[len(MODULE_PREFIX):].lower()


def po_of(identity, texts):
    return texts_po_document(identity, texts)
