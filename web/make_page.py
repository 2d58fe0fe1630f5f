#!/usr/bin/env python3
"""Puts the page together: its markup with its style, its script, the rules'
loader and WebAssembly, the help pages, the About picture and the icon
inside, so that the built page is one file that needs nothing else.

Usage: make_page.py OUTPUT WEB_FOLDER HELP_FOLDER ABOUT_BMP ICON_PNG LOADER_JS RULES_WASM
"""
import base64
import html
import pathlib
import struct
import sys
import zlib


def png_from_bmp(bmp):
    """A 24-bit uncompressed BMP as a PNG, losslessly: the picture at its
    own size, a fraction of the bytes."""
    offset, = struct.unpack_from("<I", bmp, 10)
    width, height, planes, bits, compression = struct.unpack_from("<iiHHI", bmp, 18)
    if bits != 24 or compression != 0:
        sys.exit("the About picture must be a 24-bit uncompressed BMP")
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        source = height - 1 - y if height > 0 else y  # BMP rows run bottom-up
        row = bmp[offset + source * stride: offset + source * stride + width * 3]
        rgb = bytearray(row)
        rgb[0::3], rgb[2::3] = row[2::3], row[0::3]
        rows.append(b"\0" + bytes(rgb))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data)))

    header = struct.pack(">IIBBBBB", width, abs(height), 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))


def data_uri(kind, data):
    return "data:%s;base64,%s" % (kind, base64.b64encode(data).decode("ascii"))


def script_text(text, name):
    if "</script" in text.lower():
        sys.exit("%s: a script put into the page may not hold a script end tag" % name)
    return text


def help_blocks(help_folder, web_folder):
    """Each help page as inert text, named by its file name, with the help's
    style sheet inside; the page's own help first. The pages are ASCII with
    character references."""
    pages = [web_folder / "help" / "page.html"] + sorted(help_folder.glob("*.html"))
    style_link = '<link rel="stylesheet" type="text/css" href="help.css">'
    style = "<style>\n%s</style>" % (help_folder / "help.css").read_text(encoding="ascii")
    blocks = []
    for page in pages:
        text = page.read_text(encoding="ascii")
        if style_link not in text:
            sys.exit("%s: a help page links the help's style sheet as the others do" % page)
        text = script_text(text.replace(style_link, style), page)
        blocks.append('<script type="text/plain" class="help-page" data-name="%s">%s</script>'
                      % (html.escape(page.name), text))
    return "\n".join(blocks)


def main():
    output, web, help_folder, about_bmp, icon_png, loader, rules = sys.argv[1:8]
    web, help_folder = pathlib.Path(web), pathlib.Path(help_folder)
    page = (web / "page.html").read_text(encoding="utf-8")
    parts = {
        "@PAGE_STYLE@": (web / "page.css").read_text(encoding="utf-8"),
        "@PAGE_SCRIPT@": (web / "page.js").read_text(encoding="utf-8"),
        "@HELP_PAGES@": help_blocks(help_folder, web),
        "@ABOUT_PICTURE@": data_uri("image/png", png_from_bmp(pathlib.Path(about_bmp).read_bytes())),
        "@ICON@": data_uri("image/png", pathlib.Path(icon_png).read_bytes()),
        "@RULES_LOADER@": script_text(pathlib.Path(loader).read_text(encoding="utf-8"), loader),
        "@RULES_WASM@": base64.b64encode(pathlib.Path(rules).read_bytes()).decode("ascii"),
    }
    for marker, text in parts.items():
        if marker not in page:
            sys.exit("page.html lacks " + marker)
        page = page.replace(marker, text)
    pathlib.Path(output).write_text(page, encoding="utf-8")


main()
