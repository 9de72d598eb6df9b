// SPDX-License-Identifier: MIT
#include "ChmFile.h"

#include <chm_lib.h>

#include <QFileInfo>

namespace {

uint32_t ReadLe32(const QByteArray& data, qsizetype at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(data.constData()) + at;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t ReadLe16(const QByteArray& data, qsizetype at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(data.constData()) + at;
    return uint16_t(p[0] | p[1] << 8);
}

// A zero-ended text inside a record (the records carry their own length).
QString RecordText(const QByteArray& data, qsizetype at, qsizetype length)
{
    QByteArray text = data.mid(at, length);
    const qsizetype end = text.indexOf('\0');
    if (end >= 0)
        text.truncate(end);
    return QString::fromLocal8Bit(text);
}

}  // namespace

QString ChmInternalPath(const QString& name)
{
    QString path = name;
    path.replace('\\', '/');
    if (!path.startsWith('/'))
        path.prepend('/');
    return path;
}

std::unique_ptr<ChmFile> ChmFile::Open(const QByteArray& localPath)
{
    // chmlib opens anything it can read; only regular files are worth asking it about.
    if (localPath.isEmpty() || !QFileInfo(QFile::decodeName(localPath)).isFile())
        return nullptr;
    chmFile* handle = chm_open(localPath.constData());
    if (!handle)
        return nullptr;
    std::unique_ptr<ChmFile> file(new ChmFile(handle));
    file->ReadSystem();
    file->ReadContextMap();
    return file;
}

ChmFile::~ChmFile()
{
    chm_close(Handle);
}

bool ChmFile::Exists(const QString& path) const
{
    chmUnitInfo info{};
    const QByteArray name = ChmInternalPath(path).toLocal8Bit();
    return chm_resolve_object(Handle, name.constData(), &info) == CHM_RESOLVE_SUCCESS &&
           !name.endsWith('/');
}

QStringList ChmFile::Files() const
{
    QStringList files;
    chm_enumerate(
        Handle, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES,
        [](chmFile*, chmUnitInfo* info, void* context) {
            static_cast<QStringList*>(context)->append(QString::fromLocal8Bit(info->path));
            return CHM_ENUMERATOR_CONTINUE;
        },
        &files);
    return files;
}

QByteArray ChmFile::Read(const QString& path) const
{
    chmUnitInfo info{};
    const QByteArray name = ChmInternalPath(path).toLocal8Bit();
    if (name.endsWith('/') ||
        chm_resolve_object(Handle, name.constData(), &info) != CHM_RESOLVE_SUCCESS)
        return {};
    if (info.length > 64ull * 1024 * 1024)  // no help page is that big; refuse a broken file
        return {};
    QByteArray data(static_cast<qsizetype>(info.length), Qt::Uninitialized);
    const LONGINT64 got =
        chm_retrieve_object(Handle, &info, reinterpret_cast<unsigned char*>(data.data()), 0,
                            static_cast<LONGINT64>(info.length));
    if (got < 0)
        return {};
    data.truncate(static_cast<qsizetype>(got));
    if (data.isNull())
        data = QByteArray("");  // an empty file is still a file
    return data;
}

void ChmFile::ReadSystem()
{
    // A version word, then records of (code, length, data).
    const QByteArray system = Read("/#SYSTEM");
    for (qsizetype at = 4; at + 4 <= system.size();) {
        const uint16_t code = ReadLe16(system, at);
        const uint16_t length = ReadLe16(system, at + 2);
        at += 4;
        if (at + length > system.size())
            break;
        switch (code) {
        case 0: ContentsPath = ChmInternalPath(RecordText(system, at, length)); break;
        case 1: IndexPath = ChmInternalPath(RecordText(system, at, length)); break;
        case 2: DefaultTopicPath = ChmInternalPath(RecordText(system, at, length)); break;
        case 3: TitleText = RecordText(system, at, length); break;
        default: break;
        }
        at += length;
    }
    if (DefaultTopicPath.isEmpty() && Exists("/index.htm"))
        DefaultTopicPath = "/index.htm";
}

void ChmFile::ReadContextMap()
{
    // #IVB: its length, then pairs of (context number, offset of the file name in #STRINGS).
    const QByteArray ivb = Read("/#IVB");
    const QByteArray strings = Read("/#STRINGS");
    if (ivb.size() < 4 || strings.isEmpty())
        return;
    const qsizetype end = std::min<qsizetype>(ivb.size(), 4 + qsizetype(ReadLe32(ivb, 0)));
    for (qsizetype at = 4; at + 8 <= end; at += 8) {
        const uint32_t id = ReadLe32(ivb, at);
        const uint32_t offset = ReadLe32(ivb, at + 4);
        if (offset >= static_cast<uint32_t>(strings.size()))
            continue;
        const QString stored = RecordText(strings, offset, strings.size() - offset);
        const QString topic = ResolveStoredName(stored);
        if (!topic.isEmpty())
            ContextMap.emplace(id, topic);
    }
}

QString ChmFile::ResolveStoredName(const QString& stored) const
{
    QString name = stored;
    name.replace('\\', '/');
    for (;;) {
        const QString candidate = ChmInternalPath(name);
        if (Exists(candidate))
            return candidate;
        const qsizetype slash = name.indexOf('/', 1);
        if (slash < 0)
            return {};
        name = name.mid(slash + 1);
    }
}

QString ChmFile::ContextTopic(uint32_t contextId) const
{
    auto it = ContextMap.find(contextId);
    return it == ContextMap.end() ? QString() : it->second;
}
