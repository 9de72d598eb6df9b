// SPDX-License-Identifier: MIT
#include "ChmFullTextIndex.h"

#include "ChmFile.h"

#include <QByteArray>

namespace {

// Every read is checked: a damaged file gives no index, never a crash or an endless loop.
class Reader {
public:
    explicit Reader(const QByteArray& data) : Data(data) {}
    bool Has(qsizetype at, qsizetype count) const
    {
        return at >= 0 && count >= 0 && at <= Data.size() - count;
    }
    uint8_t Byte(qsizetype at) const { return Has(at, 1) ? uint8_t(Data[at]) : (Ok = false, 0); }
    uint16_t Le16(qsizetype at) const { return uint16_t(Byte(at) | Byte(at + 1) << 8); }
    uint32_t Le32(qsizetype at) const { return uint32_t(Le16(at)) | uint32_t(Le16(at + 2)) << 16; }
    uint64_t EncInt(qsizetype& at) const
    {
        // Seven bits a byte, the lowest first: a value below 128 reads the same either way,
        // so only a long word list (a common word in a larger help file) tells the order. The top
        // bit says another byte follows.
        uint64_t value = 0;
        for (int i = 0; i < 10; ++i) {
            const uint8_t byte = Byte(at++);
            value |= uint64_t(byte & 0x7F) << (7 * i);
            if (!(byte & 0x80))
                return value;
        }
        Ok = false;
        return 0;
    }
    const QByteArray& Data;
    mutable bool Ok = true;
};

// The bit stream of one word's locations: numbers in the scale-2 "s/r" code (a run of ones and
// a zero, then root + run - 1 bits, with the top bit implied when the run is not empty).
class BitReader {
public:
    BitReader(const Reader& data, qsizetype at, qsizetype end) : Data(data), At(at), End(end) {}
    bool Bit()
    {
        if (At >= End) {
            Ok = false;
            return false;
        }
        const bool bit = (Data.Byte(At) >> (7 - Shift)) & 1;
        if (++Shift == 8) {
            Shift = 0;
            ++At;
        }
        return bit;
    }
    uint64_t Number(int root)
    {
        int run = 0;
        while (Ok && Bit())
            if (++run > 32)
                Ok = false;
        const int bits = run == 0 ? root : root + run - 1;
        uint64_t value = 0;
        for (int i = 0; i < bits && Ok; ++i)
            value = value << 1 | uint64_t(Bit());
        return run == 0 ? value : value | uint64_t(1) << bits;
    }
    void AlignToByte()
    {
        if (Shift != 0) {
            Shift = 0;
            ++At;
        }
    }
    bool Ok = true;

private:
    const Reader& Data;
    qsizetype At;
    qsizetype End;
    int Shift = 0;
};

QString ZeroEnded(const QByteArray& data, qsizetype at)
{
    if (at < 0 || at >= data.size())
        return {};
    const qsizetype end = data.indexOf('\0', at);
    return QString::fromLocal8Bit(data.mid(at, (end < 0 ? data.size() : end) - at));
}

// The index's words for a query word: the whole word when it is one of them, else its runs of
// ASCII letters and digits.
QStringList IndexWords(const QString& word)
{
    QStringList runs;
    QString run;
    for (const QChar c : word.toLower() + ' ') {
        if (c.unicode() < 128 && c.isLetterOrNumber()) {
            run += c;
        } else if (!run.isEmpty()) {
            runs << run;
            run.clear();
        }
    }
    return runs;
}

}  // namespace

std::unique_ptr<ChmFullTextIndex> ChmFullTextIndex::Read(const ChmFile& file)
{
    return Read([&file](const QString& path) { return file.Read(path); });
}

