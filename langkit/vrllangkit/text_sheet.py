"""The text sheet: a language's texts drawn in its server's font through the
platform's GDI (the tool vrl-textsheet, run under Wine), one row per id with
the source text, the translation and the width of each, and a translation
wider than the source by more than a share (default 30%) marked. What the
tool measured is kept as a widths file, from which `check --widths` prints
the same overflow list as the sheet.

"Arial", the servers' font, is drawn in Wine with Liberation Sans (Debian's
fonts-liberation), which has the same metrics; the widths file names the
face that was used."""

import os
import subprocess
import tempfile
from pathlib import Path

from .bitmap_png import bmp_to_png
from .catalogue import read_catalogue
from .fitness import place_entries, read_source
from .language import source_folder
from .problems import WARNING, Problem

DEFAULT_SHARE = 30
POINT_SIZE = 8
_ESCAPES = {"\\": "\\\\", "\t": "\\t", "\r": "\\r", "\n": "\\n"}


def _escaped(text):
    return "".join(_ESCAPES.get(character, character) for character in text)


def sheet_rows(folder):
    """(id, source, translation, line) for every source text; a text that
    is not translated shows its source text."""
    source = read_source(source_folder())
    translated = {}
    for placement in place_entries(read_catalogue(folder.texts_path), source):
        for text_id in placement.ids:
            if text_id in source and placement.entry.target and text_id not in translated:
                translated[text_id] = (placement.entry.target, placement.entry.line)
    return [(text_id, text, *translated.get(text_id, (text, None))) for text_id, text in sorted(source.items())]


def windows_path(path):
    """A host path as Wine sees it, below drive Z:."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def draw_sheet(folder, runner, png_path, widths_path, share=DEFAULT_SHARE):
    """Draws the sheet through runner (the command that runs vrl-textsheet,
    as a list), writes it to png_path and the widths to widths_path, and
    returns the overflow problems."""
    identity = folder.identity()
    rows = sheet_rows(folder)
    png_path, widths_path = Path(png_path), Path(widths_path)
    with tempfile.TemporaryDirectory(dir=png_path.parent, prefix=".sheet.") as work:
        rows_file, bitmap = Path(work) / "rows.txt", Path(work) / "sheet.bmp"
        rows_file.write_text("".join(f"{text_id}\t{_escaped(source)}\t{_escaped(translation)}\n"
                                     for text_id, source, translation, _ in rows), encoding="utf-8", newline="\n")
        result = subprocess.run([*runner, identity.font, str(POINT_SIZE), str(share), windows_path(rows_file),
                                 windows_path(bitmap)], capture_output=True, text=True, encoding="utf-8")
        if result.returncode != 0:
            raise ValueError(f"vrl-textsheet failed (exit code {result.returncode}): {result.stderr.strip()}")
        png = bmp_to_png(bitmap.read_bytes())
    lines = [line.rstrip("\r") for line in result.stdout.splitlines() if line.strip()]
    face = lines[0].split("\t", 1)[1]
    measured = {int(fields[0]): (int(fields[1]), int(fields[2])) for fields in (line.split("\t") for line in lines[1:])}
    text_lines = {text_id: line for text_id, _, _, line in rows}
    widths = [f"# {identity.module}: {identity.font} drawn as {face}, {POINT_SIZE} pt at 96 dpi",
              "# id\tsource px\ttranslation px\ttranslation line"]
    widths += [f"{text_id}\t{source}\t{translation}\t{text_lines.get(text_id) or ''}"
               for text_id, (source, translation) in sorted(measured.items())]
    _replace(widths_path, ("\n".join(widths) + "\n").encode("utf-8"))
    _replace(png_path, png)
    return overflow_problems(folder, widths_path, share)


def overflow_problems(folder, widths_path, share=DEFAULT_SHARE):
    """A warning for each translation in the widths file that is wider than
    its source by more than share percent."""
    lines = Path(widths_path).read_text(encoding="utf-8").splitlines()
    drawn_as = lines[0].split(": ", 1)[1] if lines and lines[0].startswith("# ") else ""
    problems = []
    for line in lines:
        if line.startswith("#") or not line.strip():
            continue
        text_id, source, translation, text_line = line.split("\t")
        source, translation = int(source), int(translation)
        if translation * 100 > source * (100 + share):
            wider = (translation - source) * 100 // max(source, 1)
            problems.append(Problem(WARNING, str(folder.texts_path), int(text_line) if text_line else None, text_id,
                                    f"{wider}% wider than the source ({translation} px against {source} px; "
                                    f"{drawn_as}), more than {share}%"))
    return problems


def _replace(path, data):
    partial = path.with_name(path.name + ".partial")
    partial.write_bytes(data)
    os.replace(partial, path)
