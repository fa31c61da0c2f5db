"""What a reader must get back for one stored message, format by format.

The store's "." line and the empty lines after it are not part of the message.
mbox and Netscape: separator, unfolded header, body with mboxrd quoting, and
the empty line that took the "." line's place. eml: separator, header, body.
Eudora: header with encoded words decoded and Content-Type relabelled, the text
lines of the first leaf part, all in Shift_JIS, then CR LF "." CR LF CR LF.
"""
import base64
import binascii
import email.parser
import email.policy
import re
from dataclasses import dataclass

DATE = rb"(Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 123]\d \d\d:\d\d:\d\d \d{4}\r\n"
SEPARATOR = {1: rb"From \?\?\?@\?\?\? " + DATE, 2: rb"From \?\?\?@\?\?\? " + DATE,
             3: rb"From \?\?\?@\?\?\? " + DATE, 4: rb"From - " + DATE}
STORED_SEPARATOR = b"From ???@??? "
EUDORA_END = b"\r\n.\r\n\r\n"
RELABEL = b'Content-type: text/plain; charset="ISO-2022-JP"\r\n'


class _Exact(type(email.policy.compat32)):
    """compat32 that keeps a value's leading white space (only the last line end goes)."""

    def header_source_parse(self, sourcelines):
        name, value = sourcelines[0].split(":", 1)
        value += "".join(sourcelines[1:])
        return name, value[:-2] if value.endswith("\r\n") else value.rstrip("\r\n")


_PARSER = email.parser.BytesParser(policy=_Exact())


def _raw(text):
    return text.encode("ascii", "surrogateescape")


def unfold(value):
    return re.sub(rb"\r?\n(?=[ \t])", b"", value)


def read_message(data):
    """(separator line or None, [(name, unfolded value)], body) as Python's email reads it."""
    sep = None
    if data.startswith(b"From "):
        cut = data.find(b"\n") + 1 or len(data)
        sep, data = data[:cut], data[cut:]
    msg = _PARSER.parsebytes(data, headersonly=True)
    fields = [(_raw(n), unfold(_raw(v))) for n, v in msg.raw_items()]
    # The raw payload: get_payload() would decode 8-bit text by its charset.
    return sep, fields, _raw(msg._payload or "")


def mboxrd_quote(body):
    return re.sub(rb"(?m)^(>*From )", rb">\1", body)


def mboxrd_unquote(body):
    return re.sub(rb"(?m)^>(>*From )", rb"\1", body)


def mb2md_view(body):
    """What mb2md keeps of body bytes: CR LF becomes LF, one ">" goes from ">From "."""
    return re.sub(rb"(?m)^>From ", b"From ", body.replace(b"\r\n", b"\n"))


def strip_terminator(stored):
    """(message, True) when the range ends with the "." line and empty lines."""
    m = re.search(rb"(?:\A|(?<=\n))\.\r\n(?:\r\n)*\Z", stored)
    return (stored[:m.start()], True) if m else (stored, False)


def split_header(message):
    """The header with its empty line, and the body."""
    at = message.find(b"\r\n\r\n")
    return (message[:at + 4], message[at + 4:]) if at >= 0 else (message, b"")


# ---- Eudora ----------------------------------------------------------------------

def jis_to_sjis(data):
    """ISO-2022-JP kanji runs to Shift_JIS; other bytes pass unchanged."""
    out, kanji, lead, i = bytearray(), False, None, 0
    while i < len(data):
        b, esc = data[i], data[i + 1:i + 3]
        if b == 0x1B and esc in (b"$B", b"$@", b"(B", b"(J"):
            kanji, lead, i = esc[0] == 0x24, None, i + 3
            continue
        if kanji and 0x21 <= b <= 0xFC:
            if lead is None:
                lead = b
            else:
                s1 = ((lead - 0x21) >> 1) + 0x81
                s2 = (b + 0x1F if lead & 1 else b + 0x7D) & 0xFF
                out += bytes([s1 + 0x40 if s1 > 0x9F else s1, s2 + 1 if s2 >= 0x7F else s2])
                lead = None
        else:
            out.append(b)
            kanji, lead = False, None
        i += 1
    return bytes(out)


def decode_header_value(value):
    """ISO-2022-JP "B" encoded words to Shift_JIS; the text between them stays,
    but for white space alone between two words (RFC 2047)."""
    out, i, after_word = b"", 0, False
    while i < len(value):
        at = value.find(b"=?", i)
        if at < 0:
            return out + value[i:] if i else jis_to_sjis(value)
        if not (after_word and value[i:at].strip(b" \t\r\n") == b""):
            out += value[i:at]
        close = value.find(b"?=", at + 16)
        if value[at:at + 16].lower() != b"=?iso-2022-jp?b?" or close < 0:
            return value
        text = value[at + 16:close]
        try:
            out += jis_to_sjis(base64.b64decode(text, validate=True)).split(b"\0")[0]
            after_word = True
        except binascii.Error:
            out += text
            after_word = False
        i = close + 2
    return out


def eudora_header(header):
    lines = re.findall(rb".*?\r\n", unfold(header), re.S)
    out = b""
    for line in lines:
        if b"=?ISO-2022-JP" in line or b"=?iso-2022-jp" in line:
            line = decode_header_value(line)
        if line[:12].lower() == b"content-type" and b"text/plain" not in line:
            line = RELABEL
        out += line
    return jis_to_sjis(out)


def first_leaf_text(part):
    """The text lines of a part's first leaf, "." lines dropped."""
    header, body = split_header(part)
    msg = _PARSER.parsebytes(header, headersonly=True)
    if msg.get_content_maintype() == "multipart":
        delim = b"\r\n--" + msg.get_param("boundary").encode()
        first = part.find(delim, len(header) - 2)
        start = part.find(b"\r\n", first + len(delim)) + 2
        return first_leaf_text(part[start:part.find(delim, start - 2)])
    if msg.get_content_maintype() != "text":
        return b""
    return b"".join(line for line in re.findall(rb".*?\r\n|.+\Z", body, re.S) if line != b".\r\n")


# ---- Expectations ----------------------------------------------------------------

@dataclass
class Expect:
    separator: bytes          # a pattern, or the stored separator line itself
    fields: list
    bodies: list              # what Python's reader gives (after mboxrd unquoting)
    mb2md_bodies: list


def expect(stored, fmt, last_in_file):
    message, terminated = strip_terminator(stored)
    header, body = split_header(message)
    if fmt == 3:
        header = eudora_header(header)
        body = jis_to_sjis(first_leaf_text(message)) + EUDORA_END
        bodies = written = [body]
    elif fmt == 2:
        bodies = written = [body]
    else:
        # The empty line before the next separator; a message that was cut
        # gets a line end there (at the file's end, either way will do).
        tails = [b"\r\n"] if terminated else [b""] if body.endswith(b"\n") else \
            [b"", b"\r\n"] if last_in_file else [b"\r\n"]
        bodies = [body + t for t in tails]
        written = [mboxrd_quote(body) + t for t in tails]
    stored_sep, fields, _ = read_message(header)
    separator = stored_sep if stored_sep and stored_sep.startswith(STORED_SEPARATOR) else SEPARATOR[fmt]
    return Expect(separator, fields, bodies, [mb2md_view(w) for w in written])
