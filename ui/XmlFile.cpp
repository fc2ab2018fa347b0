#include "ui/XmlFile.h"

#include <QFile>

const tinyxml2::XMLElement* ReadXmlRoot(const QString& path, tinyxml2::XMLDocument& doc)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return nullptr;
    const QByteArray bytes = file.readAll();
    if (doc.Parse(bytes.constData(), size_t(bytes.size())) != tinyxml2::XML_SUCCESS) return nullptr;
    return doc.RootElement();
}
