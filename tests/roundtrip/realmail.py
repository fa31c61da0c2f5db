#!/usr/bin/env python3
"""Round trip of real mail: the messages under ../shared/real-mail (the test data
of public MIME libraries, one file each in tray folders) stored as Velmora keeps
them, converted by vmtool in every format and read back.

  mbox, Netscape: every message comes back byte for byte (Python's mailbox).
  eml:            every file holds one stored message byte for byte, and no file
                  name holds an encoded word that Python decodes.
  Eudora:         each body equals Python's decoding of the first leaf part
                  (descending multiparts and message/rfc822 parts; its
                  get_content() when it is text/*, else nothing) in Shift_JIS,
                  and each Subject equals Python's decoded Subject; a character
                  code page 932 cannot hold is the geta mark.

realmail.py VMTOOL [--keep] [--list]
Exit 0 when every message matches (the Eudora figures are printed by category);
without ../shared/real-mail it says so and exits 0.
"""
import collections
import email
import email.errors
import email.header
import email.policy
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
import run     # noqa: E402

REAL_MAIL = os.path.join(os.path.dirname(corpus.ROOT), "shared", "real-mail")
GETA = b"\x81\xac"
# Unicode code points whose Japanese mapping differs between vendors (JIS and
# macOS against Windows): they are the code page 932 characters that hold them.
VENDOR = {0x301C: 0xFF5E, 0x2016: 0x2225, 0x2212: 0xFF0D, 0x00A2: 0xFFE0,
          0x00A3: 0xFFE1, 0x00AC: 0xFFE2, 0x2014: 0x2015}
# Python reports these as a message it could not read as one: its header or
# its parts are not where Python looks for them.
BROKEN = (email.errors.StartBoundaryNotFoundDefect, email.errors.CloseBoundaryNotFoundDefect,
          email.errors.MultipartInvariantViolationDefect, email.errors.MissingHeaderBodySeparatorDefect,
          email.errors.FirstHeaderLineIsContinuationDefect)


def iso2022jp_cp932(data):
    """ISO-2022-JP as code page 932 reads it (JIS X 0208 with the NEC and IBM
    rows, JIS X 0201 katakana by ESC ( I or SO), for the text phones send that
    Python's iso-2022-jp codec cannot read."""
    out, mode, lead, i = [], "ascii", None, 0
    while i < len(data):
        b, esc = data[i], data[i + 1:i + 3]
        if b == 0x1B and esc in (b"$B", b"$@", b"(B", b"(J", b"(H", b"(I"):
            mode = {b"$B": "kanji", b"$@": "kanji", b"(I": "kana"}.get(esc, "ascii")
            lead, i = None, i + 3
            continue
        if b in (0x0E, 0x0F):
            mode, lead, i = ("kana" if b == 0x0E else "ascii"), None, i + 1
            continue
        if mode == "kanji" and 0x21 <= b <= 0x7E:
            if lead is None:
                lead = b
            else:
                s1 = ((lead - 0x21) >> 1) + 0x81
                s2 = b + 0x1F if lead & 1 else b + 0x7D
                # One character: a pair code page 932 does not assign (the
                # emoji rows of phones) is one unreadable character.
                out.append(bytes([s1 + 0x40 if s1 > 0x9F else s1, s2 + 1 if s2 >= 0x7F else s2])
                           .decode("cp932", "replace")[:1])
                lead = None
        elif mode == "kana" and 0x21 <= b <= 0x5F:
            out.append(bytes([b | 0x80]).decode("cp932"))
        else:
            # Bytes as they stand (Shift_JIS passes) are read together.
            if out and isinstance(out[-1], bytearray):
                out[-1].append(b)
            else:
                out.append(bytearray([b]))
            if b < 0x20:
                mode, lead = "ascii", None
        i += 1
    return "".join(p.decode("cp932", "replace") if isinstance(p, bytearray) else p for p in out)


# Readings for text that Python's own codecs cannot read but mail from phones
# and Windows holds: Windows extensions in Shift_JIS and ISO-2022-JP.
SUPERSETS = {"iso-2022-jp": iso2022jp_cp932, "shift_jis": lambda d: d.decode("cp932")}


