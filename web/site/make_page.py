#!/usr/bin/env python3
"""Builds the browser edition's static site into a folder.

    make_page.py <rc template> <svg icon> <site source folder> <output folder>

- index.html: the dialog's groups, captions and controls read from the window's resource
  template (dialog 101 and menu 4): its columns, groups, rows and tab order. Captions are
  written in English with their source text in data-caption; the page replaces them with
  the module's captions in the chosen language.
- the page's static files (style.css, js/, manifest.webmanifest) copied as they are;
- icons 192/512 (and maskable ones on a full-bleed background) rendered from the program's
  SVG icon with rsvg-convert;
- sw.js with the list of every file of the site and a cache name from their contents, so
  a new build replaces the old cache.

Run it after the module (tarvex.js, tarvex.wasm) is in the output folder.
"""
import hashlib
import html
import os
import re
import shutil
import subprocess
import sys

MENU_IDS = {
    "ID_FILE_INITIALIZE": 57600,
    "ID_FILE_OPEN": 57601,
    "ID_FILE_SAVE": 57603,
    "ID_FILE_SAVE_AS": 57604,
    "ID_FILE_MRU_FILE1": 57616,
    "ID_APP_ABOUT": 57664,
    "ID_APP_EXIT": 57665,
    "ID_CONNECT_READ": 32771,
    "ID_CONNECT_WRITE": 32772,
    "ID_FILE_RESTORE": 32781,
}

CONTROL = re.compile(
    r'^\s*CONTROL\s+(_\("(?P<cap>(?:[^"\\]|\\.)*)"\)|"(?P<plain>[^"]*)")\s*,\s*(?P<id>-?\d+)\s*,'
    r'\s*"(?P<cls>[^"]+)"\s*,\s*(?P<style>[^,]+)\s*,\s*(?P<x>\d+)\s*,\s*(?P<y>\d+)\s*,'
    r'\s*(?P<w>\d+)\s*,\s*(?P<h>\d+)'
)
MENU_ITEM = re.compile(r'^\s*MENUITEM\s+_M\("(?P<cap>[^"]*)"\)\s*,\s*(?P<cmd>\w+)(?P<rest>.*)$')
POPUP = re.compile(r'^\s*POPUP\s+_M\("(?P<cap>[^"]*)"\)')


def unescape(text):
    return text.replace("\\n", "\n").replace("\\t", "\t").replace('\\"', '"')


def parse(rc):
    controls, menus = [], []
    section = None
    for line in rc.splitlines():
        if line.startswith("IDD_TARVEX_DIALOG"):
            section = "dialog"
        elif line.startswith("IDR_MAINMENU"):
            section = "menu"
        elif line.startswith("STRINGTABLE"):
            section = None
        if section == "dialog":
            m = CONTROL.match(line)
            if m:
                controls.append(
                    {
                        "caption": unescape(m["cap"]) if m["cap"] is not None else m["plain"],
                        "id": int(m["id"]),
                        "cls": m["cls"],
                        "style": m["style"],
                        "x": int(m["x"]),
                        "y": int(m["y"]),
                        "w": int(m["w"]),
                        # A drop-down list's height is that of its open list; closed it
                        # is one line high.
                        "h": 12 if m["cls"] == "ComboBox" else int(m["h"]),
                    }
                )
        elif section == "menu":
            m = POPUP.match(line)
            if m:
                menus.append({"caption": unescape(m["cap"]), "items": []})
                continue
            if re.match(r"^\s*MENUITEM\s+SEPARATOR", line):
                menus[-1]["items"].append(None)
                continue
            m = MENU_ITEM.match(line)
            if m:
                menus[-1]["items"].append(
                    {
                        "caption": unescape(m["cap"]),
                        "id": MENU_IDS[m["cmd"]],
                        "grayed": "GRAYED" in m["rest"],
                    }
                )
    return controls, menus


def contains(box, c):
    return (
        box["x"] <= c["x"]
        and box["y"] <= c["y"]
        and c["x"] + c["w"] <= box["x"] + box["w"]
        and c["y"] + c["h"] <= box["y"] + box["h"]
        and box is not c
    )


def esc(text):
    return html.escape(text, quote=True)


