#!/usr/bin/env python3
"""Writes the tab forms of the DEMO-100 sample model (demo100/dialogs/<tab ID>.ui) and the
bundle's file list (demo100/demo100.qrc). Standard library only.

The forms are ordinary Qt Designer forms and can be edited in Designer instead; this script
only keeps the three of them consistent. The rules they follow (docs/MODEL-FILES.md):
  - the widget of a control is named id<ID>, ID being the control's ID in DEMO-100.ini;
  - [SLIDER BAR] QSlider, [SPINBUTTON] a small vertical QScrollBar beside an [EDIT] QLineEdit
    of the same code, [RADIO] auto-exclusive QRadioButton, [CHECK] QCheckBox (plain: the mark
    follows the projector), [COMBOBOX] QComboBox with one entry per command position,
    [BUTTON] and [STATUSBUTTON] QPushButton, [STATUS] QLabel;
  - a bitmap label is a QLabel with the dynamic property "bitmap" = N (demo100/bitmaps/N.png,
    drawn by make-bitmaps.py), sized to its bitmap;
  - id20000 is the program's gamma editor button.
"""
import os
import xml.etree.ElementTree as ET

FORM_W, FORM_H = 460, 360
PATTERNS_W, PATTERNS_H = 154, 24  # bitmap 4 (make-bitmaps.py)


class Namer:
    """Object names for the widgets and layouts that are not controls."""

    def __init__(self):
        self.count = {}

    def __call__(self, kind):
        n = self.count.get(kind, 0) + 1
        self.count[kind] = n
        return "%s%d" % (kind, n)


name = Namer()


def prop(parent, key, kind, value, stdset=True):
    p = ET.SubElement(parent, "property", name=key)
    if not stdset:
        p.set("stdset", "0")
    if kind == "size":
        s = ET.SubElement(p, "size")
        ET.SubElement(s, "width").text = str(value[0])
        ET.SubElement(s, "height").text = str(value[1])
    elif kind == "rect":
        r = ET.SubElement(p, "rect")
        for k, v in zip(("x", "y", "width", "height"), value):
            ET.SubElement(r, k).text = str(v)
    elif kind == "font":
        f = ET.SubElement(p, "font")
        for k, v in value.items():
            ET.SubElement(f, k).text = str(v).lower() if isinstance(v, bool) else str(v)
    elif kind == "bool":
        ET.SubElement(p, "bool").text = "true" if value else "false"
    else:
        ET.SubElement(p, kind).text = str(value)
    return p


def widget(cls, object_name=None, text=None, items=(), **props):
    w = ET.Element("widget", {"class": cls, "name": object_name or name(cls[1:].lower())})
    if text is not None:
        prop(w, "title" if cls == "QGroupBox" else "text", "string", text)
    for key, (kind, value) in props.items():
        prop(w, key, kind, value, stdset=key not in ("bitmap",))
    for item in items:
        i = ET.SubElement(w, "item")
        prop(i, "text", "string", item)
    return w


def layout(cls, *children, margins=None, spacing=None, stretch=None):
    """A box layout of widgets, layouts and spacers; stretch: "1,0" gives the room to the first."""
    lay = ET.Element("layout", {"class": cls, "name": name(cls[1:].lower())})
    if stretch:
        lay.set("stretch", stretch)
    if spacing is not None:
        prop(lay, "spacing", "number", spacing)
    if margins is not None:
        for side, value in zip(("left", "top", "right", "bottom"), margins):
            prop(lay, side + "Margin", "number", value)
    for child in children:
        ET.SubElement(lay, "item").append(child)
    return lay


def grid(*cells, spacing=None, column_stretch=None):
    """cells: (child, row, column) or (child, row, column, colspan)."""
    lay = ET.Element("layout", {"class": "QGridLayout", "name": name("gridlayout")})
    if column_stretch:
        lay.set("columnstretch", column_stretch)
    if spacing is not None:
        prop(lay, "horizontalSpacing", "number", spacing[0])
        prop(lay, "verticalSpacing", "number", spacing[1])
    for cell in cells:
        child, row, column = cell[:3]
        attrs = {"row": str(row), "column": str(column)}
        if len(cell) > 3:
            attrs["colspan"] = str(cell[3])
        item = ET.SubElement(lay, "item", attrs)
        item.append(child)
    return lay


