#!/usr/bin/python3
# A sheet template and a glyph as a person makes them in LibreOffice Writer, so that cloning is
# tried on files we did not write ourselves.
#
# Usage: lo-label-documents.py SOFFICE PROFILE_FOLDER OUT_FOLDER
# Writes into OUT_FOLDER, each as a Word 2007 package (.docx) and as a binary Word 97 file (.doc):
#   template  A4, margins of 20 mm; 3 x 7 label rectangles of 70 x 42.3 mm without fill from the
#             top left corner of the page, and dashed cut lines (no width or no height) between
#             the columns and the rows, across the whole page;
#   glyph     a page of 70 x 42.3 mm: a guide outline named as the program names a new glyph's
#             frame, an oval, a rectangle holding the text "Сыр козий" and a frame without
#             background holding "Выдержка год".
# Exits 3 where python3-uno is missing, 1 when LibreOffice fails.
import os
import subprocess
import sys
import time

try:
    import uno
    from com.sun.star.awt import Size
    from com.sun.star.beans import PropertyValue
    from com.sun.star.text.HoriOrientation import NONE as HORI_NONE
    from com.sun.star.text.RelOrientation import PAGE_FRAME
    from com.sun.star.text.TextContentAnchorType import AT_PARAGRAPH
    from com.sun.star.text.VertOrientation import NONE as VERT_NONE
except ImportError:
    print("nouno", flush=True)
    sys.exit(3)

LABEL_W, LABEL_H = 70.0, 42.3
COLUMNS, ROWS = 3, 7


def prop(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


def url(path):
    return uno.systemPathToFileUrl(os.path.abspath(path))


def hundredths(mm):
    return int(round(mm * 100))


def enum(kind, value):
    return uno.Enum("com.sun.star." + kind, value)


def connect(soffice, profile):
    pipe = "vsp-labels-%d" % os.getpid()
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


def new_document(desktop, width, height, margin):
    doc = desktop.loadComponentFromURL("private:factory/swriter", "_blank", 0,
                                       (prop("Hidden", True),))
    page = doc.StyleFamilies.getByName("PageStyles").getByName("Standard")
    page.Width = hundredths(width)
    page.Height = hundredths(height)
    for side in ("TopMargin", "BottomMargin", "LeftMargin", "RightMargin"):
        setattr(page, side, hundredths(margin))
    return doc


# Anchored to the first paragraph and placed from the page's corner, as Writer places a shape
# dragged onto the page; "in front of the text" like the program's own shapes.
def place(doc, item, name, left, top, width, height):
    item.AnchorType = AT_PARAGRAPH
    item.HoriOrient = HORI_NONE
    item.VertOrient = VERT_NONE
    item.HoriOrientRelation = PAGE_FRAME
    item.VertOrientRelation = PAGE_FRAME
    item.HoriOrientPosition = hundredths(left)
    item.VertOrientPosition = hundredths(top)
    item.Surround = enum("text.WrapTextMode", "THROUGH")
    item.Size = Size(hundredths(width), hundredths(height))
    item.Name = name
    doc.Text.insertTextContent(doc.Text.getStart(), item, False)
    return item


def shape(doc, kind, name, left, top, width, height):
    return place(doc, doc.createInstance("com.sun.star.drawing." + kind), name, left, top, width,
                 height)


def make_template(desktop):
    doc = new_document(desktop, 210, 297, 20)
    for row in range(ROWS):
        for column in range(COLUMNS):
            label = shape(doc, "RectangleShape", "Этикетка %d" % (row * COLUMNS + column + 1),
                          column * LABEL_W, row * LABEL_H, LABEL_W, LABEL_H)
            label.FillStyle = enum("drawing.FillStyle", "NONE")
            label.LineColor = 0x808080
    cuts = [(column * LABEL_W, 0, 0, 297) for column in range(1, COLUMNS)]
    cuts += [(0, row * LABEL_H, 210, 0) for row in range(1, ROWS)]
    for number, (left, top, width, height) in enumerate(cuts, 1):
        line = shape(doc, "LineShape", "Линия реза %d" % number, left, top, width, height)
        line.LineStyle = enum("drawing.LineStyle", "DASH")
        line.LineWidth = 18
    return doc


def make_glyph(desktop):
    doc = new_document(desktop, LABEL_W, LABEL_H, 0)
    guide = shape(doc, "RectangleShape", "VSP_NONPRINTABLE_1", 0, 0, LABEL_W, LABEL_H)
    guide.FillStyle = enum("drawing.FillStyle", "NONE")
    guide.LineColor = 0xFFFFFF
    oval = shape(doc, "EllipseShape", "Овал", 3, 3, 64, 36.3)
    oval.FillColor = 0xFFF2CC
    oval.LineColor = 0x7F6000
    text = shape(doc, "RectangleShape", "Название", 10, 12, 50, 10)
    text.FillStyle = enum("drawing.FillStyle", "NONE")
    text.LineStyle = enum("drawing.LineStyle", "NONE")
    text.TextBox = True
    text.String = "Сыр козий"
    frame = place(doc, doc.createInstance("com.sun.star.text.TextFrame"), "Выдержка", 12, 25, 46,
                  9)
    frame.FillStyle = enum("drawing.FillStyle", "NONE")
    frame.FillTransparence = 100
    frame.Text.setString("Выдержка год")
    return doc


def save(doc, folder, stem):
    for extension, filter_name in (("docx", "MS Word 2007 XML"), ("doc", "MS Word 97")):
        doc.storeToURL(url(os.path.join(folder, stem + "." + extension)),
                       (prop("FilterName", filter_name), prop("Overwrite", True)))
    doc.close(True)


def main():
    if len(sys.argv) != 4:
        print("usage: lo-label-documents.py SOFFICE PROFILE_FOLDER OUT_FOLDER", file=sys.stderr)
        return 2
    soffice, profile, out = sys.argv[1:]
    try:
        office, desktop = connect(soffice, profile)
    except Exception as e:
        print(e, file=sys.stderr)
        return 1
    try:
        save(make_template(desktop), out, "template")
        save(make_glyph(desktop), out, "glyph")
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
