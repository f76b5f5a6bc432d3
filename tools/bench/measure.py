#!/usr/bin/env python3
"""Runs every benchmark and has report.py write the report;
tools/bench/run-benchmarks builds the programs, makes the disc, the Wine prefix
and the display first.

Each figure is one command, run N times, round by round, so that a change of
load on the machine falls on every figure alike. Before each command the disc
is read once (a warm page cache) and the file systems are synced, so that no
write-back of an earlier command falls into it.

Times: the wall time of the command (for the whole program, from the click on
OK to its exit), and the CPU time (user + system) of every process it made.
This process is made the child subreaper, so that the Wine processes that Wine
starts detached (xcopy.exe under start.exe, setup.exe under the program) come
back to it and are reaped with their usage. The wineserver is one persistent
server started here; its CPU time is read from /proc before and after.
"""

import argparse
import ctypes
import datetime
import os
import re
import shutil
import signal
import subprocess
import sys
import time

import report

PR_SET_CHILD_SUBREAPER = 36
TICKS = os.sysconf("SC_CLK_TCK")
ORPHAN_GRACE = 10.0  # seconds to wait for detached processes after a command


class Failure(Exception):
    pass


def log(text):
    print(f"bench: {text}", flush=True)


def children():
    """PIDs whose parent is this process, zombies included."""
    me = os.getpid()
    found = set()
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                stat = f.read()
        except OSError:
            continue
        if int(stat[stat.rindex(")") + 2 :].split()[1]) == me:
            found.add(int(entry))
    return found


def process_cpu(pid):
    """User + system seconds of a running process, from /proc."""
    if pid is None:
        return 0.0
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


class Usage:
    """The summed usage of the processes reaped for one command."""

    def __init__(self):
        self.cpu = 0.0
        self.rss_kib = 0
        self.processes = 0

    def add(self, rusage):
        self.cpu += rusage.ru_utime + rusage.ru_stime
        self.rss_kib = max(self.rss_kib, rusage.ru_maxrss)
        self.processes += 1


def reap_orphans(known, usage):
    """Reaps what the command left detached, until none is left or the grace ends."""
    deadline = time.monotonic() + ORPHAN_GRACE
    while True:
        while True:
            try:
                pid, _, rusage = os.wait4(-1, os.WNOHANG)
            except ChildProcessError:
                return []
            if pid == 0:
                break
            if pid not in known:
                usage.add(rusage)
        left = children() - known
        if not left:
            return []
        if time.monotonic() > deadline:
            return sorted(left)
        time.sleep(0.02)


def finish(process, start, known):
    """Waits for a process timed from start, then reaps what it left detached.
    Returns the wall time, the usage of all of them, and what is still running."""
    _, status, rusage = os.wait4(process.pid, 0)
    wall = time.monotonic() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    usage = Usage()
    usage.add(rusage)
    left = reap_orphans(known | {process.pid}, usage)
    return wall, usage, left


