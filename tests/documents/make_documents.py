#!/usr/bin/python3
"""Writes one document of every format, and hostile ones, into a folder.

Each document says the same as twin.txt, which brintale-count must count alike; hostile
documents are named for what they do. Usage: make_documents.py FOLDER
"""
import io
import os
import subprocess
import sys
import zipfile

HEADING = "A Heading Without a Full Stop"
PARAGRAPHS = [
    "The first paragraph has two sentences. It ends here.",
    "The second one is long enough to be wrapped over several lines of a page, so that "
    "its lines must be joined again, and it holds an extraordinarily hyphenated word.",
]
LIST = ["First item without a stop", "Second item."]
CELLS = ["Cell one", "Cell two."]
BREAK = ("Before the break", "after the break.")
TAB = ("Left", "right of the tab.")
NOTE = "A note after the body."


def twin():
    lines = [HEADING] + PARAGRAPHS + LIST + CELLS + [BREAK[0], BREAK[1], TAB[0] + "\t" + TAB[1]]
    return "\n".join(lines) + "\n"


def markdown():
    # A footnote, defined amid the body, comes after it; its reference is no text.
    return (f"# {HEADING}\n\n{PARAGRAPHS[0]}[^1]\n\n[^1]: {NOTE}\n\n"
            + PARAGRAPHS[1].replace(", so that ", ",\nso that ") + "\n\n"
            + "".join(f"- {item}\n" for item in LIST) + "\n"
            + f"| {CELLS[0]} | {CELLS[1]} |\n|---|---|\n\n"
            + f"{BREAK[0]}\\\n{BREAK[1]}\n\n"
            + f"<!-- a comment no reader sees -->\n\n{TAB[0]}\t{TAB[1]}\n")


def html():
    return ("<!DOCTYPE html>\n<html><head><title>Not text</title>"
            "<style>p { color: red }</style><script>var a = '<p>no</p>';</script></head>\n<body>\n"
            f"<h1>{HEADING}</h1>\n<p>{PARAGRAPHS[0]}</p>\n"
            "<p>" + PARAGRAPHS[1].replace(", so that", ",\n   so that") + "</p>\n"
            "<ul>" + "".join(f"<li>{item}</li>" for item in LIST) + "</ul>\n"
            f"<table><tr><td>{CELLS[0]}</td><td>{CELLS[1]}</td></tr></table>\n"
            f"<p>{BREAK[0]}<br>{BREAK[1]}</p>\n<!-- comment -->"
            "<div hidden>Hidden text.</div><p style=\"display: none\">Hidden too.</p>\n"
            f"<pre>{TAB[0]}\t{TAB[1]}</pre>\n</body></html>\n")


def docx(path):
    import docx
    from docx.oxml import parse_xml
    from docx.oxml.ns import nsdecls
    document = docx.Document()
    document.add_heading(HEADING, level=1)
    for text in PARAGRAPHS:
        paragraph = document.add_paragraph(text)
    # A deleted tracked change and a hidden run, neither of which a reader sees.
    paragraph._p.append(parse_xml(
        f'<w:del {nsdecls("w")} w:id="1" w:author="x" w:date="2024-01-01T00:00:00Z">'
        '<w:r><w:delText> Deleted words.</w:delText></w:r></w:del>'))
    hidden = paragraph.add_run(" Hidden words.")
    hidden.font.hidden = True
    for item in LIST:
        document.add_paragraph(item, style="List Bullet")
    table = document.add_table(rows=1, cols=2)
    for cell, text in zip(table.rows[0].cells, CELLS):
        cell.text = text
    paragraph = document.add_paragraph(BREAK[0])
    paragraph.runs[0].add_break()
    paragraph.add_run(BREAK[1])
    paragraph = document.add_paragraph(TAB[0])
    paragraph.add_run("\t" + TAB[1])
    document.core_properties.title = "Metadata is no text"
    document.save(path)


