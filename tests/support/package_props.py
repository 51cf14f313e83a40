#!/usr/bin/python3
"""An independent reader of the properties of Office Open XML and
OpenDocument packages, with zipfile and ElementTree only.

  package_props.py show FILE...
      one JSON line per FILE: {"summary": [18 texts], "docsummary": [15
      texts]}, each row's text as the grids show it (CP932-showable UTF-8,
      "?" for the rest); a package it cannot read gives {"error": why}
  package_props.py make FILE NAME=CONTENT...
      writes a package of those members, in that order: "mimetype" stored,
      the others deflated
  package_props.py compare ORIGINAL CHANGED TITLE
      "OK" when CHANGED has the title TITLE, every member but the one that
      holds the title has the same bytes (header, data) as in ORIGINAL, and
      that member differs only inside its title element (or by one title
      element added); otherwise the reason
"""
import datetime
import json
import re
import struct
import sys
import zipfile
import xml.etree.ElementTree as ET

CP = "http://schemas.openxmlformats.org/package/2006/metadata/core-properties"
EP = "http://schemas.openxmlformats.org/officeDocument/2006/extended-properties"
DC = "http://purl.org/dc/elements/1.1/"
DCT = "http://purl.org/dc/terms/"
OFFICE = "urn:oasis:names:tc:opendocument:xmlns:office:1.0"
META = "urn:oasis:names:tc:opendocument:xmlns:meta:1.0"
XLINK = "http://www.w3.org/1999/xlink"
RELS = "http://schemas.openxmlformats.org/package/2006/relationships"

ZERO_DATE = "0000/00/00 00:00:00"


def q(ns, local):
    return "{%s}%s" % (ns, local)


def showable(text):
    return text.encode("cp932", errors="replace").decode("cp932")


def as_int(text):
    try:
        value = int(text.strip())
    except (ValueError, AttributeError):
        return None
    return value if -2**31 <= value < 2**31 else None


EPOCH = datetime.datetime(1601, 1, 1)


def now_offset():
    # The grids show local time with the offset in force now, not the one of
    # the date shown.
    return datetime.datetime.now().astimezone().utcoffset()


def date_utc(text):
    """The UTC datetime of a W3C date-time; one without a zone is local."""
    if text is None:
        return None
    text = text.strip()
    m = re.fullmatch(r"(\d{4})(?:-(\d\d)(?:-(\d\d)(?:T(\d\d):(\d\d)(?::(\d\d)(?:\.\d+)?)?"
                     r"(Z|[+-]\d\d:\d\d)?)?)?)?", text)
    if not m:
        return None
    y, mo, d, h, mi, s, zone = m.groups()
    try:
        when = datetime.datetime(int(y), int(mo or 1), int(d or 1), int(h or 0), int(mi or 0),
                                 int(s or 0))
    except ValueError:
        return None
    offset = now_offset()
    if zone:
        offset = datetime.timedelta(0)
        if zone != "Z":
            sign = 1 if zone[0] == "+" else -1
            offset = sign * datetime.timedelta(hours=int(zone[1:3]), minutes=int(zone[4:6]))
    utc = when - offset
    return utc if utc > EPOCH else None


def date_text(text):
    utc = date_utc(text)
    if utc is None:
        return ZERO_DATE
    return (utc + now_offset()).strftime("%Y/%m/%d %H:%M:%S")


