#!/usr/bin/python3
# Serves conversions for the program through one LibreOffice kept running: starting LibreOffice
# costs seconds, converting a small document with it running a fraction of one.
#
# Usage: lo-convert.py SOFFICE PROFILE_FOLDER
# Prints "ready" once LibreOffice answers, or "error <reason>" and exits. Then reads requests,
# one a line, "FILTER<TAB>IN<TAB>OUT", and answers each with "ok" or "error <reason>". Ends, and
# ends LibreOffice, when its input ends.
import os
import subprocess
import sys
import time

try:
    import uno
    from com.sun.star.beans import PropertyValue
except ImportError:
    # The program falls back to one LibreOffice start per file.
    print("nouno", flush=True)
    sys.exit(3)


def prop(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


def url(path):
    return uno.systemPathToFileUrl(os.path.abspath(path))


def answer(line):
    sys.stdout.write(line.replace("\n", " ") + "\n")
    sys.stdout.flush()


def connect(soffice, profile):
    pipe = "vsp-convert-%d" % os.getpid()
    office = subprocess.Popen(
        [soffice, "-env:UserInstallation=" + url(profile), "--headless", "--invisible",
         "--norestore", "--nolockcheck", "--nodefault",
         "--accept=pipe,name=%s;urp;StarOffice.ComponentContext" % pipe],
        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext(
        "com.sun.star.bridge.UnoUrlResolver", local)
    # A first start with a fresh profile takes a while on a slow machine.
    deadline = time.monotonic() + 120
    while True:
        try:
            context = resolver.resolve(
                "uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
            break
        except Exception:
            if office.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("LibreOffice did not start")
            time.sleep(0.1)
    return office, context.ServiceManager.createInstanceWithContext(
        "com.sun.star.frame.Desktop", context)


def convert(desktop, filter_name, source, target):
    doc = desktop.loadComponentFromURL(
        url(source), "_blank", 0, (prop("Hidden", True), prop("ReadOnly", True), prop("AsTemplate", False)))
    if doc is None:
        raise RuntimeError("LibreOffice could not read the file")
    try:
        doc.storeToURL(url(target), (prop("FilterName", filter_name), prop("Overwrite", True)))
    finally:
        doc.close(True)


def main():
    if len(sys.argv) != 3:
        answer("error usage: lo-convert.py SOFFICE PROFILE_FOLDER")
        return 2
    try:
        office, desktop = connect(sys.argv[1], sys.argv[2])
    except Exception as e:
        answer("error %s" % e)
        return 1
    answer("ready")
    try:
        for line in sys.stdin:
            parts = line.rstrip("\n").split("\t")
            if len(parts) != 3:
                answer("error malformed request")
                continue
            try:
                convert(desktop, *parts)
                answer("ok")
            except Exception as e:
                answer("error %s" % (getattr(e, "Message", "") or e))
    finally:
        try:
            desktop.terminate()
        except Exception:
            pass
        try:
            office.wait(10)
        except Exception:
            office.kill()
    return 0


if __name__ == "__main__":
    sys.exit(main())
