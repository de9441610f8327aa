#!/usr/bin/env python3
"""Draws the windows' images as small SVG files and writes the resource list.

Every picture is made here from basic shapes in the program's own colours;
run it again after changing a shape:

    tools/ui_images/make_ui_images.py src/ui/resources

Files named in HAND_DRAWN are kept as they are.
"""
import os
import sys

BLUE = "#3582f8"
STATES = {  # state -> (fill, glyph colour)
    "normal": (BLUE, "#ffffff"),
    "hover": ("#5d9bfa", "#ffffff"),
    "press": ("#2a68c6", "#ffffff"),
    "disable": ("#c2c6cc", "#ffffff"),
}
HAND_DRAWN = {"back_normal", "back_hover", "back_press", "back_disable",
              "checkbox_no", "checkbox_half", "checkbox_yes", "warning"}


def svg(w, h, body):
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
            'viewBox="0 0 %d %d">\n%s\n</svg>\n' % (w, h, w, h, body))


# Glyphs drawn in a 24 x 24 box, stroked with the colour {c}.
GLYPHS = {
    "arrow_right": '<path d="M9 5 L16 12 L9 19" fill="none" stroke="{c}" stroke-width="2.6" stroke-linecap="round" stroke-linejoin="round"/>',
    "arrow_left": '<path d="M15 5 L8 12 L15 19" fill="none" stroke="{c}" stroke-width="2.6" stroke-linecap="round" stroke-linejoin="round"/>',
    "magnifier": '<circle cx="10.5" cy="10.5" r="5.5" fill="none" stroke="{c}" stroke-width="2.4"/><path d="M14.5 14.5 L20 20" stroke="{c}" stroke-width="2.8" stroke-linecap="round"/>',
    "deep": '<circle cx="10.5" cy="10.5" r="5.5" fill="none" stroke="{c}" stroke-width="2.4"/><path d="M14.5 14.5 L20 20" stroke="{c}" stroke-width="2.8" stroke-linecap="round"/><path d="M8 10.5 H13 M10.5 8 V13" stroke="{c}" stroke-width="1.8"/>',
    "pause": '<rect x="7" y="5" width="3.5" height="14" rx="1" fill="{c}"/><rect x="13.5" y="5" width="3.5" height="14" rx="1" fill="{c}"/>',
    "play": '<path d="M8 5 L19 12 L8 19 Z" fill="{c}"/>',
    "stop": '<rect x="6" y="6" width="12" height="12" rx="1.5" fill="{c}"/>',
    "recover": '<path d="M12 4 V15 M7 10.5 L12 15.5 L17 10.5" fill="none" stroke="{c}" stroke-width="2.4" stroke-linecap="round" stroke-linejoin="round"/><path d="M5 19.5 H19" stroke="{c}" stroke-width="2.4" stroke-linecap="round"/>',
    "export": '<path d="M12 15 V4 M7 8.5 L12 3.5 L17 8.5" fill="none" stroke="{c}" stroke-width="2.2" stroke-linecap="round" stroke-linejoin="round"/><path d="M5 13 V19.5 H19 V13" fill="none" stroke="{c}" stroke-width="2.2" stroke-linejoin="round"/>',
    "import": '<path d="M12 3.5 V14 M7 9.5 L12 14.5 L17 9.5" fill="none" stroke="{c}" stroke-width="2.2" stroke-linecap="round" stroke-linejoin="round"/><path d="M5 13 V19.5 H19 V13" fill="none" stroke="{c}" stroke-width="2.2" stroke-linejoin="round"/>',
    "home": '<path d="M4 11.5 L12 4.5 L20 11.5" fill="none" stroke="{c}" stroke-width="2.2" stroke-linecap="round" stroke-linejoin="round"/><path d="M6.5 10 V19.5 H10.5 V14.5 H13.5 V19.5 H17.5 V10" fill="none" stroke="{c}" stroke-width="2.2" stroke-linejoin="round"/>',
    "info": '<circle cx="12" cy="12" r="9" fill="none" stroke="{c}" stroke-width="2"/><rect x="11" y="10" width="2" height="7" fill="{c}"/><rect x="11" y="6.5" width="2" height="2" fill="{c}"/>',
    "cross": '<path d="M7 7 L17 17 M17 7 L7 17" stroke="{c}" stroke-width="2.6" stroke-linecap="round"/>',
}


