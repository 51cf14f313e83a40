"""What the show command must put into the two property grids of a document,
computed from python3-olefile's reading under the program's display rules.

Usage: olefile_show.py FILE...  ->  lines "FILE TAB summary|docsummary TAB row TAB text"
Each line gives the expected text (UTF-8) of one row. A row whose text the
rules make from something olefile does not tell has no line and is not
compared; so has every row of a set that is missing, unreadable or holds
none of the rows (the grid keeps what it showed before).
"""
import datetime
import sys

import olefile

TOKYO = datetime.timedelta(hours=9)  # the tests run in Asia/Tokyo, which keeps no summer time
EPOCH = datetime.datetime(1601, 1, 1)

# Row kinds of the two sets, PROPID 2 upwards.
SUMMARY = ["s"] * 8 + ["d", "t", "t", "t", "i", "i", "i", "e", "s", "i"]
DOCSUMMARY = ["s", "s"] + ["i"] * 7 + ["b", "e", "e", "s", "s", "b"]

PYTHON_CODECS = {65001: "utf-8", 1200: "utf-16-le", 10000: "mac_roman", 932: "cp932"}


def codec_of(codepage):
    if codepage is None:
        return "cp932"
    codepage &= 0xFFFF
    return PYTHON_CODECS.get(codepage, "cp%d" % codepage)


def shown_in_cp932(text):
    out = []
    for c in text:
        try:
            c.encode("cp932")
            out.append(c)
        except UnicodeEncodeError:
            out.append("?")
    return "".join(out)


def string_text(value, codepage):
    if isinstance(value, str):  # a wide string, which olefile decodes itself
        text = value.rstrip("\x00")
        return None if "\x00" in text else shown_in_cp932(text)
    if not isinstance(value, bytes):
        return ""
    if b"\x00" in value:
        return None  # olefile drops embedded zeros; the program stops at the first
    try:
        text = value.decode(codec_of(codepage))
    except (UnicodeDecodeError, LookupError):
        return None
    try:
        return text.encode("cp932").decode("cp932")
    except UnicodeEncodeError:
        return None  # shown with "?" where CP932 has no character; not compared


def duration_text(seconds):
    days, rest = divmod(seconds, 86400)
    return "%02d:%02d:%02d & %04d日" % (rest // 3600, rest // 60 % 60, rest % 60, days)


def row_text(kind, value, codepage):
    if kind == "s":
        return string_text(value, codepage)
    if kind == "e":
        return ""
    if kind == "i":
        if isinstance(value, bool) or not isinstance(value, int):
            return None if value is not None else "0"
        return str(value if -2**31 <= value < 2**31 else value - 2**32)
    if kind == "b":
        if value is None:
            return "いいえ"
        if isinstance(value, bool):
            return "はい" if value else "いいえ"
        return "はい" if int(value) & 0xFFFF else "いいえ"
    if kind == "d":
        return duration_text(value) if isinstance(value, int) else None
    if kind == "t":
        if value is None:
            return "0000/00/00 00:00:00"
        if not isinstance(value, datetime.datetime):
            return None
        if value == EPOCH:
            return "0000/00/00 00:00:00"
        return (value + TOKYO).strftime("%Y/%m/%d %H:%M:%S")
    return None


def grid(ole, stream, kinds):
    nothing = [None] * len(kinds)
    if not ole.exists(stream):
        return nothing
    try:
        props = ole.getproperties(stream, convert_time=True, no_conversion=[10])
    except Exception:
        return nothing
    wanted = [props.get(pid) for pid in range(2, 2 + len(kinds))]
    if all(pid not in props for pid in range(2, 2 + len(kinds))):
        return nothing
    codepage = props.get(1)
    return [row_text(kind, value, codepage) for kind, value in zip(kinds, wanted)]


def main():
    out = []
    for path in sys.argv[1:]:
        try:
            ole = olefile.OleFileIO(path)
        except Exception:
            continue  # olefile cannot read it: nothing to compare
        for name, stream, kinds in (("summary", "\x05SummaryInformation", SUMMARY),
                                    ("docsummary", "\x05DocumentSummaryInformation", DOCSUMMARY)):
            for row, text in enumerate(grid(ole, stream, kinds)):
                if text is not None:
                    out.append("%s\t%s\t%d\t%s\n" % (path, name, row, text))
    sys.stdout.buffer.write("".join(out).encode("utf-8"))


main()
