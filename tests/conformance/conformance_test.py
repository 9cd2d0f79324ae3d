#!/usr/bin/python3
"""vrl-conform against every server the build makes (each must pass) and
against broken copies of the Spanish one (each must fail, naming the check).

Usage: conformance_test.py VRL-CONFORM.EXE WORK-FOLDER SERVER.dll..."""

import os
import re
import subprocess
import sys
import unittest
import xml.etree.ElementTree as ElementTree
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import server_variants  # noqa: E402

CONFORM = None
WORK = None
SERVERS = []
SUMMARY = re.compile(r"^(\d+) of (\d+) checks failed$", re.M)


def conform(*arguments):
    run = subprocess.run([os.environ["VRL_WINE"], CONFORM, *map(str, arguments)],
                         capture_output=True, text=True, timeout=120)
    return run.returncode, run.stdout, run.stderr


def failed_checks(output):
    return {line.split(":", 1)[0][len("FAILED  "):] for line in output.splitlines() if line.startswith("FAILED  ")}


class BuiltServersConform(unittest.TestCase):
    def test_every_built_server_passes_every_check(self):
        for server in SERVERS:
            with self.subTest(server=Path(server).name):
                code, output, errors = conform(server)
                summary = SUMMARY.search(output)
                self.assertIsNotNone(summary, output + errors)
                self.assertEqual(summary.group(1), "0", output)
                self.assertEqual(code, 0, output)
                self.assertGreaterEqual(int(summary.group(2)), 16, output)

    def test_junit_report_holds_the_same_outcome(self):
        report = WORK / "report.xml"
        code, output, _ = conform(SERVERS[0], "--junit", report)
        self.assertEqual(code, 0, output)
        suite = ElementTree.parse(report).getroot().find("testsuite")
        cases = suite.findall("testcase")
        self.assertEqual(len(cases), int(SUMMARY.search(output).group(2)))
        self.assertEqual(suite.get("failures"), "0")


class MachineLeftAlone(unittest.TestCase):
    def test_checks_leave_the_machines_and_users_classes_as_they_were(self):
        def registry():
            keys = (r"HKCR\CLSID\{5D3A8C1E-2B47-4F90-9E6C-71A4D08B3F25}", r"HKCR\Component Categories",
                    r"HKCU\Software")
            return [subprocess.run([os.environ["VRL_WINE"], "reg", "query", key, "/s"], capture_output=True,
                                   text=True, timeout=60).stdout for key in keys]
        before = registry()
        code, output, _ = conform(SERVERS[0])
        self.assertEqual(code, 0, output)
        self.assertEqual(registry(), before)


class BrokenServersFail(unittest.TestCase):
    """Each variant fails the check it breaks, and exits 1."""

    @classmethod
    def setUpClass(cls):
        cls.spanish = next(s for s in SERVERS if Path(s).name == "VrlDiscoveryResES.dll")
        cls.script = server_variants.registry_script(cls.spanish)

    def expect_failure(self, variant, check, *named):
        code, output, errors = conform(variant)
        self.assertEqual(code, 1, output + errors)
        self.assertIn(check, failed_checks(output), output)
        line = next(l for l in output.splitlines() if l.startswith(f"FAILED  {check}:"))
        for text in named:
            self.assertIn(text, line)
        return failed_checks(output)

    def test_without_type_library(self):
        variant = WORK / "VrlNoTypeLib.dll"
        server_variants.without_type_library(self.spanish, variant)
        self.expect_failure(variant, "type library")

    def test_missing_text(self):
        variant = WORK / "VrlMissingText.dll"
        server_variants.edit_text(self.spanish, variant, 302, lambda text: "")
        failed = self.expect_failure(variant, "texts", "id 302")
        self.assertNotIn("registration rows", failed)

    def test_lost_accelerator(self):
        variant = WORK / "VrlLostAccelerator.dll"
        server_variants.edit_text(self.spanish, variant, 101, lambda text: text.replace("&", ""))
        failed = self.expect_failure(variant, "accelerators", "id 101")
        self.assertEqual(failed, {"accelerators"})

    def test_lost_line_break(self):
        variant = WORK / "VrlLostLineBreak.dll"
        server_variants.edit_text(self.spanish, variant, 325, lambda text: text.rstrip("\r\n"))
        self.assertEqual(self.expect_failure(variant, "trailing line breaks", "id 325"), {"trailing line breaks"})

    def test_registry_script_naming_another_class(self):
        clsid = re.search(r"ForceRemove (\{[0-9A-Fa-f-]{36}\})", self.script).group(1)
        other = clsid[:-2] + ("0" if clsid[-2] != "0" else "1") + "}"
        variant = WORK / "VrlOtherClass.dll"
        server_variants.edit_registry_script(self.spanish, variant, clsid, other)
        self.expect_failure(variant, "registration rows", "InprocServer32")

    def test_removal_that_leaves_a_key(self):
        clsid = re.search(r"ForceRemove (\{[0-9A-Fa-f-]{36}\})", self.script).group(1)
        variant = WORK / "VrlLeavesKey.dll"
        server_variants.edit_registry_script(self.spanish, variant, f"ForceRemove {clsid}", f"NoRemove    {clsid}")
        self.expect_failure(variant, "removal", clsid)


class CommandLine(unittest.TestCase):
    def test_usage_errors_exit_2_naming_the_flag_or_file(self):
        for arguments, named in (((), "no server file"), (("--nope",), "--nope"),
                                 ((WORK / "not-there.dll",), "not-there.dll"), ((SERVERS[0], "--junit"), "--junit")):
            with self.subTest(arguments=arguments):
                code, output, errors = conform(*arguments)
                self.assertEqual(code, 2)
                self.assertIn(named, errors)

    def test_a_file_that_is_no_server_fails_loading(self):
        bogus = WORK / "NotAServer.dll"
        bogus.write_bytes(b"MZ not a module")
        code, output, _ = conform(bogus)
        self.assertEqual(code, 1)
        self.assertIn("load", failed_checks(output))


def main():
    global CONFORM, WORK, SERVERS
    CONFORM, WORK, SERVERS = sys.argv[1], Path(sys.argv[2]), sys.argv[3:]
    WORK.mkdir(parents=True, exist_ok=True)
    unittest.main(argv=[sys.argv[0], "-v"])


if __name__ == "__main__":
    main()
