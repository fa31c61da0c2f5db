#!/usr/bin/env python3
"""The address book both ways: each book of BOOKS stored as a store's
Data/AddressBook.txt, converted by velmora-convert with --csv and --vcard, the
CSV read by Python's csv module (decoded from cp932) and the vCard file by
vobject; both must carry the same names and addresses, in the same order.

contacts.py VELMORA_CONVERT    exit 0 when every book agrees
"""
import csv
import io
import os
import re
import shutil
import subprocess
import sys
import tempfile

import vobject

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# (name, the stored AddressBook.txt as bytes: Shift_JIS, TAB-separated).
BOOKS = [
    ("demo", open(os.path.join(ROOT, "demo", "AddressBook.txt"), encoding="utf-8").read().encode("cp932")),
    ("separators", "Yamada, Taro\tyamada@example.jp\r\n"
                   "Sato; Hanako\tsato;x@example.jp\r\n"
                   "C:\\path\\name\tback\\slash@example.jp\r\n"
                   "\"Boss\" O'Neil\tboss@example.com\r\n".encode("cp932")),
    ("kana and kanji", "ﾔﾏﾀﾞ ﾀﾛｳ\tkana@example.jp\r\n"
                       "表示ソフト開発部\tsoft@example.jp\r\n"
                       "①株式会社\tnec@example.jp\r\n".encode("cp932")),
    ("nul bytes", b"na\0me\ta@example.jp\tb\0\tc@example.jp\n\0x\td@example.jp\n"),
    ("odd field counts", b"a\ta@x.jp\tonly-name\n\tlead@x.jp\n\t\t\n"
                         b"x\ty@x.jp\tz\n"),
    ("long names", ("長" * 60 + "\tlong@example.jp\r\n" +
                    "N" * 200 + "\t" + "m" * 90 + "@example.com\r\n" +
                    "a" * 74 + "ソ" * 3 + "\ttrail@example.jp\r\n").encode("cp932")),
]


def make_store(work, book):
    store = os.path.join(work, "store")
    inbox = os.path.join(work, "inbox.mbox")
    with open(inbox, "wb") as f:
        f.write(b"From a@example.jp Mon Jan  1 00:00:00 2024\nSubject: one\n\nbody\n")
    subprocess.run([os.path.join(os.path.dirname(sys.argv[1]), "vmtool"), "make-store", store,
                    "\u53d7\u4fe1\u30c8\u30ec\u30a4=" + inbox], check=True, capture_output=True)
    with open(os.path.join(store, "Data", "AddressBook.txt"), "wb") as f:
        f.write(book)
    return store


def read_csv(path):
    """(name, address) of each row; an empty address is no contact."""
    with open(path, "rb") as f:
        text = f.read().decode("cp932")
    return [(row[0], row[1]) for row in csv.reader(io.StringIO(text, newline="")) if row[1]]


def read_vcard(path):
    data = open(path, "rb").read()
    problems = []
    if re.search(rb"[^\r]\n|\r[^\n]", data):
        problems.append("a line end that is not CR LF")
    for line in data.split(b"\r\n"):
        if len(line) > 75:
            problems.append("a line of %d octets" % len(line))
    text = data.decode("utf-8")   # raises on bytes that are no UTF-8
    cards = []
    for card in vobject.readComponents(text):
        if card.version.value != "4.0":
            problems.append("VERSION %s" % card.version.value)
        cards.append((card.fn.value, card.email.value))
    return cards, problems


def check(convert, work, name, book):
    case = os.path.join(work, re.sub(r"\W", "-", name))
    os.makedirs(case)
    store = make_store(case, book)
    csv_path, vcf_path = os.path.join(case, "book.csv"), os.path.join(case, "book.vcf")
    run = subprocess.run([convert, store, os.path.join(case, "out"), "--format", "mbox", "--quiet",
                          "--csv", csv_path, "--vcard", vcf_path], capture_output=True)
    if run.returncode:
        return ["velmora-convert exit %d: %s" % (run.returncode, run.stderr.decode(errors="replace"))]
    # The vCard file has no line breaks inside a value but "\n"; its FN is
    # the address when the name is empty.
    expected = [((n.replace("\r\n", "\n").replace("\r", "\n") or a), a) for n, a in read_csv(csv_path)]
    cards, problems = read_vcard(vcf_path)
    if not expected:
        problems.append("no contacts in the CSV")
    if cards != expected:
        problems.append("vCard %r, CSV %r" % (cards, expected))
    return problems


def main():
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    convert = os.path.abspath(sys.argv[1])
    work = tempfile.mkdtemp(prefix="velmora-contacts-")
    failed = 0
    try:
        for name, book in BOOKS:
            problems = check(convert, work, name, book)
            print("%-18s %s" % (name, "; ".join(problems) if problems else "same contacts"))
            failed += bool(problems)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("%d passed, %d failed" % (len(BOOKS) - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
