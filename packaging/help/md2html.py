#!/usr/bin/env python3
"""Turns the project's Markdown documents into one self-contained HTML help page.

    md2html.py --title TITLE --output PAGE.html CHAPTER.md [CHAPTER.md ...]

Each document becomes a chapter; the page opens with a table of contents of the
chapters and their sections. Images a document names by a relative path are copied
beside the page under the same relative path, so the page works from any folder.

The Markdown subset: ATX headings, paragraphs, **strong**, *emphasis*, `code`, fenced
and indented code blocks, bullet and numbered lists (nested by indentation), block
quotes, pipe tables, rules, links and images. Raw HTML is shown as text, never passed
through: every character of the documents is escaped. Standard library only.
"""

import argparse
import html
import os
import re
import shutil
import sys
import tempfile

STYLE = """
body { font-family: sans-serif; line-height: 1.45; color: #1b1b1b; margin: 0; }
main { max-width: 60em; margin: 0 auto; padding: 1em 2em 4em; }
nav.toc { background: #f4f6f8; border: 1px solid #d8dde2; padding: 0.5em 1.5em; margin: 1em 0 2em; }
nav.toc ul { list-style: none; padding-left: 1.2em; margin: 0.2em 0; }
nav.toc > ul { padding-left: 0; }
h1 { border-bottom: 2px solid #2a5d8f; padding-bottom: 0.2em; margin-top: 2em; }
h1.page { margin-top: 0.5em; }
h2 { border-bottom: 1px solid #d8dde2; margin-top: 1.6em; }
a { color: #2a5d8f; }
code { font-family: monospace; background: #f0f0f0; padding: 0 0.2em; }
pre { background: #f4f4f4; border: 1px solid #ddd; padding: 0.6em; overflow-x: auto; }
pre code { background: none; padding: 0; }
table { border-collapse: collapse; margin: 1em 0; }
th, td { border: 1px solid #c8ccd0; padding: 0.3em 0.6em; vertical-align: top; }
th { background: #eef1f4; }
blockquote { border-left: 4px solid #d8dde2; margin-left: 0; padding-left: 1em; color: #444; }
img { max-width: 100%; }
""".strip()

SAFE_SCHEMES = ("http:", "https:", "mailto:")


class DocError(Exception):
    """A document that cannot be turned into a page (a missing or unsafe image)."""


# ---------------------------------------------------------------- block parsing

FENCE = re.compile(r"^( {0,3})(`{3,}|~{3,})(.*)$")
HEADING = re.compile(r"^ {0,3}(#{1,6})(?:[ \t]+(.*?))?(?:[ \t]+#+)?[ \t]*$")
RULE = re.compile(r"^ {0,3}([-*_])(?:[ \t]*\1){2,}[ \t]*$")
BULLET = re.compile(r"^( {0,3})([-*+])([ \t]+|$)(.*)$")
ORDERED = re.compile(r"^( {0,3})(\d{1,9})([.)])([ \t]+|$)(.*)$")
LINK = re.compile(r"(!?)\[((?:[^\[\]\\]|\\.)*)\]\(([^()\s]*(?:\([^()\s]*\))?[^()\s]*)(?:\s+\"([^\"]*)\")?\)")
AUTOLINK = re.compile(r"<((?:https?|mailto):[^\s<>]+)>")
# Strong before emphasis; a span is at most 400 characters, which keeps a paragraph full
# of stray marks linear.
EMPHASIS = [(re.compile(p.replace("SPAN", r"(.{1,400}?)"), re.S), tag) for p, tag in (
    (r"(?<![\w*])\*\*(?=\S)SPAN(?<=\S)\*\*(?![\w*])", "strong"),
    (r"(?<![\w_])__(?=\S)SPAN(?<=\S)__(?![\w_])", "strong"),
    (r"(?<![\w*])\*(?=[^\s*])SPAN(?<=[^\s*])\*(?![\w*])", "em"),
    (r"(?<![\w_])_(?=[^\s_])SPAN(?<=[^\s_])_(?![\w_])", "em"))]
TABLE_SEP = re.compile(r"^ {0,3}\|?[ \t]*:?-+:?[ \t]*(\|[ \t]*:?-+:?[ \t]*)*\|?[ \t]*$")


def expand_tabs(line):
    return line.expandtabs(4)


def is_blank(line):
    return not line.strip()


def indent_of(line):
    return len(line) - len(line.lstrip(" "))


