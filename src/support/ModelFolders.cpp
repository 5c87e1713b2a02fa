#include "support/ModelFolders.h"

#include <cstdlib>
#include <filesystem>

#include <pwd.h>
#include <unistd.h>

namespace tonedesk {

std::vector<std::string> ModelFolders::SearchOrder() const {
    std::vector<std::string> order;
    for (const std::string* folder : {&user, &program}) {
        if (!folder->empty() && (order.empty() || order.front() != *folder)) {
            order.push_back(*folder);
        }
    }
    return order;
}

std::string WithSeparator(std::string folder) {
    if (!folder.empty() && folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

std::string ProgramFolder() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    std::filesystem::path folder = ec ? std::filesystem::current_path(ec) : exe.parent_path();
    return folder.empty() ? "/" : WithSeparator(folder.string());
}

std::string UserModelFolder(const char* xdgDataHome, const char* home) {
    // A relative value is invalid and is to be ignored, as an empty one.
    if (xdgDataHome && xdgDataHome[0] == '/') {
        return WithSeparator(xdgDataHome) + "tonedesk/models/";
    }
    if (home && home[0] == '/') {
        return WithSeparator(home) + ".local/share/tonedesk/models/";
    }
    return {};
}

std::string UserModelFolder() {
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
        const struct passwd* user = ::getpwuid(::getuid());
        home = user ? user->pw_dir : nullptr;
    }
    return UserModelFolder(std::getenv("XDG_DATA_HOME"), home);
}

ModelFolders DefaultModelFolders() {
    return {ProgramFolder(), UserModelFolder()};
}

} // namespace tonedesk
