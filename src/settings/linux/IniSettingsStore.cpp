// SPDX-License-Identifier: MIT
#include "settings/linux/IniSettingsStore.h"

#include "core/Text.h"
#include "settings/MemorySettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

#include <sys/stat.h>

namespace orvane {

namespace {

constexpr const char* listSizeSuffix = "/size";
constexpr const char* listItemKey = "id";

// Only a plain string counts: the INI reader turns text with commas into a
// list, and that is not what we wrote.
std::optional<QString> plainText(const QSettings& settings, const QString& key) {
    const QVariant value = settings.value(key);
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::Int: // the list size, while it is still in Qt's cache
        return value.toString();
    default:
        return std::nullopt;
    }
}

// Something other than a regular file at the path (followed through links) would
// hang the read (a FIFO) or be replaced by the save (a device).
bool notAFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

// QSettings waits forever for a lock it cannot take; only a regular file can be one.
bool lockBlocked(const std::string& path) {
    struct stat info {};
    const std::string lock = path + ".lock";
    return ::lstat(lock.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

} // namespace

IniSettingsStore::IniSettingsStore(const std::string& path) : path_(path) {
    if (notAFile(path)) {
        refused_ = StoreStatus::notAFile;
        return;
    }
    settings_ = std::make_unique<QSettings>(QString::fromStdString(path), QSettings::IniFormat);
    settings_->setAtomicSyncRequired(true);
}

IniSettingsStore::~IniSettingsStore() = default;

std::string IniSettingsStore::defaultPath() {
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(config).filePath(QStringLiteral("orvane/settings.ini")).toStdString();
}

bool IniSettingsStore::contains(std::string_view key) const {
    if (staged(key)) {
        return pending_.contains(key);
    }
    const QString k = QString::fromUtf8(key);
    return settings_->contains(k) || settings_->contains(k + listSizeSuffix);
}

std::optional<double> IniSettingsStore::readDouble(std::string_view key) const {
    if (staged(key)) {
        return pending_.readDouble(key);
    }
    const std::optional<QString> text = plainText(*settings_, QString::fromUtf8(key));
    return text ? parseDecimal(text->trimmed().toStdString()) : std::nullopt;
}

std::optional<bool> IniSettingsStore::readBool(std::string_view key) const {
    if (staged(key)) {
        return pending_.readBool(key);
    }
    const std::optional<QString> text = plainText(*settings_, QString::fromUtf8(key));
    if (!text) {
        return std::nullopt;
    }
    const QString word = text->trimmed().toLower();
    if (word == QLatin1String("true")) {
        return true;
    }
    if (word == QLatin1String("false")) {
        return false;
    }
    return std::nullopt;
}

std::optional<std::string> IniSettingsStore::readString(std::string_view key) const {
    if (staged(key)) {
        return pending_.readString(key);
    }
    const std::optional<QString> text = plainText(*settings_, QString::fromUtf8(key));
    if (!text) {
        return std::nullopt;
    }
    return text->toStdString();
}

std::optional<std::vector<std::string>>
IniSettingsStore::readStringList(std::string_view key) const {
    if (staged(key)) {
        return pending_.readStringList(key);
    }
    const QString k = QString::fromUtf8(key);
    const std::optional<QString> sizeText = plainText(*settings_, k + listSizeSuffix);
    if (!sizeText) {
        return std::nullopt;
    }
    bool ok = false;
    const int size = sizeText->trimmed().toInt(&ok);
    if (!ok || size < 0) {
        return std::nullopt;
    }
    // Only the entries the file holds are visited, so a damaged size of
    // billions costs nothing; they are read in index order.
    settings_->beginGroup(k);
    std::vector<int> indices;
    for (const QString& group : settings_->childGroups()) {
        const int index = group.toInt(&ok);
        if (ok && index >= 1 && index <= size) {
            indices.push_back(index);
        }
    }
    settings_->endGroup();
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());

    std::vector<std::string> list;
    settings_->beginReadArray(k);
    for (const int index : indices) {
        settings_->setArrayIndex(index - 1);
        // A missing or mangled entry is dropped; the rest of the list stays.
        if (const std::optional<QString> item = plainText(*settings_, listItemKey)) {
            list.push_back(item->toStdString());
        }
    }
    settings_->endArray();
    return list;
}

// Writes wait in memory until a commit that can land: QSettings would otherwise
// sync them from its destructor, into a path refused a moment before.
void IniSettingsStore::writeDouble(std::string_view key, double value) {
    pending_.writeDouble(key, value);
}

void IniSettingsStore::writeBool(std::string_view key, bool value) {
    pending_.writeBool(key, value);
}

void IniSettingsStore::writeString(std::string_view key, std::string_view value) {
    pending_.writeString(key, value);
}

void IniSettingsStore::writeStringList(std::string_view key,
                                       const std::vector<std::string>& value) {
    pending_.writeStringList(key, value);
}

bool IniSettingsStore::staged(std::string_view key) const {
    return !settings_ || pending_.contains(key);
}

void IniSettingsStore::apply(const std::string& key, const MemorySettingsStore::Value& value) {
    const QString k = QString::fromStdString(key);
    if (const auto* number = std::get_if<double>(&value)) {
        std::array<char, 64> buffer{};
        const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), *number);
        settings_->setValue(k, QString::fromLatin1(buffer.data(), result.ptr - buffer.data()));
    } else if (const auto* flag = std::get_if<bool>(&value)) {
        settings_->setValue(k, *flag ? QStringLiteral("true") : QStringLiteral("false"));
    } else if (const auto* text = std::get_if<std::string>(&value)) {
        settings_->setValue(k, QString::fromStdString(*text));
    } else if (const auto* list = std::get_if<std::vector<std::string>>(&value)) {
        settings_->remove(k); // drops a longer old list, or a plain value under the key
        settings_->beginWriteArray(k, static_cast<int>(list->size()));
        for (std::size_t i = 0; i < list->size(); ++i) {
            settings_->setArrayIndex(static_cast<int>(i));
            settings_->setValue(listItemKey, QString::fromStdString((*list)[i]));
        }
        settings_->endArray();
    }
}

StoreStatus IniSettingsStore::commit() {
    if (refused_) {
        return *refused_;
    }
    if (notAFile(path_)) {
        return StoreStatus::notAFile;
    }
    if (lockBlocked(path_)) {
        return StoreStatus::lockBlocked;
    }
    const QString file = QString::fromStdString(path_);
    QDir().mkpath(QFileInfo(file).absolutePath());
    for (const auto& [key, value] : pending_.values()) {
        apply(key, value);
    }
    pending_ = MemorySettingsStore();
    settings_->sync();
    // A QSettings keeps the first error it ever met, and reports unreadable
    // lines of the old file (which the rewrite drops) as a format error. A
    // fresh look at the file tells whether this write landed.
    QSettings check(file, QSettings::IniFormat);
    check.sync();
    switch (check.status()) {
    case QSettings::NoError:
        return StoreStatus::ok;
    case QSettings::AccessError:
        return StoreStatus::writeFailed;
    case QSettings::FormatError:
        return StoreStatus::formatError;
    }
    return StoreStatus::writeFailed;
}

} // namespace orvane
