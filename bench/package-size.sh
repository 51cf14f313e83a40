#!/usr/bin/env bash
# Whether the cost of showing a package grows with the package: `tavrin-cli
# show` of a small word-processing package and of one that carries a 100 MB
# picture (stored, random bytes, so nothing compresses it away), with the
# properties before the picture and after it. Each is shown ROUNDS times in
# one run; the time per show is printed.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${ROUNDS:-200}
megabytes=${MEGABYTES:-100}
build=${TAVRIN_BENCH_DIR:-build/bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVRIN_TESTS=OFF -DTAVRIN_BENCHMARKS=ON >/dev/null
cmake --build "$build" --target tavrin-cli >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 - "$work" "$megabytes" <<'PY'
import os, sys, zipfile
work, megabytes = sys.argv[1], int(sys.argv[2])
types = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
         '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
         '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
         '<Default Extension="xml" ContentType="application/xml"/>'
         '<Default Extension="bin" ContentType="application/octet-stream"/>'
         '<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/>'
         '<Override PartName="/docProps/core.xml" ContentType="application/vnd.openxmlformats-package.core-properties+xml"/>'
         '<Override PartName="/docProps/app.xml" ContentType="application/vnd.openxmlformats-officedocument.extended-properties+xml"/>'
         '</Types>')
rels = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
        '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/>'
        '<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties" Target="docProps/core.xml"/>'
        '<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties" Target="docProps/app.xml"/>'
        '</Relationships>')
core = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
        '<cp:coreProperties xmlns:cp="http://schemas.openxmlformats.org/package/2006/metadata/core-properties" '
        'xmlns:dc="http://purl.org/dc/elements/1.1/" xmlns:dcterms="http://purl.org/dc/terms/" '
        'xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">'
        '<dc:title>Quarterly report</dc:title><dc:creator>Sato</dc:creator>'
        '<dcterms:created xsi:type="dcterms:W3CDTF">2024-04-01T09:00:00Z</dcterms:created>'
        '</cp:coreProperties>')
app = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
       '<Properties xmlns="http://schemas.openxmlformats.org/officeDocument/2006/extended-properties">'
       '<Application>Writer</Application><Pages>3</Pages></Properties>')
document = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
            '<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main">'
            '<w:body><w:p/></w:body></w:document>')
picture = os.urandom(megabytes << 20)
def make(name, big, props_first):
    with zipfile.ZipFile(os.path.join(work, name), "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml", types)
        z.writestr("_rels/.rels", rels)
        props = [("docProps/core.xml", core), ("docProps/app.xml", app)]
        if props_first:
            for n, t in props: z.writestr(n, t)
        z.writestr("word/document.xml", document)
        if big: z.writestr("word/media/picture.bin", picture, zipfile.ZIP_STORED)
        if not props_first:
            for n, t in props: z.writestr(n, t)
make("small.docx", False, True)
make("large-first.docx", True, True)
make("large-last.docx", True, False)
PY
for name in small large-first large-last; do
  file="$work/$name.docx"
  list=()
  for ((i = 0; i < rounds; i++)); do list+=("$file"); done
  "$build/app/tavrin-cli" show "$file" >/dev/null  # warm the cache, and fail loudly if it cannot
  start=$(date +%s%N)
  "$build/app/tavrin-cli" show --jobs 1 "${list[@]}" >/dev/null
  end=$(date +%s%N)
  awk -v n="$rounds" -v t=$((end - start)) -v name="$name" -v size="$(stat -c %s "$file")" 'BEGIN {
    printf "%-12s %10d bytes: %.1f us per show\n", name, size, t / n / 1000
  }'
done