def glyph(name, colour, x, y, scale):
    return ('<g transform="translate(%g %g) scale(%g)">%s</g>'
            % (x, y, scale, GLYPHS[name].format(c=colour)))


def round_button(name, shape):
    """Four states of a round button of 60 x 60 points."""
    out = {}
    for state, (fill, ink) in STATES.items():
        body = '<circle cx="30" cy="30" r="28" fill="%s"/>' % fill + glyph(shape, ink, 12, 12, 1.5)
        out["%s_%s" % (name, state)] = svg(60, 60, body)
    return out


def wide_button(name, shape, w, h):
    """Four states of a rounded rectangle with its glyph at the left."""
    out = {}
    for state, (fill, ink) in STATES.items():
        body = ('<rect x="0.5" y="0.5" width="%g" height="%g" rx="%g" fill="%s"/>'
                % (w - 1, h - 1, (h - 1) / 2, fill))
        body += glyph(shape, ink, 10, (h - 24) / 2, 1)
        out["%s_%s" % (name, state)] = svg(w, h, body)
    return out


def bar_icon(name, shape, side, states):
    """Title-bar icons: grey glyph, blue when hovered or pressed."""
    colours = {"normal": "#6b7280", "hover": BLUE, "press": "#2a68c6", "disable": "#c2c6cc"}
    out = {}
    for state, suffix in states.items():
        out[name + suffix] = svg(side, side, glyph(shape, colours[state], 0, 0, side / 24.0))
    return out


# Category pictures: a document, a photo, a film strip, a note, a box, a folder.
CATEGORY_SHAPES = {
    "doc": '<path d="M6 2 H15 L20 7 V22 H6 Z" fill="{f}" stroke="{c}" stroke-width="1.5" stroke-linejoin="round"/><path d="M9 11 H17 M9 14 H17 M9 17 H14" stroke="{c}" stroke-width="1.4"/>',
    "photo": '<rect x="2.5" y="4.5" width="19" height="15" rx="2" fill="{f}" stroke="{c}" stroke-width="1.5"/><circle cx="8" cy="9.5" r="2" fill="{c}"/><path d="M4 18 L10 12 L14 16 L17 13 L20 16" fill="none" stroke="{c}" stroke-width="1.5"/>',
    "video": '<rect x="2.5" y="5.5" width="14" height="13" rx="2" fill="{f}" stroke="{c}" stroke-width="1.5"/><path d="M16.5 10 L21.5 7 V17 L16.5 14 Z" fill="{c}"/>',
    "audio": '<path d="M9 17 V5 L19 3 V15" fill="none" stroke="{c}" stroke-width="1.6"/><circle cx="7" cy="17" r="2.6" fill="{c}"/><circle cx="17" cy="15" r="2.6" fill="{c}"/>',
    "Archive": '<rect x="3" y="7" width="18" height="14" rx="1.5" fill="{f}" stroke="{c}" stroke-width="1.5"/><path d="M2 3.5 H22 V7 H2 Z" fill="{c}"/><path d="M10 11 H14" stroke="{c}" stroke-width="2"/>',
    "folder": '<path d="M2.5 6 V19.5 H21.5 V8 H11 L9 5 H2.5 Z" fill="{f}" stroke="{c}" stroke-width="1.5" stroke-linejoin="round"/>',
}


def category_tiles():
    out = {}
    for key, shape in CATEGORY_SHAPES.items():
        for suffix, (ink, fill, band) in {"no": ("#8a8f99", "#f3f4f6", "#ffffff"),
                                          "yes": (BLUE, "#e3eefe", "#f4f8ff")}.items():
            body = '<rect x="0" y="0" width="350" height="50" rx="6" fill="%s"/>' % band
            body += '<g transform="translate(8 5) scale(1.66)">%s</g>' % shape.format(c=ink, f=fill)
            out["icon_%s_%s" % (key, suffix)] = svg(350, 50, body)
    return out


