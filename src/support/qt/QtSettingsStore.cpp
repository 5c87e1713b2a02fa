#include "support/qt/QtSettingsStore.h"

#include "support/FileRead.h"
#include "support/ProfileCheck.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryFile>

#include <cerrno>

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
#endif

// Whether `text` is an INI file that QSettings reads without a format error. QSettings reads a
// file that starts with a UTF-8 byte order mark right, but reports a format error for the mark:
// the text after the mark is judged from a copy.
bool ValidIniText(const std::string& text) {
    QTemporaryFile copy;
    if (!copy.open() || copy.write(text.data(), static_cast<qint64>(text.size())) !=
                            static_cast<qint64>(text.size())) {
        return false;
    }
    copy.close();
    QSettings check(copy.fileName(), QSettings::IniFormat);
    check.allKeys();
    return check.status() == QSettings::NoError;
}

} // namespace

QtSettingsStore::QtSettingsStore() {
    std::string text; // the profile file's text as read before QSettings reads it
#if defined(Q_OS_WIN)
    settings_ = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            kOrganisation, kApplication);
    const std::string fileName = settings_->fileName().toStdString();
#else
    // The file itself rather than organisation and application: QSettings would also read
    // fallback files (VANTO.conf, the system's /etc/xdg) that nobody looked at first.
    const QString file = ProfileFile();
    const std::string fileName = QFile::encodeName(file).toStdString();
    // The file is read here first, without waiting (QSettings would wait for ever on a pipe) and
    // only up to its size limit, for what QSettings passes over in silence. A file put in its
    // place in between is not caught. A missing file is an empty profile.
    if (const int error = ReadWholeFile(fileName, text, kMaxProfileSize);
        error != 0 && error != ENOENT && error != ENOTDIR) {
        failure_ = SettingsFailure{fileName, FileReadReason(error, kMaxProfileSize)};
        return;
    }
    ProfileFindings findings = CheckProfileText(text);
    if (findings.error) {
        failure_ = SettingsFailure{fileName, std::move(*findings.error)};
        return;
    }
    for (const std::string& warning : findings.warnings) {
        warnings_.push_back(fileName + ": " + warning);
    }
    settings_ = std::make_unique<QSettings>(file, QSettings::IniFormat);
#endif
    // QSettings parses the sections of an INI file only when they are first read: read every
    // key now, so that a line it cannot parse shows in the status before anything is used.
    settings_->allKeys();
    constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
    const bool valid = settings_->status() == QSettings::NoError ||
                       (settings_->status() == QSettings::FormatError &&
                        text.starts_with(kUtf8Mark) && ValidIniText(text.substr(kUtf8Mark.size())));
    if (!valid) {
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
    // The profile keeps 32-bit words; the reader decides their signedness.
    return ProfileWord(v.toString().trimmed().toStdString()).value_or(defaultValue);
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
