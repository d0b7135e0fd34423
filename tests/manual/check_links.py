#!/usr/bin/python3
"""Every picture, style sheet and link of the operator's manual leads somewhere.

    check_links.py MANUAL_DIR

Each page (*.html) is read; every src= and href= that is not an address on the web (http:, https:,
mailto:) must name a file of the manual that exists, and a link to a place in a page (#name) must
find an element with that id there. Every picture in img/ must be shown by some page (a picture
no page shows is left behind from an earlier version). Prints what is wrong and exits 1."""

import html.parser
import os
import sys
import urllib.parse

EXTERNAL = ("http:", "https:", "mailto:")


class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.targets = []  # (line, attribute value)
        self.ids = set()

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if name == "id" and value:
                self.ids.add(value)
            if name in ("src", "href") and value is not None:
                self.targets.append((self.getpos()[0], value))


def read(path):
    page = Page()
    with open(path, encoding="utf-8") as file:
        page.feed(file.read())
    return page


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    root = os.path.abspath(sys.argv[1])
    pages = sorted(name for name in os.listdir(root) if name.endswith(".html"))
    if "index.html" not in pages:
        print(f"{root}: no index.html", file=sys.stderr)
        return 1
    parsed = {name: read(os.path.join(root, name)) for name in pages}
    faults = []
    shown = set()
    for name, page in parsed.items():
        for line, target in page.targets:
            if target.startswith(EXTERNAL):
                continue
            parts = urllib.parse.urlsplit(target)
            if parts.scheme or parts.netloc or os.path.isabs(parts.path):
                faults.append(f"{name}:{line}: {target} leads outside the manual")
                continue
            file = os.path.normpath(os.path.join(root, urllib.parse.unquote(parts.path))) if parts.path \
                else os.path.join(root, name)
            if not file.startswith(root + os.sep):
                faults.append(f"{name}:{line}: {target} leads outside the manual")
                continue
            if not os.path.isfile(file):
                faults.append(f"{name}:{line}: {target}: no such file")
                continue
            shown.add(file)
            if parts.fragment:
                other = os.path.relpath(file, root)
                if other not in parsed:
                    faults.append(f"{name}:{line}: {target}: a place in a file that is no page")
                elif urllib.parse.unquote(parts.fragment) not in parsed[other].ids:
                    faults.append(f"{name}:{line}: {target}: {other} has no id {parts.fragment!r}")
    pictures = os.path.join(root, "img")
    if os.path.isdir(pictures):
        for picture in sorted(os.listdir(pictures)):
            if os.path.join(pictures, picture) not in shown:
                faults.append(f"img/{picture}: shown by no page")
    for fault in faults:
        print(fault)
    print(f"{len(pages)} pages, {sum(len(p.targets) for p in parsed.values())} links and pictures checked")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
