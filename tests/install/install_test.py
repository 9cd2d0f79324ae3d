#!/usr/bin/python3
"""The installer packages, installed the way users install them: the guest's
msiexec /qn in its throwaway prefix. Emulation makes every msiexec slow, so
the whole session runs as one batch file in one guest job, and the checks
read what it left behind:
  - the registry rows of the per-machine package are those that regsvr32
    writes, but for the server file's path and the help folder;
  - installed per machine, the server is found by category, created by
    ProgID and by CLSID, and used late-bound; removed, nothing of it stays;
  - repair puts back a deleted InprocServer32 key;
  - the packages of three languages side by side: all found, each with its
    own texts; removing one leaves the others found and created; the
    category stays until the last goes;
  - a later version replaces the installed one; an earlier one is refused;
  - per user, the product is registered for the user and not the machine,
    nothing goes to the machine's keys, and the installed file loads;
  - a damaged package fails and writes nothing.
It also reports the time of the per-machine install and of its removal as
ratios to the regsvr32 round trip.

    install_test.py BUILD32 BUILD64 NEXT-BUILD NEXT-VERSION LANGUAGE=FOLDER...

BUILD32 and BUILD64 are the build folders of the servers; NEXT-BUILD holds
the Spanish 32-bit server built as NEXT-VERSION (bin/VrlDiscoveryResES.dll).
LANGUAGE=FOLDER names the language folders packaged side by side, the
Spanish one first."""

import json
import os
import subprocess
import sys
import uuid
from pathlib import Path

sys.dont_write_bytecode = True
from guest_session import SOURCE, Failures, load_identity, Session, Work, lock_prefix, make_packages, shell_constants, windows_path

sys.path.insert(0, str(SOURCE / "tests" / "sidebyside"))
from found_servers import differences  # noqa: E402

PROGRAM_FILES = "C:\\Program Files\\"
# Where the per-machine packages put the type library's help folder.
COMMON_FILES = PROGRAM_FILES + "Common Files\\"
USER_FOLDER_IN_LOCAL_APP_DATA = "Programs\\"
UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
# Where the installer registers a product, by who it is installed for.
MACHINE_PRODUCTS_KEY = "HKLM\\Software\\Classes\\Installer\\Products\\"
USER_PRODUCTS_KEY = "HKCU\\Software\\Microsoft\\Installer\\Products\\"
# What the package says when asked to install over a later version.
DOWNGRADE_MESSAGE = "A later version of VrlDiscoveryResES is already installed"


def table(package, name):
    """A table of the package as rows of fields, without its three header lines."""
    text = subprocess.run(["msiinfo", "export", str(package), name], capture_output=True, text=True,
                          check=True).stdout
    return [line.split("\t") for line in text.replace("\r", "").splitlines()[3:]]


def product_code(package):
    return next(value for name, value in table(package, "Property") if name == "ProductCode")


def packed_guid(guid):
    """A GUID as the installer's registry keys spell it."""
    text = uuid.UUID(guid).hex.upper()
    return text[7::-1] + text[11:7:-1] + text[15:11:-1] + "".join(text[i + 1] + text[i] for i in range(16, 32, 2))


