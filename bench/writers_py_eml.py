#!/usr/bin/env python3
"""Baseline for the eml writer: Python's mailbox writes one file per message.

writers_py_eml.py STORAGE OUTDIR
Splits a Velmora storage file at its "." lines (each followed by an empty
line) and adds every message to a Maildir (mailbox.Maildir: one file per
message, written to tmp/ and moved to new/). Prints the number of messages.
(mailbox.MH would list its folder at every add, which is quadratic.)
"""
import mailbox
import sys


def main():
    storage, outdir = sys.argv[1], sys.argv[2]
    with open(storage, 'rb') as f:
        data = f.read()
    box = mailbox.Maildir(outdir, create=True)
    count = 0
    for part in data.split(b'\r\n.\r\n\r\n'):
        if part:
            box.add(part + b'\r\n.\r\n')
            count += 1
    print(count)


if __name__ == '__main__':
    main()
