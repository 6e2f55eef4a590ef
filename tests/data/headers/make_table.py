#!/usr/bin/env python3
"""Writes decoded.tsv: header values and what Python's email library reads in
them, for the decoder test to compare against. Run it again after changing
the list; the test itself never needs Python.

Each line: the raw value as hex, a tab, the decoded text as UTF-8 hex.
Python's reading is normalised the way the program shows text: control
characters become blanks and blanks at both ends go.
"""
import email
import email.policy
import unicodedata

VALUES = [
    b"=?utf-8?b?R3LDvMOfZSBhdXMgS8O2bG4=?=",
    b"=?utf-8?q?J=C3=B6rg_M=C3=BCller?= <joerg@example.de>",
    b"=?iso-8859-1?q?Gr=FC=DFe_aus_K=F6ln?=",
    b"=?ISO-8859-1?Q?Gr=FC=DFe?= =?ISO-8859-1?Q?_aus_K=F6ln?=",
    b"=?utf-8?q?Stra=C3=9Fe?=\t =?utf-8?q?_und_Platz?=",
    b"Re: =?utf-8?q?J=C3=B6rg?= schreibt",
    b"=?iso-8859-2?q?=A3=F3d=BC?=",
    b"=?iso-8859-15?q?5_=A4?=",
    b"=?windows-1251?b?z/Do4uXy?=",
    b"=?koi8-r?b?8NLJ18XU?=",
    b"=?gb2312?b?1tDOxA==?=",
    b"=?gbk?b?1tDOxA==?=",
    b"=?shift_jis?b?k/qWe4zq?=",
    b"=?big5?b?pKSk5Q==?=",
    b"=?euc-kr?b?x9Gxub7u?=",
    b"=?utf-8?b?w6Q=?= =?utf-8?b?w7Y=?= plain",
    b"=?utf-8?B?4oKs?=uro",
    b"=?UTF-8?Q?Preis:_100_=E2=82=AC?=",
    b"=?utf-8?q?a?= b =?utf-8?q?c?=",
    b"=?utf-8?q?Tab=09Stop?=",
    b"no encoding at all",
    b"=?utf-8?q?unterminated",
    b"=?utf-8?x?abc?=",
    b"100% =?? dubious ?=",
    b"=?utf-8?q?JM?a?_9?= =?utf-8?q?JM?=",
]


def readable(text):
    text = "".join(" " if unicodedata.category(c) == "Cc" else c for c in text)
    return text.strip()


def decoded(raw):
    message = email.message_from_bytes(b"Subject: " + raw + b"\r\n\r\n", policy=email.policy.default)
    return readable(str(message["Subject"]))


with open("decoded.tsv", "w", encoding="ascii") as table:
    for raw in VALUES:
        table.write(raw.hex() + "\t" + decoded(raw).encode("utf-8").hex() + "\n")
