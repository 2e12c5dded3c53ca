#!/usr/bin/python3
# A document with footnotes as a person writes it in LibreOffice Writer: pages of plain
# paragraphs, some holding a reference to a note of one or several lines, so that the notes
# take room from the text at the foot of their pages and push it on to the next.
#
# Usage: lo-footnotes.py SOFFICE PROFILE_FOLDER OUT_FILE
# Writes OUT_FILE as a Word 2007 package (.docx). Exits 3 where python3-uno is missing, 1 when
# LibreOffice fails.
import os
import runpy
import sys
import types

# The connection and helpers of the label documents' maker; it exits 3 without python3-uno.
lo = types.SimpleNamespace(**runpy.run_path(
    os.path.join(os.path.dirname(os.path.abspath(__file__)), "lo-label-documents.py")))
from com.sun.star.text.ControlCharacter import PARAGRAPH_BREAK  # noqa: E402

WORDS = ("Этикетка наклеивается на чистую сухую поверхность при температуре не ниже пяти "
         "градусов и прижимается от середины к краям").split()


def sentence(seed, count):
    return " ".join(WORDS[(seed * 7 + k * 3) % len(WORDS)] for k in range(count)).capitalize()


# Paragraph k holds a note when it is in NOTES, with that many words in it: short notes, and
# long ones of several lines near the foot of the first and second pages.
NOTES = {2: 6, 9: 60, 11: 14, 17: 90, 19: 8, 26: 40, 33: 12}


def make(desktop, out):
    doc = desktop.loadComponentFromURL("private:factory/swriter", "_blank", 0,
                                       (lo.prop("Hidden", True),))
    text = doc.Text
    cursor = text.createTextCursor()
    for k in range(40):
        if k > 0:
            text.insertControlCharacter(cursor, PARAGRAPH_BREAK, False)
        words = sentence(k, 30 + (k * 11) % 40).split()
        text.insertString(cursor, " ".join(words[:12] if k in NOTES else words), False)
        if k in NOTES:
            note = doc.createInstance("com.sun.star.text.Footnote")
            text.insertTextContent(cursor, note, False)
            note.setString("Примечание %d. " % k + sentence(k + 3, NOTES[k]) + ".")
            text.insertString(cursor, " " + " ".join(words[12:]), False)
        text.insertString(cursor, ".", False)
    doc.storeToURL(lo.url(out), (lo.prop("FilterName", "MS Word 2007 XML"),
                                 lo.prop("Overwrite", True)))
    doc.close(True)


# An exception ends the script with 1.
if __name__ == "__main__":
    office, desktop = lo.connect(*sys.argv[1:3])
    try:
        make(desktop, sys.argv[3])
    finally:
        desktop.terminate()
        office.wait(20)
