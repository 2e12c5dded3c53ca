#!/usr/bin/env bash
# Times `stampora-batch clone` end to end: one business card × 10,000 and × 20,000 sets on the
# 10-up A4 template of the sample catalogue, with and without --pdf, with peak memory; 10,000
# labels made of 10, 20, 40, 100 and 1,000 different glyph files (the group print wizard's
# work), each with its ratio to 10,000 copies of one glyph; and, when
# the Debian package glabels is installed, glabels-3-batch printing 10,000 cards of a comparable
# design (a frame and two lines of text, 10 per A4 sheet) to PDF in the same run.
# Usage: bench/bench_clone.sh [BUILD_DIR] [RUNS]   (defaults: build, 5)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-5}
label_width=34
. bench/bench_common.sh
bench_setup clone
glyph="$data/Оттиски/Визитки/Коллекция оттисков/Визитка классическая.doc"
paper="A4 (210 x 297 mm)"

clone=("$batch" clone --data "$data" --category Визитки --paper "$paper" --glyph "$glyph"
       --out "$scratch/sheet.doc")
for sets in 10000 20000; do
  measure "clone $sets sets" "${clone[@]}" --sets "$sets"
  measure "clone $sets sets --pdf" "${clone[@]}" --sets "$sets" --pdf "$scratch/sheet.pdf"
done

# Group cloning: the two sample cards copied to N files, 10,000 / N labels each.
single=$(measure "clone 10000 copies of one glyph" "${clone[@]}" --sets 10000)
echo "$single"
samples=("$data/Оттиски/Визитки/Коллекция оттисков/"*.doc)
mkdir -p "$scratch/group"
for n in 10 20 40 100 1000; do
  group=()
  for k in $(seq "$n"); do
    file="$scratch/group/card$k.doc"
    [ -e "$file" ] || cp "${samples[k % ${#samples[@]}]}" "$file"
    group+=(--glyph "$file:$((10000 / n))")
  done
  line=$(measure "clone $n glyphs x $((10000 / n))" "$batch" clone --data "$data" \
    --category Визитки --paper "$paper" "${group[@]}" --sets 1 --out "$scratch/sheet.doc")
  ratio=$(awk -v g="$(median_of "$line")" -v s="$(median_of "$single")" \
    'BEGIN {printf "%.2f", g / s}')
  echo "$line   ratio to one glyph: $ratio"
done

if ! command -v glabels-3-batch >/dev/null; then
  echo "glabels-3-batch is missing: install the Debian package glabels for the comparison"
  exit 0
fi
cat >"$scratch/card.glabels" <<'EOF'
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
    <Object-box a0="1" a1="0" a2="0" a3="1" a4="0" a5="0" x="8.5pt" y="8.5pt" w="238.1pt" h="130.4pt"
                line_width="0.75pt" line_color="0x000000ff" fill_color="0x00000000"/>
    <Object-text a0="1" a1="0" a2="0" a3="1" a4="0" a5="0" x="22.7pt" y="25.5pt" w="209.8pt" h="34pt"
                 justify="Left" valign="Top" auto_shrink="False">
      <Span font_family="DejaVu Sans" font_size="11" font_weight="Regular" font_italic="False"
            color="0x000000ff" line_spacing="1">Иван Петров</Span>
    </Object-text>
    <Object-text a0="1" a1="0" a2="0" a3="1" a4="0" a5="0" x="22.7pt" y="68pt" w="209.8pt" h="51pt"
                 justify="Left" valign="Top" auto_shrink="False">
      <Span font_family="DejaVu Sans" font_size="11" font_weight="Regular" font_italic="False"
            color="0x000000ff" line_spacing="1">Дизайнер этикеток<NL/>тел. +7 900 000-00-00</Span>
    </Object-text>
  </Objects>
</Glabels-document>
EOF
measure "glabels-3-batch 10000 labels" glabels-3-batch -s 1000 -o "$scratch/glabels.pdf" \
  "$scratch/card.glabels"
