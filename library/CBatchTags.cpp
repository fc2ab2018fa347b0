#include "library/CBatchTags.h"

void CBatchTags::Reserve(size_t files)
{
    m_files.reserve(files);
    // Room for a Gid and a few short tags a file, so the buffer seldom moves while files are read.
    m_texts.reserve(files * 96);
}

void CBatchTags::Keep(size_t place, const QString& gid, const AudioTagFields* tags)
{
    File file;
    file.place = place;
    file.gid = Put(gid);
    if (tags) {
        file.read = true;
        file.title = Put(tags->title);
        file.artist = Put(tags->artist);
        file.album = Put(tags->album);
        file.genre = Put(tags->genre);
        file.channels = Put(tags->channels);
        file.sampleRate = tags->sampleRate;
        file.length = tags->length;
        file.bitRate = tags->bitRate;
        file.trackNum = tags->trackNum;
    }
    m_files.push_back(std::move(file));
}

bool CBatchTags::Take(size_t i, QString& gid, AudioTagFields& tags) const
{
    const File& file = m_files[i];
    gid = Get(file.gid);
    if (!file.read) return false;
    tags.title = Get(file.title);
    tags.artist = Get(file.artist);
    tags.album = Get(file.album);
    tags.genre = Get(file.genre);
    tags.channels = Get(file.channels);
    tags.sampleRate = file.sampleRate;
    tags.length = file.length;
    tags.bitRate = file.bitRate;
    tags.trackNum = file.trackNum;
    return true;
}

void CBatchTags::Clear()
{
    m_files.clear();
    m_texts.clear();
}

CBatchTags::Text CBatchTags::Put(const QString& text)
{
    Text kept;
    if (text.isEmpty()) return kept;
    // A literal's characters live in the program: taking it costs nothing.
    if (!text.data_ptr().isMutable()) {
        kept.fixed = text;
        return kept;
    }
    kept.at = m_texts.size();
    kept.size = size_t(text.size());
    const auto* chars = reinterpret_cast<const char16_t*>(text.constData());
    m_texts.insert(m_texts.end(), chars, chars + text.size());
    return kept;
}

QString CBatchTags::Get(const Text& text) const
{
    if (!text.size) return text.fixed;
    return QString(reinterpret_cast<const QChar*>(m_texts.data() + text.at), qsizetype(text.size));
}
