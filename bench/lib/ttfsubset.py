"""Cut a TrueType font down to the glyphs of a few characters.

Used by gen-inputs to embed small /FontFile2 fonts in the benchmark PDFs.
The result keeps the hinting programs (fpgm, prep, cvt) and renumbers the
kept glyphs densely: .notdef first, then the glyphs of the requested
characters and every glyph their composites use.  The new font has a
(3,1) format 4 cmap for the requested characters, a format 3 post table
and a small name table; layout tables (GSUB, GPOS, kern, ...) are dropped.
"""
import struct

ARG_1_AND_2_ARE_WORDS = 0x0001
WE_HAVE_A_SCALE = 0x0008
MORE_COMPONENTS = 0x0020
WE_HAVE_AN_X_AND_Y_SCALE = 0x0040
WE_HAVE_A_TWO_BY_TWO = 0x0080


class Font:
    """The parts of a TrueType font that a PDF font dictionary needs."""

    def __init__(self, data, name):
        self.data = data
        self.name = name
        self.tables = {}
        (num_tables,) = struct.unpack(">H", data[4:6])
        for i in range(num_tables):
            tag, _, off, length = struct.unpack(">4sIII", data[12 + 16 * i:28 + 16 * i])
            self.tables[tag.decode("latin-1")] = data[off:off + length]
        head = self.tables["head"]
        self.units_per_em = struct.unpack(">H", head[18:20])[0]
        self.bbox = struct.unpack(">hhhh", head[36:44])
        self.long_loca = struct.unpack(">h", head[50:52])[0] == 1
        hhea = self.tables["hhea"]
        self.ascent, self.descent = struct.unpack(">hh", hhea[4:8])
        self.num_hmetrics = struct.unpack(">H", hhea[34:36])[0]
        self.num_glyphs = struct.unpack(">H", self.tables["maxp"][4:6])[0]
        os2 = self.tables.get("OS/2", b"")
        self.weight = struct.unpack(">H", os2[4:6])[0] if len(os2) >= 6 else 400
        self.cap_height = struct.unpack(">h", os2[88:90])[0] if len(os2) >= 90 else self.ascent
        post = self.tables.get("post", b"\0" * 8)
        self.italic_angle = struct.unpack(">i", post[4:8])[0] / 65536.0
        self.fixed_pitch = len(post) >= 16 and struct.unpack(">I", post[12:16])[0] != 0
        self.cmap = self._read_cmap()

    def _read_cmap(self):
        cmap = self.tables["cmap"]
        (count,) = struct.unpack(">H", cmap[2:4])
        for i in range(count):
            pid, eid, off = struct.unpack(">HHI", cmap[4 + 8 * i:12 + 8 * i])
            if (pid, eid) in ((3, 1), (0, 3)) and struct.unpack(">H", cmap[off:off + 2])[0] == 4:
                return self._read_format4(cmap, off)
        raise ValueError("%s: no Unicode BMP format 4 cmap" % self.name)

    @staticmethod
    def _read_format4(cmap, off):
        seg_x2 = struct.unpack(">H", cmap[off + 6:off + 8])[0]
        n = seg_x2 // 2
        ends = struct.unpack(">%dH" % n, cmap[off + 14:off + 14 + seg_x2])
        p = off + 16 + seg_x2
        starts = struct.unpack(">%dH" % n, cmap[p:p + seg_x2])
        deltas = struct.unpack(">%dh" % n, cmap[p + seg_x2:p + 2 * seg_x2])
        ro_pos = p + 2 * seg_x2
        offsets = struct.unpack(">%dH" % n, cmap[ro_pos:ro_pos + seg_x2])
        result = {}
        for s in range(n):
            for code in range(starts[s], ends[s] + 1):
                if code == 0xFFFF:
                    continue
                if offsets[s] == 0:
                    gid = (code + deltas[s]) & 0xFFFF
                else:
                    at = ro_pos + 2 * s + offsets[s] + 2 * (code - starts[s])
                    gid = struct.unpack(">H", cmap[at:at + 2])[0]
                    if gid:
                        gid = (gid + deltas[s]) & 0xFFFF
                if gid:
                    result[code] = gid
        return result

    def glyph(self, gid):
        loca = self.tables["loca"]
        if self.long_loca:
            a, b = struct.unpack(">II", loca[4 * gid:4 * gid + 8])
        else:
            a, b = struct.unpack(">HH", loca[2 * gid:2 * gid + 4])
            a, b = 2 * a, 2 * b
        return self.tables["glyf"][a:b]

    def advance(self, gid):
        hmtx = self.tables["hmtx"]
        i = min(gid, self.num_hmetrics - 1)
        return struct.unpack(">H", hmtx[4 * i:4 * i + 2])[0]

    def lsb(self, gid):
        hmtx = self.tables["hmtx"]
        if gid < self.num_hmetrics:
            return struct.unpack(">h", hmtx[4 * gid + 2:4 * gid + 4])[0]
        at = 4 * self.num_hmetrics + 2 * (gid - self.num_hmetrics)
        return struct.unpack(">h", hmtx[at:at + 2])[0]

    def width_1000(self, code):
        """Advance width of a character in 1/1000 em (PDF /Widths units)."""
        gid = self.cmap.get(code, 0)
        return int(round(self.advance(gid) * 1000.0 / self.units_per_em))


