"""Writes a language's texts for translators' tools: a PO file (the string
id as msgctxt, the source text as msgid, the translation as msgstr) through
polib, or an XLIFF 1.2 file (datatype winres, the id as resname) through
translate-toolkit. The translation is the language folder's where it has
one; a translation of an older source text is exported as fuzzy."""

import polib
from translate.storage import xliff

from .catalogue import read_catalogue
from .fitness import read_source, string_id
from .language import source_folder


XLIFF_1_2 = "urn:oasis:names:tc:xliff:document:1.2"


class Xliff12Unit(xliff.xliffunit):
    namespace = XLIFF_1_2


class Xliff12File(xliff.xlifffile):
    """translate-toolkit's XLIFF store, which reads 1.1 and 1.2, made to
    write 1.2."""

    UnitClass = Xliff12Unit
    XMLskeleton = xliff.xlifffile.XMLskeleton.replace("1.1", "1.2")
    namespace = XLIFF_1_2


def _language_entries(folder, source):
    """(source text, translation, fuzzy) by string id, in id order."""
    translations = {}
    if folder.texts_path.exists():
        for entry in read_catalogue(folder.texts_path).entries:
            text_id = string_id(entry.context)
            if text_id in source and text_id not in translations:
                stale = entry.source != source[text_id]
                translations[text_id] = (entry.target, entry.fuzzy or (stale and bool(entry.target)))
    return [(text_id, source[text_id], *translations.get(text_id, ("", False))) for text_id in sorted(source)]


def po_document(folder, identity):
    source_tag = source_folder().identity().tag
    document = polib.POFile()
    document.header = (
        f"Texts of {identity.module} ({identity.tag}). msgctxt is the string id.\n"
        "Keep each '&' (the accelerator), and the line breaks and blanks at the end."
    )
    document.metadata = {
        "Project-Id-Version": identity.module,
        "Language": identity.tag.replace("-", "_"),
        "MIME-Version": "1.0",
        "Content-Type": "text/plain; charset=UTF-8",
        "Content-Transfer-Encoding": "8bit",
        "X-Source-Language": source_tag.replace("-", "_"),
        "X-Accelerator-Marker": "&",
    }
    for text_id, text, translation, fuzzy in _language_entries(folder, read_source(source_folder())):
        document.append(
            polib.POEntry(msgctxt=str(text_id), msgid=text, msgstr=translation, flags=["fuzzy"] if fuzzy else [])
        )
    return document


def xliff_document(folder, identity):
    source_tag = source_folder().identity().tag
    original = f"{identity.module}.rc"
    document = Xliff12File(sourcelanguage=source_tag, targetlanguage=identity.tag)
    file_node = document.getfilenode("NoName")
    file_node.set("original", original)
    file_node.set("datatype", "winres")
    for text_id, text, translation, fuzzy in _language_entries(folder, read_source(source_folder())):
        unit = document.addsourceunit(text, filename=original)
        unit.setid(str(text_id))
        unit.xmlelement.set("resname", str(text_id))
        if translation:
            unit.target = translation
            unit.markfuzzy(fuzzy)
    return document


def export_po(folder, path):
    po_document(folder, folder.identity()).save(str(path))


def export_xliff(folder, path):
    with open(path, "wb") as file:
        xliff_document(folder, folder.identity()).serialize(file)
