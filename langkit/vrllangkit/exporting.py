"""Writes a language's texts for translators' tools: a PO file (the string
id as msgctxt, the source text as msgid, the translation as msgstr) through
polib, or an XLIFF 1.2 file (datatype winres, the id as resname) through
translate-toolkit. Each text also carries the reference <Module>.rc:<id>
(`#:` in PO, a location context in XLIFF), which the converters between
the two formats keep where they drop msgctxt. The translation is the
language folder's where it has one; a translation of an older source text
is exported as fuzzy, with that text as the previous msgid (`#| msgid`)."""

from dataclasses import dataclass

import polib
from translate.storage import xliff

from .catalogue import FUZZY, read_catalogue
from .fitness import place_entries, read_source
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


@dataclass(frozen=True)
class Exported:
    text_id: int
    source: str
    translation: str
    fuzzy: bool
    # The source text the translation was made from, when it was another.
    previous_source: str | None


def _language_entries(folder, source):
    """The texts to export, in id order."""
    translations = {}
    if folder.texts_path.exists():
        placements = place_entries(read_catalogue(folder.texts_path), source)
        named = {text_id for placement in placements if placement.named_by != "source text" for text_id in placement.ids}
        for placement in placements:
            entry = placement.entry
            for text_id in placement.ids:
                if text_id not in source or text_id in translations:
                    continue
                if placement.named_by == "source text" and text_id in named:
                    continue
                stale = entry.source != source[text_id]
                translations[text_id] = Exported(text_id, source[text_id], entry.target,
                                                 entry.state == FUZZY or (stale and bool(entry.target)),
                                                 entry.source if stale and entry.target else None)
    return [translations.get(text_id, Exported(text_id, text, "", False, None)) for text_id, text in sorted(source.items())]


def reference(identity, text_id):
    return f"{identity.module}.rc:{text_id}"


def po_document(folder, identity):
    return texts_po_document(identity, _language_entries(folder, read_source(source_folder())))


def texts_po_document(identity, texts):
    """The PO file of a language's texts (Exported, in id order)."""
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
    for text in texts:
        document.append(polib.POEntry(
            msgctxt=str(text.text_id), msgid=text.source, msgstr=text.translation,
            flags=["fuzzy"] if text.fuzzy else [], occurrences=[(f"{identity.module}.rc", str(text.text_id))],
            previous_msgid=text.previous_source,
        ))
    return document


def xliff_document(folder, identity):
    source_tag = source_folder().identity().tag
    original = f"{identity.module}.rc"
    document = Xliff12File(sourcelanguage=source_tag, targetlanguage=identity.tag)
    file_node = document.getfilenode("NoName")
    file_node.set("original", original)
    file_node.set("datatype", "winres")
    for text in _language_entries(folder, read_source(source_folder())):
        unit = document.addsourceunit(text.source, filename=original)
        unit.setid(str(text.text_id))
        unit.xmlelement.set("resname", str(text.text_id))
        unit.createcontextgroup("po-reference", [("sourcefile", original), ("linenumber", str(text.text_id))],
                                purpose="location")
        if text.translation:
            unit.target = text.translation
            target = unit.getlanguageNode(lang=None, index=1)
            # XLIFF 1.2's own states: a translation of an older source
            # text needs review; approved says no more than the state.
            target.set("state", "needs-review-translation" if text.fuzzy else "translated")
            unit.xmlelement.set("approved", "no" if text.fuzzy else "yes")
    return document


def export_po(folder, path):
    po_document(folder, folder.identity()).save(str(path))


def export_xliff(folder, path):
    with open(path, "wb") as file:
        xliff_document(folder, folder.identity()).serialize(file)
