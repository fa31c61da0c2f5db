#!/usr/bin/env python3
"""Writes the demo's messages (demo/messages/<tray>/*.eml) and address book.

The messages are Japanese mail as a Velmora user receives it: ISO-2022-JP text,
encoded-word subjects and names, multipart/alternative, an attachment, an
HTML-only newsletter, plain ASCII mail. Every person and company is invented.
Run it again after editing the texts below; the output is deterministic.
"""
import base64
import os
import shutil

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "messages")


def jis(text):
    return text.encode("iso-2022-jp").decode("ascii")


def word(text):
    """An ISO-2022-JP "B" encoded word."""
    return "=?ISO-2022-JP?B?" + base64.b64encode(text.encode("iso-2022-jp")).decode("ascii") + "?="


def addr(name, address):
    return f"{word(name)} <{address}>" if name else address


def header(frm, to, subject, date, msgid, extra=()):
    lines = [
        "Return-Path: <" + frm[1] + ">",
        "Received: from mx.example.co.jp (mx.example.co.jp [192.0.2.25])",
        "\tby mail.example.jp with ESMTP id " + msgid.split("@")[0] + ";",
        "\t" + date,
        "Date: " + date,
        "From: " + addr(*frm),
        "To: " + addr(*to),
        "Subject: " + subject,
        "Message-ID: <" + msgid + ">",
        "MIME-Version: 1.0",
        "X-Mailer: Velmora 2.1",
    ]
    lines.extend(extra)
    return "\r\n".join(lines) + "\r\n"


def text_part(text):
    body = "\r\n".join(jis(line) for line in text.strip("\n").split("\n"))
    return body + "\r\n"


ME = ("山田 太郎", "taro.yamada@example.jp")
HANAKO = ("佐藤 花子", "hanako.sato@example.co.jp")
KENJI = ("鈴木 健二", "kenji.suzuki@sample-shoji.example")
YUKI = ("高橋 由紀", "yuki.takahashi@example.ne.jp")
NEWS = ("ベルモア通信", "news@bellmore.example")
MIKE = ("", "mike.brown@example.com")

messages = {}


def add(tray, name, data):
    messages.setdefault(tray, []).append((name, data))


# 1. Plain ISO-2022-JP text with an encoded-word subject.
add("受信トレイ", "01-meeting.eml",
    header(HANAKO, ME, word("定例会議のお知らせ"), "Mon, 6 Jan 2003 09:15:22 +0900",
           "20030106091522.A1@example.co.jp",
           ["Content-Type: text/plain; charset=ISO-2022-JP", "Content-Transfer-Encoding: 7bit"])
    + "\r\n" + text_part("""
山田さん

お疲れさまです。佐藤です。
来週の定例会議は次のとおりです。

　日時：１月１４日（火）１０時〜１１時
　場所：第２会議室
　議題：新年度の予定表について

資料は前日までにお送りします。
よろしくお願いいたします。

佐藤 花子
"""))

# 2. multipart/alternative: text and HTML of the same announcement.
alt_text = text_part("""
山田 太郎 様

いつもお世話になっております。サンプル商事の鈴木です。
新製品「ソフトウェア表計算２００３」の発表会を開催いたします。

　日時：２月５日（水）１４時から
　会場：本社ホール

ご来場をお待ちしております。
""")
alt_html = jis("<html><body><p>山田 太郎 様</p><p>新製品「<b>ソフトウェア表計算２００３</b>」の"
               "発表会を開催いたします。</p><p>日時：２月５日（水）１４時から<br>会場：本社ホール</p>"
               "</body></html>") + "\r\n"
add("受信トレイ", "02-announcement.eml",
    header(KENJI, ME, word("新製品発表会のご案内"), "Tue, 7 Jan 2003 13:02:40 +0900",
           "20030107130240.B7@sample-shoji.example",
           ['Content-Type: multipart/alternative; boundary="----=_Alt_0001"'])
    + "\r\nThis is a multi-part message in MIME format.\r\n\r\n"
    + "------=_Alt_0001\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n"
    + "Content-Transfer-Encoding: 7bit\r\n\r\n" + alt_text
    + "\r\n------=_Alt_0001\r\nContent-Type: text/html; charset=ISO-2022-JP\r\n"
    + "Content-Transfer-Encoding: 7bit\r\n\r\n" + alt_html
    + "\r\n------=_Alt_0001--\r\n")

# 3. multipart/mixed with an attachment whose name is an encoded word.
sheet = ("品名,数量,単価\r\nノートPC,3,128000\r\nプリンタ,1,45000\r\n").encode("cp932")
sheet64 = base64.encodebytes(sheet).decode("ascii").replace("\n", "\r\n")
add("受信トレイ", "03-quotation.eml",
    header(KENJI, ME, word("お見積書の送付について"), "Wed, 8 Jan 2003 17:45:03 +0900",
           "20030108174503.C2@sample-shoji.example",
           ['Content-Type: multipart/mixed; boundary="=_Mixed_2003"'])
    + "\r\n--=_Mixed_2003\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n"
    + "Content-Transfer-Encoding: 7bit\r\n\r\n"
    + text_part("""
山田様

お見積書を添付いたします。
ご査収のほど、よろしくお願いいたします。

鈴木 健二
""")
    + "\r\n--=_Mixed_2003\r\n"
    + 'Content-Type: text/csv; name="' + word("見積書.csv") + '"\r\n'
    + "Content-Transfer-Encoding: base64\r\n"
    + 'Content-Disposition: attachment; filename="' + word("見積書.csv") + '"\r\n\r\n'
    + sheet64 + "\r\n--=_Mixed_2003--\r\n")

