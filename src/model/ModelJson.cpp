#include "model/ModelJson.h"

#include "model/ModelFile.h"
#include "model/ModelSyntax.h"

#include <cstdio>

namespace tonedesk {

namespace {

class JsonWriter {
public:
    std::string text;

    void Key(std::string_view name) {
        Separator();
        text += JsonString(name);
        text += ':';
        first_ = true; // the value follows without a comma
    }
    void Open(char bracket) {
        Separator();
        text += bracket;
        first_ = true;
    }
    void Close(char bracket) {
        text += bracket;
        first_ = false;
    }
    void Number(std::int32_t n) {
        Separator();
        text += std::to_string(n);
    }
    void Value(std::int32_t n) {
        if (n == kNoValue) {
            Separator();
            text += "null";
        } else {
            Number(n);
        }
    }
    void String(std::string_view s) {
        Separator();
        text += JsonString(s);
    }
    void Field(std::string_view name, std::int32_t n) {
        Key(name);
        Number(n);
    }
    void Commands(std::string_view name, const CommandList& list) {
        Key(name);
        Commands(list);
    }
    void Commands(const CommandList& list) {
        Open('[');
        for (const CommandItem& item : list) {
            Open('[');
            String(item.Code());
            Value(item.value);
            Close(']');
        }
        Close(']');
    }

private:
    void Separator() {
        if (!first_) {
            text += ',';
        }
        first_ = false;
    }
    bool first_ = true;
};

void WriteControl(JsonWriter& json, const ModelControl& control) {
    json.Open('{');
    json.Key("kind");
    json.String(IsControlSection(control.kind) ? SectionHeader(control.kind) : "");
    json.Field("id", control.id);
    json.Field("max", control.max);
    json.Field("min", control.min);
    json.Field("freq", control.freq);
    json.Field("default", control.defaultValue);
    json.Key("commandLists");
    json.Open('[');
    for (const CommandList& list : control.commandLists) {
        json.Commands(list);
    }
    json.Close(']');
    json.Key("relatedIds");
    json.Open('[');
    for (std::int32_t id : control.relatedIds) {
        json.Number(id);
    }
    json.Close(']');
    json.Field("mode", control.mode);
    json.Field("elapse", control.elapse);
    json.Field("increment", control.increment);
    json.Key("reload");
    json.Open('[');
    for (const CommandItem& item : control.reloadCodes) {
        json.String(item.Code());
    }
    json.Close(']');
    json.Commands("disable", control.disableList);
    json.Close('}');
}

} // namespace

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c >= 0x20 && c < 0x7F) {
            out += ch;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        }
    }
    out += '"';
    return out;
}

std::string ModelToJson(const CModelFile& model) {
    JsonWriter json;
    json.Open('{');
    json.Field("autoReceiveElapse", model.autoReceiveElapse);
    json.Key("tabs");
    json.Open('[');
    for (const ModelTab& tab : model.tabs) {
        json.Open('{');
        json.Field("id", tab.id);
        json.Key("resourceFile");
        json.String(tab.resourceFile);
        json.Field("modeControlId", tab.modeControlId);
        json.Field("statusControlId", tab.statusControlId);
        json.Commands("leaveCommands", tab.leaveCommands);
        json.Commands("enterCommands", tab.enterCommands);
        json.Key("controls");
        json.Open('[');
        for (const ModelControl& control : tab.controls) {
            WriteControl(json, control);
        }
        json.Close(']');
        json.Close('}');
    }
    json.Close(']');
    json.Commands("saveCommands", model.saveCommands);
    json.Commands("saveCommands2", model.saveCommands2);
    json.Close('}');
    return json.text;
}

} // namespace tonedesk
