#!/usr/bin/env bash
# Changes the title of one package of each kind of the office corpus with
# tavrin-cli, then has LibreOffice (an independent reader) convert each to
# PDF: each must open (exit 0, a PDF made). The PDF's title must be
# the new one. Skips (77) without soffice or
# without the corpus.
#
#   libreoffice_opens.sh TAVRIN_CLI CORPUS_FOLDER
set -euo pipefail
cli=$1
corpus=$2
command -v soffice >/dev/null || { echo "soffice is not installed"; exit 77; }
[[ -f $corpus/MANIFEST.tsv ]] || { echo "no office corpus at $corpus"; exit 77; }
title="Tavrin LibreOffice check"
# How the PDF's document information names that title: UTF-16 in hex.
pdf_title="/Title<FEFF$(printf '%s' "$title" | iconv -f UTF-8 -t UTF-16BE | od -An -tx1 -v | tr -d ' \n' | tr a-f A-F)>"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
for ext in docx xlsx pptx odt ods; do
  file=$(awk -F'\t' -v ext="$ext" '($7 == "ooxml" || $7 == "odf") && $1 ~ ("\\." ext "$") {print $1; exit}' \
    "$corpus/MANIFEST.tsv")
  [[ -n $file ]] || { echo "$ext: none in the corpus"; failed=1; continue; }
  cp "$corpus/$file" "$work/$file"
  chmod u+w "$work/$file"
  if ! "$cli" update --yes --set "summary:title=$title" "$work/$file"; then
    echo "$file: the title change failed"; failed=1; continue
  fi
  # A profile of its own, so that no other soffice of the machine interferes.
  if ! timeout 300 soffice -env:UserInstallation="file://$work/profile" --headless \
      --convert-to pdf --outdir "$work/pdf" "$work/$file" >"$work/log" 2>&1; then
    echo "$file: soffice failed:"; cat "$work/log"; failed=1; continue
  fi
  if [[ ! -s $work/pdf/${file%.*}.pdf ]]; then
    echo "$file: no PDF made:"; cat "$work/log"; failed=1; continue
  fi
  if ! grep -aqF "$pdf_title" "$work/pdf/${file%.*}.pdf"; then
    echo "$file: the PDF does not carry the new title"; failed=1; continue
  fi
  echo "$file: opens in LibreOffice after the title change, which it reads"
done
exit $failed