def odt(path):
    from odf.opendocument import OpenDocumentText
    from odf import text, table
    document = OpenDocumentText()
    body = document.text
    body.addElement(text.H(outlinelevel=1, text=HEADING))
    for paragraph in PARAGRAPHS:
        body.addElement(text.P(text=paragraph))
    items = text.List()
    for item in LIST:
        entry = text.ListItem()
        entry.addElement(text.P(text=item))
        items.addElement(entry)
    body.addElement(items)
    grid = table.Table(name="t")
    grid.addElement(table.TableColumn(numbercolumnsrepeated=2))
    row = table.TableRow()
    for cell_text in CELLS:
        cell = table.TableCell()
        cell.addElement(text.P(text=cell_text))
        row.addElement(cell)
    grid.addElement(row)
    body.addElement(grid)
    paragraph = text.P(text=BREAK[0])
    paragraph.addElement(text.LineBreak())
    paragraph.addText(BREAK[1])
    body.addElement(paragraph)
    paragraph = text.P(text=TAB[0])
    paragraph.addElement(text.Tab())
    paragraph.addText(TAB[1])
    annotation = __import__("odf.office", fromlist=["Annotation"]).Annotation()
    annotation.addElement(text.P(text="A comment no reader sees."))
    paragraph.addElement(annotation)
    body.addElement(paragraph)
    document.save(path)


# A PDF has no line break inside a paragraph, no tab and no cells: what it shows as lines
# of their own are paragraphs of their own.
def pdf_twin():
    lines = [HEADING] + PARAGRAPHS + LIST + CELLS + [BREAK[0], BREAK[1]]
    return "\n".join(lines) + "\n"


def pdf(path):
    from reportlab.lib.pagesizes import A4
    from reportlab.pdfgen import canvas
    page = canvas.Canvas(path, pagesize=A4)
    page.setTitle("Metadata is no text")
    width, height = A4
    y = height - 72

    def line(text, size=11, indent=0, gap=0):
        nonlocal y
        y -= gap
        if y < 72:
            page.showPage()
            y = height - 72
        page.setFont("Helvetica-Bold" if size > 11 else "Helvetica", size)
        page.drawString(72 + indent, y, text)
        y -= size * 1.25

    line(HEADING, size=16)
    line(PARAGRAPHS[0], gap=8)
    # Wrapped by hand, with a hyphen at a line's end.
    before, after = PARAGRAPHS[1].split("extraordinarily")
    words = before.split()
    line(" ".join(words[:10]), gap=8)
    line(" ".join(words[10:]) + " extraordi-")
    line("narily" + after)
    for text in LIST + CELLS + [BREAK[0], BREAK[1]]:
        line(text, gap=8)
    page.save()


def epub(path):
    chapters = [("one", f"<h1>{HEADING}</h1>" + "".join(f"<p>{p}</p>" for p in PARAGRAPHS)),
                ("two", "<ul>" + "".join(f"<li>{i}</li>" for i in LIST) + "</ul>"
                 + "<table><tr>" + "".join(f"<td>{c}</td>" for c in CELLS) + "</tr></table>"
                 + f"<p>{BREAK[0]}<br/>{BREAK[1]}</p><pre>{TAB[0]}\t{TAB[1]}</pre>")]
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr(zipfile.ZipInfo("mimetype"), "application/epub+zip")
        z.writestr("META-INF/container.xml",
                   '<?xml version="1.0"?><container version="1.0" xmlns="urn:oasis:names:tc:'
                   'opendocument:xmlns:container"><rootfiles><rootfile full-path="OEBPS/book.opf" '
                   'media-type="application/oebps-package+xml"/></rootfiles></container>')
        # The manifest lists the chapters the other way round: the spine decides.
        z.writestr("OEBPS/book.opf",
                   '<?xml version="1.0"?><package xmlns="http://www.idpf.org/2007/opf" version="3.0">'
                   '<metadata xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:title>Metadata is '
                   'no text</dc:title></metadata><manifest>'
                   '<item id="c2" href="text/chapter%20two.xhtml" media-type="application/xhtml+xml"/>'
                   '<item id="c1" href="text/one.xhtml" media-type="application/xhtml+xml"/>'
                   '</manifest><spine><itemref idref="c1"/><itemref idref="c2"/></spine></package>')
        for (name, body), file in zip(chapters, ["one.xhtml", "chapter two.xhtml"]):
            z.writestr("OEBPS/text/" + file,
                       '<?xml version="1.0" encoding="utf-8"?>\n<html xmlns="http://www.w3.org/1999/'
                       f'xhtml"><head><title>{name}</title></head><body>{body}</body></html>')


