#!/usr/bin/env python3
"""The help pages: the Markdown converter on a small fixture, and the pages an install
puts into the shipped data folder.

Environment (set by ctest): VEXAL_MD2HTML (the converter), VEXAL_SOURCE_DIR, and for the
installed tree VEXAL_BUILD_DIR, VEXAL_CMAKE and VEXAL_HELP_INSTALL_DIR (below the prefix).
"""

import html
import os
import re
import subprocess
import sys
import tempfile
import unittest
from html.parser import HTMLParser

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.environ.get("VEXAL_SOURCE_DIR", os.path.normpath(os.path.join(HERE, "..", "..")))
CONVERTER = os.environ.get("VEXAL_MD2HTML", os.path.join(SOURCE, "packaging", "help", "md2html.py"))
FIXTURE = os.path.join(HERE, "fixture")
VOID = {"meta", "img", "hr", "br"}


class Tree(HTMLParser):
    """Checks that every element is closed in order; collects ids and local links."""

    def __init__(self):
        super().__init__()
        self.stack, self.errors, self.ids, self.anchors, self.images = [], [], [], [], []

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if "id" in a:
            self.ids.append(a["id"])
        if tag == "a" and a.get("href", "").startswith("#"):
            self.anchors.append(a["href"][1:])
        if tag == "img":
            self.images.append(a.get("src"))
        if tag not in VOID:
            self.stack.append(tag)

    def handle_endtag(self, tag):
        if not self.stack or self.stack[-1] != tag:
            self.errors.append("unexpected </%s> at %s" % (tag, self.getpos()))
        else:
            self.stack.pop()


def parse(page):
    tree = Tree()
    tree.feed(page)
    tree.close()
    return tree


def convert(out_dir, *docs, title="Fixture <Help>"):
    out = os.path.join(out_dir, "page.html")
    run = subprocess.run([sys.executable, CONVERTER, "--title", title, "--output", out, *docs],
                         capture_output=True, text=True)
    return run, out


def section(page, start_id):
    """The page text from the heading with that id to the next heading of any level."""
    m = re.search(r'<h\d id="%s">.*?(?=<h\d |</section>)' % re.escape(start_id), page, re.S)
    return m.group(0) if m else ""


class ConverterTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        run, out = convert(cls.tmp.name, os.path.join(FIXTURE, "guide.md"), os.path.join(FIXTURE, "notes.md"))
        if run.returncode != 0:
            raise AssertionError("converter failed: " + run.stderr)
        with open(out, encoding="utf-8") as f:
            cls.page = f.read()
        cls.tree = parse(cls.page)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_page_is_well_formed_and_every_local_link_lands(self):
        self.assertEqual(self.tree.errors, [])
        self.assertEqual(self.tree.stack, [])
        self.assertEqual(len(self.tree.ids), len(set(self.tree.ids)), "ids are unique")
        self.assertEqual([a for a in self.tree.anchors if a not in self.tree.ids], [])

    def test_text_is_escaped(self):
        self.assertNotIn("<script", self.page)
        self.assertNotIn("<i>", self.page)
        self.assertIn("&lt;script&gt;alert(\"x\")&lt;/script&gt; &amp; friends", self.page)
        self.assertIn("<title>Fixture &lt;Help&gt;</title>", self.page)
        self.assertIn("Guide &lt;b&gt;one&lt;/b&gt;</h1>", self.page)
        self.assertIn("<code>a &lt;b&gt; &amp; c</code>", self.page)
        self.assertIn("<td>&lt;i&gt;c&lt;/i&gt;</td>".replace("<td>", '<td style="text-align:center">'), self.page)

    def test_inline_markup(self):
        self.assertIn("<strong>strong</strong>", self.page)
        self.assertIn("<em>em</em>", self.page)
        self.assertIn("snake_case_name", self.page)  # underscores inside a word stay
        self.assertIn('<a href="https://example.com/?a=1&amp;b=2">', self.page)
        self.assertNotIn('href="javascript', self.page)
        self.assertIn("bad", self.page)  # an unsafe link keeps its words

    def test_code_blocks_are_verbatim(self):
        blocks = [html.unescape(b) for b in re.findall(r"<pre><code[^>]*>(.*?)</code></pre>", self.page, re.S)]
        self.assertEqual(blocks, [
            'if [ "$a" < 3 ] && echo "<b>&amp;</b>"; then\n    **not bold** [not](a-link)\nfi',
            "indented <code> block\n  keeps its spacing",
        ])
        self.assertIn('<code class="language-sh">', self.page)

    def test_table(self):
        table = re.search(r"<table>.*?</table>", self.page, re.S).group(0)
        self.assertIn('<thead><tr><th style="text-align:left">Left</th><th style="text-align:center">Centre</th>'
                      '<th style="text-align:right">Right</th></tr></thead>', table)
        rows = re.findall(r"<tr>(.*?)</tr>", table.split("<tbody>")[1], re.S)
        self.assertEqual(len(rows), 2)
        self.assertIn("<code>x | y</code>", rows[0])  # an escaped pipe stays in its cell
        self.assertEqual(rows[1].count("<td"), 3)  # a short row is filled up

    def test_lists(self):
        self.assertRegex(self.page, r"<ol>\s*<li>first</li>\s*<li>second\s*<ul>\s*<li>nested <em>item</em></li>"
                                    r"\s*</ul></li>\s*<li>third</li>\s*</ol>")
        self.assertRegex(self.page, r"<ul>\s*<li>bullet</li>\s*<li>bullet two</li>\s*</ul>")
        self.assertIn("<blockquote>\n<p>quoted &amp; text</p>\n</blockquote>", self.page)

    def test_contents_lists_every_heading_in_order(self):
        nav = re.search(r'<nav class="toc" id="contents">(.*?)</nav>', self.page, re.S).group(1)
        toc = re.findall(r'<a href="#([^"]+)">', nav)
        headings = re.findall(r'<h[1-3] id="([^"]+)">', self.page)
        self.assertEqual(toc, headings)
        self.assertEqual(len(headings), 7)
        # Chapters at the top, their sections nested below them.
        self.assertRegex(nav, r'^\s*<h2>Contents</h2>\s*<ul>\s*<li><a href="#guide[^"]*">[^<]*</a>\s*<ul>')

    def test_anchors_stay_within_their_chapter(self):
        # Both chapters have a "Code" section; each chapter's own link finds its own.
        self.assertIn('<h2 id="code">Code</h2>', self.page)
        self.assertIn('<h2 id="code-1">Code</h2>', self.page)
        self.assertIn('<h2 id="code-2">Code</h2>', self.page)
        details = section(self.page, "details")
        self.assertIn('<a href="#code-2">', details)
        self.assertRegex(details, r'<a href="#guide[^"]*">the guide</a>')
        self.assertIn('<a href="#details">the notes</a>', self.page)
        self.assertIn('<a href="#a-table">the table</a>', self.page)

    def test_images_are_copied_beside_the_page(self):
        self.assertEqual(self.tree.images, ["images/dot.png"])
        with open(os.path.join(FIXTURE, "images", "dot.png"), "rb") as a, \
                open(os.path.join(self.tmp.name, "images", "dot.png"), "rb") as b:
            self.assertEqual(a.read(), b.read())