def sjis(text):
    """Text in Shift_JIS (code page 932), the geta mark for what it cannot hold."""
    out = bytearray()
    for ch in text:
        ch = chr(VENDOR.get(ord(ch), ord(ch)))
        try:
            out += ch.encode("cp932")
        except UnicodeEncodeError:
            out += GETA
    return bytes(out)


def lines_of(data):
    """Text bytes compared line by line: LF line ends, "." lines and what follows
    a zero byte on a line left out, trailing empty lines gone."""
    data = data.replace(b"\r\n", b"\n").replace(b"\r", b"\n")
    kept = [line.split(b"\0")[0] for line in data.split(b"\n") if line != b"."]
    return b"\n".join(kept).rstrip(b"\n")


def first_leaf(msg):
    """Python's first leaf: first parts of multiparts, into message/rfc822."""
    part, depth = msg, 0
    while part.is_multipart() and depth < 100:
        payload = part.get_payload()
        if not payload:
            return None
        part, depth = payload[0], depth + 1
    return part


def reference_body(raw):
    """(category, Shift_JIS body or None when Python reports the structure broken)."""
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    leaf = first_leaf(msg)
    broken = any(isinstance(d, BROKEN) for p in msg.walk() for d in p.defects)
    if leaf is None or broken:
        return "broken structure", None
    cte = str(leaf.get("content-transfer-encoding", "7bit")).strip().lower() or "7bit"
    charset = leaf.get_content_charset()
    category = "%s %s %s" % (leaf.get_content_type(), cte, charset or "-")
    if leaf.get_content_maintype() != "text":
        return category, b""
    try:
        text = leaf.get_content()
    except LookupError:
        # A charset Python does not know: the text as it is.
        return category + " (unknown charset)", leaf.get_payload(decode=True) or b""
    if "\ufffd" in text:
        data = leaf.get_payload(decode=True) or b""
        if not charset or charset in ("us-ascii", "ascii"):
            # No charset (or ASCII with 8-bit bytes): the bytes as the client
            # wrote them, ISO-2022-JP converted.
            return category, model.jis_to_sjis(data)
        superset = SUPERSETS.get(charset)
        if superset:
            try:
                text = superset(data)
            except UnicodeDecodeError:
                pass
    return category, sjis(text)


def superset_header(value):
    """A header value decoded word by word as Python does, but Shift_JIS and
    ISO-2022-JP words read with the Windows extensions phones use (Python
    leaves such a word as it stands, or replaces its characters)."""
    parts = []
    for data, charset in email.header.decode_header(value):
        if isinstance(data, str):
            parts.append(data)
        elif charset in SUPERSETS:
            try:
                parts.append(SUPERSETS[charset](data))
            except UnicodeDecodeError:
                parts.append(data.decode(charset, "replace"))
        else:
            try:
                parts.append(data.decode(charset or "ascii", "replace"))
            except LookupError:
                parts.append(data.decode("ascii", "replace"))
    return "".join(parts)


def canon(data):
    """Shift_JIS bytes with each character in the one code page 932 form that
    Windows gives its Unicode character (NEC and IBM duplicates are one
    character); bytes that are no character stay as they are."""
    out = bytearray()
    for ch in data.decode("cp932", "surrogateescape"):
        if 0xDC80 <= ord(ch) <= 0xDCFF:
            out.append(ord(ch) - 0xDC00)
        else:
            out += sjis(ch)
    return bytes(out)


def raw_subject(raw):
    """The stored Subject's bytes, unfolded, or None."""
    header = model.split_header(raw.replace(b"\n", b"\r\n"))[0]
    m = re.search(rb"(?im)^subject:[ \t]*(.*?)\r\n(?![ \t])", header, re.S)
    return None if m is None else re.sub(rb"\r\n(?=[ \t])", b"", m.group(1))


