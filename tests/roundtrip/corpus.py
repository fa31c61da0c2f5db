"""The round-trip corpus and the Velmora store that holds it.

A case is one message as the client keeps it: CR LF lines, its stored range
ending with the "." line (or not, for the last message of a cut storage file).
The store is written here from the file format alone, not by our C++ code.
"""
import base64
import email.header
import os
import re
import struct
from dataclasses import dataclass

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DEMO = os.path.join(ROOT, "demo", "messages")
EXTRA_TRAY = "表示テスト"   # 表 ends in byte 0x5C in Shift_JIS: paths must walk characters
REMOVED = 0x10


@dataclass
class Case:
    name: str
    tray: str
    text: bytes            # the message without the store's "." line
    terminated: bool = True
    removed: bool = False


def jis(text):
    return text.encode("iso-2022-jp")


def word(text):
    return b"=?ISO-2022-JP?B?" + base64.b64encode(jis(text)) + b"?="


def crlf(data):
    return re.sub(rb"\r?\n", b"\r\n", data)


def message(name, headers, body):
    """Header lines (bytes, folds written in them), then the body bytes."""
    top = [b"From: Roundtrip <rt@example.jp>", b"To: taro.yamada@example.jp",
           b"Date: Mon, 6 Jan 2003 09:05:03 +0900",
           b"Message-ID: <" + name.encode() + b"@roundtrip.example>"]
    return b"\r\n".join(top + headers) + b"\r\n\r\n" + body


def lines(*items):
    return b"".join(item + b"\r\n" for item in items)


def text_plain():
    return [b"Content-Type: text/plain; charset=ISO-2022-JP", b"Content-Transfer-Encoding: 7bit"]


def multipart(boundary, parts):
    """The body of a multipart from (part header lines, part body) rows."""
    out = b"This is a multi-part message in MIME format.\r\n"
    for head, body in parts:
        out += b"\r\n--" + boundary + b"\r\n" + lines(*head) + b"\r\n" + body
    return out + b"\r\n--" + boundary + b"--\r\n"


def attachment(name, data, ctype=b"application/octet-stream"):
    head = [b"Content-Type: " + ctype + b'; name="' + name + b'"', b"Content-Transfer-Encoding: base64",
            b'Content-Disposition: attachment; filename="' + name + b'"']
    return head, crlf(base64.encodebytes(data))


def big_text():
    row = jis("往復試験の長い本文です。ＡＢＣ１２３　漢字とかなの行が続きます。")
    body = bytearray()
    n = 0
    while len(body) < 1 << 20:
        n += 1
        body += row + b" %06d\r\n" % n
        if n % 997 == 0:
            body += b"From line %d inside a long body\r\n..%d\r\n" % (n, n)
    return bytes(body)


