#include "link/PortAccess.h"

#include <algorithm>

#include <grp.h>
#include <sys/stat.h>

namespace tonedesk {

namespace {

// Most devices named one by one; the rest are counted.
constexpr std::size_t kDevicesNamed = 5;

// "a", "a and b", "a, b and c"; past kDevicesNamed, "a, b, ... and 3 more".
std::string JoinNames(const std::vector<std::string>& names) {
    const std::size_t shown = std::min(names.size(), kDevicesNamed);
    std::string text;
    for (std::size_t i = 0; i < shown; ++i) {
        if (i > 0) {
            text += i + 1 == shown && shown == names.size() ? " and " : ", ";
        }
        text += names[i];
    }
    if (shown < names.size()) {
        text += " and " + std::to_string(names.size() - shown) + " more";
    }
    return text;
}

void AddOnce(std::vector<std::string>& list, const std::string& item) {
    if (std::find(list.begin(), list.end(), item) == list.end()) {
        list.push_back(item);
    }
}

} // namespace

std::optional<DeviceGroup> FindDeviceGroup(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    DeviceGroup group;
    const struct group* entry = ::getgrgid(st.st_gid);
    group.name = entry ? entry->gr_name : std::to_string(st.st_gid);
    group.grantsAccess =
        st.st_gid != 0 && (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    return group;
}

std::string PortAccessAdvice(const std::vector<std::string>& devices) {
    if (devices.empty()) {
        return {};
    }
    std::vector<std::string> groups;
    std::vector<std::string> closed; // devices no group gives access to
    for (const std::string& device : devices) {
        const std::optional<DeviceGroup> group = FindDeviceGroup(device);
        if (!group) {
            AddOnce(groups, kSerialDeviceGroup);
        } else if (group->grantsAccess) {
            AddOnce(groups, group->name);
        } else {
            closed.push_back(device);
        }
    }
    std::string text = "Access to " + JoinNames(devices) + " was denied.";
    if (!groups.empty()) {
        std::string list;
        for (const std::string& group : groups) {
            list += (list.empty() ? "" : ",") + group;
        }
        text += groups.size() == 1 ? " Add your user to the group " + list + ":\n"
                                   : " Add your user to the groups " + JoinNames(groups) + ":\n";
        text += "    sudo usermod -aG " + list + " $USER\n";
        text += "then log out and in again.";
    }
    if (!closed.empty()) {
        text += "\nNo group may open " + JoinNames(closed) +
                ": ask the administrator of this machine for access.";
    }
    return text;
}

std::string PortAccessAdvice(const SerialPortFactory& ports,
                             const std::vector<std::int32_t>& comNumbers) {
    std::vector<std::string> devices;
    for (const std::int32_t com : comNumbers) {
        const std::string device = ports.DevicePath(com);
        devices.push_back(device.empty() ? "COM" + std::to_string(com) : device);
    }
    return PortAccessAdvice(devices);
}

} // namespace tonedesk