def node_type_icons():
    """Outline row icons by node type 0 to 11 ("%dIconImage")."""
    folder = CATEGORY_SHAPES["folder"]
    kinds = {0: ("disk", None), 1: ("folder", folder), 2: ("doc", CATEGORY_SHAPES["doc"]),
             3: ("photo", CATEGORY_SHAPES["photo"]), 4: ("video", CATEGORY_SHAPES["video"]),
             5: ("audio", CATEGORY_SHAPES["audio"]), 6: ("Archive", CATEGORY_SHAPES["Archive"]),
             7: ("mail", None), 8: ("other", folder), 9: ("year", None), 10: ("month", None), 11: ("group", folder)}
    out = {}
    for number, (kind, shape) in kinds.items():
        if kind == "disk":
            body = ('<rect x="2" y="6" width="20" height="12" rx="2" fill="#e5e7eb" stroke="#6b7280" stroke-width="1.4"/>'
                    '<circle cx="17.5" cy="12" r="1.5" fill="#22c55e"/>')
        elif kind == "mail":
            body = ('<rect x="2.5" y="5.5" width="19" height="13" rx="1.5" fill="#fff7e6" stroke="#d97706" stroke-width="1.4"/>'
                    '<path d="M3 6.5 L12 13 L21 6.5" fill="none" stroke="#d97706" stroke-width="1.4"/>')
        elif kind in ("year", "month"):
            body = ('<rect x="3" y="4.5" width="18" height="16" rx="2" fill="#ffffff" stroke="#6b7280" stroke-width="1.4"/>'
                    '<path d="M3 9 H21" stroke="#ef4444" stroke-width="3"/>')
            body += ('<path d="M8 13 H16 M8 16.5 H13" stroke="#6b7280" stroke-width="1.4"/>' if kind == "month" else
                     '<path d="M7 13 H9 M11 13 H13 M15 13 H17 M7 16.5 H9 M11 16.5 H13" stroke="#6b7280" stroke-width="1.4"/>')
        else:
            colour = {"folder": "#3b82f6", "other": "#9ca3af", "group": "#60a5fa"}.get(kind, BLUE)
            body = shape.format(c=colour, f="#eef4ff")
        out["%dIconImage" % number] = svg(24, 24, body)
    return out


def checkbox(name, side, mark):
    body = '<rect x="0.5" y="0.5" width="%g" height="%g" rx="2" fill="#ffffff" stroke="#8a8f99"/>' % (side - 1, side - 1)
    if mark == "yes":
        body += '<path d="M%g %g L%g %g L%g %g" fill="none" stroke="%s" stroke-width="2"/>' % (
            side * 0.23, side * 0.5, side * 0.42, side * 0.69, side * 0.77, side * 0.27, BLUE)
    elif mark == "half":
        body += '<rect x="%g" y="%g" width="%g" height="2" fill="%s"/>' % (side * 0.23, side / 2 - 1, side * 0.54, BLUE)
    return svg(side, side, body)