def reference_subject(raw):
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    value = msg.get("subject")
    if value is None:
        return None
    stored = raw_subject(raw)
    if stored is not None and b"=?" not in stored and re.search(rb"[\x80-\xff]", stored):
        try:
            stored.decode("utf-8")
        except UnicodeDecodeError:
            # Raw 8-bit text that is no UTF-8: the client's own Shift_JIS or
            # ISO-2022-JP, read as the client reads it.
            return re.sub(rb"\s+", b" ", model.jis_to_sjis(stored)).strip()
    text = str(value)
    if "\ufffd" in text or re.search(r"(?i)=\?(iso-2022-jp|shift_jis)\?", text):
        stored = email.message_from_bytes(raw, policy=email.policy.compat32).get("subject")
        if isinstance(stored, str):
            text = superset_header(stored)
    return sjis(re.sub(r"\s+", " ", text).strip())


def eudora_subject(header):
    m = re.search(rb"(?im)^subject:[ \t]?(.*?)\r\n(?![ \t])", header.replace(b"\r\n\r\n", b"\r\n", 1), re.S)
    return None if m is None else re.sub(rb"[ \t\r\n]+", b" ", m.group(1)).strip()


def encoded_word_left(name):
    """The first encoded word in an eml name (its "?" made full-width) that
    Python decodes, or None."""
    text = name.replace("？", "?")
    for word in re.findall(r"=\?[^?\s]+\?[BbQq]\?[^?\s]*\?=", text):
        try:
            decoded = email.header.decode_header(word)
        except Exception:   # noqa: BLE001 - Python does not decode it either
            continue
        if decoded and decoded[0][1]:
            return word
    return None


def real_trays():
    trays = {}
    for tray in sorted(os.listdir(REAL_MAIL)):
        folder = os.path.join(REAL_MAIL, tray)
        if not os.path.isdir(folder):
            continue
        cases = []
        for name in sorted(os.listdir(folder)):
            with open(os.path.join(folder, name), "rb") as f:
                raw = f.read()
            # The client ends every stored line with CR LF.
            text = corpus.crlf(raw if raw.endswith(b"\n") else raw + b"\n")
            cases.append(corpus.Case("%s/%s" % (tray, name), tray, text))
        trays[tray] = cases
    return trays


def convert(vmtool, store, trays, fmt, out):
    os.makedirs(out)
    done = subprocess.run([vmtool, "convert", "--store", store, "--format", str(fmt),
                           "--trays", ",".join(trays), "--out", out], capture_output=True)
    if done.returncode:
        raise SystemExit("realmail: vmtool convert --format %d exit %d: %s" % (
            fmt, done.returncode, (done.stdout + done.stderr).decode(errors="replace").strip()))


def read_bytes(fmt, files):
    """Each message's bytes as written, its separator line left out (mboxrd
    quoting undone for mbox and Netscape)."""
    if fmt == 2:
        datas = [open(f, "rb").read() for f in files]
        return [d.split(b"\n", 1)[1] if d.startswith(b"From ") else d for d in datas]
    messages = []
    for path in files:
        box = mailbox.mbox(path, create=False)
        messages += [model.mboxrd_unquote(box.get_bytes(key)) for key in box.keys()]
        box.close()
    return messages


def unfolded_form(message):
    """A message as the writers write it: its header unfolded, unless a logical
    line of it is too long to unfold (then the header stays as stored)."""
    header, body = model.split_header(message)
    if not header.endswith(b"\r\n\r\n"):
        return message
    unfolded = model.unfold(header)
    if any(len(line) + 2 > 4095 for line in unfolded.split(b"\r\n")):
        return message
    return unfolded + body


def check_whole(fmt, live, files):
    """Problems of mbox/Netscape (in index order) or eml (as a set of files):
    each message comes back byte for byte (its header unfolded), followed in a mailbox by the empty
    line that took the store's "." line's place."""
    problems = []
    read = read_bytes(fmt, files)
    if len(read) != len(live):
        problems.append("%d messages read, %d stored" % (len(read), len(live)))
    wanted = [model.strip_terminator(stored)[0] for _, stored in live]
    wanted = [unfolded_form(w) for w in wanted]
    if fmt == 2:
        for data in (collections.Counter(wanted) - collections.Counter(read)):
            problems.append("no eml file holds the message %r..." % (data[:60],))
        for f in files:
            word = encoded_word_left(os.path.basename(f))
            if word:
                problems.append("eml name %s holds the encoded word %s" % (os.path.basename(f), word))
        return problems
    for i, ((case, _), want, got) in enumerate(zip(live, wanted, read)):
        if got not in (want + b"\r\n", want if i == len(live) - 1 else None):
            at = next((k for k, (a, b) in enumerate(zip(want, got)) if a != b), min(len(want), len(got)))
            problems.append("%s: differs at offset %d: expected %s, got %s" % (
                case.name, at, run.show(want, at), run.show(got, at)))
    return problems


