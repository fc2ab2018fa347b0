#include "service/Catalogue.h"

#include "service/AudioEncoder.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace {

struct Seed {
    const char* title;
    const char* artist;
    const char* album;
};

// Titles in both scripts, some mixed, as a music service's catalogue has them.
constexpr Seed kSeeds[] = {
    {"月光小夜曲", "林晓", "夜的旋律"},
    {"Morning Light", "Anna Berg", "First Songs"},
    {"青花", "周默", "瓷"},
    {"River Road", "The Wanderers", "Open Country"},
    {"雨后彩虹", "陈雨", "晴天"},
    {"Blue Hour", "Mika Sato", "Dusk"},
    {"千里之外", "王远", "远方"},
    {"Paper Boats", "Lena Frost", "Harbour"},
    {"茉莉花", "民乐团", "江南"},
    {"Summer Rain", "Oscar Lind", "Seasons"},
    {"星空下的约定", "李星", "星空"},
    {"Northern Sky", "Aurora Line", "Polar"},
    {"城市之光", "张城", "霓虹"},
    {"Velvet Night", "June Park", "Night Shift"},
    {"Hello 北京", "Rick & 小美", "Duets"},
    {"Old Friends", "Sam Keller", "Back Home"},
    {"春风十里", "赵风", "十里"},
    {"Glass Garden", "Ivy Moss", "Green"},
    {"海阔天空", "黄海", "天空"},
    {"Silver Lining", "Noah Reed", "Clouds"},
    {"夜空中最亮的星", "逃跑乐队", "星"},
    {"Midnight Train", "The Railers", "Tracks"},
    {"小城故事", "邓晓", "故事"},
    {"Golden Fields", "Clara Wheat", "Harvest"},
    {"平凡之路", "朴树林", "路"},
    {"Echoes", "Delta Wave", "Signals"},
    {"The 1st Snow 初雪", "Yuki & 雪", "Winter"},
    {"Lighthouse", "Marta Cole", "Coast"},
    {"后来", "刘若", "后来"},
    {"Don't Look Back", "Ray O'Brien", "Roads"},
    {"一起走过的日子", "刘华", "日子"},
    {"Starlight Waltz", "Vienna Strings", "Waltzes"},
};

} // namespace

CCatalogue::CCatalogue()
{
    int n = 0;
    for (const Seed& s : kSeeds) {
        CatalogueSong song;
        song.id = QString::number(1001 + n);
        song.title = QString::fromUtf8(s.title);
        song.artist = QString::fromUtf8(s.artist);
        song.album = QString::fromUtf8(s.album);
        song.star = 1 + n % 5;
        song.hz = 220.0 + 20.0 * n;
        song.seconds = 2.0 + (n % 3);
        // The second song has neither lyrics nor a cover; a few more lack one of them.
        song.hasLyrics = n != 1 && n % 9 != 8;
        song.hasCover = n != 1 && n % 7 != 6;
        m_songs.append(song);
        ++n;
    }
}

const CatalogueSong* CCatalogue::FindById(const QString& id) const
{
    for (const CatalogueSong& s : m_songs)
        if (s.id == id) return &s;
    return nullptr;
}

const CatalogueSong* CCatalogue::Match(const QString& id, const QString& title, const QString& artist) const
{
    if (!id.isEmpty())
        if (const CatalogueSong* s = FindById(id)) return s;
    // A song of the same title by another artist is another song: its lyrics and cover would be
    // wrong. Only a request that names no artist is matched by the title alone.
    const QString wantedTitle = title.trimmed();
    const QString wantedArtist = artist.trimmed();
    if (wantedTitle.isEmpty()) return nullptr;
    for (const CatalogueSong& s : m_songs) {
        if (s.title.compare(wantedTitle, Qt::CaseInsensitive) != 0) continue;
        if (wantedArtist.isEmpty() || s.artist.compare(wantedArtist, Qt::CaseInsensitive) == 0) return &s;
    }
    return nullptr;
}

QString CCatalogue::Lyrics(const CatalogueSong& song)
{
    if (!song.hasLyrics) return QString();
    QString lrc = QStringLiteral("[ti:%1]\n[ar:%2]\n[al:%3]\n").arg(song.title, song.artist, song.album);
    const int lines = static_cast<int>(song.seconds) + 1;
    for (int i = 0; i < lines; ++i)
        lrc += QStringLiteral("[00:%1.00]%2 %3\n").arg(i, 2, 10, QLatin1Char('0')).arg(song.title).arg(i + 1);
    return lrc;
}

QByteArray CCatalogue::CoverPicture(const CatalogueSong& song)
{
    constexpr int w = 64, h = 64;
    const int rowBytes = w * 3; // already a multiple of 4
    const int imageBytes = rowBytes * h;
    QByteArray bmp(54 + imageBytes, '\0');
    auto put32 = [&](int at, quint32 v) {
        for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    auto put16 = [&](int at, quint16 v) {
        bmp[at] = static_cast<char>(v & 0xFF);
        bmp[at + 1] = static_cast<char>(v >> 8);
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(2, static_cast<quint32>(bmp.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, w);
    put32(22, h);
    put16(26, 1);
    put16(28, 24);
    put32(34, static_cast<quint32>(imageBytes));
    const uint seed = qHash(song.id);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int at = 54 + y * rowBytes + x * 3;
            bmp[at] = static_cast<char>((seed + x * 4) & 0xFF);
            bmp[at + 1] = static_cast<char>(((seed >> 8) + y * 4) & 0xFF);
            bmp[at + 2] = static_cast<char>(((seed >> 16) + (x + y) * 2) & 0xFF);
        }
    return bmp;
}

QString CCatalogue::MediaPath(const QString& dataDir, const CatalogueSong& song)
{
    return dataDir + QStringLiteral("/media/") + song.id + QStringLiteral(".mp3");
}

QString CCatalogue::CoverPath(const QString& dataDir, const CatalogueSong& song)
{
    return dataDir + QStringLiteral("/covers/") + song.id + QStringLiteral(".bmp");
}

bool CCatalogue::Generate(const QString& dataDir, QString* error) const
{
    QDir dir(dataDir);
    if (!dir.mkpath(QStringLiteral("media")) || !dir.mkpath(QStringLiteral("covers"))) {
        if (error) *error = QStringLiteral("cannot create the folders under ") + dataDir;
        return false;
    }
    for (const CatalogueSong& s : m_songs) {
        const QString media = MediaPath(dataDir, s);
        if (!QFile::exists(media) && !WriteToneMp3(media, s.seconds, s.hz)) {
            if (error) *error = QStringLiteral("cannot encode ") + media;
            return false;
        }
        const QString cover = CoverPath(dataDir, s);
        if (s.hasCover && !QFile::exists(cover)) {
            QSaveFile f(cover);
            if (!f.open(QIODevice::WriteOnly) || f.write(CoverPicture(s)) < 0 || !f.commit()) {
                if (error) *error = QStringLiteral("cannot write ") + cover;
                return false;
            }
        }
    }
    return true;
}
