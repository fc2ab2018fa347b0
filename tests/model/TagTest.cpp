#include "model/AudioTag.h"
#include "model/CAudioTag.h"
#include "model/CFileReadStream.h"
#include "model/CQvMusic.h"
#include "model/LyricsLookup.h"
#include "model/TrackInfo.h"
#include "model/TagText.h"
#include "model/TrackUtil.h"
#include "base/CodePage.h"
#include "tests/common/TestUtil.h"
#include "tests/fixtures/Fixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <iterator>

#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tfilestream.h>
#include <taglib/unsynchronizedlyricsframe.h>

#include <zlib.h>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

using fixtures::Mp3Options;
using fixtures::TagFields;
using fixtures::Tags;

namespace {

QString FromTag(const TagLib::String& s) { return QString::fromStdWString(s.toWString()); }

TrackRef TrackFor(const QString& path)
{
    TrackRef t = TrackRef::Adopt(CreateMedia(0));
    auto* info = new TrackInfo;
    info->LSrc = path;
    t->AttachInfo(info, nullptr);
    return t;
}

// What a fresh read of the file gives.
AudioTagFields Read(const QString& path)
{
    AudioTagFields f;
    EXPECT_EQ(ReadAudioTags(path, f), 1) << path.toStdString();
    return f;
}

class Tag : public ::testing::Test {
protected:
    QString Mp3(const QString& name, const Tags& tags, const Mp3Options& options = Mp3Options())
    {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(fixtures::WriteMp3(path, options, tags));
        return path;
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(Tag, ReadsTitlesInEveryEncodingIntoTheRecord)
{
    const QByteArray gbk("\xD6\xD0\xCE\xC4\xB8\xE8", 6); // 中文歌
    Tags utf16 = Tags::Id3v2(QStringLiteral("  月亮代表我的心 "), QStringLiteral("邓丽君"), QStringLiteral("精选"));
    utf16.id3v2->year = 1977;
    utf16.id3v2->track = 3;
    Tags gbkV2;
    gbkV2.id3v2 = TagFields {.artist = QStringLiteral("A"), .rawTitle = gbk};
    Tags gbkV1;
    gbkV1.id3v1 = TagFields {.rawTitle = gbk};
    const QString a = Mp3(QStringLiteral("utf16.mp3"), utf16);
    const QString b = Mp3(QStringLiteral("gbk2.mp3"), gbkV2);
    const QString c = Mp3(QStringLiteral("gbk1.mp3"), gbkV1);
    const QString latin = Mp3(QStringLiteral("latin.mp3"), Tags::Id3v2(QStringLiteral("Café Noir")));

    TrackRef t = TrackFor(a);
    AudioTagFields f;
    EXPECT_EQ(t->ReadTagsIntoInfo(f), 1);
    const TrackInfo& info = *t->GetInfo();
    EXPECT_EQ(info.Song, QStringLiteral("月亮代表我的心")); // trimmed
    EXPECT_EQ(info.Artist, QStringLiteral("邓丽君"));
    EXPECT_EQ(info.Album, QStringLiteral("精选"));
    EXPECT_EQ(f.year, QStringLiteral("1977"));
    EXPECT_EQ(info.TrackNum, 3);
    EXPECT_EQ(info.Frequency, 44100);
    EXPECT_EQ(info.TotleTime, 1);
    EXPECT_NEAR(info.BitRate, 128, 4);
    EXPECT_EQ(info.Stereo, QStringLiteral("联合立体声"));
    EXPECT_EQ(info.Genre, QStringLiteral("UnKnown"));
    EXPECT_TRUE(info.ReleaseTimeText.isEmpty());

    // Tracks read from files share one copy of their channel text.
    TrackRef other = TrackFor(latin);
    EXPECT_EQ(other->ReadTagsIntoInfo(f), 1);
    EXPECT_EQ(&other->GetInfo()->Stereo.str(), &info.Stereo.str());
    EXPECT_EQ(other->ReadAudioProperties(), 1);
    EXPECT_EQ(&other->GetInfo()->Stereo.str(), &info.Stereo.str());

    EXPECT_EQ(Read(b).title, QStringLiteral("中文歌"));
    EXPECT_EQ(Read(c).title, QStringLiteral("中文歌"));
    // Latin-1 text that is no code-page text stays what it was.
    EXPECT_EQ(Read(latin).title, QStringLiteral("Café Noir"));
}

namespace {

// What the library's parse of an MP3 gives, in one line, through `stream`.
std::string ParseThrough(TagLib::IOStream* stream)
{
    TagLib::MPEG::File f(stream, TagLib::ID3v2::FrameFactory::instance(), true, TagLib::AudioProperties::Average);
    if (!f.isValid()) return "invalid";
    const TagLib::Tag* t = f.tag();
    const TagLib::AudioProperties* a = f.audioProperties();
    std::string out = t->title().to8Bit(true) + "|" + t->artist().to8Bit(true) + "|" + t->album().to8Bit(true) + "|" +
                      std::to_string(t->year()) + "|" + std::to_string(t->track());
    if (a)
        out += "|" + std::to_string(a->lengthInMilliseconds()) + "|" + std::to_string(a->bitrate()) + "|" +
               std::to_string(a->sampleRate()) + "|" + std::to_string(a->channels());
    out += std::string("|") + (f.hasID3v1Tag() ? "v1" : "") + (f.hasAPETag() ? "ape" : "") + "|" +
           std::to_string(f.ID3v2Tag() ? f.ID3v2Tag()->frameList().size() : 0) + "|" + std::to_string(f.length());
    if (const TagLib::ID3v2::Tag* v2 = f.ID3v2Tag())
        for (const TagLib::ID3v2::Frame* frame : v2->frameList()) out += "|" + std::to_string(frame->size());
    return out;
}

} // namespace

TEST_F(Tag, TheReadStreamParsesAsTheLibrarysOwnFile)
{
    // Tags that take more than the kept blocks, every tag kind at once, and files cut short in
    // the audio and inside the tag: the same parse through both streams.
    Tags big = Tags::Id3v2(QStringLiteral("大标题"), QStringLiteral("Artist"), QStringLiteral("Album"));
    big.lyrics = QString(60000, QLatin1Char('x'));
    big.pictures = 3;
    Tags three;
    three.id3v2 = TagFields {.title = QStringLiteral("v2 title"), .track = 4};
    three.ape = TagFields {.artist = QStringLiteral("ape artist"), .year = 2003};
    three.id3v1 = TagFields {.album = QStringLiteral("v1 album"), .year = 1999};
    Mp3Options longer;
    longer.seconds = 3;
    QStringList paths = {Mp3(QStringLiteral("big.mp3"), big, longer), Mp3(QStringLiteral("three.mp3"), three, longer),
                         Mp3(QStringLiteral("bare.mp3"), Tags(), longer)};
    for (const auto& [name, keep] : {std::pair {"cut-audio.mp3", 0.6}, std::pair {"cut-tag.mp3", 0.05}}) {
        QByteArray bytes = testutil::ReadFile(paths[0]);
        bytes.truncate(qsizetype(double(bytes.size()) * keep));
        paths << dir.filePath(QString::fromLatin1(name));
        testutil::WriteFile(paths.back(), bytes);
    }
    for (const QString& path : paths) {
        const QByteArray name = QFile::encodeName(path);
        TagLib::FileStream library(name.constData(), true);
        const int fd = ::open(name.constData(), O_RDONLY);
        ASSERT_GE(fd, 0);
        struct stat st {};
        ASSERT_EQ(::fstat(fd, &st), 0);
        CFileReadStream ours(fd, long(st.st_size), name.toStdString());
        const std::string expected = ParseThrough(&library);
        EXPECT_EQ(ParseThrough(&ours), expected) << path.toStdString();
        EXPECT_NE(expected, "invalid") << path.toStdString();
    }
}

TEST_F(Tag, WhatTheId3v2TagLacksComesFromTheFilesOtherTags)
{
    // Texts and numbers the ID3v2 tag has win; the rest come from the APE tag, then ID3v1.
    Tags three;
    three.id3v2 = TagFields {.title = QStringLiteral("v2 title"), .track = 4};
    three.ape = TagFields {.artist = QStringLiteral("ape artist"), .year = 2003};
    three.id3v1 = TagFields {.artist = QStringLiteral("v1 artist"), .album = QStringLiteral("v1 album"), .year = 1999,
                             .track = 9};
    AudioTagFields f = Read(Mp3(QStringLiteral("three.mp3"), three));
    EXPECT_EQ(f.title, QStringLiteral("v2 title"));
    EXPECT_EQ(f.artist, QStringLiteral("ape artist"));
    EXPECT_EQ(f.album, QStringLiteral("v1 album"));
    EXPECT_EQ(f.year, QStringLiteral("2003"));
    EXPECT_EQ(f.trackNum, 4);

    Tags v1;
    v1.id3v2 = TagFields {.title = QStringLiteral("歌")};
    v1.id3v1 = TagFields {.album = QStringLiteral("v1 album"), .year = 1999, .track = 9};
    f = Read(Mp3(QStringLiteral("v1.mp3"), v1));
    EXPECT_EQ(f.title, QStringLiteral("歌"));
    EXPECT_EQ(f.album, QStringLiteral("v1 album"));
    EXPECT_EQ(f.year, QStringLiteral("1999"));
    EXPECT_EQ(f.trackNum, 9);

    // An ID3v2 tag alone: what it lacks stays empty.
    Tags alone;
    alone.id3v2 = TagFields {.artist = QStringLiteral("Ärzte"), .year = 1988};
    f = Read(Mp3(QStringLiteral("alone.mp3"), alone));
    EXPECT_TRUE(f.title.isEmpty());
    EXPECT_TRUE(f.album.isEmpty());
    EXPECT_EQ(f.artist, QStringLiteral("Ärzte"));
    EXPECT_EQ(f.year, QStringLiteral("1988"));
    EXPECT_EQ(f.trackNum, 0);
}

namespace {

// Western names as taggers write them into eight-bit frames (Latin-1, with the Windows-1252
// curly quotes), and Chinese names in GBK: simplified, traditional (many outside GB2312),
// single rare characters, and Latin mixed in.
const char16_t* const kWesternNames[] = {
    u"Björk", u"Sigur Rós", u"Mötley Crüe", u"Sài Gòn", u"Beyoncé", u"Motörhead", u"Blue Öyster Cult",
    u"Hüsker Dü", u"Céline Dion", u"Édith Piaf", u"Françoise Hardy", u"Gérard Depardieu", u"Mylène Farmer",
    u"Amon Düül II", u"Die Ärzte", u"Herbert Grönemeyer", u"Münchener Freiheit", u"Röyksopp", u"Kent Sjöström",
    u"Alizée", u"Zoë", u"Maná", u"Café Tacvba", u"Jarabe de Palo Depende Ñ", u"Los Caminantes Canção",
    u"Caetano Veloso Coração", u"João Gilberto", u"Astrud Gilberto Garota de Ipanema Ô", u"Canção do Mar",
    u"Joaquín Sabina", u"Enrique Iglesias Bailamos Señorita", u"Sinéad O'Connor", u"Valse d'hiver à Paris",
    u"Ça plane pour moi", u"Déjà vu", u"Für Elise", u"Tchaïkovski", u"Dvorák Largo", u"Mañana",
    u"Crème brûlée", u"Les Négresses Vertes", u"Noir Désir", u"Émilie Simon", u"Åsa Jinder", u"Ólafur Arnalds",
    u"Jóhann Jóhannsson", u"Ænima", u"Dalí", u"Ñu", u"Über alles", u"Don’t Look Back",
    u"Rock’n’Roll Über Alles", u"I’m Still Here", u"“Heroes”", 
    u"Añoranza", u"Niño", u"São Paulo", u"Mädchen", u"Göteborg", u"Ægir", u"Øresund", u"Kärlek", u"Pokémon",
    u"Señor", u"Ibañez", u"Ángel", u"Ídolo", u"Ótimo", u"Éxito", u"Ñandú", u"Les Misérables", u"Où est",
    u"Ça va", u"À la claire fontaine", u"Être", u"Ève", u"Émile", u"Olé Olé", u"Pièce", u"Bärenmarke",
    u"Tromsø", u"Æon Flux", u"Vindsvept Én",
};
const char16_t* const kChineseNames[] = {
    u"周杰伦", u"王菲", u"邓丽君", u"张学友", u"刘德华", u"陈奕迅", u"林俊杰", u"蔡依林", u"孙燕姿", u"梁静茹", u"五月天", u"七里香", u"晴天",
    u"稻香", u"月亮代表我的心", u"青花瓷", u"江南", u"后来", u"十年", u"童话", u"Beyond乐队", u"F.I.R.飞儿乐队", u"K歌之王",
    u"爱你一万年 Live版", u"我的歌声里 (Live)", u"Love 爱情", u"周杰倫", u"王菲 – 紅豆", u"張學友", u"劉德華", u"陳奕迅", u"鄧麗君",
    u"蔡依林 - 說愛你", u"愛的代價", u"後來", u"夢醒時分", u"聽海", u"聽見下雨的聲音", u"傳奇", u"吻別", u"濤聲依舊", u"囍", u"喆", u"堃", u"赟",
    u"珺", u"玥", u"镕", u"甄嬛傳", u"遇見", u"倔強", u"擁抱", u"戀愛ing", u"聽媽媽的話", u"周杰倫 - 髮如雪", u"菊花台", u"東風破", u"麥兜",
    u"張惠妹", u"蕭敬騰", u"羅大佑", u"光輝歲月", u"海闊天空", u"喜歡你", u"愛我別走", u"說好的幸福呢", u"對面的女孩看過來", u"陶喆", u"信樂團", u"動力火車",
    u"伍佰 & China Blue", u"張震嶽", u"黃品源", u"鄭中基", u"無與倫比的美麗",
};

QByteArray Cp1252(const QString& text)
{
    QByteArray out;
    for (const QChar c : text) {
        switch (c.unicode()) {
        case 0x2018: out += '\x91'; break;
        case 0x2019: out += '\x92'; break;
        case 0x201C: out += '\x93'; break;
        case 0x201D: out += '\x94'; break;
        default: out += static_cast<char>(c.unicode() & 0xFF);
        }
    }
    return out;
}

} // namespace

TEST_F(Tag, EightBitFramesReadWesternNamesAsLatin1AndChineseAsGbk)
{
    int westernRight = 0;
    int chineseRight = 0;
    int i = 0;
    QStringList wrong;
    auto check = [&](const QString& name, const QByteArray& bytes, int& right) {
        Tags tags;
        tags.id3v2 = TagFields {.rawTitle = bytes};
        tags.id3v1 = TagFields {.rawTitle = bytes.left(30)};
        const QString path = Mp3(QStringLiteral("n%1.mp3").arg(i++), tags);
        const QString title = Read(path).title;
        if (title == name.trimmed()) ++right;
        else wrong << name + QStringLiteral(" -> ") + title;
    };
    for (const char16_t* n : kWesternNames) check(QString::fromUtf16(n), Cp1252(QString::fromUtf16(n)), westernRight);
    for (const char16_t* n : kChineseNames) check(QString::fromUtf16(n), ToAnsi(QString::fromUtf16(n)), chineseRight);
    const int western = int(std::size(kWesternNames));
    const int chinese = int(std::size(kChineseNames));
    std::printf("eight-bit tag names read right: Western %d of %d, Chinese %d of %d\n", westernRight, western,
                chineseRight, chinese);
    EXPECT_GE(western, 40);
    EXPECT_GE(chinese, 40);
    EXPECT_EQ(westernRight, western) << wrong.join(QStringLiteral("; ")).toStdString();
    EXPECT_EQ(chineseRight, chinese) << wrong.join(QStringLiteral("; ")).toStdString();

    // The bytes that first showed the fault, decoded directly.
    EXPECT_EQ(DecodeEightBitTagText(QByteArray("Bj\xF6rk")), QStringLiteral("Björk"));
    EXPECT_EQ(DecodeEightBitTagText(QByteArray("Don\x92t")), QStringLiteral("Don’t"));
    EXPECT_EQ(DecodeEightBitTagText(ToAnsi(QStringLiteral("周杰伦"))), QStringLiteral("周杰伦"));
    EXPECT_FALSE(LooksLikeGbk(QByteArray("plain")));
}

TEST_F(Tag, RecordRulesForTitlesGenreAndPresetFields)
{
    const QString bare = Mp3(QStringLiteral("bare.mp3"), Tags());
    const QString sql = Mp3(QStringLiteral("sql.mp3"),
                            Tags::Id3v2(QStringLiteral("Rock 'n' Roll & \"Blues\""), QStringLiteral("Tom & Jerry")));

    // No title tag: the title stays empty (the store names the track after its file).
    TrackRef t = TrackFor(bare);
    AudioTagFields f;
    EXPECT_EQ(t->ReadTagsIntoInfo(f), 1);
    EXPECT_TRUE(t->GetInfo()->Song.isEmpty());
    EXPECT_TRUE(t->GetInfo()->Artist.isEmpty());
    EXPECT_EQ(t->GetInfo()->Genre, QStringLiteral("UnKnown"));
    EXPECT_EQ(f.year, QStringLiteral("0"));
    EXPECT_EQ(t->GetInfo()->Frequency, 44100);

    // Apostrophes, quotes and ampersands stay in the record as the tag has them.
    TrackRef s = TrackFor(sql);
    AudioTagFields g;
    EXPECT_EQ(s->ReadTagsIntoInfo(g), 1);
    EXPECT_EQ(s->GetInfo()->Song, QStringLiteral("Rock 'n' Roll & \"Blues\""));
    EXPECT_EQ(s->GetInfo()->Artist, QStringLiteral("Tom & Jerry"));

    // Fields set before the read are kept; the genre is never taken from the file.
    Tags genre = Tags::Id3v2(QStringLiteral("t"), QStringLiteral("tag artist"));
    genre.id3v2->genre = QStringLiteral("Rock");
    const QString withGenre = Mp3(QStringLiteral("genre.mp3"), genre);
    AudioTagFields preset;
    preset.artist = QStringLiteral("mine");
    EXPECT_EQ(ReadAudioTags(withGenre, preset), 1);
    EXPECT_EQ(preset.artist, QStringLiteral("mine"));
    EXPECT_EQ(preset.title, QStringLiteral("t"));
    EXPECT_EQ(preset.genre, QStringLiteral("UnKnown"));
    AudioTagFields presetGenre;
    presetGenre.genre = QStringLiteral("Jazz");
    EXPECT_EQ(ReadAudioTags(withGenre, presetGenre), 1);
    EXPECT_EQ(presetGenre.genre, QStringLiteral("Jazz"));
}

TEST_F(Tag, MissingOrBrokenFilesLeaveTheRecordAlone)
{
    const QString missing = dir.filePath(QStringLiteral("gone.mp3"));
    TrackRef t = TrackFor(missing);
    t->GetInfo()->Song = QStringLiteral("kept");
    t->GetInfo()->Frequency = 22050;
    t->GetInfo()->Stereo = QStringLiteral("单声道");
    AudioTagFields f;
    EXPECT_EQ(t->ReadTagsIntoInfo(f), 0);
    EXPECT_EQ(t->ReadTags(f), 0);
    EXPECT_EQ(t->ReadAudioProperties(), 0);
    EXPECT_EQ(t->GetInfo()->Song, QStringLiteral("kept"));
    EXPECT_EQ(t->GetInfo()->Frequency, 22050);
    EXPECT_EQ(t->GetInfo()->Stereo, QStringLiteral("单声道"));
    EXPECT_TRUE(f.genre.isEmpty());
    AudioTagFields empty;
    EXPECT_EQ(ReadAudioTags(QString(), empty), 0);

    // Writing to a missing file creates nothing.
    EXPECT_EQ(t->WriteTagsTo(missing), 0);
    EXPECT_EQ(t->WriteLyricsTo(missing, QStringLiteral("[00:01.00]x")), 1);
    EXPECT_FALSE(QFileInfo::exists(missing));

    // A file that is no audio at all is read as nothing, and writing leaves it as it was.
    const QString junk = dir.filePath(QStringLiteral("junk.mp3"));
    ASSERT_TRUE(testutil::WriteFile(junk, QByteArray(4096, 'x')));
    TrackRef j = TrackFor(junk);
    j->GetInfo()->Song = QStringLiteral("title");
    AudioTagFields jf;
    j->ReadTagsIntoInfo(jf);
    EXPECT_EQ(j->GetInfo()->TotleTime, 0);
    EXPECT_EQ(j->GetInfo()->Frequency, 0);
    EXPECT_EQ(j->GetInfo()->Stereo, QStringLiteral("未知模式"));
    j->GetInfo()->Song = QStringLiteral("title");
    j->WriteTagsTo(junk);
    j->WriteLyricsTo(junk, QStringLiteral("words"));
    const QString jpeg = dir.filePath(QStringLiteral("c.jpg"));
    ASSERT_TRUE(testutil::WriteFile(jpeg, QByteArray("\xFF\xD8\xFF\xD9", 4)));
    j->EmbedPicture(jpeg);
    EXPECT_EQ(testutil::ReadFile(junk), QByteArray(4096, 'x'));
}

// Reading tags opens the file only to read: the folder watcher takes a file closed after
// writing for a changed file, so a scan that read tags for writing would report every file it
// read. A pipe or a folder named like music is refused without waiting on it.
TEST_F(Tag, ReadingOpensOnlyToReadAndOnlyRegularFiles)
{
    const QString path = Mp3(QStringLiteral("read.mp3"), Tags::Id3v2(QStringLiteral("Read"), QStringLiteral("Only")));
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, QFile::encodeName(dir.path()).constData(), IN_CLOSE_WRITE | IN_CLOSE_NOWRITE), 0);
    AudioTagFields f = Read(path);
    EXPECT_EQ(f.title, QStringLiteral("Read"));
    EXPECT_EQ(f.artist, QStringLiteral("Only"));
    AudioTagFields properties;
    EXPECT_EQ(ReadAudioProperties(path, properties), 1);
    EXPECT_GT(properties.sampleRate, 0);
    alignas(inotify_event) char events[4096];
    const ssize_t n = ::read(watch, events, sizeof events);
    ASSERT_GT(n, 0);
    int closedAfterReading = 0;
    for (ssize_t at = 0; at < n;) {
        const auto* ev = reinterpret_cast<const inotify_event*>(events + at);
        EXPECT_FALSE(ev->mask & IN_CLOSE_WRITE) << ev->name;
        if (ev->mask & IN_CLOSE_NOWRITE) ++closedAfterReading;
        at += ssize_t(sizeof(inotify_event) + ev->len);
    }
    EXPECT_GE(closedAfterReading, 1); // the kernel folds repeated events into one
    ::close(watch);

