"""The report's section on the disc read at a drive's speed.

It has one part per release the program is tested on (Debian 12 with Wine 8,
Debian 13 with Wine 10); `run-benchmarks --drive-speed` on a release writes
that release's part and leaves the others as they are, and the full report,
written again, keeps the whole section. A part not measured yet says so.
"""

import os
import re

BEGIN = "<!-- drive-speed begin -->"
END = "<!-- drive-speed end -->"
TITLE = "## At a drive's speed"
ANCHOR = "#at-a-drives-speed"
# The releases the program is tested on, in the order shown.
RELEASES = [("debian-12", "Debian 12 (bookworm), Wine 8"),
            ("debian-13", "Debian 13 (trixie), Wine 10")]
PART = re.compile(r"<!-- drive-speed (\S+) begin -->\n(.*?)\n<!-- drive-speed \1 end -->", re.S)


def release():
    """The running system's part key (ID-VERSION_ID, as debian-12) and its name."""
    fields = {}
    try:
        with open("/etc/os-release") as f:
            for line in f:
                key, _, value = line.strip().partition("=")
                fields[key] = value.strip('"')
    except OSError:
        pass
    key = f"{fields.get('ID', 'linux')}-{fields.get('VERSION_ID', 'unknown')}"
    return key, fields.get("PRETTY_NAME", key)


def wrap(key, text):
    return f"<!-- drive-speed {key} begin -->\n{text}\n<!-- drive-speed {key} end -->"


NOT_MEASURED = "Not measured yet:"


def not_measured(name):
    system = name.split(",")[0]
    how = f"on {system} through `tools/debian13/run`" if "Debian 13" in name else f"on {system}"
    return (f"### {name}\n\n{NOT_MEASURED} run `tools/bench/run-benchmarks --drive-speed` "
            f"{how}.\n")


def intro():
    return (
        f"{TITLE}\n\n"
        "A player's disc is read by a drive, and no faster than the drive reads: a 52x drive "
        "delivers at most 52 × 75 sectors of 2,048 bytes, 7,987,200 bytes a second, so a 200 MiB "
        "disc takes at least 26 s whatever copies it. Here the demo disc is served by "
        "`tools/bench/DriveSpeedFs.cpp`, a FUSE file system over the disc folder that delivers "
        "every read at such a rate, one stream for all files as one drive's, with direct I/O: "
        "the page cache keeps nothing, so a repeated read is paced like the first. Wine's CD-ROM "
        "drive D: is that mount. Each figure is set against the disc's own read time, `cat` of "
        "every file to /dev/null through the same mount, with Wine's `xcopy` of the disc beside "
        "the program's whole run (copy, setup, removal). For these the drive reads nothing "
        "ahead: each read waits for its own bytes, and the time the reader spends between reads "
        "is lost, as when the run's one thread reads, writes and reports in turn. The program's "
        "run is then measured again with the drive reading ahead into a buffer "
        "(`--read-ahead KIB`, 2 MiB unless told), as drives and the system's cache do, so that "
        "the time between reads is made up from it. Without read-ahead each of the program's "
        "small reads (about 4 KiB, its C runtime's buffer) also waits for a round trip through "
        "FUSE and the wake-up of its thread, which a loaded machine makes longer: that figure "
        "is the upper bound, the one with read-ahead the nearer to a player's drive. Seeks and "
        "spin-up are not modelled.\n\n"
        "One command, on Debian 12 directly and on Debian 13 through `tools/debian13/run`; it "
        "writes only its own release's part below:\n\n"
        "```\ntools/bench/run-benchmarks --drive-speed\n```\n")


def block(parts):
    """The whole section from {key: text}, known releases first."""
    keys = [key for key, _ in RELEASES] + sorted(set(parts) - {key for key, _ in RELEASES})
    names = dict(RELEASES)
    shown = [wrap(key, parts.get(key) or not_measured(names[key])) for key in keys]
    return "\n".join([BEGIN, intro(), *shown, END]) + "\n"


def existing(path):
    """The section as the file at path holds it, or None."""
    try:
        with open(path) as f:
            text = f.read()
    except OSError:
        return None
    start, end = text.find(BEGIN), text.find(END)
    if start < 0 or end < start:
        return None
    return text[start:end + len(END)] + "\n"


def kept(path):
    """The section to carry into a full report written again at path."""
    return existing(path) or block({})


def update(path, key, text):
    """Writes one release's part into the report at path, the rest untouched."""
    old = ""
    if os.path.exists(path):
        with open(path) as f:
            old = f.read()
    section = existing(path)
    # Parts not measured yet are written afresh.
    parts = {k: v for k, v in PART.findall(section or "") if NOT_MEASURED not in v}
    parts[key] = text
    if section:
        new = old.replace(section.rstrip("\n"), block(parts).rstrip("\n"), 1)
    else:
        new = old.rstrip("\n") + "\n\n" + block(parts)
    with open(path, "w") as f:
        f.write(new)
