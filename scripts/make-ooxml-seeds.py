#!/usr/bin/env python3
"""Turns word-processor packages into seeds for fuzz_ooxml, each twice: the zip as it is (first
byte even) and its parts joined by the target's separator (first byte odd), so that mutations
reach the XML readers without breaking the zip's checksums.
  python3 scripts/make-ooxml-seeds.py FILE.docx...   (run make-samples for a set of files)"""
import os
import sys
import zipfile

OUT = os.path.join(os.path.dirname(__file__), "..", "fuzz", "seeds", "fuzz_ooxml")
# The order fuzz_ooxml gives the parts when it packs them.
PARTS = ["word/document.xml", "word/_rels/document.xml.rels", "word/styles.xml",
         "word/theme/theme1.xml", "word/media/image1.png", "[Content_Types].xml", "_rels/.rels"]
SEPARATOR = b"\n--part--\n"


def parts_of(path):
    with zipfile.ZipFile(path) as z:
        names = set(z.namelist())
        return [z.read(n) if n in names else b"" for n in PARTS]


def main(files):
    os.makedirs(OUT, exist_ok=True)
    for number, path in enumerate(files):
        with open(path, "rb") as f:
            raw = f.read()
        with open(os.path.join(OUT, "zip-%02d" % number), "wb") as f:
            f.write(b"\0" + raw)
        with open(os.path.join(OUT, "parts-%02d" % number), "wb") as f:
            f.write(b"\1" + SEPARATOR.join(parts_of(path)))


if __name__ == "__main__":
    main(sys.argv[1:])
