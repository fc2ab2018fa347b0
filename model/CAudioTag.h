#pragma once
#include <QString>

#include <memory>

namespace TagLib {
class ByteVector;
class FileRef;
class IOStream;
class String;
class Tag;
namespace APE {
class Tag;
}
namespace ID3v2 {
class Tag;
}
} // namespace TagLib

// Reads the tags and audio properties of one audio file and writes title, artist, album,
// unsynchronised lyrics and a cover picture back. Nothing stays open between driver calls.
// Texts read are cut to kMaxTrackText characters.
class CAudioTag {
public:
    CAudioTag();
    ~CAudioTag();
    CAudioTag(const CAudioTag&) = delete;
    CAudioTag& operator=(const CAudioTag&) = delete;

    // Opens when the path names an existing regular file and is longer than 4 characters. A
    // file whose tags would take more than kMaxTagUnpackBytes to unpack opens without them: its
    // texts read as empty, its audio properties as usual, and nothing is written into it. A file
    // opened to be read only is never opened for writing (nor does its closing tell watchers of
    // a change); saving it does nothing.
    enum class Access { Read, ReadWrite };
    bool Open(const QString& path, Access access = Access::ReadWrite);
    void Close();
    bool IsOpen() const { return m_pFile != nullptr; }
    bool TagsSkipped() const { return m_bTagsSkipped; }

    // What the compressed frames of one file's tag may unpack to, together.
    static constexpr qint64 kMaxTagUnpackBytes = qint64(32) << 20;

    QString GetTitle() const;
    QString GetArtist() const;
    QString GetAlbum() const;
    QString GetContentType() const; // the genre is not read from files: always empty
    int GetReleasetime() const;
    int GetTrack() const;
    int GetFrequency() const;
    int GetTotalTime() const;
    int GetBitrate() const;
    int GetChannels() const;
    // The indicator of the channel texts: the MPEG channel mode (0 stereo, 1 joint stereo,
    // 2 dual channel, 3 single channel); for other files 0 for two channels, 3 for one.
    int GetChannelMode() const;

    // Whether the library found audio in the file; the writers leave files without any alone
    // (a misnamed or broken file is not something to put a tag into).
    bool HasAudio() const;

    // The tag that title, artist and album are written into.
    TagLib::Tag* GetInternalTag(TagLib::APE::Tag** apeTag = nullptr) const;

    void SetTitle(const QString& text);
    void SetArtist(const QString& text);
    void SetAlbum(const QString& text);
    void SetLyrics(const QString& text);
    void SetPicture(const QString& picturePath);
    void Save();

private:
    class BoundedFrameFactory;
    // A text of the file's tags: the ID3v2 frame `id` of an MPEG file when it has text, else
    // what the library's tag of all the file's tags gives.
    TagLib::String Text(const TagLib::ByteVector& id, TagLib::String (TagLib::Tag::*get)() const) const;
    int Number(const TagLib::ByteVector& id, unsigned (TagLib::Tag::*get)() const, bool year) const;
    void TakeId3v2();

    // The factory and the stream outlive the file that parses with them.
    std::unique_ptr<BoundedFrameFactory> m_pFactory;
    std::unique_ptr<TagLib::IOStream> m_pStream;
    std::unique_ptr<TagLib::FileRef> m_pFile;
    // An MPEG file's ID3v2 tag, which comes first among its tags; null for other files.
    TagLib::ID3v2::Tag* m_pId3v2 = nullptr;
    // An MPEG file with neither APE nor ID3v1 tag: what its ID3v2 tag lacks, no tag has.
    bool m_bOnlyId3v2 = false;
    bool m_bTagsSkipped = false;
};

// The five channel texts by indicator; anything else is "未知模式".
QString ChannelText(int indicator);

// Removes every bracketed run "[...]" with its brackets, keeping the lyric lines.
QString StripTimeTags(const QString& lyrics);
