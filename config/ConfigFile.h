#pragma once
// Settings live in the GBK profile file "配置文件.ini" beside the data, section "软件配置".
// Nothing is cached: every read and write goes to the file.
#include <QString>

namespace quorvel {

inline const QString kSettingsSection = QStringLiteral("软件配置");

// The stored text of key, or defaultValue when the file, the section or the key is missing.
// A key stored with an empty value reads as empty.
QString readSetting(const QString& key, const QString& defaultValue = QString());
// Stores value under key, replacing the key's line in place and keeping every other line.
// The file is replaced atomically. Returns false when it could not be written.
bool writeSetting(const QString& key, const QString& value);

// The same on any profile file and section (the update descriptor uses it).
QString readProfileString(const QString& file, const QString& section, const QString& key,
                          const QString& defaultValue = QString());
bool writeProfileString(const QString& file, const QString& section, const QString& key,
                        const QString& value);

// Parses profile-file bytes (GBK); exposed for tests and fuzzing. Returns the key's value or
// defaultValue.
QString profileValue(const QByteArray& bytes, const QString& section, const QString& key,
                     const QString& defaultValue);
// Returns bytes with key set to value in section (section and key added when missing).
QByteArray profileWithValue(const QByteArray& bytes, const QString& section, const QString& key,
                            const QString& value);

QString settingsFilePath();

} // namespace quorvel
