#!/usr/bin/env python3
"""Office files for the carving benchmark, with titles, authors and dates.

Office Open XML and OpenDocument packages are written here with zipfile;
when LibreOffice (soffice) is installed, it also converts a flat OpenDocument
text and presentation into DOC, PPT, XLS, DOCX and PPTX.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

FIXED = (2010, 1, 1, 0, 0, 0)


def write_zip(path, members):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in members:
            info = zipfile.ZipInfo(name, FIXED)
            info.compress_type = zipfile.ZIP_STORED if name == "mimetype" else zipfile.ZIP_DEFLATED
            z.writestr(info, data)


def core_xml(title, creator, created):
    return f"""<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<cp:coreProperties xmlns:cp="http://schemas.openxmlformats.org/package/2006/metadata/core-properties" xmlns:dc="http://purl.org/dc/elements/1.1/" xmlns:dcterms="http://purl.org/dc/terms/" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"><dc:title>{title}</dc:title><dc:creator>{creator}</dc:creator><cp:lastModifiedBy>{creator}</cp:lastModifiedBy><dcterms:created xsi:type="dcterms:W3CDTF">{created}</dcterms:created><dcterms:modified xsi:type="dcterms:W3CDTF">{created}</dcterms:modified></cp:coreProperties>"""


RELS = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="{main}"/><Relationship Id="rId2" Type="http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties" Target="docProps/core.xml"/></Relationships>"""


def ooxml(path, kind, title, creator, created, body_words):
    main = {"docx": "word/document.xml", "xlsx": "xl/workbook.xml", "pptx": "ppt/presentation.xml"}[kind]
    ctype = {"docx": "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml",
             "xlsx": "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml",
             "pptx": "application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml"}[kind]
    types = f"""<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Override PartName="/{main}" ContentType="{ctype}"/><Override PartName="/docProps/core.xml" ContentType="application/vnd.openxmlformats-package.core-properties+xml"/></Types>"""
    text = " ".join(f"word{i}" for i in range(body_words))
    write_zip(path, [("[Content_Types].xml", types), ("_rels/.rels", RELS.format(main=main)),
                     ("docProps/core.xml", core_xml(title, creator, created)),
                     (main, f"<?xml version=\"1.0\"?><root><t>{text}</t></root>")])


def odf(path, mime, title, creator, created, body_words):
    meta = f"""<?xml version="1.0" encoding="UTF-8"?>
<office:document-meta xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:meta="urn:oasis:names:tc:opendocument:xmlns:meta:1.0" xmlns:dc="http://purl.org/dc/elements/1.1/" office:version="1.2"><office:meta><dc:title>{title}</dc:title><meta:initial-creator>{creator}</meta:initial-creator><dc:creator>{creator}</dc:creator><meta:creation-date>{created}</meta:creation-date><dc:date>{created}</dc:date></office:meta></office:document-meta>"""
    manifest = f"""<?xml version="1.0" encoding="UTF-8"?>
<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" manifest:version="1.2"><manifest:file-entry manifest:full-path="/" manifest:media-type="{mime}"/><manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/><manifest:file-entry manifest:full-path="meta.xml" manifest:media-type="text/xml"/></manifest:manifest>"""
    text = " ".join(f"word{i}" for i in range(body_words))
    write_zip(path, [("mimetype", mime), ("content.xml", f"<?xml version=\"1.0\"?><office:document-content><t>{text}</t></office:document-content>"),
                     ("meta.xml", meta), ("META-INF/manifest.xml", manifest)])


FODT = """<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:meta="urn:oasis:names:tc:opendocument:xmlns:meta:1.0" xmlns:dc="http://purl.org/dc/elements/1.1/" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" xmlns:presentation="urn:oasis:names:tc:opendocument:xmlns:presentation:1.0" xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" office:version="1.2" office:mimetype="{mime}">
<office:meta><dc:title>{title}</dc:title><meta:initial-creator>{creator}</meta:initial-creator><dc:creator>{creator}</dc:creator><meta:creation-date>{created}</meta:creation-date><dc:date>{created}</dc:date></office:meta>
<office:body>{body}</office:body></office:document>"""


def libreoffice(out, seed):
    soffice = shutil.which("soffice") or shutil.which("libreoffice")
    if soffice is None:
        return
    jobs = [
        ("text.fodt", "application/vnd.oasis.opendocument.text", "Quarterly Report", "Ada Writer",
         "<office:text>" + "".join(f"<text:p>Paragraph {i} of the report.</text:p>" for i in range(300 + 50 * seed)) + "</office:text>",
         ["doc", "docx", "rtf"]),
        ("slides.fodp", "application/vnd.oasis.opendocument.presentation", "Präsentation", "Jürgen Müller",
         f"<office:presentation><draw:page draw:name=\"p1\"><draw:frame><draw:text-box><text:p>Hallo {seed}</text:p></draw:text-box></draw:frame></draw:page></office:presentation>",
         ["ppt", "pptx"]),
        ("sheet.fods", "application/vnd.oasis.opendocument.spreadsheet", "Budget 2010", "Carl Counter",
         "<office:spreadsheet><table:table table:name=\"S\">" + "".join(
             f"<table:table-row><table:table-cell><text:p>{i}</text:p></table:table-cell></table:table-row>" for i in range(200 + 20 * seed))
         + "</table:table></office:spreadsheet>", ["xls", "xlsx"]),
    ]
    with tempfile.TemporaryDirectory() as tmp:
        for name, mime, title, creator, body, targets in jobs:
            src = os.path.join(tmp, name)
            with open(src, "w", encoding="utf-8") as f:
                f.write(FODT.format(mime=mime, title=title, creator=creator, created="2010-02-03T04:05:06", body=body))
            stem = os.path.splitext(name)[0]
            for target in targets:
                subprocess.run([soffice, "--headless", f"-env:UserInstallation=file://{tmp}/profile", "--convert-to",
                                target, "--outdir", tmp, src], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               timeout=180, check=False)
                made = os.path.join(tmp, f"{stem}.{target}")
                if os.path.exists(made):
                    shutil.move(made, os.path.join(out, f"lo_{stem}.{target}"))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    seed = int(sys.argv[2]) if len(sys.argv) > 2 else 0
    ooxml(os.path.join(out, "a.docx"), "docx", "Project Plan", "Grace Author", "2012-03-04T05:06:07Z", 3000 + 300 * seed)
    ooxml(os.path.join(out, "a.xlsx"), "xlsx", "Sales Sheet", "Ben Numbers", "2013-04-05T06:07:08Z", 1500 + 300 * seed)
    ooxml(os.path.join(out, "a.pptx"), "pptx", "Kickoff Slides", "Dora Speaker", "2014-05-06T07:08:09Z", 800 + 300 * seed)
    odf(os.path.join(out, "a.odt"), "application/vnd.oasis.opendocument.text", "Open Text", "Olga Open",
        "2015-06-07T08:09:10", 2500 + 300 * seed)
    libreoffice(out, seed)


if __name__ == "__main__":
    main()