def generated():
    """The generated cases: one row per case (name, tray, header lines, body)."""
    inbox, sent = "受信トレイ", "送信トレイ"
    alt = multipart(b"alt-1", [(text_plain(), lines(jis("代替の本文です。"), b"Plain part.")),
                               ([b"Content-Type: text/html; charset=ISO-2022-JP"], lines(b"<p>HTML part</p>"))])
    nested = multipart(b"mix-1", [([b'Content-Type: multipart/alternative; boundary="alt-1"'], alt),
                                  attachment(b"data.bin", bytes(range(256)) * 4),
                                  attachment(word("見積書.csv"), "品名,数量\r\nノートPC,3\r\n".encode("cp932"),
                                             b"text/csv")])
    rows = [
        ("fold-space", inbox, [b"Subject: Folded subject\r\n continued after one space",
                               b"Cc: " + b",\r\n ".join(b"member%02d@example.co.jp" % i for i in range(12))]
         + text_plain(),
         lines(b"Header folds with a single space.")),
        ("fold-tab", inbox, [b"Subject: Tab folded\r\n\tsecond line\r\n\t third",
                             b"Received: from mx.example.co.jp\r\n\tby mail.example.jp;\r\n\tMon, 6 Jan 2003"]
         + text_plain(), lines(b"Header folds with TAB.")),
        ("fold-runs", inbox, [b"Subject: runs  of   spaces\r\n    four more\r\n \t mixed",
                              b"X-Runs:    leading and trailing   ", b"X-Empty:"] + text_plain(),
         lines(b"Runs of spaces in values and folds.")),
        ("words-adjacent", inbox, [b"Subject: " + word("定例会議") + b"\r\n " + word("のお知らせ"),
                                   b"X-Words: " + word("一つ目") + b" " + word("二つ目") + b"\r\n\t" + word("三つ目"),
                                   b"Reply-To: " + word("佐藤 花子") + b"\r\n <hanako@example.co.jp>"] + text_plain(),
         lines(jis("隣り合う符号化語の件名です。"))),
        ("raw-jis", inbox, [b"Subject: " + jis("生のＪＩＳ件名") + b" raw",
                            b"X-Note: " + jis("注記") + b"\r\n " + jis("続き")] + text_plain(),
         lines(jis("生のISO-2022-JPヘッダ値。"))),
        ("raw-sjis", inbox, [b"Subject: " + "ソフトの表示機能".encode("cp932"),
                             b"X-Note: " + "能登\\表".encode("cp932")],
         lines("シフトJISの本文、ソ表能。".encode("cp932"))),
        ("spoof-subject", inbox, [b"Subject: Re: From ???@??? spoof"] + text_plain(),
         lines(b"A subject that looks like a separator.")),
        ("from-lines", inbox, [b"Subject: From lines"] + text_plain(),
         lines(b"From the first body line", b"", b"From here on, quoting matters.", b">From quoted once",
               b">>From quoted twice", b">>>From three", b"Fromage is no separator", b" From indented",
               b">From", b"From")),
        ("dot-lines", inbox, [b"Subject: Dot lines"] + text_plain(),
         lines(b"..", b"...", b".hidden", b". space", b".\tTAB", b"text", b"..")),
        ("empty-body", inbox, [b"Subject: Empty body"], b""),
        ("trailing-blanks", inbox, [b"Subject: Body ending in empty lines"], lines(b"para", b"", b"")),
        ("multipart-nested", inbox, [b"Subject: " + word("添付ファイル付き"), b"MIME-Version: 1.0",
                                     b'Content-Type: multipart/mixed; boundary="mix-1"'], nested),
        ("attachment-first", sent, [b"Subject: Attachment first", b"MIME-Version: 1.0",
                                    b'Content-Type: multipart/mixed; boundary="att-1"'],
         multipart(b"att-1", [attachment(b"a.pdf", b"%PDF-1.2 " * 50, b"application/pdf"),
                              (text_plain(), lines(b"Text after the attachment."))])),
        ("big-text", EXTRA_TRAY, [b"Subject: " + word("大きな本文")] + text_plain(), big_text()),
        ("big-attachment", EXTRA_TRAY, [b"Subject: Big attachment", b"MIME-Version: 1.0",
                                        b'Content-Type: multipart/mixed; boundary="big-1"'],
         multipart(b"big-1", [(text_plain(), lines(jis("大きな添付ファイルです。"))),
                              attachment(b"big.bin", bytes(i * 7 % 251 for i in range(786432)))])),
        ("stored-separator", EXTRA_TRAY, [b"Subject: Stored separator"], lines(b"Kept its own From line.")),
        ("no-final-line-end", EXTRA_TRAY, [b"Subject: No final line end"], b"first line\r\nlast line"),
        ("cut-after-crlf", sent, [b"Subject: Cut after a line end"], lines(b"no terminator follows")),
        ("removed", inbox, [b"Subject: Removed record"], lines(b"Must not be written.")),
    ]
    for name, tray, headers, body in rows:
        text = message(name, headers, body)
        if name == "stored-separator":
            text = b"From ???@??? Mon Jan  6 09:05:03 2003\r\n" + text
        yield Case(name, tray, text, terminated=name not in ("no-final-line-end", "cut-after-crlf"),
                   removed=name == "removed")


