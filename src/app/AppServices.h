#pragma once

namespace tonedesk {

class Clock;
class Notifier;
class SerialPortFactory;
class Settings;
class UserPrompts;

// The services the windows work with. The program builds them once at start-up (main.cpp) and
// hands them down; tests hand down their own. They must outlive every window they are given to.
struct AppServices {
    Settings& settings;
    const Clock& clock;
    SerialPortFactory& ports;
    Notifier& notifier;
    UserPrompts& prompts;
};

} // namespace tonedesk
