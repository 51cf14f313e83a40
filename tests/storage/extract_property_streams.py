#!/usr/bin/python3
"""Copies the two property-set streams of every compound file in a folder into
another folder, for the codec tests, and lists what the folder's inventory
decoded from them.

usage: extract_property_streams.py CORPUS OUT

OUT/streams.tsv: file, set ("si" or "dsi"), name of the copied stream.
OUT/expected.tsv: file, set, PROPID, type, value, for the first section's
values of the types the program reads: integers in decimal, FILETIMEs as
ticks, 8-bit strings as the hex of their CP932 form ("?" for a character CP932
lacks), as the codec should hand them out.
"""
import json
import os
import sys

import olefile

SETS = {"\x05summaryinformation": "si", "\x05documentsummaryinformation": "dsi"}
INVENTORY_KEYS = {"si": "summary_information", "dsi": "document_summary_information"}


def extract(corpus, out):
    with open(os.path.join(out, "streams.tsv"), "w") as index:
        for name in sorted(os.listdir(corpus)):
            path = os.path.join(corpus, name)
            if not os.path.isfile(path) or not olefile.isOleFile(path):
                continue
            try:
                ole = olefile.OleFileIO(path)
            except Exception:
                continue
            with ole:
                for entry in ole.listdir(streams=True, storages=False):
                    kind = SETS.get(entry[0].lower()) if len(entry) == 1 else None
                    if kind is None:
                        continue
                    try:
                        data = ole.openstream(entry).read()
                    except Exception:
                        continue
                    copy = f"{name}.{kind}"
                    with open(os.path.join(out, copy), "wb") as f:
                        f.write(data)
                    index.write(f"{name}\t{kind}\t{copy}\n")


def expected(corpus, out):
    inventory_path = os.path.join(corpus, "inventory.json")
    with open(os.path.join(out, "expected.tsv"), "w") as lines:
        if not os.path.exists(inventory_path):
            return
        with open(inventory_path) as f:
            inventory = json.load(f)
        for item in inventory:
            for kind, key in INVENTORY_KEYS.items():
                stream = item.get(key)
                if not stream or not stream.get("sections"):
                    continue
                for prop in stream["sections"][0].get("properties", []):
                    kind_name = prop.get("type_name")
                    value = prop.get("value")
                    if kind_name in ("VT_I2", "VT_I4", "VT_UI4") and isinstance(value, int):
                        shown = str(value)
                    elif kind_name == "VT_BOOL" and isinstance(value, dict):
                        shown = str(value.get("raw"))
                    elif kind_name == "VT_FILETIME" and isinstance(value, dict):
                        shown = str(value.get("raw"))
                    elif kind_name == "VT_LPSTR" and isinstance(value, dict) and "text" in value:
                        shown = value["text"].encode("cp932", errors="replace").hex()
                    else:
                        continue
                    lines.write(f"{item['path']}\t{kind}\t{prop['propid']}\t{kind_name}\t{shown}\n")


if __name__ == "__main__":
    extract(sys.argv[1], sys.argv[2])
    expected(sys.argv[1], sys.argv[2])
