#include "model/FormScan.h"

#include <cctype>
#include <charconv>

namespace tonedesk {

namespace {

constexpr auto npos = std::string_view::npos;

bool IsNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.' ||
           c == ':';
}

// XML text with its entity and character references resolved.
std::string DecodeText(std::string_view text) {
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        const std::size_t semicolon = text.find(';', i);
        const std::string_view reference =
            semicolon == npos ? std::string_view{} : text.substr(i, semicolon - i + 1);
        bool done = false;
        for (const auto& [entity, c] : kEntities) {
            if (reference == entity) {
                out += c;
                done = true;
            }
        }
        if (!done && reference.size() > 3 && reference[1] == '#') {
            const bool hex = reference[2] == 'x';
            unsigned code = 0;
            const char* first = reference.data() + (hex ? 3 : 2);
            const auto [end, error] = std::from_chars(
                first, reference.data() + reference.size() - 1, code, hex ? 16 : 10);
            if (error == std::errc{} && end == reference.data() + reference.size() - 1 &&
                code < 128) {
                out += static_cast<char>(code);
                done = true;
            }
        }
        if (done) {
            i = semicolon;
        } else {
            out += '&';
        }
    }
    return out;
}

// The value of attribute `name` in the attribute text of a tag, decoded.
std::optional<std::string> Attribute(std::string_view attributes, std::string_view name) {
    std::size_t i = 0;
    while (i < attributes.size()) {
        while (i < attributes.size() && !IsNameChar(attributes[i])) {
            ++i;
        }
        const std::size_t start = i;
        while (i < attributes.size() && IsNameChar(attributes[i])) {
            ++i;
        }
        const std::string_view attribute = attributes.substr(start, i - start);
        while (i < attributes.size() && std::isspace(static_cast<unsigned char>(attributes[i]))) {
            ++i;
        }
        if (i >= attributes.size() || attributes[i] != '=') {
            continue;
        }
        ++i;
        while (i < attributes.size() && std::isspace(static_cast<unsigned char>(attributes[i]))) {
            ++i;
        }
        if (i >= attributes.size() || (attributes[i] != '"' && attributes[i] != '\'')) {
            continue;
        }
        const std::size_t end = attributes.find(attributes[i], i + 1);
        if (end == npos) {
            return std::nullopt;
        }
        if (attribute == name) {
            return DecodeText(attributes.substr(i + 1, end - i - 1));
        }
        i = end + 1;
    }
    return std::nullopt;
}

// The position of the '>' that closes the tag opened at `from`, skipping quoted values.
std::size_t TagEnd(std::string_view text, std::size_t from) {
    char quote = 0;
    for (std::size_t i = from; i < text.size(); ++i) {
        if (quote != 0) {
            quote = text[i] == quote ? 0 : quote;
        } else if (text[i] == '"' || text[i] == '\'') {
            quote = text[i];
        } else if (text[i] == '>') {
            return i;
        }
    }
    return npos;
}

} // namespace

int FormControlId(std::string_view objectName) {
    if (!objectName.starts_with("id") || objectName.size() < 3 || objectName.size() > 11) {
        return -1;
    }
    int id = 0;
    const char* last = objectName.data() + objectName.size();
    const auto [end, error] = std::from_chars(objectName.data() + 2, last, id);
    return error == std::errc{} && end == last && id >= 0 &&
                   std::isdigit(static_cast<unsigned char>(objectName[2]))
               ? id
               : -1;
}

std::optional<std::vector<FormWidget>> ScanFormWidgets(std::string_view ui) {
    struct Open {
        std::string_view element;
        int widget = -1;             // the widget this element describes, or -1
        bool bitmapProperty = false; // the widget's property "bitmap"
    };
    std::vector<Open> open;
    std::vector<FormWidget> widgets;
    bool form = false;
    std::size_t pos = 0;
    while ((pos = ui.find('<', pos)) != npos) {
        const std::string_view rest = ui.substr(pos);
        if (rest.starts_with("<!--") || rest.starts_with("<![CDATA[")) {
            const std::string_view end = rest[2] == '-' ? "-->" : "]]>";
            const std::size_t close = ui.find(end, pos);
            pos = close == npos ? ui.size() : close + end.size();
            continue;
        }
        const std::size_t close = TagEnd(ui, pos);
        if (close == npos) {
            break;
        }
        std::string_view tag = ui.substr(pos + 1, close - pos - 1);
        pos = close + 1;
        if (tag.starts_with('?') || tag.starts_with('!')) {
            continue;
        }
        if (tag.starts_with('/')) {
            const std::string_view element = tag.substr(1, tag.find_first_of(" \t\r\n") - 1);
            while (!open.empty()) {
                const bool match = open.back().element == element;
                open.pop_back();
                if (match) {
                    break;
                }
            }
            continue;
        }
        const bool empty = tag.ends_with('/');
        if (empty) {
            tag.remove_suffix(1);
        }
        std::size_t nameEnd = 0;
        while (nameEnd < tag.size() && IsNameChar(tag[nameEnd])) {
            ++nameEnd;
        }
        const std::string_view attributes = tag.substr(nameEnd);
        Open element;
        element.element = tag.substr(0, nameEnd);
        const Open* parent = open.empty() ? nullptr : &open.back();
        const bool inWidget = parent && parent->element == "widget";
        if (element.element == "ui") {
            form = true;
        } else if (element.element == "widget") {
            FormWidget widget;
            widget.className = Attribute(attributes, "class").value_or("");
            widget.name = Attribute(attributes, "name").value_or("");
            widgets.push_back(std::move(widget));
            element.widget = static_cast<int>(widgets.size()) - 1;
        } else if (element.element == "item" && inWidget) {
            ++widgets[parent->widget].entries;
        } else if (element.element == "property" && inWidget &&
                   Attribute(attributes, "name") == "bitmap") {
            element.widget = parent->widget;
            element.bitmapProperty = true;
        } else if (parent && parent->bitmapProperty) {
            // The value element (<number>, <string> ...): its text up to the next tag.
            const std::size_t textEnd = empty ? pos : std::min(ui.find('<', pos), ui.size());
            widgets[parent->widget].bitmap = DecodeText(ui.substr(pos, textEnd - pos));
        }
        if (!empty) {
            open.push_back(element);
        }
    }
    if (!form) {
        return std::nullopt;
    }
    return widgets;
}

} // namespace tonedesk
