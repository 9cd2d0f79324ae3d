#!/usr/bin/python3
"""The runner of Windows programs (scripts/runner), on this host: the lane
choice, finding processes by their prefix, guests known by their command
line and stopped only by the run that booted them, and the locks and
lifetimes of host prefixes (in this host's 64-bit Wine).

Usage: runner_tests.py   (unittest's options)"""

import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
RUNNER = SOURCE / "scripts" / "runner"
sys.path.insert(0, str(RUNNER))

import lanes  # noqa: E402
import processes  # noqa: E402
import sessions  # noqa: E402
from guest import Guest  # noqa: E402
from host_wine import HostWine, PrefixError  # noqa: E402
from settings import Settings, SettingError  # noqa: E402

WINE64 = SOURCE / "scripts" / "wine64"


def settings(**variables):
    return Settings.from_environment(dict({"HOME": os.environ.get("HOME", "/root")}, **variables))


def wait_for(condition, seconds=30):
    """Waits until CONDITION holds; a loaded host starts programs slowly."""
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            raise AssertionError("waited in vain")
        time.sleep(0.05)
    # The session takes signals once its command runs.
    time.sleep(0.2)


class Scratch(unittest.TestCase):
    def setUp(self):
        self.work = Path(tempfile.mkdtemp(prefix="runner tests ñ."))
        self.children = []

    def tearDown(self):
        for child in self.children:
            if child.poll() is None:
                child.kill()
                child.wait()
        subprocess.run(["rm", "-rf", str(self.work)])

    def spawn(self, arguments, **options):
        child = subprocess.Popen(arguments, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL, **options)
        self.children.append(child)
        return child

    def fake_guest(self, state, ignore_term=False):
        """A process that passes for the guest of STATE: named qemu, with
        STATE's job folder on its kernel command line, as the runner boots it."""
        (state / "jobs").mkdir(parents=True, exist_ok=True)
        machine = self.work / "machine" / "qemu-system-x86_64"
        machine.parent.mkdir(exist_ok=True)
        if not machine.exists():
            machine.symlink_to("/bin/bash")
        script = ("trap '' TERM; " if ignore_term else "") + "while :; do sleep 0.2; done"
        child = self.spawn([str(machine), "-c", script, "fake-qemu", "-append",
                            f"console=ttyS0 vrl.jobs={processes.encode(str(state / 'jobs'))}"])
        (state / "qemu.pid").write_text(f"{child.pid}\n")
        (state / "jobs" / "ready").write_text("ready\n")
        for _ in range(50):
            if processes.guest_process(child.pid):
                break
            time.sleep(0.1)
        return child


class LaneChoice(unittest.TestCase):
    def test_a_host_said_to_refuse_32_bit_code_falls_back_to_the_guest_and_says_why(self):
        lane = lanes.choose(32, settings(VRL_HOST32="no"))
        self.assertEqual(lane.name, "guest")
        self.assertIn("VRL_HOST32=no", lane.fallback)

    def test_a_host_that_runs_32_bit_code_is_native_exactly_when_32_bit_wine_is_there(self):
        lane = lanes.choose(32, settings(VRL_HOST32="yes"))
        expected = "native" if lanes.LOADER32.exists() and lanes.SERVER32.exists() else "guest"
        self.assertEqual(lane.name, expected)
        if expected == "guest":
            self.assertIn("32-bit Wine is not installed", lane.fallback)

    def test_the_guest_asked_for_is_no_fallback(self):
        self.assertEqual(lanes.choose(32, settings(VRL_HOST32="yes", VRL_LANE32="guest")), lanes.Lane("guest", ""))

    def test_the_native_lane_asked_of_a_host_that_cannot_give_it_is_refused(self):
        with self.assertRaisesRegex(lanes.LaneError, "VRL_LANE32=native"):
            lanes.choose(32, settings(VRL_HOST32="no", VRL_LANE32="native"))
        with self.assertRaises(SettingError):
            settings(VRL_LANE32="fast")

    def test_an_explicit_option_beats_the_environment(self):
        out = subprocess.run([str(WINE64), "--lane"], capture_output=True, text=True,
                             env=dict(os.environ, VRL_WINE_LINGER="soon"))
        self.assertEqual(out.returncode, 125, "a bad VRL_WINE_LINGER is no error")
        self.assertIn("VRL_WINE_LINGER", out.stderr)


