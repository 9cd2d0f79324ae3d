#!/usr/bin/python3
"""vrl-conform against every server the build makes (each must pass) and
against broken copies of the Spanish one (each must fail, naming the check),
and vrl-discover --check over registered servers.

Usage: conformance_test.py VRL-CONFORM.EXE VRL-DISCOVER.EXE WORK-FOLDER SERVER.dll..."""

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
DISCOVER = None
WORK = None
SERVERS = []
SUMMARY = re.compile(r"^(\d+) of (\d+) checks failed$", re.M)


def wine(program, *arguments):
    run = subprocess.run([os.environ["VRL_WINE"], program, *map(str, arguments)],
                         capture_output=True, text=True, timeout=120)
    return run.returncode, run.stdout, run.stderr


def conform(*arguments):
    return wine(CONFORM, *arguments)


def windows_path(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


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


class DiscoverCheck(unittest.TestCase):
    """vrl-discover --check runs the check on every server it finds."""

    def registered(self, *servers):
        for server in servers:
            code, output, errors = wine("regsvr32", "/s", windows_path(server))
            self.assertEqual(code, 0, output + errors)
            self.addCleanup(wine, "regsvr32", "/s", "/u", windows_path(server))

    def test_every_found_server_is_checked_and_a_broken_one_fails_the_run(self):
        servers = {Path(s).name: s for s in SERVERS}
        broken = WORK / "VrlDiscoveryResES.dll"
        server_variants.edit_text(servers["VrlDiscoveryResES.dll"], broken, 101, lambda text: text.replace("&", ""))
        self.registered(servers["VrlDiscoveryResENTEST.dll"], broken)
        code, output, errors = wine(DISCOVER, "--check")
        self.assertEqual(code, 1, output + errors)
        self.assertEqual(output.count("\n== conformance of "), 2, output)
        self.assertIn("FAILED  accelerators", output)
        self.assertIn("1 of 2 servers failed the conformance check.", output)

    def test_check_and_json_do_not_go_together(self):
        code, _, errors = wine(DISCOVER, "--check", "--json")
        self.assertEqual(code, 2)
        self.assertIn("--json", errors)


class CommandLine(unittest.TestCase):
    def test_usage_errors_exit_2_naming_the_flag_or_file(self):
        for arguments, named in (((), "no server file"), (("--nope",), "--nope"),
                                 ((WORK / "not-there.dll",), "not-there.dll"), ((SERVERS[0], "--junit"), "--junit")):
            with self.subTest(arguments=arguments):
                code, output, errors = conform(*arguments)
                self.assertEqual(code, 2)
                self.assertIn(named, errors)

    def test_a_file_of_the_other_bitness_is_named_so(self):
        variant = WORK / "VrlOtherBitness.dll"
        server_variants.of_other_bitness(SERVERS[0], variant)
        code, output, _ = conform(variant)
        self.assertEqual(code, 1)
        self.assertIn("not a module of this tool's bitness", output)

    def test_a_file_that_is_no_server_fails_loading(self):
        bogus = WORK / "NotAServer.dll"
        bogus.write_bytes(b"MZ not a module")
        code, output, _ = conform(bogus)
        self.assertEqual(code, 1)
        self.assertIn("load", failed_checks(output))


def main():
    global CONFORM, DISCOVER, WORK, SERVERS
    CONFORM, DISCOVER, WORK, SERVERS = sys.argv[1], sys.argv[2], Path(sys.argv[3]), sys.argv[4:]
    WORK.mkdir(parents=True, exist_ok=True)
    unittest.main(argv=[sys.argv[0], "-v"])


if __name__ == "__main__":
    main()
