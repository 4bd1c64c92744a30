#!/usr/bin/env python3
"""Write the English string table and the id header.

Usage: build_tables.py DOCUMENT REPO_ROOT

Takes the candidates of extract_texts.py from DOCUMENT, applies
corrections.txt (id TAB text replaces or adds a text, id TAB - drops it),
adds unnumbered.txt (texts that the design names without an id, numbered
from 10100 up) and additions.txt (texts the code needs that the design does
not quote, from 10000 up) and writes
  REPO_ROOT/resources/strings/1033.txt   the English table (knot text)
  REPO_ROOT/core/cuStringIds.h            one named constant per id
Names come from names.txt (id TAB name) where given, else from the text.
A text that two places quote differently stops the build.
"""
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from extract_texts import candidates  # noqa: E402

CAPTION_TAGS = ('cap', 'cap-pair', 'caption', 'cell', 'cell-cap')


def unescape(s):
    return s.replace('\\r', '\r').replace('\\n', '\n').replace('\\t', '\t')


def read_pairs(name):
    path = os.path.join(HERE, name)
    pairs = []
    if not os.path.exists(path):
        return pairs
    with open(path, encoding='utf-8') as f:
        for raw in f:
            line = raw.rstrip('\n')
            if not line or line.startswith('#'):
                continue
            key, _, value = line.partition('\t')
            pairs.append((int(key), unescape(value)))
    return pairs


def escape_knot(text):
    out = []
    for ch in text:
        if ch == '&':
            out.append('&amp;')
        elif ch == '<':
            out.append('&lt;')
        elif ch == '>':
            out.append('&gt;')
        elif ch == '"':
            out.append('&quot;')
        elif 1 <= ord(ch) <= 31:
            out.append('&#%d;' % ord(ch))
        else:
            out.append(ch)
    return ''.join(out)


def write_table(path, language, texts):
    lines = ['<Strings Language="%d">' % language]
    for i in sorted(texts):
        lines.append('\t<S Id="%d" Text="%s"/>' % (i, escape_knot(texts[i])))
    lines.append('</Strings>')
    with open(path, 'w', encoding='utf-8-sig', newline='') as f:
        f.write('\r\n'.join(lines) + '\r\n')


def camel(text, words=4, keep_small=False):
    text = re.sub(r'%\d|%[sd]|\[|\]', ' ', text.split('\r\n')[0])
    parts = re.findall(r'[A-Za-z0-9]+', text.replace('\u00a0', ' '))
    small = {'a', 'an', 'the', 'of', 'to', 'in', 'is', 'be', 'for', 'and', 'or', 'by', 'it', 'on', 'at'}
    picked = parts if keep_small else [p for p in parts if p.lower() not in small] or parts
    return ''.join(p[:1].upper() + p[1:] for p in picked[:words])


def main():
    doc, root = sys.argv[1], sys.argv[2]
    with open(doc, encoding='utf-8') as f:
        lines = f.read().split('\n')
    texts, tags, where = {}, {}, {}
    corrections = dict(read_pairs('corrections.txt'))
    conflicts = []
    for cid, no, tag, text in candidates(lines):
        if cid in texts and texts[cid] != text and cid not in corrections:
            conflicts.append('%d: line %d %r / line %d %r' % (cid, where[cid], texts[cid], no, text))
        if cid not in texts:
            texts[cid], tags[cid], where[cid] = text, tag, no
    if conflicts:
        sys.exit('conflicting texts:\n' + '\n'.join(conflicts))
    for cid, text in corrections.items():
        if text == '-':
            texts.pop(cid, None)
        else:
            texts[cid] = text
            tags.setdefault(cid, 'fixed')
    for cid, text in read_pairs('unnumbered.txt'):
        assert cid >= 10100 and cid not in texts, cid
        texts[cid], tags[cid] = text, 'unnumbered'
    for cid, text in read_pairs('additions.txt'):
        assert cid >= 10000 and cid not in texts, cid
        texts[cid], tags[cid] = text, 'added'
    write_table(os.path.join(root, 'resources', 'strings', '1033.txt'), 1033, texts)

    names = dict((i, n) for i, n in read_pairs('names.txt'))
    used, header, dups = {}, [], []
    for cid in sorted(texts):
        name = names.get(cid)
        if not name:
            prev = cid - 1
            if tags[cid] in ('hint', 'hint-next') and tags.get(prev) in CAPTION_TAGS:
                name = 'str' + camel(texts[prev], 6, True) + 'Hint'
            elif tags[cid] in CAPTION_TAGS or len(texts[cid]) < 25:
                name = 'str' + camel(texts[cid], 6, True)
            else:
                name = 'str' + camel(texts[cid])
        if name in used:
            dups.append('%s: %d and %d' % (name, used[name], cid))
        used[name] = cid
        header.append('constexpr int %s = %d;' % (name, cid))
    if dups:
        sys.exit('duplicate names (add entries to names.txt):\n' + '\n'.join(dups))
    with open(os.path.join(root, 'core', 'cuStringIds.h'), 'w', encoding='utf-8') as f:
        f.write('#pragma once\n'
                '// Named string-table ids. Every constant here has an English text in\n'
                '// resources/strings/1033.txt (a test checks it). Texts numbered from 10000\n'
                '// up exist in English only.\n\n')
        f.write('\n'.join(header) + '\n')
    print('%d English texts' % len(texts))


if __name__ == '__main__':
    main()