    // Writing still writes.
    TrackRef t = TrackFor(path);
    t->GetInfo()->Song = QStringLiteral("Written");
    t->GetInfo()->Artist = QStringLiteral("Only");
    t->GetInfo()->Album = QStringLiteral("A");
    t->WriteTagsTo(path);
    EXPECT_EQ(Read(path).title, QStringLiteral("Written"));

    const QString pipe = dir.filePath(QStringLiteral("pipe.mp3"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString folder = dir.filePath(QStringLiteral("folder.mp3"));
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const QString& odd : {pipe, folder}) {
        AudioTagFields none;
        EXPECT_EQ(ReadAudioTags(odd, none), 0) << odd.toStdString();
        EXPECT_EQ(ReadAudioProperties(odd, none), 0) << odd.toStdString();
        CAudioTag tag;
        EXPECT_FALSE(tag.Open(odd)) << odd.toStdString();
    }
}

TEST_F(Tag, TheFiveChannelTextsAndWma)
{
    struct Case {
        Mp3Options options;
        const char16_t* text;
    };
    const Case cases[] = {
        {Mp3Options {.channelMode = fixtures::ChannelMode::Stereo}, u"立体声"},
        {Mp3Options {.channelMode = fixtures::ChannelMode::JointStereo}, u"联合立体声"},
        {Mp3Options {.channelMode = fixtures::ChannelMode::DualChannel}, u"双声道"},
        {Mp3Options {.sampleRate = 22050, .channels = 1}, u"单声道"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString path = Mp3(QStringLiteral("ch%1.mp3").arg(n++), Tags(), c.options);
        TrackRef t = TrackFor(path);
        EXPECT_EQ(t->ReadAudioProperties(), 1);
        EXPECT_EQ(t->GetInfo()->Stereo, QString::fromUtf16(c.text)) << n;
        EXPECT_EQ(t->GetInfo()->Frequency, c.options.sampleRate);
    }
    EXPECT_EQ(ChannelText(4), QStringLiteral("未知模式"));
    EXPECT_EQ(ChannelText(-1), QStringLiteral("未知模式"));

    // WMA: tags through the generic tag, the indicator from the channel count.
    const QString stereo = dir.filePath(QStringLiteral("a.wma"));
    const QString mono = dir.filePath(QStringLiteral("m.wma"));
    ASSERT_TRUE(fixtures::WriteWma(stereo, fixtures::WmaOptions {.seconds = 2},
                                   TagFields {.title = QStringLiteral("无线 & 'x'"), .artist = QStringLiteral("歌手"),
                                              .album = QStringLiteral("专辑"), .year = 2011}));
    ASSERT_TRUE(fixtures::WriteWma(mono, fixtures::WmaOptions {.sampleRate = 22050, .channels = 1}));
    TrackRef w = TrackFor(stereo);
    AudioTagFields f;
    EXPECT_EQ(w->ReadTagsIntoInfo(f), 1);
    EXPECT_EQ(w->GetInfo()->Song, QStringLiteral("无线 & 'x'"));
    EXPECT_EQ(w->GetInfo()->Artist, QStringLiteral("歌手"));
    EXPECT_EQ(w->GetInfo()->Album, QStringLiteral("专辑"));
    EXPECT_EQ(f.year, QStringLiteral("2011"));
    EXPECT_EQ(w->GetInfo()->TotleTime, 2);
    EXPECT_EQ(w->GetInfo()->Frequency, 44100);
    EXPECT_GT(w->GetInfo()->BitRate, 0);
    EXPECT_EQ(w->GetInfo()->Stereo, QStringLiteral("立体声"));
    TrackRef m = TrackFor(mono);
    EXPECT_EQ(m->ReadAudioProperties(), 1);
    EXPECT_EQ(m->GetInfo()->Stereo, QStringLiteral("单声道"));
    EXPECT_EQ(m->GetInfo()->Frequency, 22050);

    // Writing a WMA goes through its own save.
    w->GetInfo()->Song = QStringLiteral("新的");
    w->WriteTagsTo(stereo);
    EXPECT_EQ(Read(stereo).title, QStringLiteral("新的"));
    EXPECT_EQ(Read(stereo).artist, QStringLiteral("歌手"));
}

TEST_F(Tag, TitleWritesGoToTheRightTagAndKeepTheOthers)
{
    // ID3v2 present but empty, title in ID3v1: the title is written into ID3v1.
    Tags v1Only;
    v1Only.id3v2 = TagFields {};
    v1Only.id3v1 = TagFields {.title = QStringLiteral("old"), .artist = QStringLiteral("old artist")};
    const QString v1Path = Mp3(QStringLiteral("v1.mp3"), v1Only);
    TrackRef t = TrackFor(v1Path);
    t->GetInfo()->Song = QStringLiteral("new title");
    t->GetInfo()->Artist = QStringLiteral("new artist");
    t->GetInfo()->Album = QStringLiteral("new album");
    EXPECT_EQ(t->WriteTagsTo(v1Path), 0);
    {
        TagLib::MPEG::File f(QFile::encodeName(v1Path).constData());
        ASSERT_TRUE(f.hasID3v1Tag());
        EXPECT_EQ(FromTag(f.ID3v1Tag()->title()), QStringLiteral("new title"));
        EXPECT_EQ(FromTag(f.ID3v1Tag()->artist()), QStringLiteral("new artist"));
    }

    // An APE tag survives a title write, beside ID3v2 and ID3v1; the audio is untouched.
    Tags three;
    three.id3v2 = TagFields {.title = QStringLiteral("v2 title"), .artist = QStringLiteral("v2 artist")};
    three.ape = TagFields {.title = QStringLiteral("ape title"), .album = QStringLiteral("ape album")};
    three.id3v1 = TagFields {.title = QStringLiteral("v1 title")};
    const QString threePath = Mp3(QStringLiteral("three.mp3"), three);
    TrackRef u = TrackFor(threePath);
    AudioTagFields before;
    u->ReadTagsIntoInfo(before);
    u->GetInfo()->Song = QStringLiteral("中文新标题");
    u->WriteTagsTo(threePath);
    u->WriteLyricsTo(threePath, QStringLiteral("[00:01.00]词"));
    {
        TagLib::MPEG::File f(QFile::encodeName(threePath).constData());
        ASSERT_TRUE(f.hasAPETag());
        EXPECT_EQ(FromTag(f.APETag()->title()), QStringLiteral("ape title"));
        EXPECT_EQ(FromTag(f.APETag()->album()), QStringLiteral("ape album"));
        EXPECT_EQ(FromTag(f.ID3v2Tag()->title()), QStringLiteral("中文新标题"));
        ASSERT_TRUE(f.hasID3v1Tag());
    }
    EXPECT_EQ(Read(threePath).title, QStringLiteral("中文新标题"));
    const auto decoded = fixtures::DecodeFile(threePath);
    ASSERT_TRUE(decoded);
    EXPECT_NEAR(double(decoded->Frames()) / decoded->sampleRate, 1.0, 0.03);

    // A Chinese title written into a file with no tags, or with ID3v1 only, reads back whole.
    Tags onlyV1;
    onlyV1.id3v1 = TagFields {.title = QStringLiteral("v1")};
    for (const QString& path : {Mp3(QStringLiteral("none.mp3"), Tags()), Mp3(QStringLiteral("onlyv1.mp3"), onlyV1)}) {
        TrackRef x = TrackFor(path);
        x->GetInfo()->Song = QStringLiteral("我的歌");
        x->GetInfo()->Artist = QStringLiteral("歌手");
        x->WriteTagsTo(path);
        const AudioTagFields r = Read(path);
        EXPECT_EQ(r.title, QStringLiteral("我的歌")) << path.toStdString();
        EXPECT_EQ(r.artist, QStringLiteral("歌手"));
        TagLib::MPEG::File f(QFile::encodeName(path).constData());
        EXPECT_FALSE(f.hasAPETag()) << "no APE tag is added";
    }
}

TEST_F(Tag, LyricsAreWrittenWithoutTimeTags)
{
    Tags tags = Tags::Id3v2(QStringLiteral("song"));
    tags.lyrics = QStringLiteral("old words");
    const QString path = Mp3(QStringLiteral("lyrics.mp3"), tags);
    TrackRef t = TrackFor(path);
    EXPECT_EQ(t->WriteLyricsTo(path, QString()), 0);
    EXPECT_EQ(t->WriteLyricsTo(path, QStringLiteral("[00:01.00]第一行\n[00:02.50]second line")), 1);
    {
        TagLib::MPEG::File f(QFile::encodeName(path).constData());
        const auto frames = f.ID3v2Tag()->frameListMap()["USLT"];
        ASSERT_EQ(frames.size(), 1u);
        auto* uslt = dynamic_cast<TagLib::ID3v2::UnsynchronizedLyricsFrame*>(frames.front());
        ASSERT_TRUE(uslt);
        EXPECT_EQ(FromTag(uslt->text()), QStringLiteral("第一行\nsecond line"));
        EXPECT_EQ(uslt->language(), TagLib::ByteVector("chi"));
        EXPECT_EQ(FromTag(uslt->description()), QStringLiteral("desc"));
        EXPECT_EQ(uslt->textEncoding(), TagLib::String::UTF16);
        EXPECT_EQ(FromTag(f.ID3v2Tag()->title()), QStringLiteral("song"));
    }
    EXPECT_EQ(StripTimeTags(QStringLiteral("[ar:x][00:01]a[00:02]b [unclosed")), QStringLiteral("ab [unclosed"));

    // A file without an ID3v2 tag gets no lyrics (and no ID3v2 tag for them).
    Tags apeOnly;
    apeOnly.ape = TagFields {.title = QStringLiteral("ape")};
    const QString noV2 = Mp3(QStringLiteral("nov2.mp3"), apeOnly);
    t->WriteLyricsTo(noV2, QStringLiteral("[00:01.00]words"));
    {
        TagLib::MPEG::File f(QFile::encodeName(noV2).constData());
        EXPECT_FALSE(f.hasID3v2Tag());
        EXPECT_TRUE(f.hasAPETag());
    }

    // Tags and lyrics together, the lyrics loaded from the track's lyrics file.
    const QString lrc = dir.filePath(QStringLiteral("song.lrc"));
    ASSERT_TRUE(fixtures::WriteTextFile(lrc, QStringLiteral("[00:03.00]从文件来"), fixtures::TextEncoding::CodePage));
    t->GetInfo()->EditRare().LrcFile = lrc;
    t->GetInfo()->Song = QStringLiteral("新歌");
    EXPECT_EQ(t->WriteTagsAndLyrics(), 0);
    {
        TagLib::MPEG::File f(QFile::encodeName(path).constData());
        EXPECT_EQ(FromTag(f.ID3v2Tag()->title()), QStringLiteral("新歌"));
        const auto frames = f.ID3v2Tag()->frameListMap()["USLT"];
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(FromTag(frames.front()->toString()), QStringLiteral("从文件来"));
    }
}

TEST_F(Tag, PicturesAreAddedBesideExistingOnes)
{
    Tags tags = Tags::Id3v2(QStringLiteral("pic"));
    tags.pictures = 2;
    const QString path = Mp3(QStringLiteral("pic.mp3"), tags);
    const QString jpeg = dir.filePath(QStringLiteral("cover.jpg"));
    const QByteArray bytes = QByteArray("\xFF\xD8\xFF\xE0", 4) + QByteArray(3000, 'j') + QByteArray("\xFF\xD9", 2);
    ASSERT_TRUE(testutil::WriteFile(jpeg, bytes));

    TrackRef t = TrackFor(path);
    EXPECT_EQ(t->EmbedPicture(QString()), 0);
    EXPECT_EQ(t->EmbedPicture(dir.filePath(QStringLiteral("none.jpg"))), 1); // nothing to embed
    EXPECT_EQ(t->EmbedPicture(jpeg), 1);
    {
        TagLib::MPEG::File f(QFile::encodeName(path).constData());
        const auto frames = f.ID3v2Tag()->frameListMap()["APIC"];
        ASSERT_EQ(frames.size(), 3u);
        auto* added = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frames.back());
        ASSERT_TRUE(added);
        EXPECT_EQ(FromTag(added->mimeType()), QStringLiteral("image/jpeg"));
        EXPECT_EQ(QByteArray(added->picture().data(), int(added->picture().size())), bytes);
        EXPECT_EQ(FromTag(f.ID3v2Tag()->title()), QStringLiteral("pic"));
    }

    // A file without ID3v2 gets one for the picture; a WMA file is left alone.
    const QString bare = Mp3(QStringLiteral("bare.mp3"), Tags());
    EXPECT_EQ(t->EmbedPictureInto(bare, jpeg), 1);
    {
        TagLib::MPEG::File f(QFile::encodeName(bare).constData());
        ASSERT_TRUE(f.hasID3v2Tag());
        EXPECT_EQ(f.ID3v2Tag()->frameListMap()["APIC"].size(), 1u);
    }
    const QString wma = dir.filePath(QStringLiteral("a.wma"));
    ASSERT_TRUE(fixtures::WriteWma(wma, fixtures::WmaOptions {}, TagFields {.title = QStringLiteral("w")}));
    t->EmbedPictureInto(wma, jpeg);
    EXPECT_EQ(Read(wma).title, QStringLiteral("w"));

    // A picture too large for an ID3v2 frame to hold safely is not embedded.
    const QString huge = dir.filePath(QStringLiteral("huge.jpg"));
    ASSERT_TRUE(fixtures::WriteSizedFile(huge, qint64(33) << 20));
    EXPECT_EQ(t->EmbedPicture(huge), 1);
    TagLib::MPEG::File f(QFile::encodeName(path).constData());
    EXPECT_EQ(f.ID3v2Tag()->frameListMap()["APIC"].size(), 3u);
}

TEST_F(Tag, NothingToWriteLeavesTheFileAsItWas)
{
    // An ID3v2.3 file with its title only: a lyrics write with no lyrics to write must not
    // rewrite it (no ID3v1 copy appended, no upgrade of the tag).
    const QString path = Mp3(QStringLiteral("same.mp3"), Tags::Id3v2(QStringLiteral("same")));
    const QByteArray before = testutil::ReadFile(path);
    TrackRef t = TrackFor(path);
    EXPECT_EQ(t->WriteCachedLyricsTo(path), 1);
    EXPECT_EQ(testutil::ReadFile(path), before);
}

TEST_F(Tag, LyricsFilesInUtf16AreRead)
{
    const QString text = QStringLiteral("[00:01.00]中文歌词");
    QByteArray le("\xFF\xFE", 2), be("\xFE\xFF", 2);
    for (const QChar c : text) {
        le.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
        be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
    }
    int n = 0;
    for (const QByteArray& bytes : {le, be}) {
        const QString path = dir.filePath(QStringLiteral("u%1.lrc").arg(n++));
        ASSERT_TRUE(testutil::WriteFile(path, bytes));
        TrackRef t = TrackFor(QString());
        t->GetInfo()->EditRare().LrcFile = path;
        EXPECT_EQ(t->LoadLyrics(), 1);
        QString got;
        t->CopyLyricsText(got);
        EXPECT_EQ(got, text);
    }
    const QString bom = dir.filePath(QStringLiteral("bom.lrc"));
    ASSERT_TRUE(fixtures::WriteTextFile(bom, text, fixtures::TextEncoding::Utf8Bom));
    TrackRef t = TrackFor(QString());
    t->GetInfo()->EditRare().LrcFile = bom;
    EXPECT_EQ(t->LoadLyrics(), 1);
    QString got;
    t->CopyLyricsText(got);
    EXPECT_EQ(got, text);
}

namespace {

QByteArray BigEndian(quint32 n, bool synchsafe)
{
    if (synchsafe) n = ((n & 0x0FE00000u) << 3) | ((n & 0x001FC000u) << 2) | ((n & 0x00003F80u) << 1) | (n & 0x7Fu);
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i) b[i] = char((n >> (24 - 8 * i)) & 0xFF);
    return b;
}

// One text frame of an ID3v2 tag of `version` (3 or 4): Latin-1 `text`, packed with zlib when
// `packed`, as some taggers write them.
QByteArray TextFrame(int version, const char* id, const QByteArray& text, bool packed)
{
    const QByteArray body = QByteArray(1, '\0') + text;
    QByteArray payload = body;
    char flags = 0;
    if (packed) {
        uLongf size = compressBound(uLong(body.size()));
        QByteArray z(qsizetype(size), '\0');
        EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(z.data()), &size, reinterpret_cast<const Bytef*>(body.constData()),
                            uLong(body.size()), 9), Z_OK);
        z.resize(qsizetype(size));
        // The unpacked length comes first; 2.4 marks it with its own flag.
        payload = BigEndian(quint32(body.size()), version == 4) + z;
        flags = version == 4 ? char(0x09) : char(0x80);
    }
    return QByteArray(id, 4) + BigEndian(quint32(payload.size()), version == 4) + QByteArray(1, '\0') + QByteArray(1, flags)
        + payload;
}

