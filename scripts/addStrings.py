#!/usr/bin/env python3
"""Add texts to every language table, kept in id order.

Usage: scripts/addStrings.py <checkout> <file.json>
file.json: {"15100": {"1033": "English", "1031": "Deutsch", ... all eleven}, ...}
Texts are given plain; XML entities are applied here (& < > " and line breaks).
An id already present is replaced.
"""
import json, re, sys, pathlib
LANGS = ["1031","1033","1034","1036","1040","1041","1043","1045","1046","1049","2052"]
def esc(t):
    return (t.replace("&","&amp;").replace("<","&lt;").replace(">","&gt;")
             .replace('"',"&quot;").replace("\r\n","\n").replace("\n","&#13;&#10;"))
repo = pathlib.Path(sys.argv[1]); data = json.load(open(sys.argv[2], encoding="utf-8"))
for lang in LANGS:
    p = repo/"resources"/"strings"/f"{lang}.txt"
    text = p.read_bytes().decode("utf-8-sig")
    nl = "\r\n" if "\r\n" in text else "\n"
    lines = text.replace("\r\n","\n").split("\n")
    head = lines[0]; body = [l for l in lines[1:] if l.strip() and l.strip() != "</Strings>"]
    entries = {}
    for l in body:
        m = re.match(r'\s*<S Id="(\d+)"', l)
        if not m: sys.exit(f"{p}: unexpected line {l!r}")
        entries[int(m.group(1))] = l
    for sid, tr in data.items():
        if lang not in tr: sys.exit(f"missing {lang} for {sid}")
        entries[int(sid)] = f'\t<S Id="{sid}" Text="{esc(tr[lang])}"/>'
    out = "\ufeff" + head + nl + nl.join(entries[i] for i in sorted(entries)) + nl + "</Strings>" + nl
    p.write_bytes(out.encode("utf-8"))
print("ok", len(data))
