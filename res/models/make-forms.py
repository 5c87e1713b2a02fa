#!/usr/bin/env python3
"""Writes the tab forms of the DEMO-100 sample model (demo100/dialogs/<tab ID>.ui) and the
bundle's file list (demo100/demo100.qrc). Each control of DEMO-100.ini is the widget named
id<ID>; a caption label stands beside it."""
import os
from xml.sax.saxutils import escape

TABS = {
    300: ("Picture", [
        ("QSlider", 1001, "Brightness"),
        ("QSlider", 1002, "Contrast"),
        ("QSpinBox", 1003, "Sharpness"),
        ("QLineEdit", 1004, "Colour temperature (K)"),
        ("QComboBox", 1005, "Picture mode", ["Standard", "Cinema", "Presentation", "Vivid"]),
        ("QPushButton", 1006, "Refresh"),
    ]),
    301: ("Input and audio", [
        ("QRadioButton", 1101, "HDMI 1"),
        ("QRadioButton", 1102, "HDMI 2"),
        ("QRadioButton", 1103, "Computer"),
        ("QCheckBox", 1104, "Mute"),
        ("QSlider", 1105, "Volume"),
        ("QPushButton", 1106, "Focus near"),
        ("QPushButton", 1107, "Error log"),
        ("QLabel", 1108, ""),
    ]),
    302: ("Service", [
        ("QComboBox", 1201, "Test pattern", ["Off", "Grey ramp", "Cross hatch", "Colour bars"]),
        ("QLineEdit", 1202, "Fan speed"),
        ("QSpinBox", 1203, "Keystone"),
        ("QCheckBox", 1204, "On-screen menu"),
        ("QComboBox", 1205, "Gamma preset", ["1", "2", "3", "4", "5"]),
        ("QPushButton", 1206, "Power on"),
        ("QPushButton", 1207, "Power off"),
        ("QPushButton", 20000, "Gamma editor..."),
    ]),
}

# Widgets that show their caption themselves.
SELF_CAPTIONED = {"QPushButton", "QRadioButton", "QCheckBox"}


def prop(name, inner):
    return '    <property name="%s">\n     %s\n    </property>\n' % (name, inner)


def rect(x, y, w, h):
    return ("<rect>\n      <x>%d</x>\n      <y>%d</y>\n      <width>%d</width>\n"
            "      <height>%d</height>\n     </rect>" % (x, y, w, h))


def widget(cls, name, x, y, w, h, caption=None, items=()):
    text = '   <widget class="%s" name="%s">\n' % (cls, name)
    text += prop("geometry", rect(x, y, w, h))
    if cls == "QSlider":
        text += prop("orientation", "<enum>Qt::Horizontal</enum>")
    if caption is not None:
        text += prop("text", "<string>%s</string>" % escape(caption))
    for item in items:
        text += '    <item>\n' + prop("text", "<string>%s</string>" % escape(item)).replace(
            "    <property", "     <property") + '    </item>\n'
    return text + '   </widget>\n'


def form(tab_id, title, controls):
    body = ""
    for row, control in enumerate(controls):
        cls, cid, caption = control[:3]
        items = control[3] if len(control) > 3 else ()
        y = 12 + 34 * row
        if cls in SELF_CAPTIONED:
            body += widget(cls, "id%d" % cid, 180, y, 200, 26, caption)
        else:
            if caption:
                body += widget("QLabel", "caption%d" % cid, 12, y, 160, 26, caption)
            body += widget(cls, "id%d" % cid, 180, y, 200, 26, None if cls != "QLabel" else "",
                           items)
    height = 24 + 34 * len(controls)
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<ui version="4.0">\n'
            ' <class>Tab%d</class>\n <widget class="QWidget" name="Tab%d">\n'
            '  <property name="geometry">\n   %s\n  </property>\n'
            '  <property name="windowTitle">\n   <string>%s</string>\n  </property>\n'
            '%s </widget>\n <resources/>\n <connections/>\n</ui>\n') % (
                tab_id, tab_id, rect(0, 0, 400, height).replace("\n      ", "\n    ").replace(
                    "\n     </rect>", "\n   </rect>"), escape(title),
                body.replace("\n   <widget", "\n  <widget").replace("   <widget", "  <widget", 1))


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "demo100")
    os.makedirs(os.path.join(folder, "dialogs"), exist_ok=True)
    files = []
    for tab_id, (title, controls) in TABS.items():
        name = "dialogs/%d.ui" % tab_id
        with open(os.path.join(folder, name), "w") as out:
            out.write(form(tab_id, title, controls))
        files.append(name)
    files.append("strings.txt")
    with open(os.path.join(folder, "demo100.qrc"), "w") as out:
        out.write("<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n <qresource>\n")
        for name in files:
            out.write("  <file>%s</file>\n" % name)
        out.write(" </qresource>\n</RCC>\n")


if __name__ == "__main__":
    main()