def list_marker(line):
    """(ordered, start, content column, first text) for a list item line, else None."""
    m = BULLET.match(line)
    if m and not RULE.match(line):
        pad = len(m.group(3)) if m.group(4) else 1
        return (False, None, len(m.group(1)) + 1 + min(pad, 4), m.group(4))
    m = ORDERED.match(line)
    if m:
        pad = len(m.group(4)) if m.group(5) else 1
        col = len(m.group(1)) + len(m.group(2)) + 1 + min(pad, 4)
        return (True, int(m.group(2)), col, m.group(5))
    return None


def split_row(line):
    """The cells of a pipe-table row; a pipe inside a code span or after a backslash
    belongs to the cell."""
    s = line.strip()
    if s.startswith("|"):
        s = s[1:]
    if s.endswith("|") and not s.endswith("\\|"):
        s = s[:-1]
    cells, cur, i, in_code = [], [], 0, 0
    while i < len(s):
        c = s[i]
        if c == "\\" and i + 1 < len(s) and s[i + 1] == "|":
            cur.append("|")
            i += 2
            continue
        if c == "`":
            j = i
            while j < len(s) and s[j] == "`":
                j += 1
            run = j - i
            if in_code == 0:
                # Only an opening run with a matching closing run starts a span.
                if s.find("`" * run, j) >= 0:
                    in_code = run
            elif run == in_code:
                in_code = 0
            cur.append(s[i:j])
            i = j
            continue
        if c == "|" and not in_code:
            cells.append("".join(cur).strip())
            cur = []
        else:
            cur.append(c)
        i += 1
    cells.append("".join(cur).strip())
    return cells


def starts_block(line):
    """True for a line that ends a paragraph without a blank line before it. A numbered
    line only when it counts from 1, so wrapped text starting with "2024. " stays text."""
    marker = list_marker(line)
    return bool(FENCE.match(line) or HEADING.match(line) or RULE.match(line)
                or line.lstrip().startswith(">") or (marker and marker[1] in (None, 1)))


# Quotes and lists nest no deeper than this; deeper marks are read as text, so no input
# can exhaust the interpreter's stack.
MAX_DEPTH = 32


def parse_blocks(lines, depth=0):
    """Block structure of already tab-expanded lines: a list of tuples."""
    blocks, i, n = [], 0, len(lines)
    while i < n:
        line = lines[i]
        if is_blank(line):
            i += 1
            continue
        m = FENCE.match(line)
        if m:
            indent, fence, info = len(m.group(1)), m.group(2), m.group(3).strip()
            if fence[0] == "`" and "`" in info:
                m = None  # not a fence: an inline code span at the start of a paragraph
            else:
                body, i = [], i + 1
                while i < n:
                    close = re.match(r"^ {0,3}(" + re.escape(fence[0]) + r"{3,})[ \t]*$", lines[i])
                    if close and len(close.group(1)) >= len(fence):
                        i += 1
                        break
                    body.append(re.sub("^ {0,%d}" % indent, "", lines[i]) if indent else lines[i])
                    i += 1
                lang = info.split()[0] if info else ""
                blocks.append(("code", lang, "\n".join(body)))
                continue
        if indent_of(line) >= 4:
            body = []
            while i < n and (is_blank(lines[i]) or indent_of(lines[i]) >= 4):
                body.append(lines[i][4:])
                i += 1
            while body and is_blank(body[-1]):
                body.pop()
            blocks.append(("code", "", "\n".join(body)))
            continue
        m = HEADING.match(line)
        if m:
            blocks.append(("heading", len(m.group(1)), (m.group(2) or "").strip()))
            i += 1
            continue
        if RULE.match(line):
            blocks.append(("rule",))
            i += 1
            continue
        if line.lstrip().startswith(">") and depth < MAX_DEPTH:
            quoted = []
            while i < n and not is_blank(lines[i]) and (lines[i].lstrip().startswith(">") or quoted):
                s = lines[i].lstrip()
                if s.startswith(">"):
                    s = s[1:]
                    if s.startswith(" "):
                        s = s[1:]
                elif starts_block(lines[i]):
                    break
                quoted.append(s)
                i += 1
            blocks.append(("quote", parse_blocks(quoted, depth + 1)))
            continue
        marker = list_marker(line)
        if marker and depth < MAX_DEPTH:
            i = parse_list(lines, i, blocks, depth)
            continue
        if "|" in line and i + 1 < n and TABLE_SEP.match(lines[i + 1]):
            header = split_row(line)
            aligns = []
            for cell in split_row(lines[i + 1]):
                left, right = cell.startswith(":"), cell.endswith(":")
                aligns.append("center" if left and right else "right" if right else "left" if left else "")
            rows, i = [], i + 2
            while i < n and not is_blank(lines[i]) and "|" in lines[i] and not starts_block(lines[i]):
                rows.append(split_row(lines[i]))
                i += 1
            blocks.append(("table", header, aligns, rows))
            continue
        para = [line.strip()]
        i += 1
        while i < n and not is_blank(lines[i]) and not starts_block(lines[i]):
            para.append(lines[i].strip())
            i += 1
        blocks.append(("para", "\n".join(para)))
    return blocks


