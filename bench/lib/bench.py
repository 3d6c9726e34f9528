#!/usr/bin/env python3
"""brantor benchmark: page-cutting jobs on large PDFs, brantor against qpdf and mutool.

Started by bench/run.sh, which documents the options.  For every input and job the tools
take turns (round-robin, the order rotating each round), each run in a fresh empty temporary
folder that is removed afterwards.  A run records wall time, user+sys CPU time, peak RSS and
the bytes written.  The first run of every tool is also checked (untimed): exit status 0,
brantor's stdout empty, the number (and for brantor the names) of the output files, and for
the first, middle and last file `qpdf --check`, that Poppler's `pdfinfo` opens it, the page
count, and for their first, middle
and last page a Ghostscript rendering that must be pixel-identical to the source page's, and
on the generated inputs the "(Page N)" marker plus every font and image the page's content
uses being reachable from its (possibly inherited) /Resources.
"""
import hashlib
import base64
import json
import os
import re
import shlex
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from importlib.machinery import SourceFileLoader

sys.dont_write_bytecode = True  # keep bench/ free of __pycache__

LIB = os.path.dirname(os.path.abspath(__file__))
BENCH = os.path.dirname(LIB)
REPO = os.path.dirname(BENCH)
GEN = os.path.join(BENCH, "gen-inputs")
WRAP = os.path.join(LIB, "rusage-wrap.py")

JOBS = ["list-small", "list-large", "odd", "even", "chunk10", "single", "groups", "maxsize"]
PEERS = ["qpdf", "qpdf-empty", "mutool", "mutool-clean"]
# brantor-generate: brantor with --object-streams=generate (object streams for every source).
BRANTORS = ["brantor", "brantor-generate"]
TOOLS = BRANTORS + PEERS
BRANTOR_MODE = {"list-small": "-s1,3,7-9", "list-large": "-s100-1100", "odd": "odd", "even": "even",
                "chunk10": "-s10s", "single": "-s1s"}
# Jobs that write many files, named from the prefix "out".
MANY = ("chunk10", "single", "groups", "maxsize")
PAGE_NAME = re.compile(r"out(\d{6,})(?:-(\d{6,}))?\.pdf$")
MARKER = re.compile(rb"\(Page (\d+)\) Tj")
RENDER_DPI = 24
# Real documents from the shared corpus (CORPUS, default ../shared/corpus/files beside the
# repository): two long manuals, one with page labels, and the longest document with a form.
REAL = ["debian/avr-libc-user-manual.pdf", "debian/gnuplot.pdf", "debian/siscone-refman.pdf",
        "pdfjs/issue6127.pdf"]
# Real documents outside the corpus, used where installed: R's reference manual (Debian
# r-doc-pdf), 2,415 pages and 59,470 objects in object streams, with 18,000 named destinations.
REAL_INSTALLED = ["/usr/share/R/doc/manual/refman.pdf"]


def log(*a):
    print(*a, file=sys.stderr, flush=True)


def env_int(name, default):
    v = os.environ.get(name, "")
    try:
        return int(v) if v else default
    except ValueError:
        sys.exit("run.sh: %s must be a whole number, not %r" % (name, v))


def env_float(name, default):
    v = os.environ.get(name, "")
    try:
        return float(v) if v else default
    except ValueError:
        sys.exit("run.sh: %s must be a number, not %r" % (name, v))


def natural_key(path):
    return [int(t) if t.isdigit() else t for t in re.split(r"(\d+)", os.path.basename(path))]


def sh(*argv):
    return subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE)