def components(glyph):
    """(offset of the glyph index, glyph index) of every component of a composite glyph."""
    out = []
    if len(glyph) < 10 or struct.unpack(">h", glyph[0:2])[0] >= 0:
        return out
    p = 10
    while True:
        flags, gid = struct.unpack(">HH", glyph[p:p + 4])
        out.append((p + 2, gid))
        p += 4 + (4 if flags & ARG_1_AND_2_ARE_WORDS else 2)
        if flags & WE_HAVE_A_SCALE:
            p += 2
        elif flags & WE_HAVE_AN_X_AND_Y_SCALE:
            p += 4
        elif flags & WE_HAVE_A_TWO_BY_TWO:
            p += 8
        if not flags & MORE_COMPONENTS:
            return out


def checksum(data):
    data += b"\0" * (-len(data) % 4)
    return sum(struct.unpack(">%dI" % (len(data) // 4), data)) & 0xFFFFFFFF


def name_table(family, style, ps_name):
    recs = [(1, family), (2, style), (4, family + (" " + style if style != "Regular" else "")),
            (6, ps_name)]
    strings = b""
    records = b""
    for nid, text in recs:
        raw = text.encode("utf-16-be")
        records += struct.pack(">HHHHHH", 3, 1, 0x409, nid, len(raw), len(strings))
        strings += raw
    return struct.pack(">HHH", 0, len(recs), 6 + 12 * len(recs)) + records + strings


def subset(font, codes, ps_name):
    """Bytes of a TrueType font holding only the glyphs for `codes` (Unicode BMP)."""
    codes = sorted(c for c in set(codes) if c in font.cmap)
    keep = {0}
    todo = [font.cmap[c] for c in codes]
    while todo:
        gid = todo.pop()
        if gid in keep:
            continue
        keep.add(gid)
        todo.extend(g for _, g in components(font.glyph(gid)))
    order = sorted(keep)
    new_id = {old: new for new, old in enumerate(order)}

    glyf = bytearray()
    loca = [0]
    hmtx = bytearray()
    for old in order:
        g = bytearray(font.glyph(old))
        for at, comp in components(bytes(g)):
            struct.pack_into(">H", g, at, new_id[comp])
        glyf += g
        glyf += b"\0" * (-len(glyf) % 4)
        loca.append(len(glyf))
        hmtx += struct.pack(">Hh", font.advance(old), font.lsb(old))

    head = bytearray(font.tables["head"])
    struct.pack_into(">I", head, 8, 0)        # checkSumAdjustment, set below
    struct.pack_into(">h", head, 50, 1)       # long loca
    hhea = bytearray(font.tables["hhea"])
    struct.pack_into(">H", hhea, 34, len(order))
    maxp = bytearray(font.tables["maxp"])
    struct.pack_into(">H", maxp, 4, len(order))
    post = bytearray(font.tables["post"][:32])
    struct.pack_into(">I", post, 0, 0x00030000)

    # cmap: one format 4 segment per character, then the closing 0xFFFF segment
    ends = codes + [0xFFFF]
    deltas = [(new_id[font.cmap[c]] - c) & 0xFFFF for c in codes] + [1]
    n = len(ends)
    sub = struct.pack(">%dH" % n, *ends) + b"\0\0" + struct.pack(">%dH" % n, *ends)
    sub += struct.pack(">%dH" % n, *deltas) + b"\0\0" * n
    search = 2
    sel = 0
    while search * 2 <= n:
        search *= 2
        sel += 1
    fmt4 = struct.pack(">HHHHHHH", 4, 14 + len(sub), 0, 2 * n, 2 * search, sel, 2 * n - 2 * search) + sub
    cmap = struct.pack(">HHHHI", 0, 1, 3, 1, 12) + fmt4

    family, _, style = font.name.partition("-")
    tables = {
        "OS/2": font.tables.get("OS/2"), "cmap": cmap, "cvt ": font.tables.get("cvt "),
        "fpgm": font.tables.get("fpgm"), "glyf": bytes(glyf), "head": bytes(head),
        "hhea": bytes(hhea), "hmtx": bytes(hmtx),
        "loca": struct.pack(">%dI" % len(loca), *loca), "maxp": bytes(maxp),
        "name": name_table(family, style or "Regular", ps_name),
        "post": bytes(post), "prep": font.tables.get("prep"),
    }
    tables = {k: v for k, v in tables.items() if v is not None}
    tags = sorted(tables)
    num = len(tags)
    search = 1
    sel = 0
    while search * 2 <= num:
        search *= 2
        sel += 1
    out = bytearray(struct.pack(">IHHHH", 0x00010000, num, 16 * search, sel, 16 * num - 16 * search))
    offset = 12 + 16 * num
    body = bytearray()
    head_off = 0
    for tag in tags:
        data = tables[tag]
        if tag == "head":
            head_off = offset + len(body)
        out += struct.pack(">4sIII", tag.encode("latin-1"), checksum(data), offset + len(body), len(data))
        body += data + b"\0" * (-len(data) % 4)
    out += body
    struct.pack_into(">I", out, head_off + 8, (0xB1B0AFBA - checksum(bytes(out))) & 0xFFFFFFFF)
    return bytes(out)
