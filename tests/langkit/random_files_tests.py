"""Random and mutated translation files and language.json files: the kit
either accepts one, and then the resource compiler's string table holds
exactly its texts, or refuses it with FILE:LINE: error: (or FILE: error:)
lines and writes nothing. Never a traceback.

A short, derandomized run by default; VRL_RANDOM_SCRIPTS=N runs N examples
of each (scripts/test --long sets 100000). Run by langkit_tests.py."""

import contextlib
import importlib.machinery
import importlib.util
import io
import json
import os
import re
import shutil
import sys
import tempfile
import unittest
import warnings

import polib
from hypothesis import HealthCheck, given, settings
from hypothesis.configuration import set_hypothesis_home_dir
from hypothesis import strategies as st

from langkit_support import LANGKIT, SOURCE, Scratch, res_string_table, windres

from vrllangkit.language import source_folder  # noqa: E402
from vrllangkit.resource_script import MODULE_NAME_ID  # noqa: E402

# Hypothesis keeps its caches out of the source tree, which the tests never write.
set_hypothesis_home_dir(os.path.join(tempfile.gettempdir(), f"vrl-langkit-hypothesis-{os.getuid()}"))
EXAMPLES = max(6, int(os.environ.get("VRL_RANDOM_SCRIPTS", "0") or 0))
RANDOM = settings(max_examples=EXAMPLES, derandomize=EXAMPLES <= 6, deadline=None, database=None,
                  suppress_health_check=list(HealthCheck))
# What a refusal's lines look like; warnings and notes may come with it.
_REPORT = re.compile(r"(\S.*?)(:\d+)?: (error|warning|note): .*|langkit: .*")
_LAUNCHER = importlib.util.module_from_spec(importlib.util.spec_from_loader(
    "langkit_launcher", importlib.machinery.SourceFileLoader("langkit_launcher", str(LANGKIT))))
_LAUNCHER.__spec__.loader.exec_module(_LAUNCHER)

# Texts a translator or a tool may write: quotes, escapes, accelerators,
# line breaks, characters beyond the BMP, control characters, long runs.
texts = st.one_of(
    st.text(max_size=40),
    st.text(alphabet=st.sampled_from('aé&"\\\r\n\t\x07\x00 %s\U0001F600ñ<>'), max_size=30),
    st.builds(lambda letter, count: letter * count, st.sampled_from("Aé\U0001F600"), st.integers(1000, 1100)),
)


def in_process(*arguments):
    """The kit's exit code and stderr, run as its launcher runs it."""
    stdout, stderr = io.StringIO(), io.StringIO()
    saved = sys.argv
    sys.argv = ["langkit", *map(str, arguments)]
    try:
        with contextlib.redirect_stdout(stdout), contextlib.redirect_stderr(stderr), warnings.catch_warnings():
            # polib leaves a file it could not read to the collector.
            warnings.simplefilter("ignore", ResourceWarning)
            code = _LAUNCHER.main()
    finally:
        sys.argv = saved
    return code, stderr.getvalue()