def singles():
    out = {}
    for mark in ("no", "half", "yes"):
        out["pf_checkbox_" + mark] = checkbox("pf", 14, mark)
    out["radio_button_no"] = svg(16, 16, '<circle cx="8" cy="8" r="7" fill="#ffffff" stroke="#8a8f99"/>')
    out["radio_button_yes"] = svg(16, 16, '<circle cx="8" cy="8" r="7" fill="#ffffff" stroke="%s"/><circle cx="8" cy="8" r="4" fill="%s"/>' % (BLUE, BLUE))
    disk = '<rect x="3" y="9" width="26" height="14" rx="3" fill="{f}" stroke="{c}" stroke-width="1.6"/><circle cx="24" cy="16" r="1.8" fill="{c}"/>'
    out["icon_disk"] = svg(32, 32, disk.format(f="#eceff3", c="#4b5563"))
    out["icon_disk_osx"] = svg(32, 32, disk.format(f="#e3eefe", c=BLUE) + '<path d="M7 16 H18" stroke="%s" stroke-width="1.6"/>' % BLUE)
    out["icon_usb"] = svg(32, 32, '<rect x="9" y="10" width="17" height="12" rx="2" fill="#eceff3" stroke="#4b5563" stroke-width="1.6"/><rect x="3" y="12.5" width="6" height="7" fill="#9ca3af"/><path d="M4.5 14.5 H7.5 M4.5 17.5 H7.5" stroke="#4b5563"/>')
    out["icon_mirror"] = svg(32, 32, '<circle cx="16" cy="16" r="12" fill="#f3f4f6" stroke="#4b5563" stroke-width="1.6"/><circle cx="16" cy="16" r="3" fill="#ffffff" stroke="#4b5563" stroke-width="1.6"/>')
    out["icon_desktop"] = svg(32, 32, '<rect x="3" y="5" width="26" height="17" rx="2" fill="#e3eefe" stroke="#4b5563" stroke-width="1.6"/><path d="M12 27 H20 M16 22 V27" stroke="#4b5563" stroke-width="1.6"/>')
    out["select_disk"] = svg(16, 16, '<circle cx="8" cy="8" r="7.5" fill="#ffffff"/><path d="M4 8 L7 11 L12 5" fill="none" stroke="%s" stroke-width="2"/>' % BLUE)
    out["deletered"] = svg(16, 16, '<circle cx="8" cy="8" r="7" fill="#ef4444"/>' + glyph("cross", "#ffffff", 1.6, 1.6, 0.53))
    out["warning_b"] = svg(96, 96, '<path d="M48 6 L92 86 L4 86 Z" fill="#f5b400"/><rect x="44" y="33" width="8" height="30" fill="#ffffff"/><rect x="44" y="69" width="8" height="8" fill="#ffffff"/>')
    out["arrow"] = svg(82, 39, '<path d="M4 19.5 H66" stroke="#9ca3af" stroke-width="3" stroke-linecap="round"/><path d="M58 8 L76 19.5 L58 31" fill="none" stroke="#9ca3af" stroke-width="3" stroke-linecap="round" stroke-linejoin="round"/>')
    out["logo"] = svg(128, 128, '<rect x="8" y="8" width="112" height="112" rx="24" fill="%s"/>'
                      '<circle cx="58" cy="58" r="28" fill="none" stroke="#ffffff" stroke-width="10"/>'
                      '<path d="M78 78 L102 102" stroke="#ffffff" stroke-width="12" stroke-linecap="round"/>'
                      '<path d="M46 58 L55 67 L71 49" fill="none" stroke="#ffffff" stroke-width="7" stroke-linecap="round" stroke-linejoin="round"/>' % BLUE)
    out["loading"] = svg(32, 32, '<circle cx="16" cy="16" r="11" fill="none" stroke="#e5e7eb" stroke-width="4"/><path d="M16 5 A11 11 0 0 1 27 16" fill="none" stroke="%s" stroke-width="4" stroke-linecap="round"/>' % BLUE)
    out["bg_150"] = svg(150, 150, '<rect width="150" height="150" fill="#f7f8fa"/>')
    out["bg_tab"] = svg(200, 36, '<rect width="200" height="36" fill="#f3f4f6"/><path d="M0 35.5 H200" stroke="#d1d5db"/>')
    out["text_bg"] = svg(200, 28, '<rect x="0.5" y="0.5" width="199" height="27" rx="14" fill="#ffffff" stroke="#d1d5db"/>')
    out["view_bg_normal"] = svg(150, 150, '<rect x="1" y="1" width="148" height="148" rx="8" fill="#ffffff" stroke="#e5e7eb" stroke-width="1.5"/>')
    out["view_bg_press"] = svg(150, 150, '<rect x="1" y="1" width="148" height="148" rx="8" fill="#e3eefe" stroke="%s" stroke-width="2"/>' % BLUE)
    out["BackgroundDust"] = svg(16, 16, '<rect width="16" height="16" fill="#f4f5f7"/><circle cx="4" cy="4" r="0.7" fill="#e2e4e8"/><circle cx="12" cy="12" r="0.7" fill="#e2e4e8"/>')
    out["del_normal"] = svg(24, 24, '<circle cx="12" cy="12" r="11" fill="#e5e7eb"/>' + glyph("stop", "#4b5563", 3, 3, 0.75))
    out["del_press"] = svg(24, 24, '<circle cx="12" cy="12" r="11" fill="#ef4444"/>' + glyph("stop", "#ffffff", 3, 3, 0.75))
    # Fallback file icons when the icon theme has none for a type.
    page = '<path d="M5 1.5 H13.5 L19 7 V22.5 H5 Z" fill="#ffffff" stroke="{c}" stroke-width="1.4" stroke-linejoin="round"/><path d="M13.5 1.5 V7 H19" fill="none" stroke="{c}" stroke-width="1.4"/>'
    marks = {"generic": ("#9ca3af", ""),
             "text": ("#6b7280", '<path d="M8 11 H16 M8 14 H16 M8 17 H13" stroke="#6b7280" stroke-width="1.3"/>'),
             "image": ("#16a34a", '<path d="M7.5 19 L11 14 L13.5 17 L15 15.5 L17 19 Z" fill="#16a34a"/>'),
             "video": ("#dc2626", '<path d="M10 12 L15.5 15.5 L10 19 Z" fill="#dc2626"/>'),
             "audio": ("#9333ea", '<path d="M11 18 V11 L16 10 V17" fill="none" stroke="#9333ea" stroke-width="1.3"/><circle cx="10" cy="18" r="1.5" fill="#9333ea"/><circle cx="15" cy="17" r="1.5" fill="#9333ea"/>'),
             "archive": ("#b45309", '<path d="M11 8 H13 M11 10 H13 M11 12 H13 M11 14 H13" stroke="#b45309" stroke-width="1.2"/><rect x="10.5" y="15.5" width="3" height="3" fill="none" stroke="#b45309"/>'),
             "document": ("#2563eb", '<path d="M8 11 H16 M8 14 H16 M8 17 H16" stroke="#2563eb" stroke-width="1.3"/>')}
    for kind, (colour, mark) in marks.items():
        out["filetype_" + kind] = svg(24, 24, page.format(c=colour) + mark)
    return out


