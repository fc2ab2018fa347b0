#include "model/EmbeddedPicture.h"

#include <QFile>
#include <QFileInfo>

#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

namespace {

QByteArray FromMpeg(const QByteArray& path, qint64 maxBytes)
{
    TagLib::MPEG::File file(path.constData(), false);
    if (!file.isValid() || !file.hasID3v2Tag()) return {};
    const TagLib::ID3v2::FrameList& frames = file.ID3v2Tag()->frameList("APIC");
    const TagLib::ID3v2::AttachedPictureFrame* chosen = nullptr;
    for (const TagLib::ID3v2::Frame* frame : frames) {
        const auto* picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame);
        if (!picture || picture->picture().isEmpty()) continue;
        if (!chosen || picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover) chosen = picture;
        if (picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover) break;
    }
    if (!chosen || qint64(chosen->picture().size()) > maxBytes) return {};
    return QByteArray(chosen->picture().data(), qsizetype(chosen->picture().size()));
}

QByteArray FromAsf(const QByteArray& path, qint64 maxBytes)
{
    TagLib::ASF::File file(path.constData(), false);
    if (!file.isValid() || !file.tag()) return {};
    const TagLib::ASF::AttributeListMap& map = file.tag()->attributeListMap();
    if (!map.contains("WM/Picture")) return {};
    TagLib::ByteVector chosen;
    for (const TagLib::ASF::Attribute& attribute : map["WM/Picture"]) {
        const TagLib::ASF::Picture picture = attribute.toPicture();
        if (!picture.isValid() || picture.picture().isEmpty()) continue;
        if (chosen.isEmpty() || picture.type() == TagLib::ASF::Picture::FrontCover) chosen = picture.picture();
        if (picture.type() == TagLib::ASF::Picture::FrontCover) break;
    }
    if (chosen.isEmpty() || qint64(chosen.size()) > maxBytes) return {};
    return QByteArray(chosen.data(), qsizetype(chosen.size()));
}

} // namespace

QByteArray ReadEmbeddedPicture(const QString& audioPath, qint64 maxBytes)
{
    if (!QFileInfo(audioPath).isFile()) return {};
    const QByteArray path = QFile::encodeName(audioPath);
    const QString suffix = QFileInfo(audioPath).suffix().toLower();
    try {
        if (suffix == QLatin1String("wma") || suffix == QLatin1String("asf")) return FromAsf(path, maxBytes);
        return FromMpeg(path, maxBytes);
    } catch (...) {
        return {};
    }
}