class BadInputTest(unittest.TestCase):
    def test_image_problems_fail_without_a_page(self):
        cases = [("missing", "![x](images/none.png)"),
                 ("outside the documents' folder", "![x](../../etc/passwd)"),
                 ("outside the documents' folder", "![x](/etc/passwd)")]
        for message, text in cases:
            with self.subTest(text=text), tempfile.TemporaryDirectory() as tmp:
                doc = os.path.join(tmp, "doc.md")
                with open(doc, "w") as f:
                    f.write("# T\n\n" + text + "\n")
                run, out = convert(tmp, doc)
                self.assertEqual(run.returncode, 1)
                self.assertIn("image", run.stderr)
                self.assertFalse(os.path.exists(out))

    def test_hostile_documents_still_make_a_well_formed_page(self):
        cases = {
            "unclosed fence": "# T\n\n```\n<b>never closed\n",
            "deep quotes": ">" * 5000 + " deep\n",
            "deep lists": "".join("  " * k + "- level\n" for k in range(400)),
            "stray marks": "** * _ ` [ ]( ![ | --- <\x00> \\ ```x`` \n| a |\n|---|\n| b | c | d |\n",
            "bytes": "\udcff not utf-8 \ufeff",
            "empty": "",
        }
        for name, text in cases.items():
            with self.subTest(name), tempfile.TemporaryDirectory() as tmp:
                doc = os.path.join(tmp, "doc.md")
                with open(doc, "w", encoding="utf-8", errors="surrogateescape") as f:
                    f.write(text)
                run, out = convert(tmp, doc)
                self.assertEqual(run.returncode, 0, run.stderr)
                with open(out, encoding="utf-8") as f:
                    tree = parse(f.read())
                self.assertEqual((tree.errors, tree.stack), ([], []))


@unittest.skipUnless(os.environ.get("VEXAL_BUILD_DIR"), "needs the build tree (run through ctest)")
class InstalledPagesTest(unittest.TestCase):
    """cmake --install of the help into a fresh prefix: both pages where Help > Contents
    looks, with their images, and nowhere the service notes."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        run = subprocess.run([os.environ["VEXAL_CMAKE"], "--install", os.environ["VEXAL_BUILD_DIR"],
                              "--prefix", cls.tmp.name, "--component", "help"], capture_output=True, text=True)
        if run.returncode != 0:
            raise AssertionError("install failed (build the vexal_help target first): " + run.stderr)
        cls.hlp = os.path.join(cls.tmp.name, os.environ["VEXAL_HELP_INSTALL_DIR"])

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def page(self, rel):
        with open(os.path.join(self.hlp, rel), encoding="utf-8") as f:
            return f.read()

    def test_both_pages_with_their_images(self):
        for rel in ("Korvane_Vexal_c.html", "Eng/Korvane_Vexal_e.html"):
            with self.subTest(rel):
                tree = parse(self.page(rel))
                self.assertEqual((tree.errors, tree.stack), ([], []))
                self.assertEqual([a for a in tree.anchors if a not in tree.ids], [])
                self.assertTrue(tree.images)
                for src in tree.images:
                    self.assertTrue(os.path.isfile(os.path.join(self.hlp, os.path.dirname(rel), src)), src)

    def test_no_installed_file_carries_the_service_notes(self):
        # The pass phrases are for support staff: readable pages must not give them away.
        with open(os.path.join(SOURCE, "docs", "service.md"), encoding="utf-8") as f:
            lines = [line.strip() for line in f if line.strip() and not re.search(r"[#*_`\[<&]", line)]
        self.assertGreaterEqual(len(lines), 2)
        for folder, _, files in os.walk(self.tmp.name):
            for name in files:
                path = os.path.join(folder, name)
                with open(path, "rb") as f:
                    data = f.read()
                for line in lines:
                    self.assertNotIn(html.escape(line, quote=False).encode(), data, path)


if __name__ == "__main__":
    unittest.main()