def caption_attrs(source, comment=""):
    attrs = f' data-caption="{esc(source)}"'
    if comment:
        attrs += f' data-comment="{esc(comment)}"'
    return attrs


def plain(source):
    text = re.sub(r"&(.)", r"\1", source)
    return esc(text.replace("\n", " ").split("\t")[0])


class Page:
    def __init__(self, controls):
        self.controls = controls
        self.groups = [c for c in controls if "BS_GROUPBOX" in c["style"]]
        self.out = []

    def parent(self, c):
        best = None
        for g in self.groups:
            if contains(g, c) and (best is None or contains(best, g)):
                best = g
        return best

    def column(self, c):
        return "left" if c["x"] < 97 else "middle" if c["x"] < 299 else "right"

    def build(self):
        tops = [c for c in self.controls if self.parent(c) is None]
        columns = {"left": [], "middle": [], "right": [], "buttons": []}
        loose = []  # controls outside any group, in a column: one block per run
        for c in tops:
            if c["id"] in (1059, 1060):
                columns["buttons"].append(c)
                continue
            col = self.column(c)
            if c in self.groups:
                columns[col].append(c)
            else:
                if not columns[col] or not isinstance(columns[col][-1], list):
                    columns[col].append([])
                columns[col][-1].append(c)
            loose.append(c)
        out = ['<form id="dialog" class="dialog" autocomplete="off" novalidate>']
        for col in ("left", "middle", "right"):
            out.append(f'<div class="column column-{col}">')
            for item in columns[col]:
                if isinstance(item, list):
                    out.append('<div class="block">')
                    out += self.rows(item, None)
                    out.append("</div>")
                else:
                    out += self.group(item)
            out.append("</div>")
        out.append('<div class="buttons">')
        for c in columns["buttons"]:
            out.append(self.button(c))
        out.append("</div>")
        out.append("</form>")
        return "\n".join(out)

    def group(self, g):
        gid = f"g{g['x']}_{g['y']}"
        children = [c for c in self.controls if self.parent(c) is g]
        radios = [c for c in children if "BS_AUTORADIOBUTTON" in c["style"]]
        out = []
        kind = "radios" if radios and len(radios) == len(children) else "group"
        attrs = f' id="{gid}" class="{kind}"'
        if kind == "radios":
            attrs += ' role="radiogroup"'
            attrs += f' aria-labelledby="{gid}-legend"'
        out.append(f"<fieldset{attrs}>")
        out.append(
            f'<legend id="{gid}-legend" class="caption"{caption_attrs(g["caption"])}>'
            f'{plain(g["caption"])}</legend>'
        )
        if kind == "radios":
            out.append('<div class="radio-row">')
            for c in radios:
                out.append(self.radio(c, gid))
            out.append("</div>")
        else:
            out += self.rows(children, gid)
        out.append("</fieldset>")
        return out

    def rows(self, children, gid):
        out = []
        pending = []
        rows = []
        for c in children:
            if c in self.groups:
                if pending:
                    rows.append(pending)
                    pending = []
                rows.append(c)
                continue
            if pending and abs(c["y"] - pending[0]["y"]) > 6:
                rows.append(pending)
                pending = []
            pending.append(c)
        if pending:
            rows.append(pending)
        n = 0
        for row in rows:
            if isinstance(row, dict):
                out += self.group(row)
                continue
            n += 1
            out.append(self.row(row, gid, n))
        return out

    def row(self, row, gid, n):
        label_id = None
        parts = []
        cls = "row"
        for i, c in enumerate(row):
            cid = c["id"]
            if c["cls"] == "Static":
                target = row[i + 1]["id"] if i + 1 < len(row) else None
                label_id = f"l{target}"
                multi = " multi" if "\n" in c["caption"] else ""
                multi += " right" if "SS_RIGHT" in c["style"] else ""
                parts.append(
                    f'<label id="{label_id}" class="caption label{multi}" for="c{target}"'
                    f'{caption_attrs(c["caption"])}>{plain(c["caption"])}</label>'
                )
            elif c["cls"] == "Edit":
                if cid == 1061:
                    cls += " status-row"
                    parts.append(
                        f'<output id="c{cid}" data-control="{cid}" class="status"'
                        f' data-name="Status, %1" data-group="{gid}" aria-live="polite"></output>'
                    )
                elif "WS_BORDER" not in c["style"]:
                    # A label box: its text ("Right", "Left/In") names the row.
                    label_id = f"c{cid}"
                    parts.append(
                        f'<input id="c{cid}" data-control="{cid}" class="labelbox" readonly'
                        f' tabindex="-1" data-name="Direction, %1, row %2" data-group="{gid}"'
                        f' data-row="{n}">'
                    )
                else:
                    named = (
                        f' aria-labelledby="{label_id}"'
                        if label_id
                        else f' aria-labelledby="{gid}-legend"'
                    )
                    if label_id and label_id.startswith("c"):
                        named = f' aria-labelledby="{gid}-legend {label_id}"'
                    # Only the ID box is a tab stop; the value boxes show the sliders' values.
                    stop = "" if "WS_TABSTOP" in c["style"] else ' tabindex="-1"'
                    parts.append(
                        f'<input id="c{cid}" data-control="{cid}" class="value" readonly'
                        f' inputmode="numeric"{stop}{named}>'
                    )
            elif c["cls"] == "msctls_trackbar32":
                named = f' aria-labelledby="{label_id}"' if label_id else ""
                if label_id and label_id.startswith("c"):
                    named = f' aria-labelledby="{gid}-legend {label_id}"'
                parts.append(
                    f'<input type="range" id="c{cid}" data-control="{cid}" class="slider"'
                    f"{named}>"
                )
            elif c["cls"] == "ComboBox":
                parts.append(f'<select id="c{cid}" data-control="{cid}"></select>')
            elif "BS_PUSHLIKE" in c["style"]:
                cls += " buttons-row"
                parts.append(
                    f'<button type="button" id="c{cid}" data-control="{cid}" class="caption"'
                    f' aria-pressed="false"{caption_attrs(c["caption"])}>'
                    f'{plain(c["caption"])}</button>'
                )
            elif "BS_PUSHBUTTON" in c["style"]:
                parts.append(self.button(c))
            elif "BS_AUTOCHECKBOX" in c["style"]:
                hidden = " hidden" if "NOT WS_VISIBLE" in c["style"] else ""
                parts.append(
                    f'<label class="check"{hidden}><input type="checkbox" id="c{cid}"'
                    f' data-control="{cid}"><span class="caption"{caption_attrs(c["caption"])}>'
                    f'{plain(c["caption"])}</span></label>'
                )
            else:
                raise SystemExit(f"control {cid}: no web form for {c['cls']} {c['style']}")
        if any(c["cls"] == "msctls_trackbar32" for c in row):
            cls += " slider-row"
        return f'<div class="{cls}">' + "".join(parts) + "</div>"

    def radio(self, c, gid):
        cid = c["id"]
        return (
            f'<label class="radio"><input type="radio" name="{gid}" id="c{cid}"'
            f' data-control="{cid}"><span class="caption"{caption_attrs(c["caption"])}>'
            f'{plain(c["caption"])}</span></label>'
        )

    def button(self, c):
        cid = c["id"]
        return (
            f'<button type="button" id="c{cid}" data-control="{cid}" class="caption"'
            f'{caption_attrs(c["caption"])}>{plain(c["caption"])}</button>'
        )


