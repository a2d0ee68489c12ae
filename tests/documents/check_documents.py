#!/usr/bin/python3
"""brintale-count on documents built here and now: each gives the sentences of its plain-text
twin in every output format, alone and among others with -j; the tools users know agree once
their layout is taken away; hostile documents get one line and exit 1, in fixed memory.

Usage: check_documents.py BRINTALE_COUNT
"""
import json
import os
import re
import resource
import shutil
import subprocess
import sys
import tempfile
import threading
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import make_documents  # noqa: E402

COUNT = None
FOLDER = None
FORMATS = ["docx", "odt", "html", "md", "epub", "pdf"]


def count(*args, stdin=None):
    result = subprocess.run([COUNT, "--no-abbreviations", *args], input=stdin,
                            capture_output=True, env=dict(os.environ, HOME=FOLDER,
                                                          XDG_CONFIG_HOME=FOLDER))
    return result.returncode, result.stdout.decode(), result.stderr.decode()


def path(name):
    return os.path.join(FOLDER, name)


def twin_of(fmt):
    return path({"pdf": "twin-pdf.txt", "md": "twin-md.txt"}.get(fmt, "twin.txt"))


class Formats(unittest.TestCase):
    def test_every_format_gives_its_twins_sentences_in_every_output(self):
        for fmt in FORMATS:
            for output in (["--format=lines"], ["--format=tsv"], ["-c"], ["--stats"],
                           ["--format=jsonl"], ["--rules=unicode"]):
                with self.subTest(fmt=fmt, output=output):
                    code, out, err = count(*output, path("story." + fmt))
                    expected = count(*output, twin_of(fmt))
                    self.assertEqual((code, err), (0, ""))
                    if output == ["--format=jsonl"]:
                        # The file's name is the one difference.
                        out = [{k: v for k, v in json.loads(line).items() if k != "file"}
                               for line in out.splitlines()]
                        expected = (0, [{k: v for k, v in json.loads(line).items() if k != "file"}
                                        for line in expected[1].splitlines()], "")
                    self.assertEqual(out, expected[1])

    def test_many_files_with_jobs_come_in_order(self):
        files = [path("story." + fmt) for fmt in FORMATS] * 2
        code, out, err = count("-c", "-j", "3", *files)
        self.assertEqual((code, err), (0, ""))
        twins = {fmt: count("-c", twin_of(fmt))[1].strip() for fmt in FORMATS}
        lines = out.splitlines()
        self.assertEqual(len(lines), len(files) + 1)
        for line, file in zip(lines, files):
            fmt = file.rsplit(".", 1)[1]
            self.assertEqual(line, twins[fmt] + "\t" + file)

    def test_from_overrides_what_the_content_says(self):
        shutil.copy(path("story.md"), path("story-md.txt"))
        cases = [
            # A document read as text is its bytes, as before.
            (["--from=text", path("story.docx")], None, lambda out: out.startswith("PK")),
            # A pipe is text unless told.
            (["--from=html"], "story.html", lambda out: out == count(twin_of("html"))[1]),
            (["--from=docx"], "story.docx", lambda out: out == count(twin_of("docx"))[1]),
            ([], "story.html", lambda out: "<title>Not text</title>" in out),
            # Markdown is known by its name only; a .txt name makes plain text.
            (["--from=md", path("story-md.txt")], None, lambda out: out == count(twin_of("md"))[1]),
            ([path("story-md.txt")], None, lambda out: "# A Heading" in out),
        ]
        for args, stdin, check in cases:
            with self.subTest(args=args, stdin=stdin):
                data = None
                if stdin:
                    with open(path(stdin), "rb") as f:
                        data = f.read()
                code, out, err = count(*args, stdin=data)
                self.assertEqual((code, err), (0, ""))
                self.assertTrue(check(out), out[:200])
        code, _, err = count("--from=rtf", path("story.md"))
        self.assertEqual(code, 2)
        self.assertIn("--from is text, docx, odt, html, md, epub or pdf, not 'rtf'", err)

    def test_a_pipe_is_text_and_a_name_any_bytes(self):
        # Looking into a named pipe for a document would take its bytes from the count.
        fifo = path("pipe.md")
        os.mkfifo(fifo)
        def write():
            with open(fifo, "wb") as f:
                f.write(b"# One\n\nTwo. Three.")

        writer = threading.Thread(target=write)
        writer.start()
        code, out, err = count(fifo)
        writer.join()
        self.assertEqual((code, out, err), (0, "# One\nTwo.\nThree.\n", ""))
        latin1 = os.path.join(FOLDER.encode(), b"caf\xe9.docx")
        shutil.copy(path("story.docx"), latin1)
        code, out, err = count(latin1)
        self.assertEqual((code, out, err), (0, count(twin_of("docx"))[1], ""))
        code, _, err = count("--from=rtf", path("story.md"))
        self.assertEqual(code, 2)
        self.assertIn("--from is text, docx, odt, html, md, epub or pdf, not 'rtf'", err)


