#include "link/SettingsFileActions.h"

#include "link/ProjectorLink.h"
#include "link/SettingsFile.h"
#include "support/FileRead.h"
#include "support/Notifier.h"
#include "support/PathName.h"
#include "support/Settings.h"

namespace tonedesk {

namespace {

void RememberFolder(Settings& settings, const std::string& path) {
    settings.WriteText(kEnvSection, "OUTPUTPATH", GetFolder(path));
}

} // namespace

void OpenSettingsFile(CProjectorLink& link, Settings& settings, Notifier& notifier,
                      std::string_view projectorName, const SettingsFileChooser& choose) {
    for (;;) {
        const std::optional<std::string> chosen = choose(EnvText(settings, "OUTPUTPATH"));
        if (!chosen) {
            return;
        }
        RememberFolder(settings, *chosen);
        std::string text;
        if (const int error = ReadWholeFile(*chosen, text); error != 0) {
            notifier.FileError(*chosen, FileReadReason(error));
            continue;
        }
        const SettingsFileContent content = ParseSettingsFile(text, projectorName);
        if (!content.forThisProjector) {
            notifier.Message(kMessageOtherProjector);
            continue;
        }
        for (const std::string& command : content.commands) {
            link.QueueCommand(command.data(), static_cast<std::int32_t>(command.size()),
                              AnswerKind::Plain, false);
        }
        if (content.shortLines > 0) {
            notifier.Message(kMessageShortSettingsLines, std::to_string(content.shortLines));
        }
        return;
    }
}

void PrepareSettingsSave(CProjectorLink& link, Settings& settings, const std::string& path) {
    RememberFolder(settings, path);
    CModelFile& model = link.Model();
    model.saveCommands.readPosition = 0;
    model.saveCommands2.readPosition = 0;
}

} // namespace tonedesk
