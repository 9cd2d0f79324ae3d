"""The build's view of the language servers it makes: for each language
folder, its identity as CMake variables (the values the generated headers,
scripts and export file take, already escaped for C++), whether its texts
are complete, and the refusal of two folders whose identities collide."""

import uuid

from .catalogue import read_catalogue
from .collisions import collisions_among
from .fitness import check_catalogue, read_source
from .language import source_folder
from .problems import ERROR, WARNING, Problem, Refused


def unfinished_texts(folder, source):
    """How many source texts the folder lacks a fit-to-build translation of
    (missing, empty, fuzzy or of an older source text)."""
    try:
        catalogue = read_catalogue(folder.texts_path)
    except (Refused, OSError):
        # A broken file is built, so that the build names what is wrong.
        return 0
    checked = check_catalogue(catalogue, source, folder.identity().tag, fallback_to_source=True)
    return sum(1 for problem in checked.problems if problem.severity == WARNING)


def c_literal_body(text):
    """text as the inside of a C++ string literal."""
    return text.replace("\\", "\\\\").replace('"', '\\"')


def guid_initializer(braced):
    """{XXXXXXXX-...} as the initializer of a GUID: data1, data2, data3, {8 bytes}."""
    value = uuid.UUID(braced)
    tail = value.bytes[8:]
    return (f"0x{value.fields[0]:08X}, 0x{value.fields[1]:04X}, 0x{value.fields[2]:04X}, "
            "{" + ", ".join(f"0x{byte:02X}" for byte in tail) + "}")


def cmake_value(text):
    """A CMake bracket argument holding text as it is."""
    level = 0
    while f"]{'=' * level}]" in text:
        level += 1
    return f"[{'=' * level}[{text}]{'=' * level}]"


def language_variables(name, folder):
    identity = folder.identity()
    primary, sub = identity.rc_language
    values = {
        "FOLDER": str(folder.path.resolve()),
        "TEXTS": str(folder.texts_path.resolve()),
        "TAG": identity.tag,
        "MODULE": identity.module,
        "CLASS_NAME": identity.class_name,
        "PROG_ID": identity.prog_id,
        "VERSIONED_PROG_ID": identity.versioned_prog_id,
        "CLSID": identity.clsid,
        "CLSID_INITIALIZER": guid_initializer(identity.clsid),
        "LIBID": identity.libid,
        "LIBID_INITIALIZER": guid_initializer(identity.libid),
        "LIBRARY_NAME": identity.module.upper() + "Lib",
        "RESOURCE_LANGUAGE": f"0x{identity.resource_language:04X}",
        "RC_PRIMARY_LANGUAGE": f"0x{primary:02X}",
        "RC_SUB_LANGUAGE": f"0x{sub:02X}",
        "REPORTED_PRIMARY_LANGUAGE": str(identity.reported_primary_language),
        "REPORTED_SUB_LANGUAGE": str(identity.reported_sub_language),
        "LANGUAGE_NAME_C": c_literal_body(identity.language_name),
        "FONT_C": c_literal_body(identity.font),
        "VERSION_TEXT_C": c_literal_body(identity.version_text),
        "HELP_FILE_C": c_literal_body(identity.help_file),
        "NUMBER1": str(identity.numbers[0]),
        "NUMBER2": str(identity.numbers[1]),
        "NUMBER3": str(identity.numbers[2]),
    }
    return [f"set(VRL_LANGUAGE_{name}_{key} {cmake_value(value)})" for key, value in values.items()]


def build_description(named_folders, fallback_to_source):
    """The CMake script that describes the named folders ({name: folder}):
    VRL_LANGUAGES_DESCRIBED (every name), VRL_LANGUAGES_COMPLETE (those whose
    texts are complete, or all with fallback_to_source) and each language's
    variables. Refused when identities collide or cannot be read."""
    problems = []
    for folder in named_folders.values():
        try:
            folder.identity()
        except Refused as refusal:
            problems += refusal.problems
    if problems:
        raise Refused(problems)
    problems = collisions_among(named_folders.values())
    if problems:
        raise Refused(problems)

    source = read_source(source_folder())
    lines = ["# Written by langkit describe from the language folders: do not edit.",
             f"set(VRL_LANGUAGES_DESCRIBED {' '.join(named_folders)})"]
    complete, notes = [], []
    for name, folder in named_folders.items():
        lines += language_variables(name, folder)
        missing = 0 if fallback_to_source else unfinished_texts(folder, source)
        if missing:
            notes.append(f"{folder.path}: {missing} of {len(source)} texts are not translated yet")
        else:
            complete.append(name)
    lines.append(f"set(VRL_LANGUAGES_COMPLETE {' '.join(complete)})")
    lines.append(f"set(VRL_LANGUAGES_UNFINISHED_NOTES {cmake_value(';'.join(notes))})")
    return "\n".join(lines) + "\n"