class KernelAnswer(Scratch):
    def test_the_answer_is_kept_for_this_boot_only(self):
        cache = self.work / "cache"
        here = settings(XDG_CACHE_HOME=str(cache))
        truth = lanes.kernel_answer(here).runs_32_bit
        kept = cache / "vrldiscovery" / lanes.KERNEL_ANSWER_FILE
        boot = lanes.BOOT_ID.read_text().strip()
        self.assertEqual(kept.read_text().splitlines()[0], boot)
        kept.write_text(f"{boot}\n{'no' if truth else 'yes'}\n")
        self.assertEqual(lanes.kernel_answer(here).runs_32_bit, not truth, "a kept answer was asked again")
        kept.write_text(f"another-boot\n{'no' if truth else 'yes'}\n")
        self.assertEqual(lanes.kernel_answer(here).runs_32_bit, truth, "another boot's answer was trusted")

    def test_a_probe_that_cannot_be_started_is_no_answer(self):
        # A folder mounted noexec gives exit code 126 from a shell, which was
        # once taken for the kernel's refusal and kept for the whole boot.
        probe = self.work / "probe32"
        probe.write_bytes(lanes._probe_program())
        probe.chmod(0o600)
        self.assertIsNone(lanes._run_probe(str(probe)))

    def test_the_probe_is_a_program_of_the_32_bit_kind(self):
        probe = self.work / "probe32"
        probe.write_bytes(lanes._probe_program())
        described = subprocess.run(["objdump", "-f", str(probe)], capture_output=True, text=True)
        if described.returncode != 0:
            self.skipTest("no objdump here")
        self.assertIn("elf32-i386", described.stdout)
        self.assertEqual(lanes.ask_kernel(self.work), lanes.kernel_answer(settings(XDG_CACHE_HOME=str(self.work))).runs_32_bit)


class FindingProcesses(Scratch):
    def test_a_prefix_whose_path_holds_blanks_is_found_whole(self):
        prefix = self.work / "my checkout ñ" / "wine 32" / "prefix"
        child = self.spawn(["sleep", "60"], env=dict(os.environ, WINEPREFIX=str(prefix)))
        time.sleep(0.2)
        found = [p for p in processes.wine_processes(self.work) if p.pid == child.pid]
        self.assertEqual([p.prefix for p in found], [str(prefix)])
        self.assertEqual(processes.wine_processes(self.work / "my checkout"), [],
                         "a folder whose name only begins like the prefix's holds it")

    def test_status_lists_a_server_whose_prefix_holds_blanks(self):
        prefix = self.work / "my checkout ñ" / "prefix"
        server = self.work / "bin" / "wineserver"
        server.parent.mkdir()
        server.symlink_to("/bin/sleep")
        child = self.spawn([str(server), "60"], env=dict(os.environ, WINEPREFIX=str(prefix)))
        time.sleep(0.2)
        listing = subprocess.run([sys.executable, str(RUNNER), "status", str(self.work)], capture_output=True,
                                 text=True).stdout
        self.assertRegex(listing, rf"(?m)^{child.pid} .* {prefix}$")

    def test_the_kernel_command_line_carries_any_path(self):
        for path in ("/tmp/my checkout ñ,50%/jobs", "/plain/jobs"):
            self.assertEqual(processes.decode(processes.encode(path)), path)
            self.assertNotIn(" ", processes.encode(path))


