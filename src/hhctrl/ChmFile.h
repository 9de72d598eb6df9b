// SPDX-License-Identifier: MIT
// One compiled help file opened for reading: its files by internal path, its system record
// (title, default topic, contents and index sitemaps) and its context map.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <memory>

struct chmFile;

class ChmFile {
public:
    // Opens the file; null when it is missing or not a compiled help file.
    static std::unique_ptr<ChmFile> Open(const QByteArray& localPath);
    ~ChmFile();
    ChmFile(const ChmFile&) = delete;
    ChmFile& operator=(const ChmFile&) = delete;

    // Internal paths start with "/"; a path without one is taken from the root.
    bool Exists(const QString& path) const;
    // The whole file, or a null array when it is not there.
    QByteArray Read(const QString& path) const;

    // The internal paths of the file's own files (not the compiler's records), in stored order.
    QStringList Files() const;

    QString Title() const { return TitleText; }
    QString DefaultTopic() const { return DefaultTopicPath; }
    QString ContentsFile() const { return ContentsPath; }
    QString IndexFile() const { return IndexPath; }
    // The topic that the context map gives for the number, or an empty text.
    QString ContextTopic(uint32_t contextId) const;

private:
    explicit ChmFile(chmFile* handle) : Handle(handle) {}
    void ReadSystem();
    void ReadContextMap();
    // The internal path of a file named as the compiler stored it (possibly with the source
    // folder in front): the longest trailing part that exists.
    QString ResolveStoredName(const QString& stored) const;

    chmFile* Handle;
    QString TitleText;
    QString DefaultTopicPath;
    QString ContentsPath;
    QString IndexPath;
    std::map<uint32_t, QString> ContextMap;
};

// The internal path for a name: "/" in front, backslashes as "/".
QString ChmInternalPath(const QString& name);