# 4. HTML only.
add("受信トレイ", "04-newsletter.eml",
    header(NEWS, ME, word("ベルモア通信 １月号"), "Thu, 9 Jan 2003 06:00:00 +0900",
           "news-200301@bellmore.example",
           ["Content-Type: text/html; charset=ISO-2022-JP", "Content-Transfer-Encoding: 7bit"])
    + "\r\n" + jis("<html><head><title>ベルモア通信</title></head><body>\r\n"
                   "<h1>ベルモア通信 １月号</h1>\r\n"
                   "<p>新年あけましておめでとうございます。本年もよろしくお願いいたします。</p>\r\n"
                   "<ul><li>冬の能登旅行特集</li><li>今月のおすすめ本</li></ul>\r\n"
                   "</body></html>") + "\r\n")

# 5. Plain ASCII mail.
add("受信トレイ", "05-weekly.eml",
    header(MIKE, ME, "Weekly report", "Fri, 10 Jan 2003 18:30:11 -0800",
           "3E1F8A3B.5060401@example.com",
           ["Content-Type: text/plain; charset=us-ascii", "Content-Transfer-Encoding: 7bit"])
    + "\r\nHi Taro,\r\n\r\nAttached below is this week's summary.\r\n"
    + "- Build server moved to the new rack\r\n- Release notes drafted\r\n\r\nMike\r\n")

# 6. A subject whose Shift_JIS form has 0x5C trail bytes (ソ, 表, 能).
add("受信トレイ", "06-table.eml",
    header(YUKI, ME, word("ソフトの表示機能について"), "Sat, 11 Jan 2003 10:20:30 +0900",
           "20030111102030.D9@example.ne.jp",
           ["Content-Type: text/plain; charset=ISO-2022-JP", "Content-Transfer-Encoding: 7bit"])
    + "\r\n" + text_part("""
山田さん

高橋です。先日のソフトの表示機能、とても使いやすかったです。
表の列幅を変えられると、さらに便利だと思います。

由紀
"""))

# Sent mail.
add("送信トレイ", "01-reply.eml",
    header(ME, HANAKO, word("Re: 定例会議のお知らせ"), "Mon, 6 Jan 2003 10:02:18 +0900",
           "20030106100218.X1@example.jp",
           ["In-Reply-To: <20030106091522.A1@example.co.jp>",
            "Content-Type: text/plain; charset=ISO-2022-JP", "Content-Transfer-Encoding: 7bit"])
    + "\r\n" + text_part("""
佐藤さん

ご連絡ありがとうございます。出席します。

山田
"""))
add("送信トレイ", "02-order.eml",
    header(ME, KENJI, word("ご注文の件"), "Thu, 9 Jan 2003 11:40:00 +0900",
           "20030109114000.X2@example.jp",
           ["Content-Type: text/plain; charset=ISO-2022-JP", "Content-Transfer-Encoding: 7bit"])
    + "\r\n" + text_part("""
鈴木様

お見積りありがとうございました。
ノートPC３台とプリンタ１台を注文いたします。

山田 太郎
"""))

# Not yet sent.
add("未送信トレイ", "01-newyear.eml",
    header(ME, YUKI, word("新年会の日程"), "Sat, 11 Jan 2003 21:05:00 +0900",
           "20030111210500.X3@example.jp",
           ["Content-Type: text/plain; charset=ISO-2022-JP", "Content-Transfer-Encoding: 7bit"])
    + "\r\n" + text_part("""
高橋さん

新年会は２５日（土）の夜でいかがでしょうか。
""" ))

# Draft.
add("ドラフト", "01-draft.eml",
    header(ME, MIKE, "Draft: project plan", "Sun, 12 Jan 2003 08:00:00 +0900",
           "20030112080000.X4@example.jp",
           ["Content-Type: text/plain; charset=ISO-2022-JP", "Content-Transfer-Encoding: 7bit"])
    + "\r\n" + text_part("""
Mike,

（下書き）来月の計画について、まとめ中です。
"""))

# A tray of the user's own (listed in the store's tray list).
add("旅行", "01-hotel.eml",
    header(("能登温泉 旅館まつかぜ", "info@matsukaze.example"), ME, word("ご予約の確認"),
           "Wed, 15 Jan 2003 15:15:15 +0900", "20030115151515.H1@matsukaze.example",
           ["Content-Type: text/plain; charset=ISO-2022-JP", "Content-Transfer-Encoding: 7bit"])
    + "\r\n" + text_part("""
山田 太郎 様

このたびはご予約ありがとうございます。
　宿泊日：２月８日（土）１泊
　人数：２名

お気をつけてお越しください。
"""))

ADDRESS_BOOK = [
    ("佐藤 花子", "hanako.sato@example.co.jp"),
    ("鈴木 健二", "kenji.suzuki@sample-shoji.example"),
    ("高橋 由紀", "yuki.takahashi@example.ne.jp"),
    ("Mike Brown", "mike.brown@example.com"),
    ("ソフト表示サポート", "support@hyouji-soft.example"),
]


def main():
    shutil.rmtree(OUT, ignore_errors=True)
    for tray, items in messages.items():
        os.makedirs(os.path.join(OUT, tray))
        for name, data in items:
            with open(os.path.join(OUT, tray, name), "wb") as f:
                f.write(data.encode("ascii"))
    # The store keeps its address book in Shift_JIS; this UTF-8 copy is what
    # the demo ships, and the store tool converts it.
    with open(os.path.join(HERE, "AddressBook.txt"), "w", encoding="utf-8", newline="\r\n") as f:
        for name, address in ADDRESS_BOOK:
            f.write(f"{name}\t{address}\n")


if __name__ == "__main__":
    main()
