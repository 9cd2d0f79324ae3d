"""The subcommands of langkit, each a thin layer over the kit's modules."""

import os
import shutil
import sys
import tempfile
from pathlib import Path

from .build_description import build_description
from .catalogue import read_catalogue
from .collisions import collision_problems
from .exporting import export_po, export_xliff, po_document
from .fitness import check_catalogue, entry_lines, read_source
from .importing import folder_name, po_of, read_server
from .identity import derive_identity, identity_document, identity_problems, language_tag, module_suffix
from .language import LANGUAGES_ROOT, LanguageFolder, language_folder, source_folder
from .problems import ERROR, Problem, Refused, errors
from .pseudo import write_pseudo_language
from .resource_script import string_table_script
from .spelling import spelling_problems
from .text_sheet import DEFAULT_SHARE, draw_sheet, overflow_problems


def fit_texts(folder, path, fallback_to_source):
    """The texts of a translation file with every problem found in them:
    the file's own, the pofilter checks' and the spell check's."""
    catalogue = read_catalogue(path)
    source = read_source(source_folder())
    checked = check_catalogue(catalogue, source, folder.identity().tag, fallback_to_source)
    lines = entry_lines(catalogue, source)
    return checked.texts, checked.problems + spelling_problems(folder, checked.texts, lines)


def _share(arguments):
    return DEFAULT_SHARE if arguments.share is None else arguments.share


def export(arguments):
    folder = language_folder(arguments.language)
    if arguments.po:
        export_po(folder, arguments.po)
    else:
        export_xliff(folder, arguments.xliff)
    return 0


def new(arguments):
    """A new language folder, refused before anything is written when its
    tag, name or identity is not fit or collides with a known language."""
    tag = language_tag(arguments.tag)
    suffix = module_suffix(arguments.name or tag.split("-")[0])
    root = arguments.languages or LANGUAGES_ROOT
    folder = LanguageFolder(root / suffix.lower())
    if folder.path.exists():
        raise ValueError(f"{folder.path} exists already; choose another --name")
    identity = derive_identity(tag, suffix, source_folder().identity())
    problems = [Problem(ERROR, str(folder.identity_path), None, None, message) for message in identity_problems(identity)]
    problems += collision_problems(identity, folder.identity_path, root)
    if problems:
        raise Refused(problems)
    _write_language_folder(root, folder, identity, lambda made: po_document(made, identity))
    print(f"{folder.path}: {identity.module}, CLSID {identity.clsid}, LIBID {identity.libid}")
    return 0


def _write_language_folder(root, folder, identity, texts_document):
    """Writes the folder beside its place and renames it: the folder is
    complete or not there. texts_document(folder) gives its PO file."""
    source = source_folder()
    root.mkdir(parents=True, exist_ok=True)
    partial = Path(tempfile.mkdtemp(prefix=f".{folder.path.name}.", dir=root))
    try:
        made = LanguageFolder(partial)
        made.identity_path.write_text(identity_document(identity), encoding="utf-8")
        texts_document(made).save(str(made.texts_path))
        if source.allowed_words_path.exists():
            shutil.copyfile(source.allowed_words_path, made.allowed_words_path)
        partial.chmod(0o777 & ~_umask())
        os.rename(partial, folder.path)
    except BaseException:
        shutil.rmtree(partial, ignore_errors=True)
        raise


def import_server(arguments):
    """A language folder from a built server file, refused before anything
    is written when the file is no server, or its folder, class or module
    is taken."""
    identity, texts, notes = read_server(arguments.server, arguments.runner or None, arguments.tag)
    root = arguments.languages or LANGUAGES_ROOT
    folder = LanguageFolder(root / folder_name(identity, arguments.name))
    if folder.path.exists():
        raise ValueError(f"{folder.path} exists already; choose another --name")
    problems = collision_problems(identity, folder.identity_path, root)
    if problems:
        raise Refused([Problem(ERROR, str(arguments.server), None, None, problem.message) for problem in problems])
    for note in notes:
        print(note, file=sys.stderr)
    _write_language_folder(root, folder, identity, lambda made: po_of(identity, texts))
    translated = sum(1 for text in texts if text.translation)
    print(f"{folder.path}: {identity.module}, CLSID {identity.clsid}, LIBID {identity.libid}, "
          f"{translated} of {len(texts)} texts")
    return 0


def _umask():
    mask = os.umask(0)
    os.umask(mask)
    return mask


def check(arguments):
    folder = language_folder(arguments.language)
    texts, problems = fit_texts(folder, arguments.file or folder.texts_path, arguments.fallback_to_source)
    if arguments.widths:
        problems += overflow_problems(folder, arguments.widths, _share(arguments))
    for problem in problems:
        print(problem, file=sys.stderr)
    if errors(problems):
        return 1
    print(f"{folder.path.name}: {len(texts)} texts fit")
    return 0


def pseudo(arguments):
    folder = write_pseudo_language(arguments.folder)
    print(f"{folder.path}: {folder.identity().module}")
    return 0


def rc(arguments):
    """Writes the resource script only when the texts are fit, and replaces
    the earlier one only once the new one is complete."""
    folder = language_folder(arguments.language)
    texts, problems = fit_texts(folder, folder.texts_path, arguments.fallback_to_source)
    if errors(problems):
        raise Refused(problems)
    for problem in problems:
        print(problem, file=sys.stderr)
    partial = arguments.output.with_name(arguments.output.name + ".partial")
    partial.write_text(string_table_script(folder.identity(), texts), encoding="utf-8", newline="\n")
    os.replace(partial, arguments.output)
    return 0


def sheet(arguments):
    """Draws the sheet and prints the translations that are too wide."""
    runner = arguments.runner
    if not runner:
        raise ValueError("sheet: give the command that runs vrl-textsheet.exe after --")
    folder = language_folder(arguments.language)
    for problem in draw_sheet(folder, runner, arguments.png, arguments.widths, _share(arguments)):
        print(problem)
    print(f"{arguments.png}: the texts of {folder.identity().module}")
    return 0


def describe(arguments):
    """The build's description of the given language folders, by folder name."""
    folders = [language_folder(str(path)) for path in arguments.folders]
    named = {folder.path.name: folder for folder in folders}
    if len(named) != len(folders):
        raise ValueError("two language folders have the same name")
    description = build_description(named, arguments.fallback_to_source)
    partial = arguments.output.with_name(arguments.output.name + ".partial")
    partial.write_text(description, encoding="utf-8", newline="\n")
    os.replace(partial, arguments.output)
    return 0