# ---------------------------------------------------------------------------------------------
# jobs
def large_range(n):
    if n >= 1100:
        return 100, 1100
    return max(1, n // 10), max(1, n * 11 // 20)


def group_ends(n):
    """The groups job: -g1-a,(a+1)-b,(b+1)- with a quarter and a half of the pages."""
    a = max(1, n // 4)
    b = max(a + 1, n // 2)
    return a, b


def maxsize_limit(path):
    """The maxsize job: files of at most a fifth of the source's bytes (64 KB at least)."""
    return max(65536, os.path.getsize(path) // 5)


def pages_from_names(files):
    """Source pages of files named outFIRST[-LAST].pdf; None for a name of another form."""
    out = []
    for f in files:
        m = PAGE_NAME.match(os.path.basename(f))
        if not m:
            return None
        first = int(m.group(1))
        last = int(m.group(2)) if m.group(2) else first
        out.append(list(range(first, last + 1)) if first <= last else list(range(first, last - 1, -1)))
    return out


def expected_pages(job, n):
    """Source pages of every output file, in output order (None: known only from the outputs)."""
    if job == "maxsize":
        return None
    if job == "groups":
        a, b = group_ends(n)
        if n < 3:
            return None
        return [list(range(1, a + 1)), list(range(a + 1, b + 1)), list(range(b + 1, n + 1))]
    if job == "list-small":
        return [[1, 3, 7, 8, 9]]
    if job == "list-large":
        a, b = large_range(n)
        return [list(range(a, b + 1))]
    if job == "odd":
        return [list(range(1, n + 1, 2))]
    if job == "even":
        return [list(range(2, n + 1, 2))]
    step = 10 if job == "chunk10" else 1
    return [list(range(s, min(s + step - 1, n) + 1)) for s in range(1, n + 1, step)]


def brantor_names(job, n):
    if job == "chunk10":
        return ["out%06d-%06d.pdf" % (p[0], p[-1]) for p in expected_pages(job, n)]
    if job == "single":
        return ["out%06d.pdf" % p for p in range(1, n + 1)]
    if job == "groups":
        return [("out%06d.pdf" % p[0]) if len(p) == 1 else "out%06d-%06d.pdf" % (p[0], p[-1])
                for p in expected_pages(job, n)]
    if job == "maxsize":
        return None
    return ["out.pdf"]


def command(tool, job, inp, n, brantor):
    """argv for one run (started inside the empty output folder), or None if the tool has no form."""
    if job == "list-small" and n < 9:
        return None
    if job == "groups" and n < 3:
        return None
    if job in ("groups", "maxsize") and tool not in BRANTORS:
        return None  # no peer cuts one file per list item, or files up to a size
    if tool in BRANTORS:
        if job == "list-large":
            mode = "-s%d-%d" % large_range(n)
        elif job == "groups":
            mode = "-g1-%d,%d-%d,%d-" % (group_ends(n)[0], group_ends(n)[0] + 1, group_ends(n)[1],
                                         group_ends(n)[1] + 1)
        elif job == "maxsize":
            mode = "maxsize=%d" % maxsize_limit(inp)
        else:
            mode = BRANTOR_MODE[job]
        option = ["--object-streams=generate"] if tool == "brantor-generate" else []
        return brantor + [inp, "out" if job in MANY else "out.pdf", mode] + option
    if job in ("list-small", "list-large"):
        qrange = "1,3,7-9" if job == "list-small" else "%d-%d" % large_range(n)
        listed = qrange
    elif job in ("odd", "even"):
        qrange = "1-z:" + job
        listed = ",".join(str(p) for p in expected_pages(job, n)[0])
    else:
        qrange = listed = None
    if tool == "qpdf":
        if qrange:
            return ["qpdf", inp, "--pages", ".", qrange, "--", "out.pdf"]
        return ["qpdf", "--split-pages=10" if job == "chunk10" else "--split-pages", inp, "out-%d.pdf"]
    if tool == "qpdf-empty":
        return ["qpdf", "--empty", "--pages", inp, qrange, "--", "out.pdf"] if qrange else None
    if tool == "mutool":
        return ["mutool", "merge", "-o", "out.pdf", inp, listed] if listed else None
    if tool == "mutool-clean":
        return ["mutool", "clean", "-gg", inp, "out.pdf", listed] if listed else None
    raise KeyError(tool)


# ---------------------------------------------------------------------------------------------
# measuring
class Runner:
    def __init__(self, timeout):
        self.timeout = timeout
        self.time_bin = None
        if os.environ.get("MEASURE", "") != "wrapper" and os.access("/usr/bin/time", os.X_OK):
            r = subprocess.run(["/usr/bin/time", "-v", "-o", os.devnull, "true"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if r.returncode == 0:
                self.time_bin = "/usr/bin/time"
        self.method = ("/usr/bin/time -v (peak RSS); os.wait4 rusage (CPU); perf_counter (wall)"
                       if self.time_bin else
                       "lib/rusage-wrap.py: getrusage(RUSAGE_CHILDREN) (CPU, peak RSS >= ~8 MB); "
                       "perf_counter in the wrapper (wall)")

    def run(self, argv, cwd, logdir):
        """Run argv in cwd; stdout/stderr go to logdir.  Returns the measurements."""
        meas = os.path.join(logdir, "measure")
        if os.path.exists(meas):
            os.remove(meas)
        if self.time_bin:
            full = [self.time_bin, "-v", "-o", meas] + argv
        else:
            full = [sys.executable, "-I", "-S", WRAP, meas] + argv
        with open(os.path.join(logdir, "stdout"), "wb") as out, open(os.path.join(logdir, "stderr"), "wb") as err:
            t0 = time.perf_counter()
            p = subprocess.Popen(full, cwd=cwd, stdout=out, stderr=err, stdin=subprocess.DEVNULL,
                                 start_new_session=True)
            killed = []

            def kill():
                killed.append(1)
                try:
                    os.killpg(p.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            timer = threading.Timer(self.timeout, kill)
            timer.start()
            try:
                _, status, ru = os.wait4(p.pid, 0)
            except BaseException:  # interrupted: take the run's whole process group down too
                kill()
                os.waitpid(p.pid, 0)
                raise
            finally:
                timer.cancel()
            wall = time.perf_counter() - t0
        p.returncode = rc = os.waitstatus_to_exitcode(status)
        res = {"wall": wall, "user": ru.ru_utime, "sys": ru.ru_stime, "rss_kb": None, "rc": rc,
               "bytes": output_files(cwd)[1]}
        try:
            text = open(meas).read()
        except OSError:
            text = ""
        if self.time_bin:
            m = re.search(r"Maximum resident set size \(kbytes\): (\d+)", text)
            res["rss_kb"] = int(m.group(1)) if m else None
        elif text:
            w = json.loads(text)
            res.update(wall=w["wall"], user=w["user"], sys=w["sys"], rss_kb=w["rss_kb"])
        if killed:
            res["rc"] = 124
        with open(os.path.join(logdir, "stdout"), "rb") as f:
            res["stdout"] = f.read(4096)
        with open(os.path.join(logdir, "stderr"), "rb") as f:
            res["stderr"] = f.read()[-600:]
        return res


def output_files(wdir):
    files = []
    for root, _, names in os.walk(wdir):
        files += [os.path.join(root, nm) for nm in names if nm.lower().endswith(".pdf")]
    files.sort(key=natural_key)
    total = sum(os.path.getsize(os.path.join(r, nm)) for r, _, ns in os.walk(wdir) for nm in ns)
    return files, total


# ---------------------------------------------------------------------------------------------
# checking outputs (qpdf as the referee)
class PdfView:
    """Objects and page list of a PDF, read with qpdf's JSON output."""

    def __init__(self, path):
        self.path = path
        r = sh("qpdf", "--json=2", "--json-key=qpdf", "--json-stream-data=none", path)
        if r.returncode not in (0, 3):
            raise ValueError("qpdf --json failed: " + r.stderr.decode("latin-1").strip()[-200:])
        self.objects = json.loads(r.stdout)["qpdf"][1]
        self.pages = []
        root = self.resolve(self.objects["trailer"]["value"].get("/Root"))
        self.root = root or {}
        self._walk(self.root.get("/Pages"), 0)

    def resolve(self, v):
        while isinstance(v, str) and v.endswith(" R"):
            obj = self.objects.get("obj:" + v)
            if obj is None:
                return None
            v = obj.get("value", obj.get("stream", {}).get("dict"))
        return v

    def _walk(self, ref, depth):
        node = self.resolve(ref)
        if not isinstance(node, dict) or depth > 64:
            return
        if node.get("/Type") == "/Pages" or "/Kids" in node:
            for kid in self.resolve(node.get("/Kids")) or []:
                self._walk(kid, depth + 1)
        else:
            self.pages.append(ref)

    def inherited(self, page_ref, key):
        node = self.resolve(page_ref)
        for _ in range(64):
            if not isinstance(node, dict):
                return None
            if key in node:
                return self.resolve(node[key])
            node = self.resolve(node.get("/Parent"))
        return None

    def contents(self, page_refs):
        """Decoded content stream bytes of each page."""
        refs = {}
        for pr in page_refs:
            c = (self.resolve(pr) or {}).get("/Contents")
            if isinstance(c, str) and c.endswith(" R"):
                obj = self.objects.get("obj:" + c, {})
                c = [c] if "stream" in obj else obj.get("value")
            refs[pr] = [x for x in c if isinstance(x, str)] if isinstance(c, list) else []
        wanted = sorted({x for v in refs.values() for x in v})
        data = {}
        if wanted:
            argv = ["qpdf", "--json=2", "--json-key=qpdf", "--json-stream-data=inline",
                    "--decode-level=generalized"] + ["--json-object=" + w.split()[0] for w in wanted] + [self.path]
            r = sh(*argv)
            objs = json.loads(r.stdout)["qpdf"][1] if r.returncode in (0, 3) else {}
            for w in wanted:
                d = objs.get("obj:" + w, {}).get("stream", {}).get("data")
                data[w] = base64.b64decode(d) if d else b""
        return {pr: b"\n".join(data.get(x, b"") for x in refs[pr]) for pr in page_refs}

    def outline_items(self):
        """(first-level items, items whose target is a page of this file)."""
        top = self.resolve(self.root.get("/Outlines"))
        if not isinstance(top, dict):
            return 0, 0
        pages = set(self.pages)
        item_ref = top.get("/First")
        items = good = 0
        seen = set()
        while isinstance(item_ref, str) and item_ref not in seen and items < 100000:
            seen.add(item_ref)
            item = self.resolve(item_ref) or {}
            items += 1
            dest = item.get("/Dest")
            if dest is None:
                action = self.resolve(item.get("/A"))
                dest = action.get("/D") if isinstance(action, dict) else None
            dest = self.resolve(dest)
            if isinstance(dest, list) and dest and dest[0] in pages:
                good += 1
            item_ref = item.get("/Next")
        return items, good


def render(path, pages, scratch):
    """{page number: md5 of its RENDER_DPI rendering} for the given 1-based pages of path."""
    pages = sorted(set(pages))
    d = tempfile.mkdtemp(prefix="render-", dir=scratch)
    try:
        r = sh("gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=ppmraw", "-r%d" % RENDER_DPI,
               "-sPageList=" + ",".join(map(str, pages)), "-o", os.path.join(d, "p%d.ppm"), path)
        got = {}
        for i, page in enumerate(pages):
            f = os.path.join(d, "p%d.ppm" % (i + 1))
            if r.returncode == 0 and os.path.exists(f):
                with open(f, "rb") as fh:
                    got[page] = hashlib.md5(fh.read()).hexdigest()
        return got
    finally:
        shutil.rmtree(d, ignore_errors=True)


class Source:
    """An input file: its page count, what it holds and renderings of its pages (cached)."""

    def __init__(self, path, pages, generated, outline, scratch):
        self.path, self.pages, self.generated, self.outline = path, pages, generated, outline
        self.scratch = scratch
        self.renders = {}
        self._view = None

    def view(self):
        """The source read by qpdf (once); None where qpdf cannot read it."""
        if self._view is None:
            try:
                self._view = PdfView(self.path)
            except ValueError:
                self._view = False
        return self._view or None

    def rendered(self, pages):
        """{page: md5 of its rendering}; pages that did not render are left out."""
        todo = [p for p in pages if p not in self.renders]
        if todo:
            got = render(self.path, todo, self.scratch)
            for p in todo:
                self.renders[p] = got.get(p)
        return {p: self.renders[p] for p in pages if self.renders[p]}


def annotation_count(view, page_ref):
    page = view.resolve(page_ref)
    annots = view.resolve(page.get("/Annots")) if isinstance(page, dict) else None
    return len(annots) if isinstance(annots, list) else 0


def check_page(view, page_ref, content, want):
    notes = []
    m = MARKER.search(content)
    got = int(m.group(1)) if m else None
    if got != want:
        notes.append("holds source page %s, expected %d" % (got, want))
    res = view.inherited(page_ref, "/Resources") or {}
    if not isinstance(res, dict):
        res = {}
    for key, pattern in (("/Font", rb"/([A-Za-z0-9_.]+)\s+[-\d.]+\s+Tf"), ("/XObject", rb"/([A-Za-z0-9_.]+)\s+Do")):
        table = view.resolve(res.get(key)) or {}
        for nm in sorted(set(re.findall(pattern, content))):
            target = table.get("/" + nm.decode()) if isinstance(table, dict) else None
            if target is None or view.resolve(target) is None:
                notes.append("%s /%s missing" % (key[1:], nm.decode()))
    if not isinstance(view.inherited(page_ref, "/MediaBox"), list):
        notes.append("no /MediaBox")
    return notes


def check_outputs(tool, job, source, wdir, run, use_qpdf):
    """Notes on everything wrong with one run's outputs ([] = passed), plus extra facts."""
    notes, extra = [], {}
    n = source.pages
    expected = expected_pages(job, n)
    if run["rc"] != 0:
        notes.append("exit status %d: %s" % (run["rc"], run["stderr"].decode("latin-1").strip()[-160:]))
    if tool in BRANTORS and run["stdout"]:
        notes.append("stdout not empty: %r" % run["stdout"][:120].decode("latin-1"))
    files, _ = output_files(wdir)
    if job == "maxsize":
        # Consecutive pages from 1 to the end, each file within the limit unless it is one
        # page (which the warnings on stderr then name).
        expected = pages_from_names(files) or []
        flat = [p for pages in expected for p in pages]
        if flat != list(range(1, n + 1)):
            notes.append("files do not hold pages 1 to %d in order" % n)
        limit = maxsize_limit(source.path)
        for f, pages in zip(files, expected):
            if os.path.getsize(f) > limit and len(pages) > 1:
                notes.append("%s: %d bytes, over the limit %d" % (os.path.basename(f), os.path.getsize(f), limit))
        alone = sum(1 for f, pages in zip(files, expected) if os.path.getsize(f) > limit)
        if run["stderr"].count(b" alone takes ") != alone:
            notes.append("%d warnings for %d pages over the limit" % (run["stderr"].count(b" alone takes "), alone))
        extra["files_over_limit"] = alone
    if len(files) != len(expected):
        notes.append("%d output files, expected %d" % (len(files), len(expected)))
    if tool in BRANTORS and job != "maxsize":
        want = brantor_names(job, n)
        got = sorted(os.path.relpath(f, wdir) for f in files)
        if got != sorted(want):
            missing = sorted(set(want) - set(got))[:3]
            extra_names = sorted(set(got) - set(want))[:3]
            notes.append("file names: missing %s, unexpected %s" % (missing, extra_names))
    if not use_qpdf or not files or len(files) != len(expected):
        return notes, extra
    sample = sorted({0, len(files) // 2, len(files) - 1})
    for i in sample:
        f, want = files[i], expected[i]
        name = os.path.basename(f)
        r = sh("qpdf", "--check", f)
        if r.returncode != 0:
            lines = (r.stdout + r.stderr).decode("latin-1").strip().splitlines()
            notes.append("%s: qpdf --check exit %d: %s" % (name, r.returncode, lines[-1][:120] if lines else ""))
        if shutil.which("pdfinfo"):
            r = sh("pdfinfo", f)
            if r.returncode != 0:
                lines = r.stderr.decode("latin-1").strip().splitlines()
                notes.append("%s: pdfinfo exit %d: %s" % (name, r.returncode, lines[-1][:120] if lines else ""))
        try:
            view = PdfView(f)
        except ValueError as e:
            notes.append("%s: %s" % (name, e))
            continue
        if len(view.pages) != len(want):
            notes.append("%s: %d pages, expected %d" % (name, len(view.pages), len(want)))
            continue
        positions = sorted({0, len(want) // 2, len(want) - 1})
        if source.generated:
            data = view.contents([view.pages[p] for p in positions])
            for p in positions:
                for note in check_page(view, view.pages[p], data[view.pages[p]], want[p]):
                    notes.append("%s page %d: %s" % (name, p + 1, note))
        if shutil.which("gs"):
            mine = render(f, [p + 1 for p in positions], source.scratch)
            theirs = source.rendered([want[p] for p in positions])
            for p in positions:
                if want[p] not in theirs:
                    continue  # the source page itself does not render: nothing to compare
                if p + 1 not in mine:
                    notes.append("%s page %d: does not render" % (name, p + 1))
                elif mine[p + 1] != theirs[want[p]]:
                    notes.append("%s page %d: renders unlike source page %d" % (name, p + 1, want[p]))
        # Links and other annotations are part of a page: an output that drops them has lost
        # data, however it renders.
        src = source.view()
        for p in positions if src else []:
            mine, theirs = annotation_count(view, view.pages[p]), annotation_count(src, src.pages[want[p] - 1])
            if mine != theirs:
                notes.append("%s page %d: %d annotations, source page %d has %d" % (
                    name, p + 1, mine, want[p], theirs))
        if source.outline and len(files) == 1:
            extra["outline_items"], extra["outline_resolvable"] = view.outline_items()
    return notes, extra


# ---------------------------------------------------------------------------------------------
def median(xs):
    xs = [x for x in xs if x is not None]
    return statistics.median(xs) if xs else None


def measure_cell(runner, tools, job, source, cfg, workroot):
    """Round-robin runs of every tool on one input and job."""
    cmds = {t: command(t, job, source.path, source.pages, cfg["brantor"]) for t in tools}
    order = [t for t in tools if cmds[t] is not None]
    state = {t: {"runs": [], "check": None, "failed": False, "done": False} for t in order}
    logdir = os.path.join(workroot, "log")
    os.makedirs(logdir, exist_ok=True)
    rounds = cfg["warmup"] + cfg["reps"]
    for rnd in range(rounds):
        k = rnd % len(order) if order else 0
        for tool in order[k:] + order[:k]:
            st = state[tool]
            if st["failed"] or st["done"]:
                continue
            wdir = tempfile.mkdtemp(prefix="run-", dir=workroot)
            try:
                run = runner.run(cmds[tool], wdir, logdir)
                first = st["check"] is None
                files, total = output_files(wdir)
                if first:
                    deep = cfg["use_qpdf"] and cfg["check"] and (tool in BRANTORS or not cfg["quick"])
                    notes, extra = check_outputs(tool, job, source, wdir, run, deep)
                    st["check"] = {"ok": not notes, "notes": notes}
                    st["check"].update(extra)
                    st["out_files"], st["out_bytes"] = len(files), total
                    if notes:
                        st["failed"] = True
                elif run["rc"] != 0 or (tool in BRANTORS and run["stdout"]):
                    st["check"]["ok"] = False
                    st["check"]["notes"].append("a later run: exit status %d%s" % (
                        run["rc"], ", stdout not empty" if run["stdout"] else ""))
                    st["failed"] = True
            finally:
                shutil.rmtree(wdir, ignore_errors=True)
            timed = rnd >= cfg["warmup"] or run["wall"] > cfg["slow"]
            if timed or st["failed"]:
                st["runs"].append({k2: run[k2] for k2 in ("wall", "user", "sys", "rss_kb", "rc", "bytes")})
            if st["failed"] or len(st["runs"]) >= cfg["reps"] or \
                    sum(r["wall"] for r in st["runs"]) > cfg["budget"]:
                st["done"] = True
    results = []
    for tool in order:
        st = state[tool]
        runs = st["runs"]
        rss = median([r["rss_kb"] for r in runs])
        results.append({
            "tool": tool, "job": job, "cmd": " ".join(shlex.quote(a) for a in cmds[tool]),
            "runs": len(runs), "wall_s": median([r["wall"] for r in runs]),
            "wall_min_s": min(r["wall"] for r in runs) if runs else None,
            "cpu_s": median([r["user"] + r["sys"] for r in runs]),
            "rss_mb": rss / 1024.0 if rss is not None else None,
            "out_files": st.get("out_files", 0),
            "out_bytes": median([r["bytes"] for r in runs]) or st.get("out_bytes", 0),
            "check": st["check"] or {"ok": False, "notes": ["not run"]},
            "samples": [{k2: (round(v, 5) if isinstance(v, float) else v) for k2, v in r.items()} for r in runs],
        })
    return results


# ---------------------------------------------------------------------------------------------
# report
def ft(x):
    if x is None:
        return "-"
    return "%.3f" % x if x < 10 else "%.1f" % x


def fm(x):
    return "-" if x is None else "%.1f" % x


def fbytes(b):
    return "%.3f" % (b / 1e6) if b < 1e6 else "%.2f" % (b / 1e6) if b < 1e7 else "%.1f" % (b / 1e6)


def ratio(a, b):
    return "%.2f" % (a / b) if a is not None and b else "-"


def report(data):
    meta, results = data["meta"], data["results"]
    out = []
    w = out.append
    w("# brantor benchmark, %s" % meta["date"])
    w("")
    w("Host %s, %d CPUs, load at start %s. %s." % (meta["host"], meta["cpus"], meta["load"], "; ".join(meta["versions"])))
    w("Medians of %s timed runs per cell after %d warm-up run(s); tools take turns. "
      "Wall and CPU (user+sys) in seconds, peak RSS in MB, output in MB. Measured with %s."
      % (meta["reps"], meta["warmup"], meta["method"]))
    w("`x` = brantor / best peer (below 1: brantor is faster, leaner or smaller). Best peer = the "
      "fastest, leanest (peak RSS) or smallest (bytes written) peer whose output passed the checks; "
      "`*` marks the cells brantor does not win.")
    w("")
    inputs = [i["name"] for i in meta["inputs"]]
    bars = []
    for variant in [b for b in BRANTORS if b in meta.get("tools", ["brantor"])]:
        w("## Summary" + ("" if variant == "brantor" else ", brantor --object-streams=generate"))
        w("")
        w("| input | job | brantor s | best peer s | time x | brantor RSS MB | best peer MB | mem x "
          "| brantor out MB | best peer out MB | bytes x |")
        w("|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
        for name in inputs:
            for job in JOBS:
                cell = [r for r in results if r["input"] == name and r["job"] == job]
                if not cell:
                    continue
                ok = [r for r in cell if r["tool"] in PEERS and r["check"]["ok"] and r["wall_s"] is not None]
                br = next((r for r in cell if r["tool"] == variant), None)
                if br is None:
                    continue
                good = br["check"]["ok"]
                row = [name, job]
                for key, fmt in (("wall_s", ft), ("rss_mb", fm), ("out_bytes", fbytes)):
                    have = [r for r in ok if r[key] is not None]
                    best = min(have, key=lambda r: r[key]) if have else None
                    mine = br[key] if good else None
                    row.append("FAIL" if not good else fmt(mine) if mine is not None else "-")
                    row.append("%s %s" % (best["tool"], fmt(best[key])) if best else "-")
                    x = ratio(mine, best[key]) if mine is not None and best else "-"
                    row.append(x + (" *" if x != "-" and mine > best[key] else ""))
                    if key == "wall_s" and variant == "brantor" and mine is not None and best and best[key]:
                        bars.append((name, job, mine / best[key]))
                w("| " + " | ".join(row) + " |")
        w("")
    if bars:
        w("")
        w("## Chart")
        w("")
        w("```")
        w("time of brantor / time of the fastest peer (each # = 0.05; 20 # = as fast as the peer)")
        for name, job, x in bars:
            w("%-20s %-10s %-60s %.2f" % (name[:-4] if name.endswith(".pdf") else name, job,
                                          "#" * min(60, max(1, round(x / 0.05))), x))
        w("```")
    for inp in meta["inputs"]:
        rs = [r for r in results if r["input"] == inp["name"]]
        if not rs:
            continue
        w("")
        w("## %s (%d pages, %s MB)" % (inp["name"], inp["pages"], fbytes(inp["bytes"])))
        w("")
        w("| job | tool | wall s | CPU s | RSS MB | out MB | files | runs | check |")
        w("|---|---|---:|---:|---:|---:|---:|---:|---|")
        for job in JOBS:
            for r in (r for r in rs if r["job"] == job):
                c = r["check"]
                ck = "ok" if c["ok"] else "FAIL: " + "; ".join(c["notes"][:2])[:160] + (
                    " (+%d more)" % (len(c["notes"]) - 2) if len(c["notes"]) > 2 else "")
                if "outline_items" in c:
                    ck += ", outline %d items, %d resolve" % (c["outline_items"], c["outline_resolvable"])
                w("| %s | %s | %s | %s | %s | %s | %d | %d | %s |" % (
                    job, r["tool"], ft(r["wall_s"]), ft(r["cpu_s"]), fm(r["rss_mb"]), fbytes(r["out_bytes"]),
                    r["out_files"], r["runs"], ck))
    failed = [r for r in results if not r["check"]["ok"]]
    if failed:
        w("")
        w("## Failed checks")
        w("")
        for r in failed:
            w("- %s %s %s: %s" % (r["input"], r["job"], r["tool"], "; ".join(r["check"]["notes"][:6])))
    return "\n".join(out) + "\n"


# ---------------------------------------------------------------------------------------------
def tool_versions(tools, brantor):
    v = []
    if any(t.startswith("qpdf") for t in tools):
        v.append(sh("qpdf", "--version").stdout.decode().splitlines()[0])
    if any(t.startswith("mutool") for t in tools):
        v.append("mutool " + sh("mutool", "-v").stderr.decode().strip().split()[-1])
    if shutil.which("gs"):
        v.append("gs %s (renders for the checks)" % sh("gs", "--version").stdout.decode().strip())
    if any(t in BRANTORS for t in tools):
        v.append("brantor = " + " ".join(brantor))
    return v


def load_gen():
    return SourceFileLoader("gen_inputs", GEN).load_module()


def real_documents(say):
    """Paths of the real documents that exist; with say, tell on stderr about missing ones."""
    corpus = os.path.abspath(os.environ.get("CORPUS") or os.path.join(REPO, "..", "shared", "corpus", "files"))
    found = []
    if not os.path.isdir(corpus):
        if say:
            log("run.sh: no document corpus at %s (set CORPUS): its documents are skipped" % corpus)
    for r in REAL if os.path.isdir(corpus) else []:
        p = os.path.join(corpus, r)
        if os.path.isfile(p):
            found.append(p)
        elif say:
            log("run.sh: %s is not in the corpus at %s: skipped" % (r, corpus))
    for p in REAL_INSTALLED:
        if os.path.isfile(p):
            found.append(p)
        elif say:
            log("run.sh: %s is not installed (Debian r-doc-pdf): skipped" % p)
    return found


def page_count(path, known):
    name = os.path.basename(path)
    if name in known:
        return known[name][0]
    if shutil.which("qpdf"):
        r = sh("qpdf", "--show-npages", path)
        if r.stdout.strip().isdigit():
            return int(r.stdout)
    sys.exit("run.sh: cannot count the pages of %s (install qpdf, or use a gen-inputs file)" % path)


def main(argv):
    if argv[:1] == ["--report"]:
        if len(argv) != 2:
            sys.exit("usage: bench/run.sh --report RESULTS/results.json")
        print(report(json.load(open(argv[1]))), end="")
        return 0
    quick = "--quick" in argv
    argv = [a for a in argv if a != "--quick"]
    if len(argv) > 1 or (argv and argv[0].startswith("-")):
        sys.exit("usage: bench/run.sh [--quick] [DATA_DIR]   |   bench/run.sh --report results.json")
    gen = load_gen()
    known = dict(gen.STANDARD, **gen.QUICK)

    cfg = {
        "reps": max(1, env_int("REPS", 1 if quick else 5)),
        "warmup": max(0, env_int("WARMUP", 0 if quick else 1)),
        "budget": env_float("CELL_BUDGET", 60.0),
        "slow": env_float("SLOW", 2.0),
        "check": os.environ.get("CHECK", "1") != "0",
        "use_qpdf": bool(shutil.which("qpdf")),
        "quick": quick,
    }
    timeout = env_float("TIMEOUT", 300.0 if quick else 600.0)

    brantor_env = os.environ.get("BRANTOR", "")
    brantor = shlex.split(brantor_env) if brantor_env else [os.path.join(REPO, "build", "brantor")]
    exe = shutil.which(brantor[0]) or brantor[0]
    brantor_ok = os.path.isfile(exe) and os.access(exe, os.X_OK)
    if brantor_ok:
        brantor[0] = os.path.abspath(exe)
    cfg["brantor"] = brantor

    available = {"brantor": brantor_ok, "brantor-generate": brantor_ok, "qpdf": bool(shutil.which("qpdf")),
                 "qpdf-empty": bool(shutil.which("qpdf")), "mutool": bool(shutil.which("mutool")),
                 "mutool-clean": bool(shutil.which("mutool"))}
    want_tools = os.environ.get("TOOLS", "").split()
    bad = [t for t in want_tools if t not in TOOLS]
    if bad:
        sys.exit("run.sh: unknown tool %s (tools: %s)" % (" ".join(bad), " ".join(TOOLS)))
    if want_tools:
        missing = [t for t in want_tools if not available[t]]
        if missing:
            sys.exit("run.sh: not installed: %s%s" % (" ".join(missing), " (BRANTOR=%s)" % brantor[0]
                                                     if "brantor" in missing else ""))
        tools = [t for t in TOOLS if t in want_tools]
    else:
        if brantor_env and not brantor_ok:
            sys.exit("run.sh: BRANTOR=%s is not an executable" % brantor_env)
        if not brantor_ok:
            log("run.sh: no brantor at %s (build it, or set BRANTOR); peers only" % brantor[0])
        tools = [t for t in TOOLS if available[t]]
    if not tools:
        sys.exit("run.sh: no tools to run (brantor, qpdf and mutool all missing)")
    jobs = os.environ.get("JOBS", "").split() or JOBS
    bad = [j for j in jobs if j not in JOBS]
    if bad:
        sys.exit("run.sh: unknown job %s (jobs: %s)" % (" ".join(bad), " ".join(JOBS)))
    jobs = [j for j in JOBS if j in jobs]

    workroot = tempfile.mkdtemp(prefix="brantor-bench-")
    try:
        if quick:
            data_dir = argv[0] if argv else os.path.join(workroot, "inputs")
            table = gen.QUICK
        else:
            data_dir = argv[0] if argv else os.path.join(BENCH, "data")
            table = gen.STANDARD
        data_dir = os.path.abspath(data_dir)
        sel = os.environ.get("INPUTS", "").split()
        real = real_documents(not sel or "real" in sel) if not quick or "real" in sel else []
        paths = []
        if sel:
            for s in sel:
                if s == "real":
                    paths += real
                    continue
                if os.path.isfile(s):
                    paths.append(os.path.abspath(s))
                    continue
                hits = [nm for nm in known if nm == s or nm.startswith(s)]
                if os.path.isdir(data_dir):
                    hits += [nm for nm in sorted(os.listdir(data_dir))
                             if nm.endswith(".pdf") and nm.startswith(s) and nm not in hits]
                found = [os.path.join(data_dir, h) for h in hits]
                if not found:
                    found = [p for p in real_documents(False) if os.path.basename(p).startswith(s)]
                if not found:
                    sys.exit("run.sh: no input matches %r (in %s, the generated set or the real documents)"
                             % (s, data_dir))
                paths += found
        else:
            paths = [os.path.join(data_dir, nm) for nm in table] + real
        paths = list(dict.fromkeys(paths))
        missing = [os.path.basename(p) for p in paths if not os.path.exists(p)]
        if missing:
            if any(m not in known for m in missing):
                sys.exit("run.sh: missing input %s" % " ".join(missing))
            log("run.sh: making %s in %s" % (" ".join(missing), data_dir))
            for m in missing:
                args = ["--quick"] if m in gen.QUICK else []
                if subprocess.run([sys.executable, GEN] + args + [data_dir, m]).returncode != 0:
                    sys.exit("run.sh: gen-inputs failed")

        stamp = time.strftime("%Y%m%d-%H%M%S")
        results_dir = os.path.abspath(os.environ.get("RESULTS") or os.path.join(
            BENCH, "results", "quick" if quick else stamp))
        os.makedirs(results_dir, exist_ok=True)
        runner = Runner(timeout)
        meta = {"date": time.strftime("%Y-%m-%d %H:%M:%S"), "host": os.uname().nodename,
                "cpus": os.cpu_count(), "load": " ".join(open("/proc/loadavg").read().split()[:3]),
                "versions": tool_versions(tools, brantor), "method": runner.method,
                "reps": cfg["reps"], "warmup": cfg["warmup"], "quick": quick,
                "tools": tools, "jobs": jobs, "inputs": [],
                "env": {k: os.environ.get(k) for k in ("BRANTOR", "INPUTS", "JOBS", "TOOLS", "REPS", "WARMUP",
                                                       "CELL_BUDGET", "TIMEOUT", "CHECK", "MEASURE", "CORPUS")}}
        data = {"meta": meta, "results": []}
        t_start = time.time()
        for path in paths:
            n = page_count(path, known)
            name = os.path.basename(path)
            outline_input = known.get(name, (0, 0, 0, False))[3] or (
                name not in known and cfg["use_qpdf"] and PdfView(path).outline_items()[0] > 0)
            source = Source(path, n, name in known, outline_input, workroot)
            meta["inputs"].append({"name": name, "path": path, "pages": n, "bytes": os.path.getsize(path)})
            with open(path, "rb") as f:  # warm the page cache
                while f.read(1 << 20):
                    pass
            for job in jobs:
                cell = measure_cell(runner, tools, job, source, cfg, workroot)
                for r in cell:
                    r["input"] = name
                    log("%-18s %-10s %-12s wall %7s s  cpu %7s s  rss %6s MB  out %7s MB  runs %d  %s" % (
                        name, job, r["tool"], ft(r["wall_s"]), ft(r["cpu_s"]), fm(r["rss_mb"]),
                        fbytes(r["out_bytes"]), r["runs"],
                        "ok" if r["check"]["ok"] else "FAIL " + "; ".join(r["check"]["notes"][:2])))
                data["results"] += cell
                with open(os.path.join(results_dir, "results.json"), "w") as f:
                    json.dump(data, f, indent=1)
        meta["elapsed_s"] = round(time.time() - t_start, 1)
        with open(os.path.join(results_dir, "results.json"), "w") as f:
            json.dump(data, f, indent=1)
        text = report(data)
        with open(os.path.join(results_dir, "table.md"), "w") as f:
            f.write(text)
        print(text, end="")
        log("results: %s/results.json, table.md (%.0f s)" % (results_dir, time.time() - t_start))
        brantor_failed = [r for r in data["results"] if r["tool"] in BRANTORS and not r["check"]["ok"]]
        return 1 if brantor_failed else 0
    finally:
        shutil.rmtree(workroot, ignore_errors=True)


def interrupted(signum, frame):
    raise KeyboardInterrupt


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, interrupted)
    try:
        sys.exit(main(sys.argv[1:]))
    except KeyboardInterrupt:
        sys.exit(130)
