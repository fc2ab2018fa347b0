#include "net/Cover.h"

#include "base/WholeFile.h"
#include "model/CQvMusic.h"
#include "model/EmbeddedPicture.h"
#include "model/TrackInfo.h"
#include "net/CQvCINet.h"
#include "net/ServiceAddress.h"
#include "net/ServiceMethods.h"
#include "net/ServiceRequest.h"
#include "store/CQvConf.h"

#include <QFileInfo>

QString SafeCoverNamePart(const QString& text)
{
    QString out = text;
    for (qsizetype i = 0; i < out.size() && out[i] == QLatin1Char('.'); ++i) out[i] = QLatin1Char('_');
    for (QChar& c : out)
        if (c == QLatin1Char('/') || c == QChar(0)) c = QLatin1Char('_');
    return out;
}

QString CoverFilePath(const TrackInfo& info)
{
    return CQvConf::Instance().CoverDir() + SafeCoverNamePart(info.Artist) + QLatin1Char('-')
        + SafeCoverNamePart(info.Song) + QStringLiteral(".bmp");
}

QString ExistingCoverFile(const TrackInfo& info)
{
    if (!info.Rare().PicFile.isEmpty() && QFileInfo(info.Rare().PicFile).isFile()) return info.Rare().PicFile;
    const QString cover = CoverFilePath(info);
    return QFileInfo(cover).isFile() ? cover : QString();
}

int FetchCoverPicture(CQvMusic* track, int pictureType)
{
    if (IsShuttingDown() || !track || !track->GetInfo()) return 0;
    TrackInfo& info = *track->GetInfo();
    const QString cover = CoverFilePath(info);
    if (!(track->GetState() & STATE_REFETCH_COVER)) {
        if (QFileInfo(cover).isFile()) return 1;
        // A picture the file carries is its cover; the service is asked only for files without.
        const QByteArray embedded = info.LSrc.isEmpty() ? QByteArray() : ReadEmbeddedPicture(info.LSrc);
        if (!embedded.isEmpty() && WriteFileWhole(cover, embedded)) return 1;
    }

    PictureQuery query;
    query.typeId = info.Rare().CmsID;
    query.picType = pictureType;
    query.artist = info.Artist;
    query.album = info.Album;
    query.songName = info.Song;
    query.fullPath = info.LSrc;
    QString pictureUrl;
    if (RequestPictureUrl(MetadataEntryUrl(), query, pictureUrl) != REQUEST_OK || pictureUrl.isEmpty())
        return QFileInfo(cover).isFile() ? 1 : 0;
    CQvCINet net;
    qint64 received = 0;
    const bool saved = net.DownLoad(pictureUrl, cover, &received) == 1;
    info.Pic = saved ? 1 : 0;
    return QFileInfo(cover).isFile() ? 1 : 0;
}