def parse_list(lines, i, blocks, depth):
    """One list (items of the same kind) from lines[i]; returns the index after it."""
    ordered, start, _, _ = list_marker(lines[i])
    items, loose, n = [], False, len(lines)
    while i < n:
        marker = list_marker(lines[i])
        if not marker or marker[0] != ordered:
            break
        col = marker[2]
        body, i = [marker[3]], i + 1
        blank_inside = False
        while i < n:
            line = lines[i]
            if is_blank(line):
                # A blank line continues the item only when indented content follows.
                j = i
                while j < n and is_blank(lines[j]):
                    j += 1
                if j < n and indent_of(lines[j]) >= col:
                    body.extend([""] * (j - i))
                    blank_inside = True
                    i = j
                    continue
                break
            if indent_of(line) >= col:
                body.append(line[col:])
            elif not starts_block(line) and not list_marker(line) and body and not is_blank(body[-1]):
                body.append(line.strip())  # a lazy continuation of the item's paragraph
            else:
                break
            i += 1
        items.append(parse_blocks(body, depth + 1))
        if blank_inside:
            loose = True
        if i < n and is_blank(lines[i]):
            j = i
            while j < n and is_blank(lines[j]):
                j += 1
            nxt = list_marker(lines[j]) if j < n else None
            if nxt and nxt[0] == ordered:
                loose = True
                i = j
            else:
                break
    blocks.append(("list", ordered, start, items, loose))
    return i


# ---------------------------------------------------------------- inline rendering

def slugify(text):
    """Anchor of a heading as common Markdown hosts make it: lower case, punctuation
    dropped, blanks turned into hyphens."""
    plain = re.sub(r"!?\[([^\]]*)\]\([^)]*\)", r"\1", text)
    plain = plain.replace("`", "").lower()
    plain = re.sub(r"[^\w\- ]", "", plain)
    return plain.replace(" ", "-") or "section"


def plain_text(text):
    """The words of an inline text without its mark-up (for the contents list and alt)."""
    t = re.sub(r"!?\[([^\]]*)\]\([^)]*\)", r"\1", text)
    t = re.sub(r"(\*\*|__|\*|_|`+)", "", t)
    return t