class GuestOwnership(Scratch):
    def test_a_guest_is_known_by_its_job_folder_not_by_its_pid_file(self):
        state = self.work / "guest"
        guest = self.fake_guest(state)
        self.assertEqual(Guest(state, settings()).pid(), guest.pid)
        other = self.spawn(["sleep", "60"])
        (state / "qemu.pid").write_text(f"{other.pid}\n")
        self.assertIsNone(Guest(state, settings()).pid(), "a stale pid file's process was taken for the guest")

    def test_stop_leaves_the_process_of_a_stale_pid_file_alone(self):
        state = self.work / "guest"
        (state / "jobs").mkdir(parents=True)
        other = self.spawn(["sleep", "60"])
        (state / "qemu.pid").write_text(f"{other.pid}\n")
        Guest(state, settings(VRL_WINEVM_STOP_GRACE="0")).stop()
        self.assertIsNone(other.poll(), "stop killed a process that was no guest")
        self.assertFalse((state / "jobs" / "stop").exists())
        self.assertFalse((state / "qemu.pid").exists())

    def test_stop_waits_for_the_lock_and_switches_off_a_guest_that_does_not_shut_down(self):
        state = self.work / "guest"
        machine = self.fake_guest(state, ignore_term=True)
        lock = Guest(state, settings()).lock
        lock.acquire()
        stopper = self.spawn([sys.executable, str(RUNNER), "guest-stop", str(state)],
                             env=dict(os.environ, VRL_WINEVM_STOP_GRACE="1"))
        time.sleep(1.5)
        self.assertIsNone(stopper.poll(), "stop did not wait for the lock")
        self.assertIsNone(machine.poll(), "the machine ended while the lock was held")
        lock.release()
        self.assertEqual(stopper.wait(60), 0)
        self.assertIsNotNone(machine.poll(), "stop returned while the machine still ran")
        self.assertTrue((state / "jobs" / "stop").exists(), "stop did not ask the guest to stop")

    def test_a_session_stops_the_guests_it_booted_and_no_other(self):
        session = self.work / "session"
        session.mkdir()
        mine, theirs = self.work / "mine", self.work / "theirs"
        my_machine, their_machine = self.fake_guest(mine), self.fake_guest(theirs)
        (mine / "booted-by").write_text(f"{session}\n")
        (theirs / "booted-by").write_text("/another/session\n")
        sessions.record_boot(str(session), mine)
        # A run of the session asked for the other guest too, which was up.
        sessions.record_boot(str(session), theirs)
        subprocess.run([sys.executable, str(RUNNER), "end-session", str(session)],
                       env=dict(os.environ, VRL_WINEVM_STOP_GRACE="0"), check=True)
        self.assertIsNotNone(my_machine.wait(30), "the session's own guest still runs")
        self.assertIsNone(their_machine.poll(), "the session stopped a guest that another run booted")
        self.assertFalse(session.exists())

    def test_the_end_of_a_lane_stops_only_a_guest_that_its_session_booted(self):
        state = self.work / "guest"
        machine = self.fake_guest(state)
        (state / "booted-by").write_text("/another/session\n")
        environment = dict(os.environ, VRL_LANE32="guest", VRL_WINEVM_STOP_GRACE="0", VRL_RUNNER_SESSION="/mine")
        subprocess.run([str(SOURCE / "scripts" / "wine32"), f"--state={state}", "--end"], env=environment, check=True)
        self.assertIsNone(machine.poll(), "--end stopped a guest that another run booted")
        (state / "booted-by").write_text("/mine\n")
        subprocess.run([str(SOURCE / "scripts" / "wine32"), f"--state={state}", "--end"], env=environment, check=True)
        self.assertIsNotNone(machine.wait(30))