def menubar(menus):
    out = ['<nav class="menubar-wrap"><div id="menubar" class="menubar" role="menubar">']
    for i, menu in enumerate(menus):
        out.append('<div class="menu-top" role="none">')
        out.append(
            f'<button type="button" id="menu{i}" class="caption menu-title" role="menuitem"'
            f' aria-haspopup="menu" aria-expanded="false" aria-controls="menu{i}-list"'
            f' tabindex="{0 if i == 0 else -1}"{caption_attrs(menu["caption"], "menu")}>'
            f'{plain(menu["caption"])}</button>'
        )
        out.append(
            f'<div id="menu{i}-list" class="menu" role="menu" aria-labelledby="menu{i}" hidden>'
        )
        for item in menu["items"]:
            if item is None:
                out.append('<div role="separator" class="separator"></div>')
                continue
            source, _, keys = item["caption"].partition("\t")
            if item["id"] == MENU_IDS["ID_FILE_MRU_FILE1"]:
                out.append('<div id="recent-files" class="recent" role="none">')
            grayed = ' aria-disabled="true"' if item["grayed"] else ""
            out.append(
                f'<button type="button" role="menuitem" tabindex="-1" data-command="{item["id"]}"'
                f' class="menu-item"{grayed}>'
                f'<span class="caption"{caption_attrs(item["caption"], "menu")}>'
                f"{plain(source)}</span>"
                f'<span class="keys" aria-hidden="true">{esc(keys)}</span></button>'
            )
            if item["id"] == MENU_IDS["ID_FILE_MRU_FILE1"]:
                out.append("</div>")
        out.append("</div></div>")
    out.append("</div></nav>")
    return "\n".join(out)


