#include "model/CAudioTag.h"

#include "model/AudioTag.h"
#include "model/CFileReadStream.h"
#include "model/TagText.h"
#include "base/CodePage.h"
#include "base/FileName.h"
#include "base/DebugLog.h"
#include "model/TrackUtil.h"

#include <QFile>
#include <QFileInfo>

#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/fileref.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/mpegproperties.h>
#include <taglib/tag.h>
#include <taglib/unknownframe.h>
#include <taglib/unsynchronizedlyricsframe.h>

#include <taglib/tfilestream.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <zlib.h>

namespace {

// Library text to wide text. Pure ASCII is taken as it is; text with characters above 255 is
// real Unicode; text of bytes 0-255 with some above 127 is GBK or Latin-1 in an eight-bit frame,
// told apart by how the bytes read.
QString FromTagString(const TagLib::String& whole)
{
    if (whole.isEmpty()) return QString();
    // Converting megabytes only to cut them would cost the time the cut is there to save; twice
    // the bound leaves room for the blanks trimmed below.
    const TagLib::String s = whole.size() > 2 * kMaxTrackText ? whole.substr(0, 2 * kMaxTrackText) : whole;
    // The library keeps UTF-16 units in wide characters: they are copied across as they are,
    // without a converted copy in between.
    const wchar_t* units = s.toCWString();
    const qsizetype n = static_cast<qsizetype>(s.size());
    bool ascii = true;
    bool latin1 = true;
    for (qsizetype i = 0; i < n && latin1; ++i) {
        ascii = ascii && units[i] < 0x80;
        latin1 = units[i] < 0x100;
    }
    QString out;
    if (ascii || !latin1) {
        // ASCII text ends at its first NUL, as it always was read.
        qsizetype length = n;
        if (ascii)
            for (qsizetype i = 0; i < n; ++i)
                if (units[i] == 0) {
                    length = i;
                    break;
                }
        out.resize(length);
        char16_t* d = reinterpret_cast<char16_t*>(out.data());
        for (qsizetype i = 0; i < length; ++i) d[i] = static_cast<char16_t>(units[i]);
    } else {
        const std::string bytes = s.to8Bit(false);
        out = DecodeEightBitTagText(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    }
    return CutTrackText(out.trimmed());
}

TagLib::String ToTagString(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (const QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    return TagLib::String(TagLib::ByteVector(bytes.constData(), static_cast<unsigned>(bytes.size())),
                          TagLib::String::UTF16LE);
}

constexpr qint64 kMaxPictureBytes = qint64(32) << 20;

TagLib::MPEG::File* AsMpeg(TagLib::FileRef* ref)
{
    return ref ? dynamic_cast<TagLib::MPEG::File*>(ref->file()) : nullptr;
}

// Every tag kind but APE, and the tags we do not write stay in the file as they are.
void SaveMpeg(TagLib::MPEG::File* mpeg)
{
    mpeg->save(TagLib::MPEG::File::ID3v1 | TagLib::MPEG::File::ID3v2, TagLib::File::StripNone);
}

template <class T, class F>
T Guard(const char* name, T neutral, F&& f)
{
    try {
        return f();
    } catch (...) {
        WriteDebugLogA("call %s  failed", name);
        return neutral;
    }
}

// Bytes a zlib stream unpacks to, counted without keeping them; stops once past `bound`.
qint64 UnpackedSize(const TagLib::ByteVector& packed, qint64 bound)
{
    z_stream z {};
    if (inflateInit(&z) != Z_OK) return 0;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    z.avail_in = packed.size();
    // On the heap, and only while a packed frame is counted: a thread-local buffer would be
    // set up (and made resident) in every thread of the process, the page engine's included.
    constexpr uInt kScratch = 64 * 1024;
    const auto scratch = std::make_unique<unsigned char[]>(kScratch);
    qint64 total = 0;
    int rc = Z_OK;
    while (rc == Z_OK && total <= bound) {
        z.next_out = scratch.get();
        z.avail_out = kScratch;
        rc = inflate(&z, Z_NO_FLUSH);
        total += qint64(kScratch - z.avail_out);
    }
    inflateEnd(&z);
    return total;
}

// Files whose ID3v2 frames the library reads only through its own default factory, with no
// bound on what a compressed frame unpacks to; their tags are not read.
bool UnboundedId3Container(const QString& suffix)
{
    static const QStringList kinds = {QStringLiteral("wav"), QStringLiteral("aif"), QStringLiteral("aiff"),
                                      QStringLiteral("aifc"), QStringLiteral("afc"), QStringLiteral("tta")};
    return kinds.contains(suffix);
}

// The library names its frame header type only to its friends; a factory of our own reaches it
// through the type of the hook it overrides.
class FactoryHook : public TagLib::ID3v2::FrameFactory {
protected:
    using UpdateFrame = decltype(&FactoryHook::updateFrame);
};

template <class F>
struct FirstParameter;
template <class C, class R, class A>
struct FirstParameter<R (C::*)(A) const> {
    using type = A;
};

} // namespace

// Parses ID3v2 frames as the library does, except that a compressed frame is kept packed (as
// an unknown frame) and counted: what it unpacks to is measured before anything is unpacked.
class CAudioTag::BoundedFrameFactory : public FactoryHook {
public:
    int PackedFrames() const { return m_packed; }

protected:
    using FrameHeader = FirstParameter<UpdateFrame>::type;

    bool updateFrame(FrameHeader header) const override
    {
        if (!header->compression()) return TagLib::ID3v2::FrameFactory::updateFrame(header);
        ++m_packed;
        // The rendered header carries no flags: the frame's bytes are taken as they are.
        header->setData(header->render(), header->version());
        return false;
    }

private:
    mutable int m_packed = 0;
};

namespace {

// What the packed frames a bounded parse kept would unpack to, at most a little past `bound`.
qint64 PackedFramesCost(TagLib::ID3v2::Tag* tag, qint64 bound)
{
    qint64 total = 0;
    if (!tag) return total;
    for (TagLib::ID3v2::Frame* frame : tag->frameList()) {
        auto* unknown = dynamic_cast<TagLib::ID3v2::UnknownFrame*>(frame);
        // Four bytes of unpacked length come before the zlib stream.
        if (!unknown || unknown->data().size() <= 4) continue;
        total += UnpackedSize(unknown->data().mid(4), bound - total);
        if (total > bound) break;
    }
    return total;
}

template <class File>
std::unique_ptr<TagLib::FileRef> OpenWithFactory(TagLib::IOStream* stream, TagLib::ID3v2::FrameFactory* factory)
{
    auto file = std::make_unique<File>(stream, factory, true, TagLib::AudioProperties::Average);
    if (!file->isValid()) return nullptr;
    return std::make_unique<TagLib::FileRef>(file.release());
}

template <class File>
TagLib::ID3v2::Tag* Id3v2Of(TagLib::FileRef* ref)
{
    auto* file = ref ? dynamic_cast<File*>(ref->file()) : nullptr;
    return file ? file->ID3v2Tag(false) : nullptr;
}

// The file opened for the library: the regular file's descriptor wrapped in a stream that owns
// it, or null. Looking at the open file rather than at the path costs no second look up of the
// path, and a pipe or a device named like music is refused before anything waits on it. A file
// only read goes through the stream that reads with the fewest calls into the system.
std::unique_ptr<TagLib::IOStream> OpenStream(const QByteArray& name, bool writable)
{
    int fd = -1;
    if (writable) fd = ::open(name.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    const bool readOnly = fd < 0;
    if (fd < 0) fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    if (!writable) return std::make_unique<CFileReadStream>(fd, long(st.st_size), name.toStdString());
    auto stream = std::make_unique<TagLib::FileStream>(fd, readOnly);
    if (!stream->isOpen()) {
        ::close(fd); // the stream took it only when it opened
        return nullptr;
    }
    return stream;
}

QString SuffixOf(const QString& path)
{
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < path.lastIndexOf(QLatin1Char('/'))) return QString();
    return path.mid(dot + 1).toLower();
}

// The first frame `id`'s text, as the library's own ID3v2 getters give it.
TagLib::String Id3Text(const TagLib::ID3v2::Tag* tag, const TagLib::ByteVector& id)
{
    const TagLib::ID3v2::FrameListMap& frames = tag->frameListMap();
    const auto it = frames.find(id);
    return it == frames.end() || it->second.isEmpty() ? TagLib::String() : it->second.front()->toString();
}

} // namespace

CAudioTag::CAudioTag() = default;
CAudioTag::~CAudioTag() = default;

bool CAudioTag::Open(const QString& path, Access access)
{
    Close();
    if (path.size() <= 4) return false;
    const QString suffix = SuffixOf(path);
    const bool mpeg = suffix == QLatin1String("mp3") || suffix == QLatin1String("mp2") || suffix == QLatin1String("aac");
    const bool flac = suffix == QLatin1String("flac");
    if (UnboundedId3Container(suffix)) return false;
    const QByteArray name = FileNameBytes(path);
    if (!mpeg && !flac) {
        if (!IsRegularFile(path)) return false;
        auto ref = std::make_unique<TagLib::FileRef>(name.constData(), true, TagLib::AudioProperties::Average);
        if (ref->isNull()) return false;
        m_pFile = std::move(ref);
        return true;
    }
    // A first parse unpacks nothing; only when it found packed frames and they fit the bound is
    // the file parsed again with them unpacked.
    m_pStream = OpenStream(name, access == Access::ReadWrite);
    if (!m_pStream) return false;
    m_pFactory = std::make_unique<BoundedFrameFactory>();
    m_pFile = mpeg ? OpenWithFactory<TagLib::MPEG::File>(m_pStream.get(), m_pFactory.get())
                   : OpenWithFactory<TagLib::FLAC::File>(m_pStream.get(), m_pFactory.get());
    if (!m_pFile || m_pFile->isNull()) {
        Close();
        return false;
    }
    if (m_pFactory->PackedFrames() == 0) {
        if (mpeg) TakeId3v2();
        return true;
    }
    TagLib::ID3v2::Tag* tag = mpeg ? Id3v2Of<TagLib::MPEG::File>(m_pFile.get()) : Id3v2Of<TagLib::FLAC::File>(m_pFile.get());
    if (PackedFramesCost(tag, kMaxTagUnpackBytes) > kMaxTagUnpackBytes) {
        WriteDebugLogW(QStringLiteral("tags left unread (they unpack beyond the bound): %1").arg(path));
        m_bTagsSkipped = true;
        return true;
    }
    std::unique_ptr<TagLib::IOStream> stream = OpenStream(name, access == Access::ReadWrite);
    std::unique_ptr<TagLib::FileRef> whole =
        !stream ? nullptr
        : mpeg  ? OpenWithFactory<TagLib::MPEG::File>(stream.get(), TagLib::ID3v2::FrameFactory::instance())
                : OpenWithFactory<TagLib::FLAC::File>(stream.get(), TagLib::ID3v2::FrameFactory::instance());
    if (!whole || whole->isNull()) return true; // keeps the first parse
    m_pFile = std::move(whole);
    m_pStream = std::move(stream);
    m_pFactory.reset();
    if (mpeg) TakeId3v2();
    return true;
}

void CAudioTag::TakeId3v2()
{
    m_pId3v2 = Id3v2Of<TagLib::MPEG::File>(m_pFile.get());
    const TagLib::MPEG::File* mpeg = AsMpeg(m_pFile.get());
    m_bOnlyId3v2 = m_pId3v2 && mpeg && !mpeg->hasAPETag() && !mpeg->hasID3v1Tag();
}

void CAudioTag::Close()
{
    m_pId3v2 = nullptr;
    m_bOnlyId3v2 = false;
    m_pFile.reset();
    m_pStream.reset();
    m_pFactory.reset();
    m_bTagsSkipped = false;
}

TagLib::String CAudioTag::Text(const TagLib::ByteVector& id, TagLib::String (TagLib::Tag::*get)() const) const
{
    if (!m_pFile || m_bTagsSkipped) return TagLib::String();
    // The tag of all the file's tags asks the ID3v2 tag twice and joins its texts anew each
    // time; an import reads four of them from every file.
    if (m_pId3v2) {
        TagLib::String text = Id3Text(m_pId3v2, id);
        // Without other tags the file's tags say no more than its ID3v2 tag did.
        if (!text.isEmpty() || m_bOnlyId3v2) return text;
    }
    TagLib::Tag* all = m_pFile->tag();
    return all ? (all->*get)() : TagLib::String();
}

int CAudioTag::Number(const TagLib::ByteVector& id, unsigned (TagLib::Tag::*get)() const, bool year) const
{
    if (!m_pFile || m_bTagsSkipped) return 0;
    if (m_pId3v2) {
        const TagLib::String text = Id3Text(m_pId3v2, id);
        const int n = (year ? text.substr(0, 4) : text).toInt();
        if (n > 0 || m_bOnlyId3v2) return n;
    }
    TagLib::Tag* all = m_pFile->tag();
    return all ? static_cast<int>((all->*get)()) : 0;
}

namespace {
const TagLib::ByteVector kTitleFrame("TIT2");
const TagLib::ByteVector kArtistFrame("TPE1");
const TagLib::ByteVector kAlbumFrame("TALB");
const TagLib::ByteVector kTrackFrame("TRCK");
const TagLib::ByteVector kYearFrame("TDRC");
} // namespace

QString CAudioTag::GetTitle() const
{
    return Guard("GetTitle", QString(), [&] { return FromTagString(Text(kTitleFrame, &TagLib::Tag::title)); });
}

QString CAudioTag::GetArtist() const
{
    return Guard("GetArtist", QString(), [&] { return FromTagString(Text(kArtistFrame, &TagLib::Tag::artist)); });
}

QString CAudioTag::GetAlbum() const
{
    return Guard("GetAlbum", QString(), [&] { return FromTagString(Text(kAlbumFrame, &TagLib::Tag::album)); });
}

QString CAudioTag::GetContentType() const
{
    return Guard("GetContentType", QString(), [] { return QString(); });
}

int CAudioTag::GetReleasetime() const
{
    return Guard("GetReleasetime", 0, [&] { return Number(kYearFrame, &TagLib::Tag::year, true); });
}

int CAudioTag::GetTrack() const
{
    return Guard("GetTrack", 0, [&] { return Number(kTrackFrame, &TagLib::Tag::track, false); });
}

int CAudioTag::GetFrequency() const
{
    return Guard("GetFrequency", 0, [&] {
        return m_pFile && m_pFile->audioProperties() ? m_pFile->audioProperties()->sampleRate() : 0;
    });
}

int CAudioTag::GetTotalTime() const
{
    return Guard("GetTotalTime", 0, [&] {
        return m_pFile && m_pFile->audioProperties() ? m_pFile->audioProperties()->lengthInSeconds() : 0;
    });
}

int CAudioTag::GetBitrate() const
{
    return Guard("GetBitrate", 0, [&] {
        return m_pFile && m_pFile->audioProperties() ? m_pFile->audioProperties()->bitrate() : 0;
    });
}

int CAudioTag::GetChannels() const
{
    return Guard("GetChannels", 0, [&] {
        return m_pFile && m_pFile->audioProperties() ? m_pFile->audioProperties()->channels() : 0;
    });
}

int CAudioTag::GetChannelMode() const
{
    return Guard("GetChannels", -1, [&] {
        // A file in which the library found no audio frame has no channel mode either.
        if (!m_pFile || !m_pFile->audioProperties() || m_pFile->audioProperties()->channels() <= 0) return -1;
        if (TagLib::MPEG::File* mpeg = AsMpeg(m_pFile.get()); mpeg && mpeg->audioProperties())
            return static_cast<int>(mpeg->audioProperties()->channelMode());
        switch (m_pFile->audioProperties()->channels()) {
        case 1: return 3;
        case 2: return 0;
        default: return -1;
        }
    });
}

bool CAudioTag::HasAudio() const { return GetFrequency() > 0; }

TagLib::Tag* CAudioTag::GetInternalTag(TagLib::APE::Tag** apeTag) const
{
    return Guard("GetInternalTag", static_cast<TagLib::Tag*>(nullptr), [&]() -> TagLib::Tag* {
        // A file whose tags were left unread is not written into either.
        if (!m_pFile || m_bTagsSkipped) return nullptr;
        TagLib::Tag* chosen = nullptr;
        if (TagLib::MPEG::File* mpeg = AsMpeg(m_pFile.get())) {
            TagLib::APE::Tag* ape = mpeg->APETag(true);
            if (apeTag) *apeTag = ape;
            if (TagLib::ID3v2::Tag* v2 = mpeg->ID3v2Tag(true); v2 && !v2->isEmpty()) chosen = v2;
            else if (TagLib::ID3v1::Tag* v1 = mpeg->ID3v1Tag(true); v1 && !v1->isEmpty()) chosen = v1;
        }
        return chosen ? chosen : m_pFile->tag();
    });
}

void CAudioTag::SetTitle(const QString& text)
{
    if (TagLib::Tag* tag = GetInternalTag()) tag->setTitle(ToTagString(text));
}

void CAudioTag::SetArtist(const QString& text)
{
    if (TagLib::Tag* tag = GetInternalTag()) tag->setArtist(ToTagString(text));
}

void CAudioTag::SetAlbum(const QString& text)
{
    if (TagLib::Tag* tag = GetInternalTag()) tag->setAlbum(ToTagString(text));
}

void CAudioTag::SetLyrics(const QString& text)
{
    try {
        TagLib::MPEG::File* mpeg = m_bTagsSkipped ? nullptr : AsMpeg(m_pFile.get());
        // Lyrics go only into an ID3v2 tag the file already has.
        if (!mpeg || !mpeg->hasID3v2Tag()) return;
        TagLib::ID3v2::Tag* v2 = mpeg->ID3v2Tag(false);
        if (!v2) return;
        v2->removeFrames("USLT");
        auto* frame = new TagLib::ID3v2::UnsynchronizedLyricsFrame(TagLib::String::UTF16);
        frame->setLanguage("chi");
        frame->setDescription("desc");
        frame->setText(ToTagString(text));
        v2->addFrame(frame); // the tag owns its frames
        SaveMpeg(mpeg);
    } catch (...) {
    }
}

void CAudioTag::SetPicture(const QString& picturePath)
{
    try {
        TagLib::MPEG::File* mpeg = m_bTagsSkipped ? nullptr : AsMpeg(m_pFile.get());
        if (!mpeg) return;
        QFile picture(picturePath);
        // An ID3v2 frame holds at most 256 MB; anything near that would corrupt the tag, and no
        // cover picture is anywhere near this bound.
        if (picture.size() > kMaxPictureBytes || !picture.open(QIODevice::ReadOnly)) return;
        const QByteArray bytes = picture.readAll();
        TagLib::ID3v2::Tag* v2 = mpeg->ID3v2Tag(true);
        if (!v2) return;
        auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
        frame->setMimeType("image/jpeg");
        frame->setPicture(TagLib::ByteVector(bytes.constData(), static_cast<unsigned>(bytes.size())));
        v2->addFrame(frame);
    } catch (...) {
    }
}

void CAudioTag::Save()
{
    try {
        if (!m_pFile || m_bTagsSkipped) return;
        if (TagLib::MPEG::File* mpeg = AsMpeg(m_pFile.get())) SaveMpeg(mpeg);
        else m_pFile->save();
    } catch (...) {
    }
}

QString ChannelText(int indicator)
{
    switch (indicator) {
    case 0: return QStringLiteral("立体声");
    case 1: return QStringLiteral("联合立体声");
    case 2: return QStringLiteral("双声道");
    case 3: return QStringLiteral("单声道");
    default: return QStringLiteral("未知模式");
    }
}

QString StripTimeTags(const QString& lyrics)
{
    QString out;
    out.reserve(lyrics.size());
    qsizetype i = 0;
    while (i < lyrics.size()) {
        if (lyrics[i] == QLatin1Char('[')) {
            const qsizetype close = lyrics.indexOf(QLatin1Char(']'), i + 1);
            if (close < 0) {
                out += QStringView(lyrics).mid(i);
                break;
            }
            i = close + 1;
        } else {
            out += lyrics[i++];
        }
    }
    return out;
}

// ---- drivers ----------------------------------------------------------------------------

int ReadAudioTags(const QString& path, AudioTagFields& f)
{
    // Open refuses an empty path and a missing file.
    try {
        CAudioTag tag;
        if (!tag.Open(path, CAudioTag::Access::Read)) return 0;
        if (f.artist.isEmpty()) f.artist = tag.GetArtist();
        if (f.title.isEmpty()) f.title = tag.GetTitle();
        if (f.album.isEmpty()) f.album = tag.GetAlbum();
        if (f.genre.isEmpty()) f.genre = tag.GetContentType();
        if (f.year.isEmpty()) f.year = QString::number(tag.GetReleasetime());
        f.trackNum = tag.GetTrack();
        if (f.genre.isEmpty()) f.genre = QStringLiteral("UnKnown");
        f.sampleRate = tag.GetFrequency();
        f.length = tag.GetTotalTime();
        f.bitRate = tag.GetBitrate();
        if (f.channels.isEmpty()) f.channels = ChannelText(tag.GetChannelMode());
        return 1;
    } catch (...) {
        return 0;
    }
}

int ReadAudioProperties(const QString& path, AudioTagFields& f)
{
    try {
        CAudioTag tag;
        if (!tag.Open(path, CAudioTag::Access::Read)) return 0;
        f.sampleRate = tag.GetFrequency();
        f.length = tag.GetTotalTime();
        f.bitRate = tag.GetBitrate();
        f.channels = ChannelText(tag.GetChannelMode());
        return 1;
    } catch (...) {
        return 0;
    }
}

void WriteAudioTags(const QString& path, const AudioTagFields* fields, const QString& lyrics,
                    const QString& picturePath)
{
    // With nothing to write the file is not rewritten (a save would still add an ID3v1 copy and
    // upgrade an older ID3v2 tag).
    if (!fields && lyrics.isEmpty() && picturePath.isEmpty()) return;
    try {
        CAudioTag tag;
        if (!tag.Open(path) || !tag.HasAudio()) return;
        if (fields) {
            tag.SetArtist(fields->artist);
            tag.SetTitle(fields->title);
            tag.SetAlbum(fields->album);
        }
        if (!lyrics.isEmpty()) tag.SetLyrics(StripTimeTags(lyrics));
        if (!picturePath.isEmpty()) tag.SetPicture(picturePath);
        tag.Save();
    } catch (...) {
    }
}

void EmbedAudioPicture(const QString& audioPath, const QString& picturePath)
{
    if (picturePath.isEmpty() || !QFileInfo(picturePath).isFile()) return;
    try {
        CAudioTag tag;
        if (!tag.Open(audioPath) || !tag.HasAudio()) return;
        tag.SetPicture(picturePath);
        tag.Save();
    } catch (...) {
    }
}