class RandomFiles(Scratch):
    def setUp(self):
        super().setUp()
        self.folder = self.scratch / "xx"
        shutil.copytree(source_folder().path, self.folder)
        # No spell check: the point is what reaches the string table.
        identity = self.folder / "language.json"
        identity.write_text(identity.read_text(encoding="utf-8").replace('"es-ES"', '"es-XX"'), encoding="utf-8")
        self.pristine = {path.name: path.read_bytes() for path in self.folder.iterdir()}

    def reset(self):
        for path in self.folder.iterdir():
            path.unlink()
        for name, data in self.pristine.items():
            (self.folder / name).write_bytes(data)
        (self.scratch / "table.rc").unlink(missing_ok=True)

    def string_table_of_rc(self):
        """rc of the folder, every line it says a report line: the exit code,
        what it said, and the string table read back from its script, or
        None when it refused, having written no script."""
        output = self.scratch / "table.rc"
        code, stderr = in_process("rc", self.folder, output)
        for line in stderr.splitlines():
            self.assertRegex(line, _REPORT)
        if code != 0:
            self.assertFalse(output.exists())
            return code, stderr, None
        return code, stderr, res_string_table(windres(self, output))

    def assertAcceptedOrRefused(self, expected=None):
        """rc of the folder: the string table holds the texts (expected, or
        the file's own as polib reads it), or every line is a refusal and
        no script is written."""
        code, stderr, table = self.string_table_of_rc()
        if table is not None:
            if expected is None:
                expected = {int(entry.msgctxt): entry.msgstr for entry in polib.pofile(str(self.folder / "texts.po"))}
            self.assertEqual(table, {**expected, MODULE_NAME_ID: "VrlDiscoveryResES"})
        else:
            self.assertEqual(code, 1)
            self.assertIn(": error: ", stderr)

    @RANDOM
    @given(st.dictionaries(st.sampled_from(sorted(SOURCE)), texts, min_size=1, max_size=3), st.sampled_from(["utf-8", "latin-1"]))
    def test_po_files_with_random_translations(self, changes, charset):
        self.reset()
        document = polib.pofile(str(self.folder / "texts.po"))
        for entry in document:
            if int(entry.msgctxt) in changes:
                entry.msgstr = changes[int(entry.msgctxt)]
        if charset != "utf-8":
            document.metadata["Content-Type"] = f"text/plain; charset={charset}"
            document.encoding = charset
        try:
            str(document).encode(charset)
        except UnicodeEncodeError:
            return
        document.save()
        self.assertAcceptedOrRefused({int(entry.msgctxt): entry.msgstr for entry in document})

    @RANDOM
    @given(st.lists(st.tuples(st.integers(0, 10**6), st.integers(0, 6), st.binary(max_size=6)), min_size=1, max_size=4))
    def test_po_files_with_mutated_bytes(self, mutations):
        self.reset()
        path = self.folder / "texts.po"
        data = bytearray(path.read_bytes())
        for position, cut, inserted in mutations:
            position %= len(data) + 1
            data[position: position + cut] = inserted
        path.write_bytes(bytes(data))
        try:
            expected = {int(entry.msgctxt): entry.msgstr for entry in polib.pofile(str(path))}
        except Exception:
            expected = None
        code, stderr = in_process("check", self.folder)
        for line in stderr.splitlines():
            self.assertRegex(line, _REPORT)
        if code == 0 and expected is not None and all(key in SOURCE for key in expected):
            self.assertAcceptedOrRefused()

    @RANDOM
    @given(texts, st.sampled_from([None, "new", "translated", "final", "needs-review-translation", "x-other"]),
           st.sampled_from([None, "yes", "no"]), st.integers(0, 2000), st.binary(max_size=4))
    def test_xliff_files_with_random_targets_states_and_bytes(self, text, state, approved, position, inserted):
        self.reset()
        exported = self.folder / "texts.xlf"
        self.assertEqual(in_process("export", self.folder, "--xliff", exported)[0], 0)
        (self.folder / "texts.po").unlink()
        xml = exported.read_text(encoding="utf-8")
        escaped = "".join(f"&#{ord(c)};" if c in "\r\t" or ord(c) < 0x20 else c for c in text.replace("&", "&amp;").replace("<", "&lt;"))
        unit = '<trans-unit xml:space="preserve" id="302" resname="302" approved="yes">'
        attributes = f' approved="{approved}"' if approved else ""
        xml = xml.replace(unit, unit.replace(' approved="yes"', attributes))
        xml = re.sub(r'(resname="302"[^>]*><source>[^<]*</source>\s*<target state=")translated(">)[^<]*',
                     lambda m: f"{m.group(1)}{state or 'translated'}{m.group(2)}{escaped}", xml)
        data = bytearray(xml.encode("utf-8"))
        if inserted:
            data[position % len(data): position % len(data)] = inserted
        exported.write_bytes(bytes(data))
        _, _, table = self.string_table_of_rc()
        if table is not None and not inserted:
            self.assertEqual(table[302], text)
            self.assertTrue(state in (None, "translated", "final") or (state == "x-other" and approved == "yes"))

    @RANDOM
    @given(st.dictionaries(st.sampled_from(["tag", "module", "clsid", "libid", "resourceLanguage", "numbers",
                                            "font", "progId", "reportedSubLanguage", "helpFile", "extra"]),
                           st.recursive(st.none() | st.booleans() | st.integers() | st.floats() | texts,
                                        lambda inner: st.lists(inner, max_size=3) | st.dictionaries(st.text(max_size=3), inner, max_size=2),
                                        max_leaves=4),
                           max_size=2))
    def test_language_json_with_random_values(self, changes):
        self.reset()
        path = self.folder / "language.json"
        identity = json.loads(path.read_text(encoding="utf-8"))
        for key, value in changes.items():
            identity[key] = value
        path.write_text(json.dumps(identity), encoding="utf-8")
        output = self.scratch / "out.cmake"
        code, stderr = in_process("describe", output, self.folder)
        for line in stderr.splitlines():
            self.assertRegex(line, _REPORT)
        self.assertEqual(output.exists(), code == 0)
        output.unlink(missing_ok=True)


if __name__ == "__main__":
    unittest.main()
