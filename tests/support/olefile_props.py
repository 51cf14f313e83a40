"""The properties of the two standard property sets of each file, as
python3-olefile reads them, for tests that compare a document before and
after a change.

Usage: olefile_props.py FILE...  ->  lines "FILE TAB set TAB propid TAB value"
set is "summary" or "docsummary"; value is Python's repr of what olefile
gives, times left as tick counts and strings as bytes. A set that is missing
or that olefile cannot read gives no lines.
"""
import sys

import olefile

SETS = (("summary", "\x05SummaryInformation"),
        ("docsummary", "\x05DocumentSummaryInformation"))


def main():
    for path in sys.argv[1:]:
        try:
            ole = olefile.OleFileIO(path)
        except Exception:
            continue
        with ole:
            for name, stream in SETS:
                if not ole.exists(stream):
                    continue
                try:
                    props = ole.getproperties(stream, convert_time=False)
                except Exception:
                    continue
                for propid in sorted(props):
                    print("%s\t%s\t%d\t%r" % (path, name, propid, props[propid]))


main()
