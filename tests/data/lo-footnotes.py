#!/usr/bin/python3
# A document with footnotes as a person writes it in LibreOffice Writer: pages of plain
# paragraphs, some holding a reference to a note of one or several lines, so that the notes
# take room from the text at the foot of their pages and push it on to the next.
#
# Usage: lo-footnotes.py SOFFICE PROFILE_FOLDER OUT_FILE
# Writes OUT_FILE as a Word 2007 package (.docx). Exits 3 where python3-uno is missing, 1 when
# LibreOffice fails.
import os
import subprocess
import sys
import time

try:
    import uno
    from com.sun.star.beans import PropertyValue
    from com.sun.star.text.ControlCharacter import PARAGRAPH_BREAK
except ImportError:
    print("nouno", flush=True)
    sys.exit(3)

WORDS = ("Этикетка наклеивается на чистую сухую поверхность при температуре не ниже пяти "
         "градусов и прижимается от середины к краям").split()


def prop(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


def url(path):
    return uno.systemPathToFileUrl(os.path.abspath(path))


def connect(soffice, profile):
    pipe = "vsp-notes-%d" % os.getpid()
    office = subprocess.Popen(
        [soffice, "-env:UserInstallation=" + url(profile), "--headless", "--invisible",
         "--norestore", "--nolockcheck", "--nodefault",
         "--accept=pipe,name=%s;urp;StarOffice.ComponentContext" % pipe],
        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext(
        "com.sun.star.bridge.UnoUrlResolver", local)
    deadline = time.monotonic() + 120
    while True:
        try:
            context = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
            break
        except Exception:
            if office.poll() is not None or time.monotonic() > deadline:
                office.kill()
                raise RuntimeError("LibreOffice did not start")
            time.sleep(0.1)
    return office, context.ServiceManager.createInstanceWithContext(
        "com.sun.star.frame.Desktop", context)


def sentence(seed, count):
    return " ".join(WORDS[(seed * 7 + k * 3) % len(WORDS)] for k in range(count)).capitalize()


# Paragraph k holds a note when it is in NOTES, with that many words in it: short notes, and
# long ones of several lines near the foot of the first and second pages.
NOTES = {2: 6, 9: 60, 11: 14, 17: 90, 19: 8, 26: 40, 33: 12}


def make(desktop):
    doc = desktop.loadComponentFromURL("private:factory/swriter", "_blank", 0,
                                       (prop("Hidden", True),))
    text = doc.Text
    cursor = text.createTextCursor()
    for k in range(40):
        if k > 0:
            text.insertControlCharacter(cursor, PARAGRAPH_BREAK, False)
        words = sentence(k, 30 + (k * 11) % 40)
        if k in NOTES:
            half = words.split()
            text.insertString(cursor, " ".join(half[:12]), False)
            note = doc.createInstance("com.sun.star.text.Footnote")
            text.insertTextContent(cursor, note, False)
            note.setString("Примечание %d. " % k + sentence(k + 3, NOTES[k]) + ".")
            text.insertString(cursor, " " + " ".join(half[12:]) + ".", False)
        else:
            text.insertString(cursor, words + ".", False)
    return doc


def main():
    if len(sys.argv) != 4:
        print("usage: lo-footnotes.py SOFFICE PROFILE_FOLDER OUT_FILE", file=sys.stderr)
        return 2
    soffice, profile, out = sys.argv[1:]
    try:
        office, desktop = connect(soffice, profile)
    except Exception as e:
        print(e, file=sys.stderr)
        return 1
    try:
        doc = make(desktop)
        doc.storeToURL(url(out), (prop("FilterName", "MS Word 2007 XML"), prop("Overwrite", True)))
        doc.close(True)
    except Exception as e:
        print(getattr(e, "Message", "") or e, file=sys.stderr)
        return 1
    finally:
        try:
            desktop.terminate()
        except Exception:
            pass
        try:
            office.wait(20)
        except Exception:
            office.kill()
    return 0


if __name__ == "__main__":
    sys.exit(main())