class Bench:
    def __init__(self, args):
        self.args = args
        self.root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
        self.build = os.path.abspath(args.build)
        self.work = os.path.abspath(args.work)
        self.disc = os.path.join(self.work, "disc")
        self.prefix = os.path.join(self.work, "prefix")
        self.drive_c = os.path.join(self.prefix, "drive_c")
        self.wine_temp = os.path.join(self.drive_c, "QuillmendTemp")
        self.host_c = os.path.join(self.work, "host-c")
        self.host_temp = os.path.join(self.host_c, "QuillmendTemp")
        self.win = os.path.join(self.build, args.windows)
        self.host = os.path.join(self.build, "host")
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        self.server = None
        self.holder = None
        self.notes = []
        self.round_loads = []

    # --- helpers ---

    def warm(self):
        for folder, _, files in os.walk(self.disc):
            for name in files:
                with open(os.path.join(folder, name), "rb") as f:
                    while f.read(1 << 20):
                        pass
        os.sync()

    def tree(self, path, skip_dot):
        """Files and bytes below path; names that start with a full stop skipped on request."""
        files = size = 0
        for folder, dirs, names in os.walk(path):
            if skip_dot:
                dirs[:] = [d for d in dirs if not d.startswith(".")]
                names = [n for n in names if not n.startswith(".")]
            for name in names:
                files += 1
                size += os.lstat(os.path.join(folder, name)).st_size
        return files, size

    def expect_copy(self, target, skip_dot, what):
        got = self.tree(target, skip_dot)
        want = self.tree(self.disc, skip_dot)
        if got != want:
            raise Failure(f"{what}: the copy has {got[0]} files, {got[1]} bytes; "
                          f"the disc {want[0]} files, {want[1]} bytes")

    def expect_gone(self, target, what):
        if os.path.lexists(target):
            raise Failure(f"{what}: {target} is still there")

    def clear(self, target):
        if os.path.lexists(target):
            subprocess.run(["chmod", "-R", "u+w", target], check=True)
            shutil.rmtree(target)

    def run(self, command, cwd, wine=False, stdout=None):
        """One timed command: wall, CPU of all its processes, wineserver CPU, peak RSS."""
        self.warm()
        known = children()
        server = self.server.pid if wine else None
        out_path = os.path.join(self.work, "command.out")
        with open(out_path, "w") as out:
            server_start = process_cpu(server)
            start = time.monotonic()
            child = subprocess.Popen(command, cwd=cwd, env=self.env, stdout=out,
                                     stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
            wall, usage, left = finish(child, start, known)
        if left:
            self.notes.append(f"`{' '.join(command)}` left processes {left} running")
        sample = {"wall": wall, "cpu": usage.cpu, "rss": usage.rss_kib / 1024,
                  "server": process_cpu(server) - server_start if wine else None}
        with open(out_path) as f:
            output = f.read()
        if child.returncode != 0:
            raise Failure(f"{' '.join(command)} exited with {child.returncode}:\n{output}")
        return sample, output

    def run_pass(self, command, cwd, wine):
        sample, output = self.run(command, cwd, wine)
        found = re.search(r"wall=([0-9.]+) cpu=([0-9.-]+) bytes=(\d+) result=(\d)", output)
        if not found or found.group(4) != "1":
            raise Failure(f"{' '.join(command)}: no successful pass in:\n{output}")
        sample["pass_wall"] = float(found.group(1))
        sample["pass_cpu"] = float(found.group(2))
        return sample

    def wine(self, *args):
        return [self.args.wine, *args]

    def scripted_user(self, *args):
        # Output to a file: a pipe would stay open in a Wine process that the
        # scripted user's Wine started and that outlives it.
        out_path = os.path.join(self.work, "scripted-user.out")
        with open(out_path, "w") as out:
            code = subprocess.call(self.wine(os.path.join(self.win, "tools", "scripted_user.exe"),
                                             *args), cwd=self.drive_c, env=self.env, stdout=out,
                                   stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        if code != 0:
            with open(out_path) as f:
                raise Failure(f"scripted_user {' '.join(args)} failed:\n{f.read()}")

    # --- the figures ---

    def bench_win(self, *args):
        return self.wine(os.path.join(self.win, "tools", "bench", "bench_passes.exe"), *args)

    def bench_host(self, program, *args):
        return [os.path.join(self.host, "tools", "bench", program), "--cdrom", f"D={self.disc}",
                "--fixed", f"C={self.host_c}", *args]

    def wine_pass_copy(self, callback):
        def run():
            self.clear(self.wine_temp)
            extra = [] if callback else ["--no-callback"]
            sample = self.run_pass(self.bench_win("copy", "D:\\", "C:\\QuillmendTemp\\", *extra),
                                   self.drive_c, True)
            self.expect_copy(self.wine_temp, True, "the copy pass")
            return sample
        return run

    def wine_pass_remove(self, callback):
        def run():
            extra = [] if callback else ["--no-callback"]
            sample = self.run_pass(self.bench_win("remove", "D:\\", "C:\\QuillmendTemp\\", *extra),
                                   self.drive_c, True)
            self.expect_gone(self.wine_temp, "the removal pass")
            return sample
        return run

    def wine_program(self):
        self.clear(self.wine_temp)
        setup_log = os.path.join(self.drive_c, "bench-setup.log")
        if os.path.exists(setup_log):
            os.remove(setup_log)
        self.warm()
        known = children()
        patcher = subprocess.Popen(self.wine(os.path.join(self.win, "VardenholtPatcher.exe")),
                                   cwd=self.drive_c, env=self.env, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            self.scripted_user("wait", "welcome", "60")
            self.scripted_user("click", "welcome", "1")
        except Failure:
            patcher.kill()
            raise
        # The click is posted just before the scripted user ends.
        server_start = process_cpu(self.server.pid)
        start = time.monotonic()
        wall, usage, left = finish(patcher, start, known)
        if left:
            self.notes.append(f"the whole program left processes {left} running")
        server = process_cpu(self.server.pid) - server_start
        if not os.path.exists(setup_log):
            raise Failure("the whole program did not run setup.exe: no complete copy?")
        self.expect_gone(self.wine_temp, "the whole program")
        return {"wall": wall, "cpu": usage.cpu, "rss": usage.rss_kib / 1024, "server": server}

    def xcopy(self):
        self.clear(self.wine_temp)
        sample, _ = self.run(self.wine("xcopy", "D:\\", "C:\\QuillmendTemp\\", "/e", "/i", "/q"),
                             self.drive_c, True)
        self.expect_copy(self.wine_temp, False, "xcopy")
        return sample

    def rmdir(self):
        sample, _ = self.run(self.wine("cmd", "/c", "rmdir", "/s", "/q", "C:\\QuillmendTemp"),
                             self.drive_c, True)
        self.expect_gone(self.wine_temp, "rmdir")
        return sample

    def cp(self):
        self.clear(self.host_temp)
        sample, _ = self.run(["cp", "-r", self.disc, self.host_temp], self.work)
        self.expect_copy(self.host_temp, False, "cp -r")
        return sample

    def rm(self):
        sample, _ = self.run(["rm", "-rf", self.host_temp], self.work)
        self.expect_gone(self.host_temp, "rm -rf")
        return sample

    def host_copy(self, program):
        def run():
            self.clear(self.host_temp)
            sample = self.run_pass(self.bench_host(program, "copy", "D:\\", "C:\\QuillmendTemp\\"),
                                   self.work, False)
            self.expect_copy(self.host_temp, True, f"{program} copy")
            return sample
        return run

    def host_remove(self, program):
        def run():
            sample = self.run_pass(self.bench_host(program, "remove", "D:\\", "C:\\QuillmendTemp\\"),
                                   self.work, False)
            self.expect_gone(self.host_temp, f"{program} remove")
            return sample
        return run

    def disc_read(self):
        # cat reads in large blocks, so the figure is the drive's time, not cat's.
        sample, _ = self.run(["sh", "-c", 'find "$0" -type f -exec cat {} + >/dev/null',
                              self.args.drive], self.work)
        return sample

    def read_ahead(self, runner):
        """The runner with the drive reading ahead (tools/bench/DriveSpeedFs.cpp)."""
        def run():
            os.kill(self.args.drive_pid, signal.SIGUSR1)
            try:
                return runner()
            finally:
                os.kill(self.args.drive_pid, signal.SIGUSR2)
        return run

    def drive_figures(self):
        """The figures on the disc at a drive's speed, D: being the drive."""
        program = ("wine VardenholtPatcher.exe; scripted_user.exe wait welcome 60; "
                   "scripted_user.exe click welcome 1")
        ahead = []
        if self.args.read_ahead:
            ahead = [("program_ahead", f"Whole program, the drive reading ahead "
                      f"{self.args.read_ahead:,} KiB", program, self.read_ahead(self.wine_program))]
        return [
            ("disc_read", "The disc's own read: `cat` of every file to /dev/null",
             "find DRIVE -type f -exec cat {} + >/dev/null", self.disc_read),
            ("xcopy", "Wine `xcopy /e /i /q`",
             "wine xcopy D:\\ C:\\QuillmendTemp\\ /e /i /q", self.xcopy),
            ("program", "Whole program, from the click on OK to exit", program,
             self.wine_program),
        ] + ahead

    def figures(self):
        """(key, label, command as shown, runner), in the order of a round."""
        w = "wine tools/bench/bench_passes.exe"
        h = "tools/bench/bench_passes --cdrom D=DISC --fixed C=HOST_C"
        return [
            ("idle", "Pass program: start, open and close the progress window, exit",
             f"{w} idle",
             lambda: self.run_pass(self.bench_win("idle"), self.drive_c, True)),
            ("measure", "Measure pass: `WalkTree(D:\\, \"\", 1, nullptr)`",
             f"{w} measure D:\\", lambda: self.run_pass(self.bench_win("measure", "D:\\"),
                                                         self.drive_c, True)),
            ("copy", "Copy pass: `CopyToTemp`, `OnCopyProgress`, in the progress window",
             f"{w} copy D:\\ C:\\QuillmendTemp\\", self.wine_pass_copy(True)),
            ("remove", "Removal pass: `RemoveTree` of the held folder, `OnCopyProgress`",
             f"{w} remove D:\\ C:\\QuillmendTemp\\", self.wine_pass_remove(True)),
            ("copy_null", "Copy pass, null callback: the walk, in the progress window",
             f"{w} copy D:\\ C:\\QuillmendTemp\\ --no-callback", self.wine_pass_copy(False)),
            ("remove_null", "Removal pass: `RemoveTree` of the held folder, null callback",
             f"{w} remove D:\\ C:\\QuillmendTemp\\ --no-callback", self.wine_pass_remove(False)),
            ("program", "Whole program, from the click on OK to exit",
             "wine VardenholtPatcher.exe; scripted_user.exe wait welcome 60; "
             "scripted_user.exe click welcome 1", self.wine_program),
            ("xcopy", "Wine `xcopy /e /i /q`",
             "wine xcopy D:\\ C:\\QuillmendTemp\\ /e /i /q", self.xcopy),
            ("rmdir", "Wine `cmd /c rmdir /s /q`",
             "wine cmd /c rmdir /s /q C:\\QuillmendTemp", self.rmdir),
            ("cp", "Native `cp -r`", "cp -r DISC HOST_C/QuillmendTemp", self.cp),
            ("rm", "Native `rm -rf`", "rm -rf HOST_C/QuillmendTemp", self.rm),
            ("host_copy", "Host build (sanitized, unoptimised): copy pass",
             f"{h} copy D:\\ C:\\QuillmendTemp\\", self.host_copy("bench_passes")),
            ("host_remove", "Host build (sanitized, unoptimised): removal pass",
             f"{h} remove D:\\ C:\\QuillmendTemp\\", self.host_remove("bench_passes")),
            ("plain_copy", "Same sources, -O2, no sanitizers: copy pass",
             f"{h.replace('bench_passes', 'bench_passes_plain')} copy D:\\ C:\\QuillmendTemp\\",
             self.host_copy("bench_passes_plain")),
            ("plain_remove", "Same sources, -O2, no sanitizers: removal pass",
             f"{h.replace('bench_passes', 'bench_passes_plain')} remove D:\\ C:\\QuillmendTemp\\",
             self.host_remove("bench_passes_plain")),
        ]

    # --- the run ---

    def start_server(self):
        log("starting a persistent wineserver for the prefix")
        self.server = subprocess.Popen(["wineserver", "-f", "-p"], env=self.env,
                                       stdin=subprocess.DEVNULL)
        time.sleep(0.5)
        if self.server.poll() is not None:
            raise Failure("the wineserver did not start (is another one running for the prefix?)")
        # The prefix's services and the desktop start with the first Wine
        # programs and stay, as in a user's session: that belongs to no figure.
        self.holder = subprocess.Popen(
            self.wine(os.path.join(self.win, "tools", "bench", "hold_desktop.exe")),
            cwd=self.drive_c, env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        for warm_up in (self.bench_win("idle"), self.wine("cmd", "/c", "exit")):
            subprocess.run(warm_up, cwd=self.drive_c, env=self.env, check=True,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)

    def stop_server(self):
        if self.server is None:
            return
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        try:
            self.server.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.server.kill()
            self.server.wait()
        self.server = None
        self.holder = None
        reap_orphans(set(), Usage())

    def measure(self):
        os.makedirs(self.host_c, exist_ok=True)
        figures = self.drive_figures() if self.args.drive else self.figures()
        samples = {key: [] for key, *_ in figures}
        self.start_server()
        try:
            for round_number in range(1, self.args.runs + 1):
                self.round_loads.append(os.getloadavg()[0])
                for key, label, _, runner in figures:
                    sample = runner()
                    samples[key].append(sample)
                    shown = sample.get("pass_wall", sample["wall"])
                    log(f"round {round_number}/{self.args.runs}: {key}: {shown:.3f} s")
        finally:
            self.stop_server()
            self.clear(self.wine_temp)
            self.clear(self.host_temp)
        return figures, samples


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True, help="the build folder ($PATCHER_BUILD_DIR)")
    parser.add_argument("--work", required=True, help="the folder with disc/ and prefix/")
    parser.add_argument("--size", type=int, required=True, help="the disc's size in MB")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--out", required=True)
    parser.add_argument("--windows", default="windows",
                        help="the Windows build folder under --build (windows or windows-x64)")
    parser.add_argument("--wine", default="wine", help="the Wine loader that starts its programs")
    parser.add_argument("--drive", help="the disc mounted at a drive's speed, which D: is: "
                        "measure only the figures on it")
    parser.add_argument("--drive-pid", type=int, help="the process that serves --drive")
    parser.add_argument("--speed", type=int, default=52, help="the drive's speed, as reported")
    parser.add_argument("--read-ahead", type=int, default=0,
                        help="the read-ahead in KiB that the drive has on SIGUSR1 (0: none)")
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        sys.exit("bench: no DISPLAY; tools/bench/run-benchmarks starts Xvfb")

    libc = ctypes.CDLL(None, use_errno=True)
    if libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0:
        sys.exit("bench: can't become the child subreaper")

    # run-benchmarks stops this script with SIGTERM when it is interrupted: the
    # wineserver and the Wine programs are then stopped, as after a failure.
    def stop(number, _):
        raise Failure(f"stopped by signal {number}")
    signal.signal(signal.SIGTERM, stop)

    started = datetime.datetime.now(datetime.timezone.utc)
    load_before = os.getloadavg()
    bench = Bench(args)
    try:
        figures, samples = bench.measure()
    except Failure as failure:
        sys.exit(f"bench: {failure}")
    write = report.write_drive_report if args.drive else report.write_report
    log(write(args, bench, figures, samples, load_before, started))


if __name__ == "__main__":
    main()
