#!/usr/bin/env python3
"""Document-level parts of outputs made from the real-PDF corpus, read back by qpdf.

For every clean, unencrypted corpus file of two pages or more, the last page, the first and
the last again are cut out (-sN,1,N); qpdf's JSON view of the source and the output then
shows that:
- the output's three pages are three page objects;
- each page shows the label it had in the source;
- every outline item that opens a chosen page is there and opens the same page; every other
  item opens the page its title opened in the source, opens no page as in the source, or
  holds kept items;
- the form holds exactly the fields with a widget on a chosen page;
and, for a file with an outline, that a copy of every page keeps every item that is not a
dead go-to (a destination that opens no page of the source), and that the bookmarks split gives
files that qpdf accepts, hold every page once, and whose outline items open pages of their own
file or no page, as in the source.
Exit status: 0 when every file passes, 1 on a failure, 77 when the corpus or qpdf is absent.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor


def qpdf_json(path):
    run = subprocess.run(["qpdf", "--json", "--json-key=pages", "--json-key=outlines",
                          "--json-key=acroform", path], capture_output=True, text=True)
    if not run.stdout:
        raise RuntimeError("qpdf --json: " + run.stderr.strip()[:200])
    return json.loads(run.stdout)


def items(outline, pages, out):
    """(title, page, holds kept items, has a destination) of every outline item, depth first;
    the page is None where the destination is a name or names no page, and where the item has
    no destination (an action that opens no page, or none)."""
    for item in outline:
        dest = item.get("dest")
        if isinstance(dest, dict):
            dest = dest.get("/D")
        page = pages.get(dest[0]) if isinstance(dest, list) and dest else None
        out.append((item.get("title"), page or item.get("destpageposfrom1"),
                    bool(item.get("kids")), dest is not None))
        items(item.get("kids") or [], pages, out)
    return out


def expected_in_copy(outline, pages, out, seen):
    """Titles of the items a copy of every page keeps, depth first: all but dead go-to items
    (a destination that opens no page) and items without destination whose items all go; an
    item met again (a loop) counts once. True when the outline holds one."""
    kept_any = False
    for item in outline:
        if item.get("object") in seen:
            continue
        seen.add(item.get("object"))
        dest = item.get("dest")
        if isinstance(dest, dict):
            dest = dest.get("/D")
        page = pages.get(dest[0]) if isinstance(dest, list) and dest else None
        page = page or item.get("destpageposfrom1")
        mark = len(out)
        holds = expected_in_copy(item.get("kids") or [], pages, out, seen)
        if (dest is None and (holds or not item.get("kids"))) or page or holds:
            out.insert(mark, item.get("title"))
            kept_any = True
    return kept_any


def page_numbers(view):
    return {p["object"]: i + 1 for i, p in enumerate(view["pages"])}




def label(page):
    return json.dumps(page.get("label"), sort_keys=True)


def check(brantor, corpus, path, work):
    source = os.path.join(corpus, path)
    try:
        src = qpdf_json(source)
    except ValueError:
        return []  # qpdf stops its JSON short on some damaged sources: nothing to compare
    n = len(src["pages"])
    if n < 2:
        return []
    chosen = [n, 1, n]
    out = os.path.join(work, "out.pdf")
    run = subprocess.run([brantor, source, out, "-s%d,1,%d" % (n, n)], capture_output=True,
                         text=True)
    if run.returncode != 0:
        return ["brantor: " + run.stdout.strip()]
    try:
        dst = qpdf_json(out)
    except ValueError:
        # qpdf also stops its JSON short on a clean file whose widgets no form reaches.
        check_run = subprocess.run(["qpdf", "--check", out], capture_output=True, text=True)
        return [] if check_run.returncode == 0 else ["qpdf --check: " + check_run.stdout[-200:]]
    problems = []
    pages = dst["pages"]
    if len(pages) != 3 or len({p["object"] for p in pages}) != 3:
        problems.append("the pages are not three page objects")
        return problems
    for i, page in enumerate(pages):
        if label(page) != label(src["pages"][chosen[i] - 1]):
            problems.append("page %d shows label %s, not %s" %
                            (i + 1, label(page), label(src["pages"][chosen[i] - 1])))
    before = items(src.get("outlines") or [], page_numbers(src), [])
    after = [(t, chosen[p - 1] if p else None, k, d)
             for t, p, k, d in items(dst.get("outlines") or [], page_numbers(dst), [])]
    opened = {(t, p) for t, p, _, _ in after}
    for title, page, _, _ in before:
        if page in (1, n) and (title, page) not in opened:
            problems.append("outline item %r of page %d is missing" % (title, page))
    known = {(t, p) for t, p, _, _ in before}
    unknown = {t for t, p, _, _ in before if p is None}
    pageless = {t for t, _, _, d in before if not d}
    for title, page, holds, _ in after:
        if page is None and not holds and title not in pageless:
            problems.append("outline item %r opens no page, as it did not" % title)
        elif page is not None and (title, page) not in known and not holds and \
                title not in unknown:
            problems.append("outline item %r opens page %s, which it did not" % (title, page))
    fields_in = {(f.get("fullname"), f.get("pageposfrom1"))
                 for f in src.get("acroform", {}).get("fields", [])
                 if f.get("pageposfrom1") in (1, n)}
    fields_out = {(f.get("fullname"), chosen[f["pageposfrom1"] - 1] if f.get("pageposfrom1") else None)
                  for f in dst.get("acroform", {}).get("fields", [])}
    if fields_in != fields_out:
        problems.append("fields %s instead of %s" % (sorted(fields_out - fields_in)[:3],
                                                      sorted(fields_in - fields_out)[:3]))
    if src.get("outlines"):
        problems += check_copy(brantor, source, src, n, work)
        problems += check_bookmarks(brantor, source, pageless, n, work)
    return problems


def check_copy(brantor, source, src, n, work):
    out = os.path.join(work, "all.pdf")
    run = subprocess.run([brantor, source, out, "-s1-%d" % n], capture_output=True, text=True)
    if run.returncode != 0:
        return ["copy of every page: " + run.stdout.strip()]
    expected = []
    expected_in_copy(src["outlines"], page_numbers(src), expected, set())
    kept = [t for t, _, _, _ in items(qpdf_json(out).get("outlines") or [], {}, [])]
    missing = list(expected)
    for title in kept:
        if title in missing:
            missing.remove(title)
    return ["copy of every page lost outline items %s" % missing[:3]] if missing else []


def check_bookmarks(brantor, source, pageless, n, work):
    folder = os.path.join(work, "bookmarks")
    os.mkdir(folder)
    run = subprocess.run([brantor, source, os.path.join(folder, "ch"), "bookmarks"],
                         capture_output=True, text=True)
    if run.returncode != 0:
        # A document whose first-level items open no page has nothing to split at.
        return [] if run.stdout == "No bookmark opens a page" else ["bookmarks: " + run.stdout]
    total = 0
    for name in sorted(os.listdir(folder)):
        out = os.path.join(folder, name)
        if subprocess.run(["qpdf", "--check", out], capture_output=True).returncode not in (0, 3):
            return ["bookmarks: qpdf rejects " + name]
        try:
            view = qpdf_json(out)
        except ValueError:
            continue
        total += len(view["pages"])
        for title, page, holds, _ in items(view.get("outlines") or [], page_numbers(view), []):
            if page is None and not holds and title not in pageless:
                return ["bookmarks: item %r of %s opens no page of its file" % (title, name)]
    return [] if total == n else ["bookmarks: %d pages in the files, not %d" % (total, n)]


def main():
    brantor, corpus = sys.argv[1], os.environ.get("BRANTOR_CORPUS") or sys.argv[2]
    if not os.path.isdir(corpus) or shutil.which("qpdf") is None:
        reason = "corpus not found at %s or qpdf not installed" % corpus
        print("skipped: " + reason)
        if os.environ.get("BRANTOR_SKIP_LOG"):
            # ctest prints the reasons of the run's skipped tests after it.
            with open(os.environ["BRANTOR_SKIP_LOG"], "a") as log:
                log.write(reason + "\n")
        return 77
    with open(os.path.join(corpus, "strict.txt")) as f:
        strict = [line.strip() for line in f if line.strip()]
    with open(os.path.join(corpus, "encrypted.txt")) as f:
        encrypted = {line.strip() for line in f}
    files = [p for p in strict if p not in encrypted]

    def one(path):
        with tempfile.TemporaryDirectory(prefix="brantor-parts-") as work:
            try:
                return path, check(brantor, corpus, path, work)
            except (RuntimeError, ValueError, KeyError) as error:
                return path, ["unreadable: %s" % error]

    failed = 0
    with ThreadPoolExecutor(max_workers=2) as pool:
        for path, problems in pool.map(one, files):
            if problems:
                failed += 1
                print("%s: %s" % (path, "; ".join(problems[:4])))
    print("%d files checked, %d failing" % (len(files), failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