std::unique_ptr<ChmFullTextIndex> ChmFullTextIndex::Read(
    const std::function<QByteArray(const QString& path)>& file)
{
    const QByteArray main = file("/$FIftiMain");
    const Reader data(main);
    if (main.size() < 0x400 || data.Le32(0) != 0x00280000)
        return nullptr;
    const int depth = data.Le16(0x18);
    const int docRoot = data.Byte(0x1F), countRoot = data.Byte(0x21),
              locationRoot = data.Byte(0x23);
    const uint32_t nodeLength = data.Le32(0x2E);
    // Only the scale this reader knows.
    if (data.Byte(0x1E) != 2 || data.Byte(0x20) != 2 || data.Byte(0x22) != 2 || depth < 1 ||
        depth > 8 || nodeLength < 16 || nodeLength > 1 << 20)
        return nullptr;

    // Down the first entries of the index nodes to the first leaf; the leaves are chained from
    // there. An index node: free space at its end (16 bits), then entries of a word (length,
    // kept, letters) and the node one level down (32 bits) and 16 bits of zero.
    qsizetype node = data.Le32(0x08);
    for (int level = 1; level < depth; ++level) {
        const int length = data.Byte(node + 2);
        // The first entry lies within the node's used part.
        if (!data.Has(node, nodeLength) || length < 1 ||
            4 + length - 1 + 4 > qsizetype(nodeLength) - data.Le16(node))
            return nullptr;
        node = data.Le32(node + 4 + length - 1);
    }

    auto index = std::unique_ptr<ChmFullTextIndex>(new ChmFullTextIndex);
    std::string word;
    int leaves = 0;
    while (node != 0 && data.Ok) {
        // A chain of leaves longer than the file holds is a loop.
        if (++leaves > main.size() / qsizetype(nodeLength) + 1 || !data.Has(node, nodeLength))
            return nullptr;
        const qsizetype next = data.Le32(node);
        const qsizetype end = node + nodeLength - data.Le16(node + 6);
        qsizetype at = node + 8;
        while (at < end && data.Ok) {
            const int length = data.Byte(at);
            const int kept = data.Byte(at + 1);
            // An entry never runs past its node.
            if (length < 1 || kept > int(word.size()) || at + 1 + length > end)
                return nullptr;
            word = word.substr(0, size_t(kept)) + main.mid(at + 2, length - 1).toStdString();
            at += 2 + length - 1;
            const bool title = data.Byte(at++) != 0;
            const uint64_t documents = data.EncInt(at);
            const qsizetype wlc = data.Le32(at);
            at += 6;
            const qsizetype wlcLength = qsizetype(data.EncInt(at));
            if (at > end || !data.Has(wlc, wlcLength) || documents > uint64_t(wlcLength) * 8)
                return nullptr;
            BitReader bits(data, wlc, wlc + wlcLength);
            std::vector<Posting>& postings =
                title ? index->Words[word].Title : index->Words[word].Body;
            uint64_t topic = 0;
            for (uint64_t i = 0; i < documents && bits.Ok; ++i) {
                topic += bits.Number(docRoot);
                const uint64_t count = bits.Number(countRoot);
                for (uint64_t k = 0; k < count && bits.Ok; ++k)
                    bits.Number(locationRoot);
                bits.AlignToByte();
                postings.push_back({uint32_t(topic), uint32_t(count)});
            }
            if (!bits.Ok)
                return nullptr;
        }
        node = next;
    }
    if (!data.Ok || index->Words.empty())
        return nullptr;

    // Topic numbers to pages: #TOPICS (16 bytes a topic) -> #URLTBL -> #URLSTR.
    const QByteArray topics = file("/#TOPICS");
    const QByteArray urlTable = file("/#URLTBL");
    const QByteArray urlStrings = file("/#URLSTR");
    const Reader topicData(topics), tableData(urlTable), stringData(urlStrings);
    for (qsizetype at = 0; at + 16 <= topics.size(); at += 16) {
        const uint32_t row = topicData.Le32(at + 8);
        const uint32_t name = tableData.Le32(qsizetype(row) + 8);
        const QString local = tableData.Ok ? ZeroEnded(urlStrings, qsizetype(name) + 8) : QString();
        index->TopicPaths.push_back(local.isEmpty() ? QString() : ChmInternalPath(local));
    }
    return index;
}

std::map<uint32_t, uint32_t> ChmFullTextIndex::Lookup(const QString& word,
                                                      std::map<uint32_t, bool>& inTitle) const
{
    // The whole word when the index has it ("0.5", "1.bin"), else all of its runs.
    QStringList parts{word.toLower()};
    if (Words.find(parts.front().toStdString()) == Words.end())
        parts = IndexWords(word);
    std::map<uint32_t, uint32_t> found;
    std::map<uint32_t, bool> title;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const auto entry = Words.find(parts[i].toStdString());
        if (entry == Words.end())
            return {};
        std::map<uint32_t, uint32_t> body;
        std::map<uint32_t, bool> titled;
        for (const Posting& posting : entry->second.Body)
            body[posting.Topic] += posting.Count;
        for (const Posting& posting : entry->second.Title) {
            titled[posting.Topic] = true;
            body[posting.Topic] += 0;
        }
        if (i == 0) {
            found = body;
            title = titled;
            continue;
        }
        std::map<uint32_t, uint32_t> both;
        for (const auto& [topic, count] : found)
            if (const auto other = body.find(topic); other != body.end())
                both[topic] = count + other->second;
        found = both;
        for (auto& [topic, isTitle] : title)
            isTitle = isTitle && titled.count(topic);
    }
    for (const auto& [topic, count] : found)
        inTitle[topic] = title.count(topic) && title[topic];
    return found;
}

std::vector<ChmFullTextIndex::PageHit> ChmFullTextIndex::Find(const QStringList& words) const
{
    std::vector<PageHit> hits;
    if (words.isEmpty())
        return hits;
    std::map<uint32_t, uint32_t> total;
    std::map<uint32_t, bool> titled;
    for (qsizetype i = 0; i < words.size(); ++i) {
        std::map<uint32_t, bool> inTitle;
        const std::map<uint32_t, uint32_t> found = Lookup(words[i], inTitle);
        if (i == 0) {
            total = found;
            titled = inTitle;
            continue;
        }
        std::map<uint32_t, uint32_t> both;
        for (const auto& [topic, count] : total)
            if (const auto other = found.find(topic); other != found.end()) {
                both[topic] = count + other->second;
                titled[topic] = titled[topic] && inTitle[topic];
            }
        total = both;
    }
    for (const auto& [topic, count] : total)
        if (topic < TopicPaths.size() && !TopicPaths[topic].isEmpty())
            hits.push_back({TopicPaths[topic], int(count), titled[topic]});
    return hits;
}
