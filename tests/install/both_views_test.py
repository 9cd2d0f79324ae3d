#!/usr/bin/python3
"""Both per-machine packages in the guest's WoW64 prefix, installed by
msiexec as users do: after either is removed, the other server is still
found by the vrl-discover of its bitness, created by ProgID and by CLSID,
and its keys (its class, the ProgIDs, the category and the type library,
help folder included) are as they were; after both, the keys are as they
were before the first install.

    both_views_test.py BUILD32 BUILD64"""

import os
import sys
from pathlib import Path

sys.dont_write_bytecode = True
from guest_session import Failures, load_identity, Session, Work, lock_prefix, make_packages, shell_constants, windows_path

SYSTEM = {32: "C:\\windows\\syswow64", 64: "C:\\windows\\system32"}
FLAVOUR_OF = {32: "", 64: "-x64"}
PROGRAM_FILES = {32: "C:\\Program Files (x86)\\", 64: "C:\\Program Files\\"}
# The packages write the ProgIDs once, through a 32-bit component: on
# Windows they are one key for both views. Wine keeps them per view, so that
# there a 64-bit client finds no ProgID of a package.
PROGID_VIEWS = (32,)
PROGID_NOT_FOUND = "CLSIDFromProgID failed: 0x800401F3"
# The row of the type library that only the server of that bitness owns.
OWN_TYPELIB_KEY = {32: "\\0\\win32", 64: "\\0\\win64"}


def main(build32, build64):
    os.environ["VRL_WINEARCH"] = "win64"
    failures = Failures("both views")
    builds = {32: Path(build32), 64: Path(build64)}
    identity = load_identity(builds[64] / "languages" / "es" / "language.json")
    catid = shell_constants()["catid"]
    module = identity.module
    folders = {bits: PROGRAM_FILES[bits] + module + "\\" for bits in builds}
    servers = {bits: folders[bits] + module + ".dll" for bits in builds}
    keys = ["HKCR\\CLSID\\" + identity.clsid, "HKCR\\TypeLib\\" + identity.libid, "HKCR\\" + identity.prog_id,
            "HKCR\\" + identity.versioned_prog_id, "HKCR\\Component Categories\\" + catid]

    work = Work("both-views")
    lock = lock_prefix()
    dist = make_packages(work.path / "dist", builds[32], builds[64], "--language", "es")
    if not dist:
        failures.fail("scripts/package")
        work.remove()
        return failures.finish()
    version = next(dist.glob(module + "-*-user.msi")).name[len(module) + 1:-len("-user.msi")]
    package = {bits: windows_path(dist / ("%s-%s%s.msi" % (module, version, FLAVOUR_OF[bits]))) for bits in builds}

    session = Session(work)

    def client_checks(name, bits):
        tools = builds[bits] / "bin"
        session.run("%s-discover%d" % (name, bits), '"%s"' % windows_path(tools / "vrl-discover.exe"))
        for how, value in (("progId", identity.prog_id), ("clsid", identity.clsid)):
            session.run("%s-%s%d" % (name, how, bits),
                        '"%s" --registered %s' % (windows_path(tools / "vrlres-show.exe"), value))
        session.query("%s%d" % (name, bits), keys, reg=SYSTEM[bits] + "\\reg.exe")

    # What other runs left in the shared prefix (a category, say) is no
    # leftover of this one.
    for bits in builds:
        session.query("before%d" % bits, keys, reg=SYSTEM[bits] + "\\reg.exe")
    session.msi("install32", "/i", '"%s"' % package[32])
    session.msi("install64", "/i", '"%s"' % package[64])
    client_checks("both", 32)
    client_checks("both", 64)
    session.msi("remove32", "/x", '"%s"' % package[32])
    client_checks("alone", 64)
    session.msi("install32-again", "/i", '"%s"' % package[32])
    session.msi("remove64", "/x", '"%s"' % package[64])
    client_checks("alone", 32)
    session.msi("remove32-last", "/x", '"%s"' % package[32])
    for bits in builds:
        session.query("none%d" % bits, keys, reg=SYSTEM[bits] + "\\reg.exe")
        session.exists("folder-left%d" % bits, folders[bits])
    session.execute()

    for name in ("install32", "install64", "remove32", "install32-again", "remove64", "remove32-last"):
        failures.check(session.exit_code(name) == "0", "msiexec (%s): exit code %r" % (name, session.exit_code(name)))

    def expect_found(name, bits):
        server = servers[bits]
        failures.check("  Server file:   %s\n" % server in work.text("%s-discover%d.out" % (name, bits)),
                       "%s: the %d-bit vrl-discover does not find %s: %s" % (name, bits, server, work.text("%s-discover%d.out" % (name, bits))))
        for how in ("progId", "clsid"):
            output = work.text("%s-%s%d.out" % (name, how, bits))
            if how == "progId" and bits not in PROGID_VIEWS:
                failures.check(PROGID_NOT_FOUND in output, "%s: Wine's 64-bit view now holds the ProgIDs: %s" % (name, output[:300]))
                continue
            failures.check("Server file: %s\n" % server in output,
                           "%s: a %d-bit client creating by %s is not served by %s: %s" % (name, bits, how, server, output[:300]))

    def helpdir(rows):
        return [row[3] for row in rows if len(row) == 4 and row[0].endswith("\\1.0\\helpdir")]

    for bits in builds:
        expect_found("both", bits)
        expect_found("alone", bits)
        other = 96 - bits
        both, alone = work.rows("both%d.reg" % bits), work.rows("alone%d.reg" % bits)
        failures.check(any(row[0].endswith(OWN_TYPELIB_KEY[bits]) for row in both),
                       "both installed: no %s in %s" % (OWN_TYPELIB_KEY[bits], sorted(both)))
        # What the other package owned alone goes; nothing else changes.
        kept = {row for row in both if not row[0].endswith(OWN_TYPELIB_KEY[other])}
        failures.check(alone == kept, "the %d-bit server's keys changed when the %d-bit package went:\n  lost %s\n  gained %s"
                       % (bits, other, sorted(kept - alone), sorted(alone - kept)))
        help_folders = helpdir(alone)
        failures.check(len(help_folders) == 1 and folders[other].lower() not in help_folders[0].lower(),
                       "with the %d-bit package removed, HELPDIR is %s" % (other, help_folders))
        before, none = work.rows("before%d.reg" % bits), work.rows("none%d.reg" % bits)
        failures.check(none == before, "left after both went: %s" % sorted(none - before))
        failures.check(not work.text("folder-left%d.out" % bits), "%s is left after both went" % folders[bits])

    for name in ("both32", "alone32", "alone64"):
        print("--- %s\n%s" % (name, work.text(name + ".reg").strip()))
    if failures.count:
        cleanup = Session(work)
        for bits in builds:
            cleanup.msi("cleanup%d" % bits, "/x", '"%s"' % package[bits])
        cleanup.execute("cleanup")
    work.remove()
    lock.close()
    return failures.finish()


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.stderr.write(__doc__)
        sys.exit(2)
    sys.exit(main(*sys.argv[1:]))