def spacer(horizontal=True, size=(0, 0), policy=None):
    s = ET.Element("spacer", name=name("spacer"))
    prop(s, "orientation", "enum", "Qt::Horizontal" if horizontal else "Qt::Vertical")
    if policy:
        prop(s, "sizeType", "enum", "QSizePolicy::" + policy)
    prop(s, "sizeHint", "size", size, stdset=False)
    return s


def with_layout(parent, lay):
    parent.append(lay)
    return parent


# --- the controls -------------------------------------------------------------------------------


def caption(text, buddy=None):
    w = widget("QLabel", text=text)
    if buddy:
        prop(w, "buddy", "cstring", buddy)
    return w


def slider(cid):
    return widget("QSlider", "id%d" % cid, orientation=("enum", "Qt::Horizontal"),
                  tickPosition=("enum", "QSlider::TicksBelow"),
                  minimumSize=("size", (200, 0)))


def edit(cid, width=56):
    return widget("QLineEdit", "id%d" % cid, maximumSize=("size", (width, 16777215)),
                  alignment=("set", "Qt::AlignRight|Qt::AlignVCenter"))


def spin(cid):
    """A small vertical scroll bar: its up arrow raises the value."""
    return widget("QScrollBar", "id%d" % cid, orientation=("enum", "Qt::Vertical"),
                  minimumSize=("size", (16, 28)), maximumSize=("size", (16, 28)))


def edit_with_spin(edit_id, spin_id, unit=None):
    children = [edit(edit_id), spin(spin_id)]
    if unit:
        children.append(caption(unit))
    children.append(spacer())
    return layout("QHBoxLayout", *children, spacing=4)


def button(cid, text, default_width=None):
    w = widget("QPushButton", "id%d" % cid, text=text)
    if default_width:
        prop(w, "minimumSize", "size", (default_width, 0))
    return w


def status(cid):
    """The tab's [STATUS] control: the busy texts appear here."""
    return widget("QLabel", "id%d" % cid, text="",
                  minimumSize=("size", (0, 22)),
                  frameShape=("enum", "QFrame::StyledPanel"),
                  frameShadow=("enum", "QFrame::Sunken"))


def bitmap(number, w, h):
    """A bitmap label: the program paints bitmaps/<number>.png at its top-left corner."""
    return widget("QLabel", name("bitmap"), text="", bitmap=("number", number),
                  minimumSize=("size", (w, h)), maximumSize=("size", (w, h)))


def group(title, lay):
    return with_layout(widget("QGroupBox", text=title), lay)


def header(number, title, hint):
    """The tab's heading: its icon, its title and one line on what it does."""
    title_label = widget("QLabel", text=title, font=("font", {"pointsize": 12, "bold": True}))
    hint_label = widget("QLabel", text=hint, wordWrap=("bool", True))
    texts = layout("QVBoxLayout", title_label, hint_label, spacing=0)
    return layout("QHBoxLayout", bitmap(number, 40, 40), texts, spacing=10)


def bottom(status_id, *buttons):
    return layout("QHBoxLayout", status(status_id), *buttons, spacing=8,
                  stretch=",".join(["1"] + ["0"] * len(buttons)))


# --- the tabs -----------------------------------------------------------------------------------


def picture_tab():
    image = grid(
        (caption("&Brightness:", "id1001"), 0, 0), (slider(1001), 0, 1),
        (caption("&Contrast:", "id1002"), 1, 0), (slider(1002), 1, 1),
        (caption("&Sharpness:", "id1008"), 2, 0), (edit_with_spin(1008, 1003, "0 .. 15"), 2, 1),
        (caption("Colour &temperature:", "id1004"), 3, 0),
        (layout("QHBoxLayout", edit(1004), caption("K"), spacer(), spacing=4), 3, 1),
        (caption("Picture &mode:", "id1005"), 4, 0),
        (layout("QHBoxLayout",
                widget("QComboBox", "id1005",
                       items=("Standard", "Cinema", "Presentation", "Vivid"),
                       minimumSize=("size", (150, 0))),
                spacer(), spacing=4), 4, 1),
        column_stretch="0,1")
    return "Picture", [
        header(1, "Picture", "Brightness, contrast and colour of the image. Picture modes "
                             "set all of them; the values are read back."),
        group("Image", image),
        spacer(False, (20, 4)),
        bottom(1007, button(1006, "&Refresh", 96)),
    ]


