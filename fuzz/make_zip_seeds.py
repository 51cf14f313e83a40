#!/usr/bin/python3
# Writes the seed corpus of the zip_archive fuzz target with Python's
# zipfile, a writer independent of the engine: small packages in each layout
# the engine reads (data descriptors, stored members, a comment, a prefix,
# a properties member in the middle).
#
#   /usr/bin/python3 fuzz/make_zip_seeds.py fuzz/corpus/zip_archive

import io
import os
import sys
import zipfile


class Unseekable:
    def __init__(self, f):
        self.f = f

    def write(self, b):
        return self.f.write(b)

    def flush(self):
        self.f.flush()


def package(streamed=False, prefix=b"", comment=b"", level=None):
    raw = io.BytesIO()
    raw.write(prefix)
    target = Unseekable(raw) if streamed else raw
    with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED, compresslevel=level) as z:
        z.writestr(zipfile.ZipInfo("mimetype"), "application/x-test", zipfile.ZIP_STORED)
        z.writestr("[Content_Types].xml", "<Types>" + "type " * 20 + "</Types>")
        z.writestr("docProps/core.xml", "<core><dc:title>Title</dc:title></core>")
        z.writestr("word/document.xml", "<doc>" + "body " * 50 + "</doc>")
        z.comment = comment
    return raw.getvalue()


def main(folder):
    os.makedirs(folder, exist_ok=True)
    seeds = {
        "plain.zip": package(),
        "descriptors.zip": package(streamed=True),
        "comment.zip": package(comment=b"a comment"),
        "prefix.zip": package(prefix=b"\x7fELF" + b"\0" * 60),
        "loose.zip": package(level=0),
    }
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


main(sys.argv[1])