QByteArray Id3v2Tag(int version, const QByteArray& frames)
{
    return QByteArray("ID3", 3) + char(version) + QByteArray(2, '\0') + BigEndian(quint32(frames.size()), true) + frames;
}

} // namespace

// Hostile tags: a frame packed with zlib that unpacks to tens of megabytes (a 1 MiB file can hold
// one that unpacks beyond a gigabyte) and titles megabytes long.
TEST_F(Tag, WhatATagMayCostIsBoundedAndTextsAreCut)
{
    const QByteArray audio = fixtures::EncodeMp3(Mp3Options());
    ASSERT_FALSE(audio.isEmpty());
    auto write = [&](const QString& name, const QByteArray& tag) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(testutil::WriteFile(path, tag + audio));
        return path;
    };

    // Packed frames that unpack to little are read as any other.
    const QString small = write(QStringLiteral("small.mp3"),
                                Id3v2Tag(4, TextFrame(4, "TIT2", "Packed title", true) + TextFrame(4, "TPE1", "Artist", false)));
    AudioTagFields f = Read(small);
    EXPECT_EQ(f.title, QStringLiteral("Packed title"));
    EXPECT_EQ(f.artist, QStringLiteral("Artist"));
    const QString small3 = write(QStringLiteral("small3.mp3"), Id3v2Tag(3, TextFrame(3, "TALB", "Packed album", true)));
    EXPECT_EQ(Read(small3).album, QStringLiteral("Packed album"));

    // 40 MiB packed into about 40 KB, in both versions: the file is read without its tags.
    const QByteArray bomb(40 << 20, 'A');
    for (int version : {3, 4}) {
        const QString path = write(QStringLiteral("bomb%1.mp3").arg(version),
                                   Id3v2Tag(version, TextFrame(version, "TPE1", "Artist", false)
                                                         + TextFrame(version, "TIT2", bomb, true)));
        ASSERT_LT(QFileInfo(path).size(), 1 << 20);
        TrackRef t = TrackFor(path);
        AudioTagFields tf;
        EXPECT_EQ(t->ReadTagsIntoInfo(tf), 1);
        EXPECT_TRUE(t->GetInfo()->Song.isEmpty()) << t->GetInfo()->Song.size();
        EXPECT_TRUE(t->GetInfo()->Artist.isEmpty());
        // Its audio is still known.
        EXPECT_EQ(t->GetInfo()->Frequency, 44100);
        EXPECT_EQ(t->GetInfo()->TotleTime, 1);
        // And nothing is written into a file whose tags were not read.
        const QByteArray before = testutil::ReadFile(path);
        t->GetInfo()->Song = QStringLiteral("new");
        t->WriteTagsTo(path);
        EXPECT_TRUE(testutil::ReadFile(path) == before);
    }

    // A title of 3 MiB reads as its first 1024 characters; so do artist and album.
    const QByteArray longText(3 << 20, 'T');
    const QString longTags = write(QStringLiteral("long.mp3"),
                                   Id3v2Tag(3, TextFrame(3, "TIT2", longText, false) + TextFrame(3, "TPE1", longText, false)
                                                   + TextFrame(3, "TALB", "  " + longText, false)));
    f = Read(longTags);
    EXPECT_EQ(f.title.size(), kMaxTrackText);
    EXPECT_EQ(f.artist.size(), kMaxTrackText);
    EXPECT_EQ(f.album.size(), kMaxTrackText);
    EXPECT_TRUE(f.album == QString(kMaxTrackText, QLatin1Char('T')));
}
