#include "support/qt/QtSettingsStore.h"

#include <QSettings>
#include <QString>

namespace tonedesk {

namespace {

QString KeyPath(std::string_view section, std::string_view key) {
    return QString::fromLatin1(section.data(), static_cast<qsizetype>(section.size())) + '/' +
           QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size()));
}

} // namespace

QtSettingsStore::QtSettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            QStringLiteral("VANTO"),
                                            QStringLiteral("Vanto Tonedesk"))) {}

QtSettingsStore::~QtSettingsStore() = default;

std::int32_t QtSettingsStore::GetInt(std::string_view section, std::string_view key,
                                     std::int32_t defaultValue) const {
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
    const QVariant v = settings_->value(KeyPath(section, key));
    if (!v.isValid()) {
        return std::string(defaultValue);
    }
    return v.toString().toLocal8Bit().toStdString();
}

void QtSettingsStore::WriteText(std::string_view section, std::string_view key,
                                std::string_view value) {
    settings_->setValue(KeyPath(section, key),
                        QString::fromLocal8Bit(value.data(), static_cast<qsizetype>(value.size())));
    settings_->sync();
}

} // namespace tonedesk