def check_eudora(live, files, figures, problems, listing):
    read = []
    for path in files:
        box = run.EudoraBox(path, create=False)
        read += [box.get_file(key, from_=True).read() for key in box.keys()]
        box.close()
    if len(read) != len(live):
        problems.append("Eudora: %d messages read, %d stored" % (len(read), len(live)))
    for (case, stored), data in zip(live, read):
        message, _ = model.strip_terminator(stored)
        raw = message.replace(b"\r\n", b"\n")
        data = data.split(b"\n", 1)[1] if data.startswith(model.STORED_SEPARATOR) else data
        header, body = model.split_header(data)
        body = body[:-len(model.EUDORA_END)] if body.endswith(model.EUDORA_END) else body
        category, want = reference_body(raw)
        if want is None:
            figures[("body", category)][1] += 1
        else:
            same = canon(lines_of(want)) == canon(lines_of(body))
            figures[("body", category)][0 if same else 2] += 1
            if not same:
                a, b = lines_of(want), lines_of(body)
                at = next((k for k, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
                problems.append("Eudora body %s (%s): differs at offset %d: expected %r, got %r" % (
                    case.name, category, at, a[max(0, at - 20):at + 60], b[max(0, at - 20):at + 60]))
        subject = reference_subject(raw)
        if subject is not None:
            got = eudora_subject(header)
            same = got is not None and canon(subject) == canon(got)
            figures[("subject", "")][0 if same else 2] += 1
            if not same:
                problems.append("Eudora subject %s: expected %r, got %r" % (
                    case.name, subject, eudora_subject(header)))
        if listing:
            print("%-28s %s" % (case.name, category))


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    keep, listing = "--keep" in sys.argv, "--list" in sys.argv
    if len(args) != 1:
        raise SystemExit(__doc__)
    if not os.path.isdir(REAL_MAIL):
        print("real mail: %s is not there; nothing was checked" % REAL_MAIL)
        return 0
    vmtool = os.path.abspath(args[0])
    work = tempfile.mkdtemp(prefix="velmora-realmail-")
    figures = collections.defaultdict(lambda: [0, 0, 0])   # matched, broken (not compared), differing
    problems = []
    try:
        store = os.path.join(work, "store")
        trays = real_trays()
        live = corpus.write_store(store, trays, raw_index=True)
        for fmt, name in run.FORMATS.items():
            out = os.path.join(work, "out%d" % fmt)
            convert(vmtool, store, list(trays), fmt, out)
            for tray in trays:
                files = run.output_files(out, fmt, tray)
                if fmt == 3:
                    check_eudora(live[tray], files, figures, problems, listing)
                else:
                    problems += ["%s %s: %s" % (name, tray, p) for p in check_whole(fmt, live[tray], files)]
    finally:
        if keep:
            print("store and output kept in " + work)
        else:
            shutil.rmtree(work, ignore_errors=True)
    total = sum(len(c) for c in live.values())
    print("real mail: %d messages; mbox, eml and Netscape read back whole unless listed below" % total)
    print("%-8s %-44s %7s %7s %7s" % ("Eudora", "first leaf (type, encoding, charset)", "match", "broken", "differ"))
    for (what, category), (same, broken, differ) in sorted(figures.items()):
        print("%-8s %-44s %7d %7d %7d" % (what, category, same, broken, differ))
    for problem in problems:
        print("MISMATCH " + problem)
    print("real mail: %s" % ("FAILED (realmail.py VMTOOL --keep keeps the files)" if problems else "every message matches"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
