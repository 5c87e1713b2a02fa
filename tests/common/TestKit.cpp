#include "common/TestKit.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tonedesk::test {

TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tonedesk-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::filesystem::path TempDir::Write(const std::string& name, const std::string& content) const {
    const auto file = path_ / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << content;
    return file;
}

std::string TempDir::Read(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::size_t BundleNamesOffset(const std::string& bundle) {
    std::size_t names = 0;
    for (std::size_t i = 16; i < 20 && i < bundle.size(); ++i) {
        names = names << 8 | static_cast<unsigned char>(bundle[i]);
    }
    return names;
}

std::string CalFileText(const std::string& rows, const std::string& keywords,
                        const std::string& fields) {
    // Appended piece by piece: GCC 12 at -O3 warns falsely on a literal + a temporary string.
    std::string text = "CAL\n\nDESCRIPTOR \"test\"\n";
    if (!keywords.empty()) {
        text += keywords;
        text += '\n';
    }
    text += "NUMBER_OF_FIELDS 4\nBEGIN_DATA_FORMAT\n";
    text += fields;
    text += "\nEND_DATA_FORMAT\nNUMBER_OF_SETS ";
    text += std::to_string(std::count(rows.begin(), rows.end(), '\n'));
    text += "\nBEGIN_DATA\n";
    text += rows;
    text += "END_DATA\n";
    return text;
}

} // namespace tonedesk::test