def all_images():
    images = {}
    for name, shape in (("continue", "arrow_right"), ("next", "arrow_right"), ("scan", "magnifier"),
                        ("pause", "pause"), ("play", "play"), ("stop", "stop")):
        images.update(round_button(name, shape))
    # As wide as the results window's buttons that show them.
    for name, shape, width in (("btn_scan", "magnifier", 138), ("btn_ds", "deep", 166), ("btn_recover", "recover", 138)):
        images.update(wide_button(name, shape, width, 41))
    every = {"normal": "_normal", "hover": "_hover", "press": "_press", "disable": "_disable"}
    for name, shape in (("icon_back", "arrow_left"), ("icon_export", "export"), ("icon_home", "home")):
        images.update(bar_icon(name, shape, 24, every))
    images.update(bar_icon("icon_import", "import", 16, {"normal": "", "hover": "_hover"}))
    images.update(bar_icon("icon_infor", "info", 16, {"normal": "", "hover": "_hover"}))
    images.update(category_tiles())
    images.update(node_type_icons())
    images.update(singles())
    return images


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else "src/ui/resources"
    img_dir = os.path.join(root, "img")
    os.makedirs(img_dir, exist_ok=True)
    images = all_images()
    for name, text in sorted(images.items()):
        if name in HAND_DRAWN:
            continue
        with open(os.path.join(img_dir, name + ".svg"), "w", encoding="utf-8") as f:
            f.write(text)
    names = sorted(set(images) | HAND_DRAWN)
    with open(os.path.join(root, "quarnel_ui.qrc"), "w", encoding="utf-8") as f:
        f.write("<RCC>\n  <qresource prefix=\"/\">\n")
        for name in names:
            f.write("    <file>img/%s.svg</file>\n" % name)
        for lang in sorted(os.listdir(os.path.join(root, "i18n"))):
            f.write("    <file>i18n/%s</file>\n" % lang)
        f.write("  </qresource>\n</RCC>\n")
    print("%d images" % len(names))


if __name__ == "__main__":
    main()
