#!/usr/bin/env python3
"""Writes the benchmark's glyphs and lists: a business card with merge fields and a QR code
(merge.doc), the same card with fixed text and a fixed QR code (fixed.doc), and a list of N
different records (list-N.csv). Usage: make_merge_glyph.py DIR N..."""
import sys
import zipfile

CONTENT_TYPES = (
    '<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/'
    'package/2006/content-types"><Default Extension="rels" ContentType="application/'
    'vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType='
    '"application/xml"/><Override PartName="/word/document.xml" ContentType="application/'
    'vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/></Types>')
RELS = (
    '<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/'
    'package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/'
    'officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/></Relationships>')
NS = ('xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main" '
      'xmlns:v="urn:schemas-microsoft-com:vml"')


def field(instruction, shown):
    return ('<w:p><w:fldSimple w:instr=" %s "><w:r><w:t xml:space="preserve">%s</w:t></w:r>'
            '</w:fldSimple></w:p>' % (instruction, shown))


def card(paragraphs, barcode):
    body = ('<w:p><w:r><w:pict><v:shape id="text" type="#_x0000_t202" style="position:absolute;'
            'margin-left:10pt;margin-top:10pt;width:140pt;height:120pt"><v:textbox>'
            '<w:txbxContent>%s</w:txbxContent></v:textbox></v:shape></w:pict></w:r>'
            '<w:r><w:pict><v:shape id="code" type="#_x0000_t202" style="position:absolute;'
            'margin-left:160pt;margin-top:20pt;width:85pt;height:100pt"><v:textbox>'
            '<w:txbxContent>%s</w:txbxContent></v:textbox></v:shape></w:pict></w:r></w:p>'
            '<w:sectPr><w:pgSz w:w="5102" w:h="2948"/><w:pgMar w:top="0" w:right="0" '
            'w:bottom="0" w:left="0"/></w:sectPr>') % (''.join(paragraphs), barcode)
    return ('<?xml version="1.0" encoding="UTF-8"?><w:document %s><w:body>%s</w:body>'
            '</w:document>') % (NS, body)


def write_docx(path, xml):
    with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:
        z.writestr('[Content_Types].xml', CONTENT_TYPES)
        z.writestr('_rels/.rels', RELS)
        z.writestr('word/document.xml', xml)


def main():
    folder = sys.argv[1]
    write_docx(folder + '/merge.doc', card(
        [field('MERGEFIELD Имя', '«Имя»'), field('MERGEFIELD Товар', '«Товар»'),
         field('MERGEFIELD Цена \\b &quot;Цена: &quot;', '«Цена»')],
        field('MERGEBARCODE Код QR \\q 3 \\s 60', '«Код»')))
    write_docx(folder + '/fixed.doc', card(
        [field('QUOTE &quot;Иван Петров&quot;', 'Иван Петров'),
         '<w:p><w:r><w:t>Чай зелёный</w:t></w:r></w:p>',
         '<w:p><w:r><w:t>Цена: 100,00</w:t></w:r></w:p>'],
        field('DISPLAYBARCODE &quot;VSP-0000001-4601234567893&quot; QR \\q 3 \\s 60', '')))
    for n in map(int, sys.argv[2:]):
        with open('%s/list-%d.csv' % (folder, n), 'w', encoding='utf-8') as f:
            f.write('Имя;Товар;Цена;Код\n')
            for i in range(1, n + 1):
                f.write('Покупатель %d;Товар №%d;%d,%02d;VSP-%07d-4601234567893\n'
                        % (i, i, 100 + i % 900, i % 100, i))


main()