CONTENT_TYPES = ('<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/'
                 '2006/content-types"><Override PartName="/word/document.xml" ContentType='
                 '"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main'
                 '+xml"/></Types>')


def run(*command, **kwargs):
    subprocess.run(command, check=True, **kwargs)


def hostile(folder):
    def put(name, data):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)

    good = open(os.path.join(folder, "story.docx"), "rb").read()
    put("truncated.docx", good[: len(good) // 2])
    put("truncated.odt", open(os.path.join(folder, "story.odt"), "rb").read()[:300])
    put("truncated.pdf", open(os.path.join(folder, "story.pdf"), "rb").read()[:400])
    # A compound file with an encrypted package: an OOXML document behind a password.
    put("protected.docx", b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + b"\0" * 504
        + "EncryptedPackage".encode("utf-16-le") + b"\0" * 512)
    # ODF marks encrypted parts in its manifest.
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as z:
        z.writestr(zipfile.ZipInfo("mimetype"), "application/vnd.oasis.opendocument.text")
        z.writestr("META-INF/manifest.xml",
                   '<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0">'
                   '<manifest:file-entry manifest:full-path="content.xml"><manifest:encryption-data/>'
                   '</manifest:file-entry></manifest:manifest>')
        z.writestr("content.xml", b"\x8f\x12garbage")
    put("protected.odt", buffer.getvalue())
    from reportlab.lib import pdfencrypt
    from reportlab.pdfgen import canvas
    locked = canvas.Canvas(os.path.join(folder, "protected.pdf"),
                           encrypt=pdfencrypt.StandardEncryption("user", ownerPassword="owner"))
    locked.drawString(72, 720, "Nobody reads this without the password.")
    locked.save()
    # External and nested entities.
    outside = os.path.join(folder, "outside.txt")
    put("outside.txt", b"SECRET OUTSIDE TEXT.")
    xxe = ('<?xml version="1.0"?><!DOCTYPE w:document [<!ENTITY x SYSTEM "file://'
           + outside + '">]><w:document xmlns:w="http://schemas.openxmlformats.org/'
           'wordprocessingml/2006/main"><w:body><w:p><w:r><w:t>Before &x; after.</w:t></w:r>'
           '</w:p></w:body></w:document>')
    laughs = '<!ENTITY a0 "lol lol lol lol lol lol lol lol lol lol">' + "".join(
        f'<!ENTITY a{i} "' + f"&a{i - 1};" * 10 + '">' for i in range(1, 10))
    bomb = ('<?xml version="1.0"?><!DOCTYPE w:document [' + laughs + ']><w:document xmlns:w='
            '"http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body><w:p><w:r>'
            '<w:t>&a9;</w:t></w:r></w:p></w:body></w:document>')
    types = CONTENT_TYPES
    for name, xml in (("xxe.docx", xxe), ("entities.docx", bomb)):
        buffer = io.BytesIO()
        with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as z:
            z.writestr("[Content_Types].xml", types)
            z.writestr("word/document.xml", xml)
        put(name, buffer.getvalue())


def build(folder):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "twin.txt"), "w") as f:
        f.write(twin())
    with open(os.path.join(folder, "story.md"), "w") as f:
        f.write(markdown())
    with open(os.path.join(folder, "twin-md.txt"), "w") as f:
        f.write(twin() + NOTE + "\n")
    with open(os.path.join(folder, "story.html"), "w") as f:
        f.write(html())
    docx(os.path.join(folder, "story.docx"))
    odt(os.path.join(folder, "story.odt"))
    pdf(os.path.join(folder, "story.pdf"))
    epub(os.path.join(folder, "story.epub"))
    with open(os.path.join(folder, "twin-pdf.txt"), "w") as f:
        f.write(pdf_twin())
    hostile(folder)


def main():
    build(sys.argv[1])


if __name__ == "__main__":
    main()