def duration_text(seconds):
    if seconds is None:
        seconds = 0
    days, rest = divmod(int(seconds), 86400)
    return "%02d:%02d:%02d & %04d日" % (rest // 3600, rest // 60 % 60, rest % 60, days)


def iso_seconds(text):
    if text is None:
        return None
    m = re.fullmatch(r"P(?:(\d+)D)?(?:T(?:(\d+)H)?(?:(\d+)M)?(?:(\d+(?:[.,]\d+)?)S)?)?",
                     text.strip())
    if not m or not any(m.groups()):
        return None
    d, h, mi, s = m.groups()
    return (int(d or 0) * 86400 + int(h or 0) * 3600 + int(mi or 0) * 60 +
            int(float((s or "0").replace(",", "."))))


def row_text(kind, value):
    if kind == "text":
        return showable(value) if value is not None else ""
    if kind == "int":
        number = as_int(value) if value is not None else None
        return str(number if number is not None else 0)
    if kind == "date":
        return date_text(value)
    if kind == "minutes":
        minutes = as_int(value) if value is not None else None
        return duration_text(minutes * 60 if minutes is not None and minutes >= 0 else 0)
    if kind == "iso":
        return duration_text(iso_seconds(value))
    if kind == "bool":
        return "はい" if value is not None and value.strip() in ("true", "1") else "いいえ"
    return ""


def child_text(parent, tag):
    if parent is None:
        return None
    element = parent.find(tag)
    if element is None:
        return None
    return "".join(element.itertext()) if len(element) == 0 else (element.text or "")


def ooxml_rows(z):
    rels = ET.fromstring(z.read("_rels/.rels"))
    core = app = None
    for rel in rels.findall(q(RELS, "Relationship")):
        kind, target = rel.get("Type", ""), rel.get("Target", "").lstrip("/")
        if rel.get("TargetMode") == "External":
            continue
        if kind.endswith("/metadata/core-properties") and core is None:
            core = target
        elif kind.endswith("/extended-properties") and app is None:
            app = target
    names = set(z.namelist())
    c = ET.fromstring(z.read(core)) if core in names else None
    a = ET.fromstring(z.read(app)) if app in names else None
    if c is not None and c.tag != q(CP, "coreProperties"):
        c = None
    if a is not None and a.tag != q(EP, "Properties"):
        a = None

    def ct(ns, local):
        return child_text(c, q(ns, local))

    def at(local):
        return child_text(a, q(EP, local))

    summary = [("text", ct(DC, "title")), ("text", ct(DC, "subject")), ("text", ct(DC, "creator")),
               ("text", ct(CP, "keywords")), ("text", ct(DC, "description")),
               ("text", at("Template")), ("text", ct(CP, "lastModifiedBy")),
               ("text", ct(CP, "revision")), ("minutes", at("TotalTime")),
               ("date", ct(CP, "lastPrinted")), ("date", ct(DCT, "created")),
               ("date", ct(DCT, "modified")), ("int", at("Pages")), ("int", at("Words")),
               ("int", at("Characters")), ("empty", None), ("text", at("Application")),
               ("int", at("DocSecurity"))]
    doc = [("text", ct(CP, "category")), ("text", at("PresentationFormat")), ("int", None),
           ("int", at("Lines")), ("int", at("Paragraphs")), ("int", at("Slides")),
           ("int", at("Notes")), ("int", at("HiddenSlides")), ("int", at("MMClips")),
           ("bool", at("ScaleCrop")), ("empty", None), ("empty", None),
           ("text", at("Manager")), ("text", at("Company")), ("bool", at("LinksUpToDate"))]
    return summary, doc


def odf_rows(z):
    names = set(z.namelist())
    m = None
    if "meta.xml" in names:
        root = ET.fromstring(z.read("meta.xml"))
        if root.tag == q(OFFICE, "document-meta"):
            m = root.find(q(OFFICE, "meta"))

    def t(ns, local):
        return child_text(m, q(ns, local))

    def attr(local, ans, alocal):
        element = m.find(q(META, local)) if m is not None else None
        return element.get(q(ans, alocal)) if element is not None else None

    keywords = None
    if m is not None:
        found = [("".join(k.itertext())) for k in m.findall(q(META, "keyword"))]
        keywords = ", ".join(found) if found else None
    stat = lambda name: attr("document-statistic", META, name)
    summary = [("text", t(DC, "title")), ("text", t(DC, "subject")),
               ("text", t(META, "initial-creator")), ("text", keywords),
               ("text", t(DC, "description")), ("text", attr("template", XLINK, "href")),
               ("text", t(DC, "creator")), ("text", t(META, "editing-cycles")),
               ("iso", t(META, "editing-duration")), ("date", t(META, "print-date")),
               ("date", t(META, "creation-date")), ("date", t(DC, "date")),
               ("int", stat("page-count")), ("int", stat("word-count")),
               ("int", stat("character-count")), ("empty", None),
               ("text", t(META, "generator")), ("int", None)]
    doc = [("text", None), ("text", None), ("int", None), ("int", None),
           ("int", stat("paragraph-count"))] + [("int", None)] * 4 + [
               ("bool", None), ("empty", None), ("empty", None), ("text", None),
               ("text", None), ("bool", None)]
    return summary, doc


def show(path):
    try:
        with zipfile.ZipFile(path) as z:
            if "_rels/.rels" in z.namelist():
                summary, doc = ooxml_rows(z)
            else:
                summary, doc = odf_rows(z)
    except Exception as error:  # what this reader cannot read is reported, not raised
        return {"error": repr(error)}
    return {"summary": [row_text(k, v) for k, v in summary],
            "docsummary": [row_text(k, v) for k, v in doc]}


def raw_member(path, info):
    with open(path, "rb") as f:
        f.seek(info.header_offset)
        header = f.read(30)
        name_length, extra_length = struct.unpack("<HH", header[26:30])
        f.seek(info.header_offset)
        return f.read(30 + name_length + extra_length + info.compress_size)


TITLE = re.compile(rb"<([A-Za-z_][\w.-]*:)?title\b[^>]*?(?:/>|>.*?</\1title>)", re.S)


def compare(original, changed, title):
    a, b = zipfile.ZipFile(original), zipfile.ZipFile(changed)
    if [i.filename for i in a.infolist()] != [i.filename for i in b.infolist()][:len(a.infolist())]:
        return "the members are not the same, in the same order"
    part = None
    for info in a.infolist():
        if raw_member(original, info) != raw_member(changed, b.getinfo(info.filename)):
            if part is not None:
                return "two members changed: %s and %s" % (part, info.filename)
            part = info.filename
    shown = show(changed)
    if "error" in shown:
        return "the changed package does not read: " + shown["error"]
    if shown["summary"][0] != showable(title):
        return "the title reads %r" % shown["summary"][0]
    if part is None:
        return "OK" if show(original)["summary"][0] == showable(title) else "nothing changed"
    old, new = a.read(part), b.read(part)
    prefix = 0
    while prefix < min(len(old), len(new)) and old[prefix] == new[prefix]:
        prefix += 1
    suffix = 0
    while (suffix < min(len(old), len(new)) - prefix and
           old[len(old) - 1 - suffix] == new[len(new) - 1 - suffix]):
        suffix += 1
    span = TITLE.search(old)
    if span is None:
        added = TITLE.search(new)
        if added is None:
            return "%s: no title element was added" % part
        rest = new[:added.start()] + new[added.end():]
        # An empty root written <root/> had to open for its first child.
        if rest != old and re.sub(rb"></[^<>]+>(\s*)$", rb"/>\1", rest) != old:
            return "%s: more than a title element was added: %r" % (
                part, new[prefix:len(new) - suffix][:200])
        return "OK"
    if prefix < span.start() or len(old) - suffix > span.end():
        return "%s changed outside its title element (bytes %d to %d)" % (
            part, prefix, len(old) - suffix)
    return "OK"


if __name__ == "__main__":
    if sys.argv[1] == "show":
        for path in sys.argv[2:]:
            print(json.dumps(show(path), ensure_ascii=False))
    elif sys.argv[1] == "make":
        with zipfile.ZipFile(sys.argv[2], "w") as z:
            for member in sys.argv[3:]:
                name, content = member.split("=", 1)
                method = zipfile.ZIP_STORED if name == "mimetype" else zipfile.ZIP_DEFLATED
                z.writestr(name, content.encode("utf-8"), compress_type=method)
    elif sys.argv[1] == "compare":
        print(compare(sys.argv[2], sys.argv[3], sys.argv[4]))
