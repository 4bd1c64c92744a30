#!/usr/bin/env python3
"""Collect numbered English texts quoted in a design document.

Usage: extract_texts.py DOCUMENT [--report]

Prints one candidate per line: id, line number, pattern tag and the text
(CR LF shown as \\r\\n).  The result is a draft: every candidate is reviewed
by hand and corrections are kept in corrections.txt, which build_tables.py
applies when it writes the English table.

Recognised forms (ID is a number from 2000 to 9999):
  ID "text"   ID: "text"   ID, "text"   ID ("text")   ID 'text'
  "text" (ID)   "text" (ID, ...)   "text" (caption ID ...)   "text" (string ID)
  "text" (ID, "hint")        -> the hint gets ID + 1
  | ID | "text" |             table cell followed by a text cell
  | "text" | ID1, ID2 ...    caption cell followed by its id pair
  | "text" | ID |            caption cell followed by its id
"""
import re
import sys

ID = r'(?<![$\w.])([2-9]\d{3})(?![\w.]\d)'


def scan_quoted(line, start):
    """Return (text, end) for the quoted text opening at `start`, or None.

    Inner quotes come in pairs: an inner opening quote follows a space or an
    opening bracket and is followed by a non-space; its partner closes it.
    """
    q = line[start]
    if q == "'":
        end = line.find("'", start + 1)
        # an apostrophe inside a word is not the end
        while end != -1 and end + 1 < len(line) and line[end + 1].isalpha():
            end = line.find("'", end + 1)
        if end == -1:
            return None
        return line[start + 1:end], end + 1
    pos = start + 1
    while True:
        q1 = line.find('"', pos)
        if q1 == -1:
            return None
        before = line[q1 - 1] if q1 > start + 1 else ' '
        after = line[q1 + 1] if q1 + 1 < len(line) else ''
        if before in ' ([' and after not in ' ' and after != '' and q1 > start + 1:
            q2 = line.find('"', q1 + 1)
            if q2 == -1:
                return None
            pos = q2 + 1
            continue
        return line[start + 1:q1], q1 + 1


CONTINUATIONS = [
    # "first" and a second line "second"  /  "first" and "second")
    (re.compile(r' and (?:a second line )?(?=")'), '\r\n'),
    # , a line break (CR LF), then "second"
    (re.compile(r', a line break(?: \(CR LF\))?,? (?:then )?(?=")'), '\r\n'),
    # , two line breaks, "second"
    (re.compile(r', two line breaks, (?=")'), '\r\n\r\n'),
    # "one", "two", "three" (a list of choices, one per line)
    (re.compile(r', (?=")'), '\r\n'),
]


def scan_text(line, start, in_parens):
    """A quoted text with the continuations that the prose describes."""
    r = scan_quoted(line, start)
    if not r:
        return None
    text, end = r
    last_second = None
    while True:
        for rx, sep in CONTINUATIONS:
            m = rx.match(line, end)
            # a bare list only inside brackets, where it cannot be prose
            if m and (sep != '\r\n' or rx is not CONTINUATIONS[-1][0] or in_parens):
                r2 = scan_quoted(line, m.end())
                if r2:
                    text += sep + r2[0]
                    end = r2[1]
                    last_second = r2[0]
                    break
        else:
            m = re.compile(r' and the same second line').match(line, end)
            if m and SECOND_LINE[0] is not None:
                text += '\r\n' + SECOND_LINE[0]
                end = m.end()
            break
    if last_second is not None:
        SECOND_LINE[0] = last_second
    return text, end


SECOND_LINE = [None]


def candidates(lines):
    for no, line in enumerate(lines, 1):
        taken = set()

        def emit(i, text, tag):
            taken.add(i)
            before = re.search(r'(\w+)\W*' + i + r'\b', line)
            if tag == 'id-text' and before and before.group(1) in ('caption', 'hint'):
                tag = before.group(1)
            return (int(i), no, tag, text)

        # "Caption" (ID, "hint" ...)  -> caption ID, hint ID + 1
        for m in re.finditer(r'"([^"]+)" \(' + ID + r', (?=["\'])', line):
            r = scan_text(line, m.end(), True)
            yield emit(m.group(2), m.group(1), 'cap-pair')
            if r:
                yield emit(str(int(m.group(2)) + 1), r[0], 'hint-next')
        # "Caption" (ID) / (ID, ...) / (caption ID / (string ID
        for m in re.finditer(r'"([^"]+)" \((?:caption |string )?' + ID + r'(?=[),;])', line):
            if m.group(2) not in taken:
                yield emit(m.group(2), m.group(1), 'cap')
        # "Caption" | ID1, ID2   (caption cell and its ids)
        for m in re.finditer(r'\| "([^"]+)" \| ' + ID + r', ' + ID, line):
            if m.group(2) not in taken:
                yield emit(m.group(2), m.group(1), 'cell-cap')
        # | "Caption" | ID |   (a caption cell followed by its id cell)
        for m in re.finditer(r'^\| "([^"]+)" \| ' + ID + r' \|', line):
            if m.group(2) not in taken:
                yield emit(m.group(2), m.group(1), 'cell-cap')
        # | ID | "text" |
        for m in re.finditer(r'(?<!\) )\| ' + ID + r' \| (?=")', line):
            r = scan_quoted(line, m.end())
            if r and m.group(1) not in taken:
                yield emit(m.group(1), r[0], 'cell')
        # ID "text", ID: "text", ID, "text", ID ("text"
        for m in re.finditer(ID + r'(?::|,)? (\(?)(?=["\'])', line):
            if m.group(1) in taken:
                continue
            r = scan_text(line, m.end(), bool(m.group(2)))
            if r:
                yield emit(m.group(1), r[0], 'id-text')


def main():
    path = sys.argv[1]
    with open(path, encoding='utf-8') as f:
        lines = f.read().split('\n')
    for cid, no, tag, text in candidates(lines):
        text = text.replace('\r', '\\r').replace('\n', '\\n')
        print(f'{cid}\t{no}\t{tag}\t{text}')


if __name__ == '__main__':
    main()
