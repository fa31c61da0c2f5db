#!/usr/bin/env python3
"""Reads written mail files with Python's own readers.

readback.py mbox FILE...  every message of each mbox file (mailbox.mbox)
readback.py eml FILE...   each file as one message (email parser)

Prints one line per message: its Subject bytes as stored (Shift_JIS, raw),
then "|" and the number of body lines that begin with ">From ".
Exits 1 when a file cannot be read or a message has no headers.
"""
import email
import email.policy
import mailbox
import sys


def subject_of(msg):
    for name, value in msg.raw_items():
        if name.lower() == 'subject':
            return value.encode('ascii', 'surrogateescape')
    return b'<none>'


def report(msg):
    if not msg.keys():
        raise SystemExit('message without headers')
    payload = msg.get_payload(decode=False)
    body = payload if isinstance(payload, str) else ''
    quoted = sum(1 for line in body.splitlines() if line.startswith('>From '))
    sys.stdout.buffer.write(subject_of(msg) + b'|' + str(quoted).encode() + b'\n')


def main():
    mode, files = sys.argv[1], sys.argv[2:]
    for path in files:
        if mode == 'mbox':
            box = mailbox.mbox(path, create=False)
            for msg in box:
                report(msg)
            box.close()
        else:
            with open(path, 'rb') as f:
                report(email.message_from_binary_file(f, policy=email.policy.compat32))


if __name__ == '__main__':
    main()
