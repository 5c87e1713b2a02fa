#pragma once

#include "link/SerialPort.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tonedesk {

// The group that owns a device file.
struct DeviceGroup {
    std::string name; // "dialout"; the group's number when the system has no name for it
    // Its members may read and write the device, and it is not the super-user's group: joining
    // it gives access.
    bool grantsAccess = false;
};

// The group of the device at `path`; nothing when the file cannot be looked at.
std::optional<DeviceGroup> FindDeviceGroup(const std::string& path);

// The group Debian gives serial devices, named when a device's own cannot be found out.
inline constexpr const char* kSerialDeviceGroup = "dialout";

// What the user can do about devices that could not be opened because access was denied, in a
// few lines: the devices, then the one command that adds the user to the groups that own them
// ("sudo usermod -aG dialout $USER") and the new login it needs. Devices whose group gives no
// access are left to the machine's administrator. Empty when `devices` is.
std::string PortAccessAdvice(const std::vector<std::string>& devices);

// The same for ports by COM number, through the factory's devices ("COM3" where it knows none).
std::string PortAccessAdvice(const SerialPortFactory& ports,
                             const std::vector<std::int32_t>& comNumbers);

} // namespace tonedesk