def main(build32, build64, next_build, next_version, *languages):
    failures = Failures("install")
    build32, build64, next_build = Path(build32), Path(build64), Path(next_build)
    server = shell_constants()
    catid = server["catid"]
    folders = dict(pair.split("=", 1) for pair in languages)
    identities = {name: load_identity(Path(folder) / "language.json")
                  for name, folder in folders.items()}
    spanish = identities["es"]
    module = spanish.module
    server_name = module + ".dll"
    machine_folder = PROGRAM_FILES + module + "\\"
    installed = machine_folder + server_name
    help_folder = COMMON_FILES + module + "\\"
    user_server = USER_FOLDER_IN_LOCAL_APP_DATA + module + "\\" + server_name
    classes = ["CLSID\\" + spanish.clsid, "TypeLib\\" + spanish.libid, spanish.prog_id,
               spanish.versioned_prog_id, "Component Categories\\" + catid]

    work = Work("install")
    # scripts/package records in a 64-bit Wine prefix of this test's own.
    wine64 = ["--wine-home", str(work.path / "wine64")]
    lock = lock_prefix()
    dist = make_packages(work.path / "dist", build32, build64, *wine64, *sum((["--language", name] for name in folders), []))
    next_dist = make_packages(work.path / "next", next_build, build64, "--language", "es",
                              *wine64, environment={"VRL_VERSION": next_version})
    if not dist or not next_dist:
        failures.fail("scripts/package")
        work.remove()
        return failures.finish()
    version = next(dist.glob(module + "-*-user.msi")).name[len(module) + 1:-len("-user.msi")]
    machine_msi = dist / ("%s-%s.msi" % (module, version))
    user_msi = dist / ("%s-%s-user.msi" % (module, version))
    next_msi = next_dist / ("%s-%s.msi" % (module, next_version))
    language_msis = {name: dist / ("%s-%s.msi" % (identity.module, version)) for name, identity in identities.items()}
    machine_product, next_product, user_product = map(product_code, (machine_msi, next_msi, user_msi))
    # A package cut in half.
    damaged_msi = work.path / "damaged.msi"
    damaged_msi.write_bytes(machine_msi.read_bytes()[:machine_msi.stat().st_size // 2])

    bin32 = build32 / "bin"
    dll32 = windows_path(bin32 / server_name)
    discover = '"%s"' % windows_path(bin32 / "vrl-discover.exe")
    show = '"%s"' % windows_path(bin32 / "vrlres-show.exe")
    registrar = '"%s"' % windows_path(bin32 / "vrl-regtlb.exe")
    sibling = '"%s"' % windows_path(bin32 / "vrllocale.tlb")
    client = '"%s"' % windows_path(SOURCE / "tests" / "latebinding" / "LateBoundClient.vbs")

    session = Session(work)
    msi = session.msi

    def install(name, package, *properties):
        msi(name, "/i", '"%s"' % windows_path(package), *properties)

    def remove(name, package):
        msi(name, "/x", '"%s"' % windows_path(package))

    def snapshot(name, root="HKCR"):
        session.query(name, [root + "\\" + key for key in classes])

    def timed(name, add_commands):
        """The guest's time of day in seconds, through VBScript's Timer,
        before and after the commands."""
        session.add("cscript //nologo clock.vbs > %s-start.time" % name)
        add_commands()
        session.add("cscript //nologo clock.vbs > %s-end.time" % name)

    (work.path / "clock.vbs").write_bytes(b'WScript.Echo Replace(CStr(Timer), ",", ".")\r\n')
    session.run("sibling", "%s register %s" % (registrar, sibling))
    # regsvr32's rows, and the round trip's time.
    timed("register", lambda: session.add('regsvr32 /s "%s"' % dll32))
    snapshot("regsvr32")
    timed("unregister", lambda: session.add('regsvr32 /s /u "%s"' % dll32))
    # Per machine.
    timed("install", lambda: install("install", machine_msi))
    snapshot("installed")
    session.exists("help-folder", help_folder)
    session.run("discover", discover)
    session.run("show-progid", "%s --registered %s" % (show, spanish.prog_id))
    session.run("show-clsid", "%s --registered %s" % (show, spanish.clsid))
    session.run("client", "cscript //nologo %s" % client)
    # Repair. What /famus stands for, as properties: Wine's msiexec /f fails
    # (exit code 1 with a product code, 1605 with a package).
    inproc_server = ["HKCR\\CLSID\\%s\\InprocServer32" % spanish.clsid]
    session.add('reg delete "%s" /f > nul 2>&1' % inproc_server[0])
    session.query("deleted", inproc_server)
    install("repair", machine_msi, "REINSTALL=ALL", "REINSTALLMODE=amus")
    session.query("repaired", inproc_server)
    # Removal.
    timed("remove", lambda: remove("remove", machine_msi))
    snapshot("removed")
    session.exists("removed-file", installed)
    session.exists("removed-help-folder", help_folder)
    # The languages side by side, then removed one by one, the first first.
    for name, package in language_msis.items():
        install("language-install-" + name, package)
    session.run("languages-all", discover)
    left = list(language_msis)
    while left:
        session.run("languages-%d.json" % len(left), discover + " --json --texts")
        session.query("category-%d" % len(left), ["HKCR\\Component Categories\\" + catid])
        remove("language-remove-" + left[0], language_msis[left[0]])
        left.pop(0)
    session.query("category-0", ["HKCR\\Component Categories\\" + catid])
    # Upgrade, and the refused downgrade.
    install("old-install", machine_msi)
    install("upgrade", next_msi)
    session.query("old-product", [UNINSTALL_KEY + machine_product])
    session.query("new-product", [UNINSTALL_KEY + next_product])
    session.query("upgraded", inproc_server)
    session.add('copy /y "%s" upgraded.dll > nul' % installed)
    install("downgrade", machine_msi)
    session.query("after-downgrade", inproc_server)
    remove("upgrade-remove", next_msi)
    # Per user.
    install("user-install", user_msi)
    session.query("user-classes", ["HKCU\\Software\\Classes\\CLSID\\" + spanish.clsid])
    snapshot("user-machine", "HKLM\\Software\\Classes")
    session.query("user-product", [USER_PRODUCTS_KEY + packed_guid(user_product)])
    session.query("user-product-of-machine", [MACHINE_PRODUCTS_KEY + packed_guid(user_product)])
    session.run("user-show", '%s "%%LOCALAPPDATA%%\\%s"' % (show, user_server))
    # What a client sees of it: Wine shows no user's class in the classes root.
    session.run("user-discover", discover)
    session.run("user-show-registered", "%s --registered %s" % (show, spanish.prog_id))
    remove("user-remove", user_msi)
    session.query("user-removed", ["HKCU\\Software\\Classes\\CLSID\\" + spanish.clsid])
    session.exists("user-removed-file", "%LOCALAPPDATA%\\" + user_server)
    # A damaged package.
    install("damaged", damaged_msi)
    snapshot("damaged")
    session.exists("damaged-file", installed)
    session.add("%s unregister %s > nul" % (registrar, sibling))
    session.execute()

    def expect_exit(name, wanted="0"):
        failures.check(session.exit_code(name) == wanted,
                       "msiexec (%s): exit code %r, not %s" % (name, session.exit_code(name), wanted))

    def expect_failed(name):
        failures.check(session.exit_code(name) not in ("", "0"),
                       "msiexec (%s): exit code %r, not a failure" % (name, session.exit_code(name)))

    def expect_empty(name, what):
        failures.check(not work.text(name).strip(), "%s: %s" % (what, work.text(name)[:1000]))

    def expect_text(name, text, what):
        failures.check(text in work.text(name), "%s: no %r in: %s" % (what, text, work.text(name)[:1000]))

    # The package's rows are regsvr32's, key for key and value for value;
    # only the server's path and the help folder differ.
    def rows_as(name, server_file, folder):
        rows = set()
        for row in work.rows(name):
            if len(row) == 4:
                data = row[3].replace(server_file, "<server>").replace(folder, "<folder>")
                row = row[:3] + (data,)
            rows.add(row)
        return rows

    bin_folder = windows_path(bin32) + "\\"
    from_regsvr32 = rows_as("regsvr32.reg", dll32, bin_folder)
    from_package = rows_as("installed.reg", installed, help_folder)
    failures.check(from_regsvr32, "regsvr32 wrote nothing: %s" % work.text("session.log")[:500])
    failures.check(from_regsvr32 == from_package, "the package's rows differ from regsvr32's:\n  regsvr32 only: %s\n  package only: %s"
                   % (sorted(from_regsvr32 - from_package), sorted(from_package - from_regsvr32)))

    expect_exit("install")
    failures.check(work.text("help-folder.out"), "no help folder %s after the install" % help_folder)
    expect_text("discover.out", "  Server file:   %s\n" % installed, "vrl-discover after the install")
    expect_text("show-progid.out", "Server file: %s\n" % installed, "created by ProgID")
    expect_text("show-clsid.out", "Server file: %s\n" % installed, "created by CLSID")
    client_result = (work.path / "client.out").read_bytes().decode("cp437", "replace").replace("\r", "").splitlines()
    failures.check("RESULT PASS" in client_result, "late-bound client: %s" % client_result)

    expect_empty("deleted.reg", "InprocServer32 not deleted before the repair")
    expect_exit("repair")
    expect_text("repaired.reg", installed, "InprocServer32 after the repair")

    expect_exit("remove")
    expect_empty("removed.reg", "left after the removal")
    expect_empty("removed-file.out", "the server file is left after the removal")
    expect_empty("removed-help-folder.out", "the help folder is left after the removal")

    for name in language_msis:
        expect_exit("language-install-" + name)
        expect_exit("language-remove-" + name)
    summary = "%d enrolled, %d working, 0 failed." % (len(folders), len(folders))
    failures.check(summary in work.text("languages-all.out").splitlines(),
                   "side by side: no %r in: %s" % (summary, work.text("languages-all.out")))
    left = list(folders)
    while left:
        installed_now = {PROGRAM_FILES + "%s\\%s.dll" % ((identities[name].module,) * 2): folders[name] for name in left}
        try:
            listing = json.loads(work.text("languages-%d.json.out" % len(left), "utf-8"))
            wrong = differences(listing, installed_now)
        except ValueError as error:
            wrong = ["not a listing (%s): %s" % (error, work.text("languages-%d.json.out" % len(left))[:500])]
        failures.check(not wrong, "with %s installed: %s" % (", ".join(left), "; ".join(wrong)))
        expect_text("category-%d.reg" % len(left), server["category_description"],
                    "the category with %s installed" % ", ".join(left))
        left.pop(0)
    expect_empty("category-0.reg", "the category is left after the last language server went")

    expect_exit("upgrade")
    expect_empty("old-product.reg", "%s is still installed after the upgrade" % machine_product)
    failures.check(work.text("new-product.reg").strip(), "%s is not installed after the upgrade" % next_product)
    expect_text("upgraded.reg", installed, "InprocServer32 after the upgrade")
    failures.check((work.path / "upgraded.dll").is_file()
                   and (work.path / "upgraded.dll").read_bytes() == (next_build / "bin" / server_name).read_bytes(),
                   "the installed file is not the %s server" % next_version)
    expect_failed("downgrade")
    # Without dialogs the message shows nowhere; it is the package's to show.
    failures.check(any(DOWNGRADE_MESSAGE in field for row in table(machine_msi, "LaunchCondition") for field in row),
                   "the package has no message for a refused downgrade")
    expect_text("after-downgrade.reg", installed, "InprocServer32 after the refused downgrade")
    expect_exit("upgrade-remove")

    expect_exit("user-install")
    expect_text("user-classes.reg", "AppData\\Local\\" + user_server, "per-user class")
    expect_empty("user-machine.reg", "the per-user install wrote machine keys")
    failures.check(work.text("user-product.reg").strip(), "the per-user package is not registered for the user")
    expect_empty("user-product-of-machine.reg", "the per-user package is registered for the machine")
    expect_text("user-show.out", "Aceptar", "the per-user file, loaded")
    # The day Wine merges the user's classes into the classes root, these two
    # fail: the README and the notes must say so then.
    expect_text("user-discover.out", "No language servers found", "a client finds the per-user class")
    expect_text("user-show-registered.out", "CLSIDFromProgID failed: 0x800401F3",
                "a client creates the per-user class by its ProgID")
    expect_exit("user-remove")
    expect_empty("user-removed.reg", "the per-user class is left after the removal")
    expect_empty("user-removed-file.out", "the per-user file is left after the removal")

    expect_failed("damaged")
    expect_empty("damaged.reg", "the damaged package wrote keys")
    expect_empty("damaged-file.out", "the damaged package installed the server file")

    report_times(work)
    if failures.count:
        clean_up(work, dll32, registrar, sibling, [machine_msi, next_msi, user_msi, *language_msis.values()])
    work.remove()
    lock.close()
    return failures.finish()


def report_times(work):
    """The time of the install and of the removal, as ratios to the regsvr32
    round trip (a report, not a check)."""
    try:
        def span(name):
            start, end = (float(work.text("%s-%s.time" % (name, edge)).strip()) for edge in ("start", "end"))
            return (end - start) % 86400
        round_trip = span("register") + span("unregister")
        install, removal = span("install"), span("remove")
    except ValueError:
        return
    if round_trip > 0:
        print("install: regsvr32 round trip %.1f s; per-machine install %.1f s (%.1fx); removal %.1f s (%.1fx)"
              % (round_trip, install, install / round_trip, removal, removal / round_trip))


def clean_up(work, dll32, registrar, sibling, packages):
    """Whatever a failed session left installed, in any order; quietly."""
    session = Session(work)
    session.add('regsvr32 /s /u "%s"' % dll32)
    session.add("%s unregister %s > nul" % (registrar, sibling))
    for package in packages:
        session.msi("cleanup", "/x", '"%s"' % windows_path(package))
    session.execute("cleanup")


if __name__ == "__main__":
    if len(sys.argv) < 6:
        sys.stderr.write(__doc__)
        sys.exit(2)
    sys.exit(main(*sys.argv[1:]))