def demo():
    for tray in sorted(os.listdir(DEMO)):
        for name in sorted(os.listdir(os.path.join(DEMO, tray))):
            with open(os.path.join(DEMO, tray, name), "rb") as f:
                yield Case(f"demo {tray}/{name}", tray, crlf(f.read()))


def corpus():
    """Cases per tray, in storage order; unterminated ones last (a cut file)."""
    trays = {}
    for case in list(demo()) + list(generated()):
        trays.setdefault(case.tray, []).append(case)
    for cases in trays.values():
        cases.sort(key=lambda c: not c.terminated)
    return trays


# ---- The store -----------------------------------------------------------------

def archive_string(data):
    """A string in MFC CArchive form."""
    n = len(data)
    if n < 0xFF:
        return bytes([n]) + data
    if n < 0xFFFE:
        return b"\xff" + struct.pack("<H", n) + data
    return b"\xff\xff\xff" + struct.pack("<I", n) + data


def header_value(text, name):
    m = re.search(rb"(?im)^" + name + rb":[ \t]*([^\r\n]*(?:\r\n[ \t][^\r\n]*)*)", text.split(b"\r\n\r\n", 1)[0])
    return re.sub(rb"\r\n(?=[ \t])", b"", m.group(1)) if m else b""


def index_text(value):
    """A header value as the index keeps it: decoded, Shift_JIS."""
    if b"=?" in value:
        text = str(email.header.make_header(email.header.decode_header(value.decode("ascii"))))
        return text.encode("cp932", "replace")
    if b"\x1b" in value:
        return value.decode("iso-2022-jp").encode("cp932")
    return value


def index_record(number, text, flags, start, end, raw=False):
    fields = [(header_value if raw else lambda t, n: index_text(header_value(t, n)))(text, n)
              for n in (b"Subject", b"From", b"To", b"Cc")]
    fields += [header_value(text, n) for n in (b"Bcc", b"Reply-To", b"Date")]
    fields += [header_value(text, n).strip(b"<>") for n in (b"Message-ID", b"In-Reply-To")]
    out = struct.pack("<I", number) + b"".join(archive_string(f) for f in fields)
    return out + struct.pack("<4I", flags, start, end, 0)


def write_store(store, trays, raw_index=False):
    """Writes the trays (with raw_index, the index holds the header values as
    they stand, encoded words and all); answers {tray: [(case, stored range bytes)]} of the live
    records in index order. Ranges alternate: ending at the "." line, with no
    empty line after it, or with one that the range leaves out or takes in."""
    live = {}
    for tray, cases in trays.items():
        folder = os.path.join(store, "Data", "MailBox", tray)
        os.makedirs(folder)
        storage, records = b"", []
        for i, case in enumerate(cases):
            start = len(storage)
            storage += case.text
            if case.terminated:
                storage += b".\r\n"
            end = len(storage)
            if case.terminated and i % 3:
                storage += b"\r\n"
                if i % 3 == 2:
                    end += 2
            records.append((case, start, end))
        # The index need not follow storage order: the extra tray lists its
        # terminated messages backwards.
        if tray == EXTRA_TRAY:
            records = [r for r in records if r[0].terminated][::-1] + [r for r in records if not r[0].terminated]
        index = struct.pack("<I", len(records))
        for number, (case, start, end) in enumerate(records):
            flags = 0x100 | (REMOVED if case.removed else 0)
            index += index_record(number, case.text, flags, start, end, raw_index)
        index += struct.pack("<4I", 1, 0, 0, 1)
        with open(os.path.join(folder, "Message Storage.mbx"), "wb") as f:
            f.write(storage)
        with open(os.path.join(folder, "vmmail.idx"), "wb") as f:
            f.write(index)
        live[tray] = [(case, storage[start:end]) for case, start, end in records if not case.removed]
    fixed = ("受信トレイ", "送信トレイ", "未送信トレイ", "ドラフト")
    with open(os.path.join(store, "Data", "MailTray.dat"), "wb") as f:
        f.write(b"".join(t.encode("cp932") + b"\r\n" for t in trays if t not in fixed))
    return live