def render_icons(svg, out):
    icons = os.path.join(out, "icons")
    os.makedirs(icons, exist_ok=True)
    for size in (192, 512):
        subprocess.run(
            ["rsvg-convert", "-w", str(size), "-h", str(size), "-o",
             os.path.join(icons, f"tarvex-{size}.png"), svg],
            check=True,
        )
        # Maskable: the icon inside the safe zone (80 %) on a full-bleed background.
        inner = int(size * 0.7)
        with open(svg, encoding="utf-8") as f:
            source = f.read()
        body = re.sub(r"^<\?xml[^>]*>\s*", "", source)
        wrapped = (
            f'<svg xmlns="http://www.w3.org/2000/svg" width="{size}" height="{size}">'
            f'<rect width="{size}" height="{size}" fill="#1d3b5c"/>'
            f'<svg x="{(size - inner) // 2}" y="{(size - inner) // 2}" width="{inner}"'
            f' height="{inner}" viewBox="0 0 256 256">{body}</svg></svg>'
        )
        subprocess.run(
            ["rsvg-convert", "-w", str(size), "-h", str(size), "-o",
             os.path.join(icons, f"tarvex-maskable-{size}.png")],
            input=wrapped.encode("utf-8"),
            check=True,
        )
    shutil.copy(svg, os.path.join(icons, "tarvex.svg"))


def main():
    rc_path, svg, site, out = sys.argv[1:5]
    os.makedirs(out, exist_ok=True)
    with open(rc_path, encoding="utf-8") as f:
        rc = f.read()
    if "IDD_TARVEX_DIALOG" not in rc:
        # tarvex.rc names the window's template, which sits beside it.
        with open(os.path.join(os.path.dirname(rc_path), "tarvex_languages.rc.in"), encoding="utf-8") as f:
            rc = f.read()
    controls, menus = parse(rc)
    ids = sorted(c["id"] for c in controls if c["id"] > 0)
    if ids != list(range(1001, 1064)):
        raise SystemExit("the dialog's controls are not 1001..1063")

    for name in os.listdir(site):
        if name in ("make_page.py", "index.in.html", "sw.in.js", "__pycache__"):
            continue
        src = os.path.join(site, name)
        dst = os.path.join(out, name)
        if os.path.isdir(src):
            shutil.copytree(src, dst, dirs_exist_ok=True)
        else:
            shutil.copy(src, dst)
    render_icons(svg, out)

    with open(os.path.join(site, "index.in.html"), encoding="utf-8") as f:
        page = f.read()
    page = page.replace("@MENUBAR@", menubar(menus)).replace("@DIALOG@", Page(controls).build())
    with open(os.path.join(out, "index.html"), "w", encoding="utf-8") as f:
        f.write(page)

    files = []
    for root, _, names in os.walk(out):
        for name in names:
            rel = os.path.relpath(os.path.join(root, name), out).replace(os.sep, "/")
            if rel != "sw.js":
                files.append(rel)
    files.sort()
    digest = hashlib.sha256()
    for rel in files:
        digest.update(rel.encode())
        with open(os.path.join(out, rel), "rb") as f:
            digest.update(f.read())
    with open(os.path.join(site, "sw.in.js"), encoding="utf-8") as f:
        sw = f.read()
    listed = ",\n  ".join(f"'./{rel}'" for rel in ["", *files])
    sw = sw.replace("@VERSION@", digest.hexdigest()[:16]).replace("@FILES@", listed)
    with open(os.path.join(out, "sw.js"), "w", encoding="utf-8") as f:
        f.write(sw)


if __name__ == "__main__":
    main()