class Renderer:
    def __init__(self, chapter_ids, doc_dir, out_dir, images):
        # chapter_ids: {document file name: {source slug: page id}}
        self.chapter_ids = chapter_ids
        self.doc_dir = doc_dir
        self.out_dir = out_dir
        self.images = images  # {source path: relative output path}
        self.own_ids = {}

    def href(self, target):
        target = target.strip()
        if target.startswith("<") and target.endswith(">"):
            target = target[1:-1]
        if target.startswith("#"):
            return "#" + self.own_ids.get(target[1:], target[1:])
        path, _, frag = target.partition("#")
        name = os.path.basename(path)
        if path and "/" not in path.replace("./", "", 1) and name in self.chapter_ids:
            ids = self.chapter_ids[name]
            return "#" + (ids.get(frag, frag) if frag else ids[""])
        lowered = target.lower()
        if ":" in target.split("/")[0] and not lowered.startswith(SAFE_SCHEMES):
            return None  # javascript:, data: and the like never become links
        return target

    def image(self, alt, src):
        src = src.strip()
        if src.lower().startswith(("http:", "https:")):
            return '<img src="%s" alt="%s">' % (html.escape(src), html.escape(alt))
        rel = os.path.normpath(src)
        if os.path.isabs(rel) or rel.startswith("..") or ":" in rel.split(os.sep)[0]:
            raise DocError("image outside the documents' folder: %s" % src)
        source = os.path.join(self.doc_dir, rel)
        if not os.path.isfile(source):
            raise DocError("image not found: %s" % source)
        self.images[source] = rel
        return '<img src="%s" alt="%s">' % (html.escape(rel.replace(os.sep, "/")), html.escape(alt))

    def inline(self, text):
        """HTML of one inline text; every character of the source is escaped."""
        saved = []

        def keep(fragment):
            saved.append(fragment)
            return "\x00%d\x00" % (len(saved) - 1)

        text = text.replace("\x00", "\ufffd")
        i, n, plain = 0, len(text), []
        while i < n:
            c = text[i]
            if c == "\\" and i + 1 < n and text[i + 1] in "\\`*_{}[]()#+-.!|<>":
                plain.append(keep(html.escape(text[i + 1])))
                i += 2
                continue
            if c == "`":
                j = i
                while j < n and text[j] == "`":
                    j += 1
                run = text[i:j]
                end = text.find(run, j)
                while end >= 0 and end + len(run) < n and text[end + len(run)] == "`":
                    end = text.find(run, end + len(run) + 1)
                if end < 0:
                    plain.append(html.escape(run))
                    i = j
                    continue
                code = text[j:end].replace("\n", " ")
                if code.startswith(" ") and code.endswith(" ") and code.strip():
                    code = code[1:-1]
                plain.append(keep("<code>%s</code>" % html.escape(code)))
                i = end + len(run)
                continue
            m = LINK.match(text, i)
            if m:
                bang, label, target, title = m.groups()
                if bang:
                    plain.append(keep(self.image(plain_text(label), target)))
                else:
                    href = self.href(target)
                    inner = self.inline(label)
                    if href is None:
                        plain.append(keep(inner))
                    else:
                        attr = ' title="%s"' % html.escape(title) if title else ""
                        plain.append(keep('<a href="%s"%s>%s</a>' % (html.escape(href), attr, inner)))
                i = m.end()
                continue
            m = AUTOLINK.match(text, i)
            if m:
                url = m.group(1)
                plain.append(keep('<a href="%s">%s</a>' % (html.escape(url), html.escape(url))))
                i = m.end()
                continue
            plain.append(html.escape(c, quote=False))
            i += 1
        s = "".join(plain)
        # Emphasis on the escaped text; its markers are never produced by escaping.
        for pattern, tag in EMPHASIS:
            s = pattern.sub(r"<%s>\1</%s>" % (tag, tag), s)
        return re.sub(r"\x00(\d+)\x00", lambda mm: saved[int(mm.group(1))], s)

    # ------------------------------------------------------------ blocks

    def blocks(self, blocks, heading_ids, out, tight=False):
        for b in blocks:
            kind = b[0]
            if kind == "heading":
                level, text = b[1], b[2]
                hid = heading_ids.pop(0)
                out.append('<h%d id="%s">%s</h%d>' % (level, hid, self.inline(text), level))
            elif kind == "para":
                body = self.inline(b[1])
                out.append(body if tight else "<p>%s</p>" % body)
            elif kind == "code":
                cls = ' class="language-%s"' % html.escape(b[1]) if b[1] else ""
                out.append("<pre><code%s>%s</code></pre>" % (cls, html.escape(b[2], quote=False)))
            elif kind == "rule":
                out.append("<hr>")
            elif kind == "quote":
                out.append("<blockquote>")
                self.blocks(b[1], heading_ids, out)
                out.append("</blockquote>")
            elif kind == "list":
                ordered, start, items, loose = b[1], b[2], b[3], b[4]
                tag = "ol" if ordered else "ul"
                attr = ' start="%d"' % start if ordered and start != 1 else ""
                out.append("<%s%s>" % (tag, attr))
                for item in items:
                    inner = []
                    self.blocks(item, heading_ids, inner, tight=not loose)
                    out.append("<li>%s</li>" % "\n".join(inner))
                out.append("</%s>" % tag)
            elif kind == "table":
                header, aligns, rows = b[1], b[2], b[3]
                width = len(header)

                def cell(tag, i, text):
                    a = aligns[i] if i < len(aligns) else ""
                    style = ' style="text-align:%s"' % a if a else ""
                    return "<%s%s>%s</%s>" % (tag, style, self.inline(text), tag)

                out.append("<table>")
                out.append("<thead><tr>%s</tr></thead>" % "".join(cell("th", i, t) for i, t in enumerate(header)))
                out.append("<tbody>")
                for row in rows:
                    row = (row + [""] * width)[:width]
                    out.append("<tr>%s</tr>" % "".join(cell("td", i, t) for i, t in enumerate(row)))
                out.append("</tbody></table>")


