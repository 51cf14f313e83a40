"""How long python3-olefile takes to read both property sets of each real
document, for comparison with bench/show-corpus.sh. Run with the system's
Python, which has olefile: /usr/bin/python3 bench/olefile-corpus.py [FOLDER]
"""
import glob
import sys
import time

import olefile

folder = sys.argv[1] if len(sys.argv) > 1 else "../shared/corpus"
files = sorted(f for f in glob.glob(folder + "/*") if not f.endswith((".md", ".json", ".tsv")))


def read_all():
    read = 0
    for path in files:
        try:
            ole = olefile.OleFileIO(path)
        except Exception:
            continue
        for stream in ("\x05SummaryInformation", "\x05DocumentSummaryInformation"):
            if ole.exists(stream):
                try:
                    ole.getproperties(stream)
                except Exception:
                    pass
        ole.close()
        read += 1
    return read


read_all()  # warm the cache
rounds = 5
start = time.perf_counter()
for _ in range(rounds):
    count = read_all()
seconds = (time.perf_counter() - start) / (rounds * count)
print("python3-olefile: %.1f us per file over %d files" % (seconds * 1e6, count))
