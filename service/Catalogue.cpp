#include "service/Catalogue.h"

#include "service/AudioEncoder.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

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

namespace {

struct Rgb {
    double r, g, b;
};

// Hue in degrees, saturation and value 0..1.
Rgb FromHsv(double h, double s, double v)
{
    h = std::fmod(std::fmod(h, 360.0) + 360.0, 360.0) / 60.0;
    const double c = v * s;
    const double x = c * (1.0 - std::fabs(std::fmod(h, 2.0) - 1.0));
    const double m = v - c;
    const int sector = static_cast<int>(h);
    const Rgb parts[6] = {{c, x, 0}, {x, c, 0}, {0, c, x}, {0, x, c}, {x, 0, c}, {c, 0, x}};
    const Rgb p = parts[std::clamp(sector, 0, 5)];
    return {p.r + m, p.g + m, p.b + m};
}

Rgb Mix(const Rgb& a, const Rgb& b, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// FNV-1a over the text's UTF-8 bytes: the same picture for an album at every start and on
// every machine.
quint32 StableHash(const QString& text)
{
    quint32 h = 2166136261u;
    for (char c : text.toUtf8()) {
        h ^= static_cast<unsigned char>(c);
        h *= 16777619u;
    }
    return h;
}

// One pixel of the album's picture; x and y run from 0 to 1, y downwards.
Rgb CoverPixel(int pattern, const Rgb& a, const Rgb& b, const Rgb& light, double x, double y, double phase)
{
    constexpr double kPi = 3.14159265358979323846;
    switch (pattern) {
    case 0: { // a record: grooves round a label
        const double d = std::hypot(x - 0.5, y - 0.5);
        if (d < 0.12) return light;
        if (d < 0.16) return b;
        if (d < 0.46) return Mix(Mix(a, b, 0.7), a, 0.5 + 0.5 * std::sin(d * 140.0 + phase));
        return Mix(a, light, y * 0.5);
    }
    case 1: { // diagonal bands
        const double band = std::fmod((x + y) * 5.0 + phase, 2.0);
        return band < 1.0 ? Mix(a, b, x) : Mix(b, light, y * 0.6);
    }
    case 2: { // a sun over the sea
        if (y > 0.62) return Mix(b, a, 0.3 + 0.25 * std::sin(x * 30.0 + y * 80.0 + phase));
        if (std::hypot(x - 0.5, y - 0.58) < 0.22) return light;
        return Mix(a, b, y / 0.62);
    }
    case 3: { // a mosaic of tiles
        const int tx = static_cast<int>(x * 6.0), ty = static_cast<int>(y * 6.0);
        const double t = std::fmod(std::sin(tx * 12.9898 + ty * 78.233 + phase) * 43758.5453, 1.0);
        const bool gap = std::fmod(x * 6.0, 1.0) < 0.06 || std::fmod(y * 6.0, 1.0) < 0.06;
        return gap ? light : Mix(a, b, std::fabs(t));
    }
    case 4: { // waves
        const double wave = 0.5 + 0.12 * std::sin(x * 2.0 * kPi * 2.0 + phase);
        const double layer = std::floor((y - wave + 1.0) * 4.0);
        return Mix(a, b, std::clamp(layer / 6.0, 0.0, 1.0));
    }
    default: { // soft light from a corner, with rings
        const double d = std::hypot(x - 0.2, y - 0.2);
        return Mix(Mix(light, a, d * 1.4), b, 0.25 * (0.5 + 0.5 * std::cos(d * 40.0 + phase)));
    }
    }
}

bool SameContent(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.size() == bytes.size() && f.readAll() == bytes;
}

} // namespace

QByteArray CCatalogue::CoverPicture(const CatalogueSong& song)
{
    constexpr int w = 160, h = 160;
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
    // The album chooses the look: its pattern, its two hues and how far apart they are.
    const quint32 seed = StableHash(song.album.isEmpty() ? song.title : song.album);
    const double hue = seed % 360;
    const int pattern = static_cast<int>((seed >> 9) % 6);
    const double spread = 30.0 + (seed >> 13) % 140;
    const double phase = ((seed >> 20) % 628) / 100.0;
    const bool dark = (seed >> 28) & 1;
    const Rgb a = FromHsv(hue, 0.65, dark ? 0.45 : 0.85);
    const Rgb b = FromHsv(hue + spread, 0.75, dark ? 0.85 : 0.45);
    const Rgb light = FromHsv(hue + spread / 2, 0.18, 0.97);
    for (int row = 0; row < h; ++row) {
        const double y = 1.0 - (row + 0.5) / h; // BMP rows run from the bottom up
        for (int col = 0; col < w; ++col) {
            const Rgb c = CoverPixel(pattern, a, b, light, (col + 0.5) / w, y, phase);
            const int at = 54 + row * rowBytes + col * 3;
            bmp[at] = static_cast<char>(std::lround(std::clamp(c.b, 0.0, 1.0) * 255));
            bmp[at + 1] = static_cast<char>(std::lround(std::clamp(c.g, 0.0, 1.0) * 255));
            bmp[at + 2] = static_cast<char>(std::lround(std::clamp(c.r, 0.0, 1.0) * 255));
        }
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
        if (!s.hasCover) continue;
        // A data folder from an older service holds pictures drawn another way: they are redrawn.
        const QString cover = CoverPath(dataDir, s);
        const QByteArray picture = CoverPicture(s);
        if (!SameContent(cover, picture)) {
            QSaveFile f(cover);
            if (!f.open(QIODevice::WriteOnly) || f.write(picture) < 0 || !f.commit()) {
                if (error) *error = QStringLiteral("cannot write ") + cover;
                return false;
            }
        }
    }
    return true;
}