def input_tab():
    inputs = layout("QVBoxLayout",
                    widget("QRadioButton", "id1101", text="HDMI &1"),
                    widget("QRadioButton", "id1102", text="HDMI &2"),
                    widget("QRadioButton", "id1103", text="&Computer"),
                    spacer(False, (20, 4)))
    audio = grid(
        (widget("QCheckBox", "id1104", text="&Mute"), 0, 0, 2),
        (caption("&Volume:", "id1105"), 1, 0), (slider(1105), 1, 1),
        column_stretch="0,1")
    lens = layout("QHBoxLayout", button(1106, "Focus &near", 110),
                  widget("QLabel", text="Hold the button down to keep focusing.",
                         wordWrap=("bool", True)), spacing=10, stretch="0,1")
    return "Input and audio", [
        header(2, "Input and audio", "The source the projector shows, and its sound."),
        layout("QHBoxLayout", group("Input", inputs), group("Audio", audio), spacing=10),
        group("Lens", lens),
        spacer(False, (20, 4)),
        bottom(1108, button(1109, "&Refresh", 96), button(1107, "Error &log...", 110)),
    ]


def service_tab():
    pattern = layout("QVBoxLayout",
                     widget("QComboBox", "id1201",
                            items=("Off", "Grey ramp", "Cross hatch", "Colour bars")),
                     bitmap(4, PATTERNS_W, PATTERNS_H), spacer(False, (20, 0)), spacing=6)
    settings = grid(
        (caption("&Fan speed:", "id1202"), 0, 0),
        (layout("QHBoxLayout", edit(1202), caption("0 .. 3"), spacer(), spacing=4), 0, 1),
        (caption("&Keystone:", "id1208"), 1, 0), (edit_with_spin(1208, 1203, "-40 .. 40"), 1, 1),
        (caption("&Gamma preset:", "id1205"), 2, 0),
        (layout("QHBoxLayout",
                widget("QComboBox", "id1205", items=("1", "2", "3", "4", "5")),
                spacer(), spacing=4), 2, 1),
        column_stretch="0,1")
    power = layout("QHBoxLayout", button(1206, "Power &on"), button(1207, "Power o&ff"),
                   widget("QCheckBox", "id1204", text="On-screen &menu"),
                   spacer(), button(20000, "&Gamma editor..."), spacing=8)
    return "Service", [
        header(3, "Service", "While this page is open the projector shows the grey ramp; "
                             "the pattern it showed before comes back when you leave."),
        layout("QHBoxLayout", group("Test pattern", pattern), group("Projector", settings),
               spacing=10, stretch="0,1"),
        group("Power", power),
        spacer(False, (20, 4)),
        bottom(1209, button(1210, "&Refresh", 96)),
    ]


def form(tab_id, title, rows):
    ui = ET.Element("ui", version="4.0")
    ET.SubElement(ui, "class").text = "Tab%d" % tab_id
    top = ET.SubElement(ui, "widget", {"class": "QWidget", "name": "Tab%d" % tab_id})
    prop(top, "geometry", "rect", (0, 0, FORM_W, FORM_H))
    prop(top, "windowTitle", "string", title)
    top.append(layout("QVBoxLayout", *rows, margins=(12, 10, 12, 10), spacing=8))
    ET.SubElement(ui, "resources")
    ET.SubElement(ui, "connections")
    ET.indent(ui, space=" ")
    return '<?xml version="1.0" encoding="UTF-8"?>\n' + ET.tostring(ui, encoding="unicode") + "\n"


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "demo100")
    os.makedirs(os.path.join(folder, "dialogs"), exist_ok=True)
    files = []
    for tab_id, make in ((300, picture_tab), (301, input_tab), (302, service_tab)):
        name.count.clear()
        title, rows = make()
        path = "dialogs/%d.ui" % tab_id
        with open(os.path.join(folder, path), "w") as out:
            out.write(form(tab_id, title, rows))
        files.append(path)
    files.append("strings.txt")
    files += sorted("bitmaps/" + f for f in os.listdir(os.path.join(folder, "bitmaps"))
                    if f.endswith(".png"))
    with open(os.path.join(folder, "demo100.qrc"), "w") as out:
        out.write("<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n <qresource>\n")
        for path in files:
            out.write("  <file>%s</file>\n" % path)
        out.write(" </qresource>\n</RCC>\n")


if __name__ == "__main__":
    main()