def headings_of(blocks):
    """Every heading of a block tree, in document order."""
    found = []
    for b in blocks:
        if b[0] == "heading":
            found.append(b)
        elif b[0] == "quote":
            found.extend(headings_of(b[1]))
        elif b[0] == "list":
            for item in b[3]:
                found.extend(headings_of(item))
    return found


def read_document(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        text = f.read()
    text = text.lstrip("\ufeff").replace("\r\n", "\n").replace("\r", "\n")
    return parse_blocks([expand_tabs(line) for line in text.split("\n")])


def build_page(title, paths, out_path, toc_depth=3):
    """Writes the page and copies its images; raises DocError or OSError."""
    docs = [(p, read_document(p)) for p in paths]
    used, chapter_ids, page_ids = set(), {}, []

    def unique(base):
        candidate, k = base, 1
        while candidate in used:
            candidate = "%s-%d" % (base, k)
            k += 1
        used.add(candidate)
        return candidate

    used.add("contents")
    for path, blocks in docs:
        name = os.path.basename(path)
        source_ids, seen, ids = {}, {}, []
        for _, level, text in headings_of(blocks):
            base = slugify(text)
            # The document's own anchors, numbered as its host would number repeats.
            count = seen.get(base, 0)
            seen[base] = count + 1
            local = base if count == 0 else "%s-%d" % (base, count)
            page_id = unique(local)
            source_ids.setdefault(local, page_id)
            ids.append(page_id)
        source_ids[""] = ids[0] if ids else unique(slugify(os.path.splitext(name)[0]))
        chapter_ids[name] = source_ids
        page_ids.append(ids)

    out_dir = os.path.dirname(os.path.abspath(out_path))
    images, body, toc = {}, [], []
    for (path, blocks), ids in zip(docs, page_ids):
        r = Renderer(chapter_ids, os.path.dirname(os.path.abspath(path)), out_dir, images)
        r.own_ids = chapter_ids[os.path.basename(path)]
        body.append('<section class="chapter">')
        r.blocks(blocks, list(ids), body)
        body.append("</section>")
        for (_, level, text), hid in zip(headings_of(blocks), ids):
            if level <= toc_depth:
                toc.append((level, hid, html.escape(plain_text(text))))

    page = ["<!DOCTYPE html>", '<html lang="en">', "<head>", '<meta charset="utf-8">',
            '<meta name="viewport" content="width=device-width, initial-scale=1">',
            "<title>%s</title>" % html.escape(title), "<style>", STYLE, "</style>", "</head>",
            "<body>", "<main>", '<h1 class="page">%s</h1>' % html.escape(title),
            '<nav class="toc" id="contents">', "<h2>Contents</h2>"]
    page.extend(toc_html(toc))
    page.append("</nav>")
    page.extend(body)
    page.extend(["</main>", "</body>", "</html>", ""])

    os.makedirs(out_dir, exist_ok=True)
    for source, rel in sorted(images.items()):
        target = os.path.join(out_dir, rel)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(source, target)
    write_atomically(out_path, "\n".join(page))


def toc_html(entries):
    """Nested lists of (level, id, escaped text), whatever the gaps between levels."""
    out, stack = [], []
    for level, hid, text in entries:
        if stack and level <= stack[-1]:
            out.append("</li>")
            while len(stack) > 1 and level < stack[-1] and level <= stack[-2]:
                stack.pop()
                out.append("</ul>")
                out.append("</li>")
            stack[-1] = min(stack[-1], level)
        else:
            stack.append(level)
            out.append("<ul>")
        out.append('<li><a href="#%s">%s</a>' % (hid, text))
    for _ in stack:
        out.append("</li>")
        out.append("</ul>")
    return out


def write_atomically(path, text):
    folder = os.path.dirname(os.path.abspath(path))
    fd, tmp = tempfile.mkstemp(prefix=".md2html-", dir=folder)
    try:
        with os.fdopen(fd, "w", encoding="utf-8", newline="\n") as f:
            f.write(text)
        os.chmod(tmp, 0o644)
        os.replace(tmp, path)
    except BaseException:
        try:
            os.unlink(tmp)
        except OSError:
            pass
        raise


def main(argv):
    parser = argparse.ArgumentParser(description="Turn Markdown documents into one HTML help page.")
    parser.add_argument("--title", required=True)
    parser.add_argument("--output", required=True)
    parser.add_argument("--toc-depth", type=int, default=3, choices=range(1, 7))
    parser.add_argument("documents", nargs="+")
    args = parser.parse_args(argv)
    try:
        build_page(args.title, args.documents, args.output, args.toc_depth)
    except (DocError, OSError) as e:
        print("md2html: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
