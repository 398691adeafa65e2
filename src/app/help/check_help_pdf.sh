#!/bin/sh
# Checks the built user guide: a PDF file of more than one page.
# Usage: check_help_pdf.sh help.pdf
set -eu
pdf="$1"
[ -s "$pdf" ] || { echo "missing or empty: $pdf"; exit 1; }
[ "$(head -c 5 "$pdf")" = "%PDF-" ] || { echo "not a PDF: $pdf"; exit 1; }
tail -c 1024 "$pdf" | grep -q '%%EOF' || { echo "truncated PDF: $pdf"; exit 1; }
# Page objects are written uncompressed ("/Type /Page", unlike the "/Type /Pages" tree).
pages=$(grep -a -c -E '/Type ?/Page([^s]|$)' "$pdf" || true)
echo "$pdf: $pages pages"
[ "$pages" -gt 1 ] || { echo "expected more than one page"; exit 1; }
