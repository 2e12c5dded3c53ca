#!/usr/bin/env bash
# Times `stampora-batch clone --data-file` end to end: 2,000, 5,000 and 10,000 different records
# (a name, a product, a price and a QR code each) on the 10-up A4 business card template, saved
# and printed to PDF, with peak memory (ru_maxrss through /usr/bin/time); 10,000 identical
# cards of the same design (fixed text and QR code, --sets 10000) for comparison; and, when the
# Debian package glabels is installed, glabels-3-batch merging the same lists into the same
# number of cards in the same run.
# Usage: bench/bench_merge.sh [BUILD_DIR] [RUNS]   (defaults: build, 3)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-3}
. bench/bench_common.sh
bench_setup merge
python3 bench/make_merge_glyph.py "$scratch" 2000 5000 10000
paper="A4 (210 x 297 mm)"

clone=("$batch" clone --data "$data" --category Визитки --paper "$paper" --out "$scratch/sheet.doc"
       --pdf "$scratch/sheet.pdf")
identical=$(measure "10000 identical cards, --pdf" "${clone[@]}" --glyph "$scratch/fixed.doc" \
  --sets 10000)
echo "$identical"
for n in 2000 5000 10000; do
  line=$(measure "$n records, --pdf" "${clone[@]}" --glyph "$scratch/merge.doc" \
    --data-file "$scratch/list-$n.csv")
  pages=$(pdfinfo "$scratch/sheet.pdf" 2>/dev/null | awk '/^Pages:/ {print $2}')
  per=$(awk -v t="$(median_of "$line")" -v n="$n" 'BEGIN {printf "%.0f", t / n * 1e6}')
  echo "$line   $pages pages, $per µs per label"
done
ratio=$(awk -v m="$(median_of "$line")" -v s="$(median_of "$identical")" \
  'BEGIN {printf "%.2f", m / s}')
echo "10000 records against 10000 identical cards: $ratio"

if ! command -v glabels-3-batch >/dev/null; then
  echo "glabels-3-batch is missing: install the Debian package glabels for the comparison"
  exit 0
fi
# The same card: two text lines, a price and a QR code of the same fields, 10 per A4 sheet.
for n in 2000 5000 10000; do
  cat >"$scratch/card-$n.glabels" <<EOT
<?xml version="1.0"?>
<Glabels-document xmlns="http://glabels.org/xmlns/3.0/">
  <Template brand="Avery" part="7414" size="A4" description="Business Cards">
    <Meta category="business-card"/>
    <Label-rectangle id="0" width="255.1pt" height="147.4pt" round="0pt" x_waste="0pt" y_waste="0pt">
      <Markup-margin size="5pt"/>
      <Layout nx="2" ny="5" x0="42.51pt" y0="52.44pt" dx="255.1pt" dy="147.4pt"/>
    </Label-rectangle>
  </Template>
  <Objects id="0" rotate="False">
    <Object-text a0="1" a1="0" a2="0" a3="1" a4="0" a5="0" x="10pt" y="10pt" w="140pt" h="120pt"
                 justify="Left" valign="Top" auto_shrink="False">
      <Span font_family="DejaVu Sans" font_size="11" font_weight="Regular" font_italic="False"
            color="0x000000ff" line_spacing="1"><Field name="Имя"/><NL/><Field name="Товар"/><NL/>Цена: <Field name="Цена"/></Span>
    </Object-text>
    <Object-barcode a0="1" a1="0" a2="0" a3="1" a4="0" a5="0" x="160pt" y="20pt" w="85pt" h="85pt"
                    backend="libqrencode" style="IEC18004" text="False" checksum="True"
                    color="0x000000ff" field="Код"/>
  </Objects>
  <Merge type="Text/Semicolon/Line1Keys" src="$scratch/list-$n.csv"/>
</Glabels-document>
EOT
  line=$(measure "glabels-3-batch $n records" glabels-3-batch -o "$scratch/glabels.pdf" \
    "$scratch/card-$n.glabels")
  pages=$(pdfinfo "$scratch/glabels.pdf" 2>/dev/null | awk '/^Pages:/ {print $2}')
  echo "$line   $pages pages"
done
