#include "support/qt/QtSettingsStore.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QString>

#include <cerrno>
#include <cstring>

#if !defined(Q_OS_WIN)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tonedesk {

namespace {

const QString kOrganisation = QStringLiteral("VANTO");
const QString kApplication = QStringLiteral("Vanto Tonedesk");

QString KeyPath(std::string_view section, std::string_view key) {
    return QString::fromLatin1(section.data(), static_cast<qsizetype>(section.size())) + '/' +
           QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size()));
}

#if !defined(Q_OS_WIN)
// The user's profile file: $XDG_CONFIG_HOME (or ~/.config)/VANTO/Vanto Tonedesk.conf.
QString ProfileFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' +
           kOrganisation + u'/' + kApplication + QStringLiteral(".conf");
}

// Why the profile file cannot be handed to QSettings, or nothing when it can (a missing file
// is an empty profile). QSettings opens the file itself and would wait for ever on a pipe, so
// the file is looked at just before; a pipe put in its place in between is not caught.
std::optional<std::string> RefusalOf(const std::string& path) {
    constexpr const char* kNotRegular = "it is not a regular file";
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return std::nullopt;
        }
        return std::strerror(errno);
    }
    if (!S_ISREG(st.st_mode)) {
        return kNotRegular;
    }
    // Opened without waiting, for the system's reason when it cannot be read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return std::strerror(errno);
    }
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    if (!regular) {
        return kNotRegular;
    }
    return std::nullopt;
}
#endif

} // namespace

QtSettingsStore::QtSettingsStore() {
#if defined(Q_OS_WIN)
    settings_ = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            kOrganisation, kApplication);
    const std::string fileName = settings_->fileName().toStdString();
#else
    // The file itself rather than organisation and application: QSettings would also read
    // fallback files (VANTO.conf, the system's /etc/xdg) that nobody looked at first.
    const QString file = ProfileFile();
    const std::string fileName = QFile::encodeName(file).toStdString();
    if (auto refusal = RefusalOf(fileName)) {
        failure_ = SettingsFailure{fileName, std::move(*refusal)};
        return;
    }
    settings_ = std::make_unique<QSettings>(file, QSettings::IniFormat);
#endif
    // QSettings parses the sections of an INI file only when they are first read: read every
    // key now, so that a line it cannot parse shows in the status before anything is used.
    settings_->allKeys();
    if (settings_->status() != QSettings::NoError) {
        failure_ = SettingsFailure{fileName, settings_->status() == QSettings::AccessError
                                                 ? "it cannot be read"
                                                 : "it is not a valid profile (INI format)"};
        settings_.reset();
    }
}

QtSettingsStore::~QtSettingsStore() = default;

std::int32_t QtSettingsStore::GetInt(std::string_view section, std::string_view key,
                                     std::int32_t defaultValue) const {
    if (!settings_) {
        return defaultValue;
    }
    const QVariant v = settings_->value(KeyPath(section, key));
    if (!v.isValid()) {
        return defaultValue;
    }
    bool ok = false;
    const qlonglong n = v.toString().trimmed().toLongLong(&ok, 0);
    if (!ok || n < INT32_MIN || n > static_cast<qlonglong>(UINT32_MAX)) {
        return defaultValue;
    }
    // The profile keeps 32-bit words; the reader decides their signedness.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(n));
}

std::string QtSettingsStore::GetText(std::string_view section, std::string_view key,
                                     std::string_view defaultValue) const {
    if (!settings_) {
        return std::string(defaultValue);
    }
    const QVariant v = settings_->value(KeyPath(section, key));
    if (!v.isValid()) {
        return std::string(defaultValue);
    }
    return v.toString().toLocal8Bit().toStdString();
}

void QtSettingsStore::WriteText(std::string_view section, std::string_view key,
                                std::string_view value) {
    if (!settings_) {
        return; // a profile that could not be read is left as it is
    }
    settings_->setValue(KeyPath(section, key),
                        QString::fromLocal8Bit(value.data(), static_cast<qsizetype>(value.size())));
    settings_->sync();
}

} // namespace tonedesk