class Sessions(Scratch):
    def test_term_to_a_session_reaches_the_command_below_its_script(self):
        # The script waits for its running command before it takes a signal;
        # the session hands the signal to the whole tree, so both go at once.
        marker = self.work / "trapped"
        started = self.work / "started"
        script = 'trap "touch \\"$1\\"; exit 143" TERM; touch "$2"; sleep 60; echo went on'
        session = subprocess.Popen([sys.executable, str(RUNNER), "session", "--", "bash", "-c", script, "script", str(marker),
                                    str(started)], stdout=subprocess.PIPE, text=True)
        self.children.append(session)
        wait_for(started.exists)
        began = time.monotonic()
        session.send_signal(signal.SIGTERM)
        output, _ = session.communicate(timeout=30)
        self.assertLess(time.monotonic() - began, 5)
        self.assertEqual(session.returncode, 143)
        self.assertTrue(marker.exists(), "the script's trap did not run")
        self.assertNotIn("went on", output)

    def test_a_command_that_outlives_its_interrupted_script_is_ended(self):
        # As ctest does: the script ends at once on the interrupt, and one of
        # the tests that it started ignores it and would go on as an orphan.
        pid_file = self.work / "orphan.pid"
        script = '(trap "" INT TERM; sleep 300 & echo $! >"$1"; wait) & sleep 60'
        session = subprocess.Popen([sys.executable, str(RUNNER), "session", "--", "bash", "-c", script, "script",
                                    str(pid_file)])
        self.children.append(session)
        wait_for(lambda: pid_file.exists() and pid_file.read_text().strip())
        orphan = int(pid_file.read_text())
        session.send_signal(signal.SIGINT)
        session.wait(timeout=30)
        self.assertEqual(session.returncode, 130)
        self.assertFalse(processes.running(orphan), "a command of the interrupted script still runs")

    def test_a_session_ends_with_its_commands_exit_code_and_leaves_no_record(self):
        listing = self.work / "sessions"
        result = subprocess.run([sys.executable, str(RUNNER), "session", "--", "bash", "-c",
                                 f'echo "$VRL_RUNNER_SESSION" >"{listing}"; exit 7'])
        self.assertEqual(result.returncode, 7)
        self.assertFalse(Path(listing.read_text().strip()).exists())


class HostPrefixes(Scratch):
    """In this host's 64-bit Wine."""

    def setUp(self):
        super().setUp()
        if not lanes.LOADER64.exists():
            self.skipTest("no 64-bit Wine on this host")

    def wine(self, home, *arguments, **options):
        return subprocess.Popen([str(WINE64), f"--home={home}", "--", *arguments], stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **options)

    def tearDown(self):
        for home in self.work.glob("home*"):
            subprocess.run([str(WINE64), f"--home={home}", "--end"])
        super().tearDown()

    def test_a_prefix_is_not_remade_under_a_program_that_uses_it(self):
        home = self.work / "home"
        self.assertEqual(self.wine(home, "cmd", "/c", "exit").wait(120), 0)
        running = self.wine(home, "cmd", "/c", "ping -n 4 127.0.0.1 >nul & exit 7")
        time.sleep(1.5)
        # Another run finds the prefix not ready (one that a run ended half
        # made) and makes it again: only once the program above has ended.
        (home / "prefix" / ".vrl-ready").unlink()
        remade = self.wine(home, "cmd", "/c", "exit 3")
        self.assertEqual(running.wait(120), 7, "the running program was ended under it")
        self.assertEqual(remade.wait(120), 3)

    def test_an_interrupt_ends_a_program_that_ignores_it(self):
        home = self.work / "home-interrupted"
        self.assertEqual(self.wine(home, "cmd", "/c", "exit").wait(120), 0)
        program = self.wine(home, "cmd", "/c", "ping -n 60 127.0.0.1 >nul", start_new_session=True)
        time.sleep(2)
        began = time.monotonic()
        os.killpg(program.pid, signal.SIGINT)
        self.assertEqual(program.wait(30), 130)
        self.assertLess(time.monotonic() - began, 5)

    def test_an_explicit_home_beats_the_environment(self):
        home, other = self.work / "home-given", self.work / "home-environment"
        result = subprocess.run([str(WINE64), f"--home={home}", "--", "cmd", "/c", "exit 5"],
                                env=dict(os.environ, VRL_WINE64_HOME=str(other)))
        self.assertEqual(result.returncode, 5)
        self.assertTrue((home / "prefix" / ".vrl-ready").exists())
        self.assertFalse(other.exists())

    def test_a_failed_wineboot_leaves_no_ready_prefix_and_is_said(self):
        host = HostWine(self.work / "home-failing", 64, False, 3)
        host.loader = Path("/bin/false")
        with self.assertRaisesRegex(PrefixError, "wineboot could not make the prefix"):
            host.fresh()
        self.assertFalse(host.ready())
        self.assertFalse(host.prefix.exists())


if __name__ == "__main__":
    unittest.main(verbosity=2)
