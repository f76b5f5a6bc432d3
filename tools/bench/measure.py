#!/usr/bin/env python3
"""Runs every benchmark and writes the report; tools/bench/run-benchmarks
builds the programs, makes the disc, the Wine prefix and the display first.

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
import platform
import re
import shutil
import signal
import statistics
import subprocess
import sys
import time

import drive_report

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
            ("copy", "Copy pass, `OnCopyProgress`, in the progress window",
             f"{w} copy D:\\ C:\\QuillmendTemp\\", self.wine_pass_copy(True)),
            ("remove", "Removal pass, `OnCopyProgress`",
             f"{w} remove D:\\ C:\\QuillmendTemp\\", self.wine_pass_remove(True)),
            ("copy_null", "Copy pass, null callback, in the progress window",
             f"{w} copy D:\\ C:\\QuillmendTemp\\ --no-callback", self.wine_pass_copy(False)),
            ("remove_null", "Removal pass, null callback",
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


# --- the report ---

def median(samples, field):
    values = [s[field] for s in samples if s.get(field) is not None]
    return statistics.median(values) if values else None


def seconds(value, digits=2):
    return "—" if value is None else f"{value:.{digits}f}"


def machine(work, args):
    def read(path):
        try:
            with open(path) as f:
                return f.read()
        except OSError:
            return ""

    cpu = re.search(r"^model name\s*:\s*(.*)$", read("/proc/cpuinfo"), re.M)
    mhz = re.search(r"^cpu MHz\s*:\s*([0-9.]+)$", read("/proc/cpuinfo"), re.M)
    mem = re.search(r"^MemTotal:\s*(\d+) kB", read("/proc/meminfo"), re.M)
    mount = subprocess.run(["findmnt", "-n", "-o", "SOURCE,FSTYPE", "-T", work],
                           capture_output=True, text=True).stdout.split()
    disk = " ".join(mount) if mount else "unknown"
    if mount:
        device = os.path.basename(mount[0])
        rotational = read(f"/sys/block/{device}/queue/rotational").strip()
        if rotational:
            disk += f", rotational flag {rotational}"
    wine = subprocess.run([args.wine, "--version"], capture_output=True, text=True).stdout.strip()
    return {
        "CPU": (cpu.group(1) if cpu else "unknown") +
               (f", {float(mhz.group(1)):.0f} MHz" if mhz else ""),
        "Cores (nproc)": str(os.cpu_count()),
        "Memory": f"{int(mem.group(1)) / 1048576:.1f} GiB" if mem else "unknown",
        "Kernel": f"{platform.system()} {platform.release()}",
        "Disk of the work folder": disk,
        "Wine": wine,
        "Program": (f"build/{args.windows}/VardenholtPatcher.exe, " +
                    ("the x86 program players get, under WoW64 in a 64-bit prefix"
                     if args.windows == "windows" else
                     "the x86-64 build (this machine runs no 32-bit programs)")),
    }


def disc_summary(disc):
    files = folders = size = small = 0
    largest = 0
    for folder, dirs, names in os.walk(disc):
        folders += len(dirs)
        for name in names:
            length = os.lstat(os.path.join(folder, name)).st_size
            files += 1
            size += length
            largest = max(largest, length)
            small += length <= 65536
    return (f"{files} files ({small} of at most 64 KiB, the largest {largest / 1048576:.0f} MiB) "
            f"in {folders} folders, {size / 1048576:.0f} MiB in all")


def chunks(disc):
    """The copy's 2,048-byte chunks, one progress report each."""
    count = 0
    for folder, dirs, names in os.walk(disc):
        dirs[:] = [d for d in dirs if not d.startswith(".")]
        for name in names:
            if not name.startswith("."):
                count += -(-os.lstat(os.path.join(folder, name)).st_size // 2048)
    return count


def ratio(a, b):
    return "—" if a is None or not b else f"{a / b:.2f}"


def restart_section(path):
    """The section tools/bench/run-restart-bench writes, carried into the report as it is."""
    try:
        with open(path) as f:
            text = f.read()
    except OSError:
        return ""
    start, end = text.find("<!-- restart-deletes begin -->"), text.find("<!-- restart-deletes end -->")
    return text[start:end] + "<!-- restart-deletes end -->\n" if 0 <= start < end else ""


def write_report(args, bench, figures, samples, load_before, started):
    rows = {key: (label, command) for key, label, command, _ in figures}
    m = {key: {f: median(samples[key], f) for f in ("wall", "pass_wall", "cpu", "pass_cpu",
                                                     "server", "rss")} for key in samples}

    def wall(key):  # the pass's own time where the figure has one
        return m[key]["pass_wall"] if m[key]["pass_wall"] is not None else m[key]["wall"]

    def cpu(key):  # every process of the command and the wineserver
        return m[key]["cpu"] + (m[key]["server"] or 0)

    def share(with_key, without_key, pick):
        a, b = pick(with_key), pick(without_key)
        return "—" if not a else f"{(a - b) / a * 100:.0f} %"

    out = []
    out.append("# Performance\n")
    out.append("Generated by `tools/bench/run-benchmarks` (edit the script, not this file). "
               f"Run of {started:%Y-%m-%d %H:%M} UTC: a demo disc of {args.size} MB, "
               f"{args.runs} runs of each figure, medians shown.\n")
    out.append("Reproduce everything with one command (it builds what it needs in "
               "`$PATCHER_BUILD_DIR`, default `build/`):\n")
    out.append("```\ntools/bench/run-benchmarks\n```\n")
    out.append(f"Options used for this run: `--size {args.size} --runs {args.runs}`.\n")
    out.append("The whole run against the time the disc itself takes to read, at a drive's "
               f"speed, for each release: [At a drive's speed]({drive_report.ANCHOR}), from "
               "`tools/bench/run-benchmarks --drive-speed`.\n")

    reports = chunks(bench.disc)
    per_report = (wall("copy") - wall("copy_null")) / reports * 1e6 if reports else 0
    out.append("## In short\n")
    out.append(
        f"- A whole run of the program under Wine, from OK to exit, takes {wall('program'):.1f} s "
        f"for the {args.size} MB disc: {ratio(wall('program'), wall('xcopy') + wall('rmdir'))} "
        f"times Wine's `xcopy` and `rmdir` of the same tree, "
        f"{ratio(wall('program'), wall('cp') + wall('rm'))} times native `cp -r` and `rm -rf`. "
        f"It uses {cpu('program'):.1f} s of CPU (the wineserver's included) and at most "
        f"{m['program']['rss']:.0f} MiB.\n"
        f"- The copy pass takes {wall('copy'):.1f} s ({ratio(wall('copy'), wall('xcopy'))} times "
        f"`xcopy`, {ratio(wall('copy'), wall('cp'))} times `cp -r`). "
        f"{share('copy', 'copy_null', wall)} of it is the progress report and the message pump "
        f"after each of its {reports} chunks, about {per_report:.0f} µs a chunk: with a null "
        f"callback the same copy takes {wall('copy_null'):.1f} s.\n"
        f"- The removal pass takes {wall('remove'):.1f} s "
        f"({ratio(wall('remove'), wall('rmdir'))} times `rmdir /s /q`, "
        f"{ratio(wall('remove'), wall('rm'))} times `rm -rf`); the measure pass "
        f"{wall('measure') * 1000:.0f} ms.\n"
        f"- On the host, the same copy code takes {ratio(wall('host_copy'), wall('cp'))} times "
        f"`cp -r` in the sanitized build and {ratio(wall('plain_copy'), wall('cp'))} times "
        f"optimised; the removal {ratio(wall('host_remove'), wall('rm'))} and "
        f"{ratio(wall('plain_remove'), wall('rm'))} times `rm -rf`.\n")

    out.append("## Machine\n")
    out.append("| | |\n|---|---|")
    for k, v in machine(bench.work, args).items():
        out.append(f"| {k} | {v} |")
    load_after = os.getloadavg()
    out.append(f"| Load average (1, 5, 15 min) before | {', '.join(f'{x:.2f}' for x in load_before)} |")
    out.append(f"| Load average (1, 5, 15 min) after | {', '.join(f'{x:.2f}' for x in load_after)} |")
    out.append(f"| Load average (1 min) as each round began | "
               f"{', '.join(f'{x:.2f}' for x in bench.round_loads)} |")
    out.append("")
    out.append("The load averages count the benchmark's own processes (about one core while a "
               "copy runs); the rest is other work on the machine.\n")
    out.append(f"The disc (`tools/demo-disc/make-demo-disc DISC {args.size}`, with a `setup.exe` "
               f"that exits at once): {disc_summary(bench.disc)}.\n")

    out.append("## Results\n")
    out.append("Medians. **Wall** is the whole command, process start-up included; for the pass "
               "program **Pass** is the pass alone, timed inside the process. **CPU** is user + "
               "system time of every process the command made (for the pass program this includes "
               "its start-up and, for a copy or a removal, the untimed measure pass before it; "
               "**Pass CPU** is the pass alone, from `GetProcessTimes` under Wine and `getrusage` on the "
               "host, without the wineserver). "
               "**wineserver** is the CPU time of the wineserver during the command. **RSS** is the "
               "peak resident set of the largest process.\n")
    out.append("| Figure | Wall (s) | Pass (s) | CPU (s) | Pass CPU (s) | wineserver CPU (s) "
               "| RSS (MiB) |")
    out.append("|---|---:|---:|---:|---:|---:|---:|")
    groups = [("Under Wine", ["idle", "measure", "copy", "remove", "copy_null", "remove_null",
                              "program", "xcopy", "rmdir"]),
              ("Native", ["cp", "rm"]),
              ("Host build over `hostfs::MapDrive`", ["host_copy", "host_remove", "plain_copy",
                                                      "plain_remove"])]
    for title, keys in groups:
        out.append(f"| **{title}** | | | | | | |")
        for key in keys:
            r = m[key]
            digits = 3 if key in ("idle", "measure") else 2
            out.append(f"| {rows[key][0]} | {seconds(r['wall'], digits)} | "
                       f"{seconds(r['pass_wall'], digits)} | {seconds(r['cpu'], digits)} | "
                       f"{seconds(r['pass_cpu'], digits)} | {seconds(r['server'], digits)} | "
                       f"{r['rss']:.0f} |")
    out.append("")

    out.append("## Ratios\n")
    out.append("Wall: the pass's own time against the whole tool (whose start-up, about the "
               "idle figure under Wine, is in it). CPU: every process and the wineserver.\n")
    out.append("| Comparison | Wall ratio | CPU ratio |")
    out.append("|---|---:|---:|")
    pairs = [
        ("Copy pass / Wine xcopy", "copy", "xcopy"),
        ("Copy pass / native cp -r", "copy", "cp"),
        ("Removal pass / Wine rmdir /s /q", "remove", "rmdir"),
        ("Removal pass / native rm -rf", "remove", "rm"),
        ("Copy pass, null callback / Wine xcopy", "copy_null", "xcopy"),
        ("Copy pass, null callback / native cp -r", "copy_null", "cp"),
        ("Host build copy / cp -r", "host_copy", "cp"),
        ("Host build removal / rm -rf", "host_remove", "rm"),
        ("Host -O2 copy / cp -r", "plain_copy", "cp"),
        ("Host -O2 removal / rm -rf", "plain_remove", "rm"),
    ]
    for label, a, b in pairs:
        out.append(f"| {label} | {ratio(wall(a), wall(b))} | {ratio(cpu(a), cpu(b))} |")
    out.append(f"| Whole program / (Wine xcopy + rmdir) | "
               f"{ratio(wall('program'), wall('xcopy') + wall('rmdir'))} | "
               f"{ratio(cpu('program'), cpu('xcopy') + cpu('rmdir'))} |")
    out.append(f"| Whole program / (native cp -r + rm -rf) | "
               f"{ratio(wall('program'), wall('cp') + wall('rm'))} | "
               f"{ratio(cpu('program'), cpu('cp') + cpu('rm'))} |")
    out.append("")

    out.append("## The progress report's share\n")
    out.append("The same pass with `OnCopyProgress` (which updates the window at most once per "
               "percent and then drains the queue with `PumpMessages`) and with a null callback; "
               "the difference is the cost of the report and the pump.\n")
    out.append("| Pass | Wall share | CPU share (process and wineserver) |")
    out.append("|---|---:|---:|")
    out.append(f"| Copy | {share('copy', 'copy_null', wall)} | {share('copy', 'copy_null', cpu)} |")
    out.append(f"| Removal | {share('remove', 'remove_null', wall)} | "
               f"{share('remove', 'remove_null', cpu)} |")
    out.append("")

    out.append("## Commands\n")
    out.append("Each figure's command, as the script runs it: Wine commands in the prefix that "
               "`scripts/wine-prefix` makes (C: its own drive_c, D: a CD-ROM drive on the disc "
               "folder), from C:\\, with `WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=`; paths "
               "relative to the Windows or host build. DISC is the disc folder, HOST_C the host "
               "folder that stands for C: (same file system as the prefix). Before each command "
               "the disc is read once and `sync` runs; a removal works on the copy that the figure "
               "before it made.\n")
    out.append("| Figure | Command |")
    out.append("|---|---|")
    for key, label, command, _ in figures:
        out.append(f"| {label} | `{command}` |")
    out.append("")

    out.append("## How it was measured\n")
    out.append(
        "- Every figure runs once per round, rounds one after another, so load changes spread "
        "over all figures alike.\n"
        "- One persistent wineserver serves the prefix for the whole run, started before the "
        "first round together with the prefix's services and desktop, which a small program "
        "(`tools/bench/HoldDesktop.cpp`) keeps open as a user's session would; so no figure pays "
        "for starting them. The wineserver's CPU time is read from `/proc` before and after each "
        "command; the services and the desktop process are not counted.\n"
        "- Xvfb has no window manager, and Wine's X11 driver waits up to 2 s for one to confirm "
        "each managed window that is hidden or closed (the welcome dialog, the progress window): "
        "the prefix sets `Managed=N` under `HKCU\\Software\\Wine\\X11 Driver`, so that the "
        "figures hold the program's time and not that wait.\n"
        "- The script is the child subreaper of everything it starts: Wine runs `xcopy.exe` "
        "beside `start.exe`, and the program's `setup.exe` detached from it; those come back to "
        "the script and are reaped with `wait4`, so their CPU time and RSS are counted.\n"
        "- The whole program: `VardenholtPatcher.exe` is started, the scripted user waits for "
        "the welcome dialog and posts a click on OK; the wall time runs from the moment the "
        "scripted user has posted the click to the program's exit. Its CPU time is the whole "
        "process (start-up and the welcome dialog included) and the `setup.exe` it ran, which "
        "only notes that it ran and exits with 0.\n"
        "- The copy pass runs as the program runs it: the temporary folder made private, the "
        "progress window opened with its opening reports, `ByteCounters::copied` reset, the "
        "walk, the window closed; it counts only when the bytes copied equal the measured total. "
        "Every copy is checked file by file count and bytes against the disc.\n"
        "- The host build is the tree's `build/host` (Debug, AddressSanitizer and "
        "UndefinedBehaviorSanitizer); the -O2 rows build the same `patch/` and `platform/` "
        "sources without the sanitizers, to tell the code's cost from the checks'. The host has "
        "no progress window: its passes run with a null callback.\n")
    if bench.notes:
        out.append("Notes from this run:\n")
        for note in bench.notes:
            out.append(f"- {note}")
        out.append("")

    out.append("## Every run\n")
    out.append("Wall time of each run in seconds (the pass's own time where there is one).\n")
    out.append("| Figure | Runs |")
    out.append("|---|---|")
    for key, label, _, _ in figures:
        values = [s.get("pass_wall", s["wall"]) for s in samples[key]]
        out.append(f"| {label} | {', '.join(f'{v:.3f}' for v in values)} |")
    out.append("")
    out.append(drive_report.kept(args.out))
    out.append(restart_section(args.out))

    with open(args.out, "w") as f:
        f.write("\n".join(out))
    log(f"wrote {args.out}")


def write_drive_report(args, bench, figures, samples, load_before, started):
    """This release's part of the section on the disc at a drive's speed."""
    key, system = drive_report.release()
    wine = machine(bench.work, args)["Wine"]
    rate = args.speed * 75 * 2048  # as tools/bench/DriveRate.h counts it
    _, size = bench.tree(bench.disc, False)
    wall = {k: median(samples[k], "wall") for k in samples}
    cpu = {k: median(samples[k], "cpu") for k in samples}
    server = {k: median(samples[k], "server") for k in samples}
    read = wall["disc_read"]
    options = (f"--drive-speed --size {args.size} --speed {args.speed} "
               f"--read-ahead {args.read_ahead} --runs {args.runs}")

    out = [f"### {system}, {wine}\n"]
    ahead = ""
    if "program_ahead" in wall:
        ahead = (f", or {ratio(wall['program_ahead'], read)} times "
                 f"({wall['program_ahead']:.1f} s) when the drive reads "
                 f"{args.read_ahead:,} KiB ahead")
    out.append(
        f"- The whole run takes **{ratio(wall['program'], read)} times** the disc's own read "
        f"time at {args.speed}x ({wall['program']:.1f} s against {read:.1f} s) when the drive "
        f"reads nothing ahead{ahead}; Wine's `xcopy` of the same disc "
        f"{ratio(wall['xcopy'], read)} times ({wall['xcopy']:.1f} s).\n")
    out.append(f"Run of {started:%Y-%m-%d %H:%M} UTC, medians of {args.runs}: "
               f"`tools/bench/run-benchmarks {options}`. {disc_summary(bench.disc)}; "
               f"{machine(bench.work, args)['Program']}.\n")
    out.append("| Figure | Wall (s) | Against the disc's read | CPU (s) | wineserver CPU (s) |")
    out.append("|---|---:|---:|---:|---:|")
    out.append(f"| The disc's {size:,} bytes at {args.speed}x, {rate:,} bytes/s: the least any "
               f"reader takes | {size / rate:.2f} | {ratio(size / rate, read)} | — | — |")
    for k, label, _, _ in figures:
        out.append(f"| {label} | {wall[k]:.2f} | {ratio(wall[k], read)} | {cpu[k]:.2f} | "
                   f"{seconds(server[k])} |")
    out.append("")
    load_after = os.getloadavg()
    out.append(
        f"Load average (1, 5, 15 min) before: {', '.join(f'{x:.2f}' for x in load_before)}; "
        f"after: {', '.join(f'{x:.2f}' for x in load_after)}; (1 min) as each round began: "
        f"{', '.join(f'{x:.2f}' for x in bench.round_loads)}. The benchmark's own processes "
        "count in it. Every run, wall time in seconds:\n")
    out.append("| Figure | Runs |")
    out.append("|---|---|")
    for k, label, _, _ in figures:
        values = ", ".join(f"{sample['wall']:.2f}" for sample in samples[k])
        out.append(f"| {label} | {values} |")
    out.append("")
    if bench.notes:
        out.append("Notes from this run:\n")
        out.extend(f"- {note}" for note in bench.notes)
        out.append("")
    drive_report.update(args.out, key, "\n".join(out))
    log(f"wrote the {system} part of {args.out}")


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
    report = write_drive_report if args.drive else write_report
    report(args, bench, figures, samples, load_before, started)


if __name__ == "__main__":
    main()