def pandoc_sentences(file):
    """pandoc's plain text without its layout: list markers, table rules, the spaces that
    stand for cells and tabs, and the numbers ("[1]") that tie a note to its reference."""
    text = subprocess.run(["pandoc", "--wrap=none", "-t", "plain", file], check=True,
                          capture_output=True).stdout.decode()
    rows = text.splitlines()
    rule = [bool(re.fullmatch(r" *-[- ]*", row)) for row in rows]
    lines = []
    for i, line in enumerate(rows):
        if rule[i] or not line.strip() or re.fullmatch(r"\d+\.", line):
            continue
        line = re.sub(r"^(-|\d+\.)\s+", "", re.sub(r"\[\d+\]", "", line).strip())
        # A table's row, next to a rule, has its cells apart by three spaces or more.
        if (i > 0 and rule[i - 1]) or (i + 1 < len(rows) and rule[i + 1]):
            lines.extend(part for part in re.split(r"\s{3,}", line) if part)
        else:
            lines.append(line)
    return lines


class KnownTools(unittest.TestCase):
    # pandoc shows what Word and HTML hide.
    HIDDEN = {"docx": ["Hidden words."], "html": ["Hidden text.", "Hidden too."]}

    def test_pandoc_gives_the_same_sentences_but_for_hidden_text_and_tabs(self):
        if not shutil.which("pandoc"):
            self.skipTest("no pandoc")
        for fmt in ["docx", "odt", "html", "md", "epub"]:
            with self.subTest(fmt=fmt):
                # pandoc writes a tab as spaces: white space aside, the sentences agree.
                ours = count("--no-tab", path("story." + fmt))[1].splitlines()
                theirs = "\n".join(pandoc_sentences(path("story." + fmt))).encode()
                theirs = [line for line in count("--no-tab", stdin=theirs)[1].splitlines()
                          if line not in self.HIDDEN.get(fmt, [])]
                self.assertEqual(["".join(line.split()) for line in ours],
                                 ["".join(line.split()) for line in theirs])

    def test_pdftotext_gives_the_same_text_once_lines_are_joined(self):
        if not shutil.which("pdftotext"):
            self.skipTest("no pdftotext")
        theirs = subprocess.run(["pdftotext", path("story.pdf"), "-"], check=True,
                                capture_output=True).stdout.decode()
        # Its lines joined, a hyphen at a line's end with them.
        theirs = " ".join(re.sub(r"(\w)-\n(\w)", r"\1\2", theirs).split())
        ours = " ".join(count(path("story.pdf"))[1].split())
        self.assertEqual(ours, theirs)


class Hostile(unittest.TestCase):
    def test_each_gets_one_line_and_exit_1(self):
        cases = [
            ("truncated.docx", "it is not a ZIP container, or it is cut short"),
            ("truncated.odt", "it is not a ZIP container, or it is cut short"),
            ("truncated.pdf", "it is cut short"),
            ("protected.docx", "it is protected by a password"),
            ("protected.odt", "it is protected by a password"),
            ("protected.pdf", "it is protected by a password"),
            ("entities.docx", "entity expansion limit"),
        ]
        for name, cause in cases:
            with self.subTest(name=name):
                code, out, err = count(path(name))
                self.assertEqual(code, 1)
                self.assertEqual(out, "")
                self.assertEqual(err.count("\n"), 1, err)
                self.assertTrue(err.startswith("brintale-count: " + path(name) + ": "), err)
                self.assertIn(cause, err)

    def test_an_external_entity_is_never_read(self):
        code, out, err = count(path("xxe.docx"))
        self.assertEqual(code, 0, err)
        self.assertNotIn("SECRET", out)
        self.assertIn("Before", out)

    def test_a_bomb_streams_in_fixed_memory(self):
        bomb = path("bomb.docx")
        paragraph = b"<w:p><w:r><w:t>All work and no play makes a dull story. </w:t></w:r></w:p>"
        with zipfile.ZipFile(bomb, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
            z.writestr("[Content_Types].xml", make_documents.CONTENT_TYPES)
            with z.open("word/document.xml", "w", force_zip64=True) as f:
                f.write(b'<w:document xmlns:w="http://schemas.openxmlformats.org/'
                        b'wordprocessingml/2006/main"><w:body>')
                block = paragraph * 10000
                for _ in range(256):  # 200 MB inflated
                    f.write(block)
                f.write(b"</w:body></w:document>")
        self.assertLess(os.path.getsize(bomb), 2_000_000)
        before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
        code, out, err = count("-c", bomb)
        peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
        self.assertEqual((code, out, err), (0, "2560000\n", ""))
        # The address sanitizer's shadow memory is no part of the program's own.
        if b"libasan" not in subprocess.run(["ldd", COUNT], capture_output=True).stdout:
            self.assertLess(max(peak, before), 64 * 1024, "KiB at the peak")


def main():
    global COUNT, FOLDER
    COUNT = os.path.abspath(sys.argv.pop(1))
    with tempfile.TemporaryDirectory() as folder:
        FOLDER = folder
        make_documents.build(folder)
        unittest.main(verbosity=1)


if __name__ == "__main__":
    main()
