#!/usr/bin/env python3
"""Round trip: a corpus stored as Velmora keeps it, converted by vmtool in every
format, read back by Python's mailbox/email and by mb2md, compared message by
message with the original.

run.py VMTOOL [--keep]    exit 0 when every message of every reader is exact
"""
import mailbox
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import corpus  # noqa: E402
import model   # noqa: E402

FORMATS = {1: "mbox", 2: "eml", 3: "Eudora", 4: "Netscape"}
READERS = {1: ("python", "mb2md"), 2: ("python",), 3: ("python", "mb2md"), 4: ("python", "mb2md")}


class EudoraBox(mailbox.mbox):
    """An Eudora mailbox: only "From ???@??? " lines start a message, since its
    bodies are not quoted."""

    def _generate_toc(self):
        starts = []
        self._file.seek(0)
        while True:
            pos = self._file.tell()
            line = self._file.readline()
            if not line:
                break
            if line.startswith(model.STORED_SEPARATOR):
                starts.append(pos)
        self._toc = dict(enumerate(zip(starts, starts[1:] + [pos])))
        self._next_key = len(self._toc)
        self._file_length = pos


def output_files(out, fmt, tray):
    if fmt == 2:
        folder = os.path.join(out, tray)
        return sorted(os.path.join(folder, n) for n in os.listdir(folder)) if os.path.isdir(folder) else []
    path = os.path.join(out, tray + (".mbx" if fmt in (1, 3) else ""))
    return [path] if os.path.isfile(path) else []


def read_python(fmt, files):
    if fmt == 2:
        return [model.read_message(open(f, "rb").read()) for f in files]
    messages = []
    for path in files:
        box = (EudoraBox if fmt == 3 else mailbox.mbox)(path, create=False)
        messages += [model.read_message(box.get_file(key, from_=True).read()) for key in box.keys()]
        box.close()
    return messages


def read_mb2md(files, work):
    messages = []
    for path in files:
        dest = tempfile.mkdtemp(dir=work, prefix="mb2md-")
        run = subprocess.run(["mb2md", "-s", path, "-d", dest], capture_output=True, env=dict(os.environ, HOME=work))
        if run.returncode:
            raise SystemExit("mb2md failed on %s:\n%s" % (path, run.stderr.decode(errors="replace")))
        cur = os.path.join(dest, "cur")
        names = sorted(os.listdir(cur), key=lambda n: int(re.search(r"\.(\d+)\.mbox", n).group(1)))
        messages += [model.read_message(open(os.path.join(cur, n), "rb").read()) for n in names]
    return messages


def message_id(fields):
    return next((v for n, v in fields if n.lower() == b"message-id"), None)


def show(data, at):
    return repr(data[max(0, at - 16):at + 40])


def difference(exp, got, reader, fmt):
    """None when exact, else the separator problem, the first differing header
    field and the first differing body offset."""
    sep, fields, body = got
    why = []
    if reader == "python":
        if not (sep == exp.separator or re.fullmatch(exp.separator, sep or b"")):
            why.append("separator line %r" % sep)
        if fmt in (1, 4):
            body = model.mboxrd_unquote(body)
    diff = next((i for i, (e, g) in enumerate(zip(exp.fields, fields)) if e != g), None)
    if diff is not None:
        why.append("header field %d: expected %r, got %r" % (
            diff + 1, b":".join(exp.fields[diff]), b":".join(fields[diff])))
    elif len(exp.fields) != len(fields):
        why.append("%d header fields, expected %d" % (len(fields), len(exp.fields)))
    bodies = exp.bodies if reader == "python" else exp.mb2md_bodies
    if body not in bodies:
        want = bodies[0]
        at = next((i for i, (a, b) in enumerate(zip(want, body)) if a != b), min(len(want), len(body)))
        why.append("body differs at offset %d (%d bytes, expected %d): expected %s, got %s" % (
            at, len(body), len(want), show(want, at), show(body, at)))
    return "; ".join(why) or None


def compare(fmt, reader, live, read):
    """(exact, total, problems) for one format, reader and tray."""
    problems, exact, used, last = [], 0, set(), -1
    for i, (case, stored) in enumerate(live):
        exp = model.expect(stored, fmt, i == len(live) - 1)
        mid = message_id(exp.fields)
        hit = next((k for k, m in enumerate(read) if k not in used and message_id(m[1]) == mid), None)
        if hit is None:
            problems.append((case.name, "missing (lost, or merged into another message)"))
            continue
        used.add(hit)
        why = difference(exp, read[hit], reader, fmt)
        if why is None and fmt != 2 and hit < last:
            why = "out of index order"
        last = hit
        if why:
            problems.append((case.name, why))
        else:
            exact += 1
    for k in sorted(set(range(len(read))) - used):
        problems.append(("?", "extra message %r" % (message_id(read[k][1]) or read[k][2][:60])))
    return exact, len(live), problems


def check(vmtool, work):
    """Converts the corpus in every format and reads it back: (rows, problems)."""
    store = os.path.join(work, "store")
    trays = corpus.corpus()
    live = corpus.write_store(store, trays)
    rows, problems = [], []
    for fmt, name in FORMATS.items():
        out = os.path.join(work, "out%d" % fmt)
        os.makedirs(out)
        run = subprocess.run([vmtool, "convert", "--store", store, "--format", str(fmt),
                              "--trays", ",".join(trays), "--out", out], capture_output=True)
        if run.returncode:
            problems.append("%s: vmtool convert exit %d: %s" % (
                name, run.returncode, (run.stdout + run.stderr).decode(errors="replace").strip()))
        for reader in READERS[fmt]:
            exact = total = count = 0
            for tray in trays:
                files = output_files(out, fmt, tray)
                read = read_python(fmt, files) if reader == "python" else read_mb2md(files, work)
                e, t, p = compare(fmt, reader, live[tray], read)
                exact, total, count = exact + e, total + t, count + len(read)
                problems += ["%s/%s %s: %s: %s" % (name, reader, tray, case, why) for case, why in p]
            rows.append((name, reader, exact, total, count))
    return rows, problems


def main():
    args = [a for a in sys.argv[1:] if a != "--keep"]
    keep = len(args) < len(sys.argv) - 1
    if len(args) != 1:
        raise SystemExit(__doc__)
    vmtool = os.path.abspath(args[0])
    if not os.access(vmtool, os.X_OK):
        raise SystemExit("roundtrip: no vmtool at %s (build the host preset first)" % vmtool)
    if not shutil.which("mb2md"):
        raise SystemExit("roundtrip: mb2md is not installed (scripts/setup.sh installs it); nothing was checked")
    work = tempfile.mkdtemp(prefix="velmora-roundtrip-")
    try:
        rows, problems = check(vmtool, work)
    finally:
        if keep:
            print("store and output kept in " + work)
        else:
            shutil.rmtree(work, ignore_errors=True)
    print("%-9s %-7s %15s %6s" % ("format", "reader", "exact / total", "read"))
    for name, reader, exact, total, count in rows:
        print("%-9s %-7s %7d / %-5d %6d" % (name, reader, exact, total, count))
    for problem in problems:
        print("MISMATCH " + problem)
    failed = bool(problems) or any(exact != total or count != total for _, _, exact, total, count in rows)
    print("round trip: %s" % ("FAILED (run.py VMTOOL --keep keeps the files)" if failed else "every message exact"))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
