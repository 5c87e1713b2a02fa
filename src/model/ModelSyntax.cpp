#include "model/ModelSyntax.h"

#include "support/TextScan.h"

#include <algorithm>
#include <cstring>

#include <sys/stat.h>

namespace tonedesk {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool OnlyBlanks(const char* p, const char* end) {
    return std::all_of(p, end, IsBlank);
}

bool IsSeparator(char c) {
    return c == ',' || IsBlank(c);
}

// Notes the first code of a list that is not four characters: the item's text up to a separator
// or the end when that comes before four characters (the characters taken as its code when the
// item starts with a separator).
void NoteShortCode(const char* p, const char* end, ListEnd& result) {
    const char* const four = std::min(p + 4, end);
    const char* stop = std::find_if(p, four, IsSeparator);
    if (result.shortCode.empty() && stop < p + 4 && !OnlyBlanks(p, end)) {
        result.shortCode.assign(p, stop == p ? four : stop);
    }
}

CommandItem ItemAt(const char* p, std::int32_t value) {
    CommandItem item;
    std::memcpy(item.code.data(), p, item.code.size());
    item.value = value;
    return item;
}

} // namespace

bool KeyCountsIn(std::int32_t key, ModelSection section) {
    const bool control = IsControlSection(section);
    switch (key) {
    case kKeyProjectorName:
    case kKeyAutoRecvElapse:
        return section == ModelSection::Property;
    case kKeyResourceFile:
        return section == ModelSection::Tab;
    case kKeyId:
        return section == ModelSection::Tab || control;
    case kKeyItem:
        return section != ModelSection::None;
    case kKeyCommand:
    case kKeyCommand2:
        return section == ModelSection::Save || section == ModelSection::Tab || control;
    default:
        if (key >= kKeyGammaFile1) {
            return section == ModelSection::Property;
        }
        return control;
    }
}

ModelSection MatchSection(std::string_view line) {
    for (std::size_t i = 0; i < kSectionHeaders.size(); ++i) {
        if (line.starts_with(kSectionHeaders[i])) {
            return static_cast<ModelSection>(i);
        }
    }
    return ModelSection::None;
}

std::int32_t MatchKey(std::string_view line, std::string_view* value) {
    for (std::size_t k = 0; k < kModelKeys.size(); ++k) {
        if (!line.starts_with(kModelKeys[k])) {
            continue;
        }
        std::size_t p = kModelKeys[k].size();
        while (p < line.size() && IsBlank(line[p])) {
            ++p;
        }
        if (p == line.size() || line[p] != '=') {
            continue;
        }
        ++p;
        while (p < line.size() && IsBlank(line[p])) {
            ++p;
        }
        if (value) {
            *value = line.substr(p);
        }
        return static_cast<std::int32_t>(k);
    }
    return -1;
}

ModelLineReader::ModelLineReader(std::string_view text) {
    const std::size_t stop = text.find_first_of(std::string_view("\0\x1a", 2));
    buffer_.assign(text.substr(0, stop));
}

bool ModelLineReader::Next(ModelLine& line) {
    const char* start = buffer_.c_str() + position_;
    if (*start == '\0') {
        return false;
    }
    const char* lineEnd = nullptr;
    const char* next = NextLine(start, &lineEnd);
    position_ = static_cast<std::size_t>(next - buffer_.c_str());

    line = ModelLine{};
    line.number = number_;
    // Editors count CR LF as one line and LF LF as two, where NextLine sees one break.
    const std::string_view breaks(lineEnd, static_cast<std::size_t>(next - lineEnd));
    number_ += breaks == "\r\n" ? 1 : static_cast<int>(breaks.size());
    line.text = std::string_view(start, static_cast<std::size_t>(lineEnd - start));
    if (line.text.starts_with('[')) {
        line.header = MatchSection(line.text);
        section_ = line.header;
    } else if (section_ != ModelSection::None) {
        std::string_view value;
        line.key = MatchKey(line.text, &value);
        if (line.key >= 0) {
            line.value.assign(value);
        }
    }
    line.section = section_;
    return true;
}

ListEnd ParseCommandList(const std::string& value, CommandList& list) {
    ListEnd result;
    const char* p = value.c_str();
    const char* const end = p + value.size();
    while (p < end) {
        NoteShortCode(p, end, result);
        if (end - p < 4) {
            result.complete = OnlyBlanks(p, end);
            break;
        }
        const char* const code = p;
        p += 4;
        if (*p != ',') {
            list.items.push_back(ItemAt(code, kNoValue));
            if (p < end) {
                ++p; // the separator of an item without a parameter
            }
            continue;
        }
        ++p;
        std::int32_t parameter = kNoValue;
        if (end - p >= 4 && std::memcmp(p, "????", 4) == 0) {
            p += 4;
        } else {
            const char* stop = p;
            parameter = ParseNumber(p, &stop);
            result.numbersOk = result.numbersOk && ParsedDigits(p, stop);
            const char* written = SkipBlanks(p);
            result.parameters.push_back(
                {std::string_view(code, 4),
                 std::string_view(written,
                                  static_cast<std::size_t>(std::max(stop, written) - written)),
                 parameter});
            p = stop;
        }
        list.items.push_back(ItemAt(code, parameter));
        if (*p != ',') {
            result.complete = OnlyBlanks(p, end);
            break;
        }
        ++p;
    }
    return result;
}

ListEnd ParseCodeList(const std::string& value, CommandList& list) {
    ListEnd result;
    const char* p = value.c_str();
    const char* const end = p + value.size();
    for (;;) {
        NoteShortCode(p, end, result);
        if (end - p < 4) {
            result.complete = OnlyBlanks(p, end);
            break;
        }
        list.items.push_back(ItemAt(p, 0));
        p += 4;
        if (*p != ',') {
            result.complete = OnlyBlanks(p, end);
            break;
        }
        ++p;
    }
    return result;
}

ListEnd ParseIdList(const std::string& value, std::vector<std::int32_t>& ids) {
    ListEnd result;
    const char* p = value.c_str();
    const char* const end = p + value.size();
    // The list ends at the end of the line: an empty value, or a "," at the end, adds nothing.
    while (!OnlyBlanks(p, end)) {
        const char* stop = p;
        ids.push_back(ParseNumber(p, &stop));
        result.numbersOk = result.numbersOk && ParsedDigits(p, stop);
        p = stop;
        if (*p != ',') {
            result.complete = OnlyBlanks(p, end);
            break;
        }
        ++p;
    }
    return result;
}

std::int32_t ParseValueNumber(const std::string& value, bool* complete) {
    const char* p = value.c_str();
    const char* stop = p;
    const std::int32_t n = ParseNumber(p, &stop);
    if (complete) {
        *complete = ParsedDigits(p, stop) && OnlyBlanks(stop, p + value.size());
    }
    return n;
}

std::string CutPath(std::string_view value) {
    return std::string(value.substr(0, std::min(value.size(), kMaxPathLength)));
}

std::string ModelFilePath(std::string_view folder, std::string_view value) {
    std::string path(folder);
    path += CutPath(value);
    return CutPath(path);
}

std::string FindModelFilePath(const std::vector<std::string>& folders, std::string_view value) {
    for (const std::string& folder : folders) {
        std::string path = ModelFilePath(folder, value);
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) {
            return path;
        }
    }
    return ModelFilePath(folders.empty() ? std::string_view{} : folders.front(), value);
}

} // namespace tonedesk
