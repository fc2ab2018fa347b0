#include "base/XmlFile.h"

#include "base/CodePage.h"

#include <QFile>

#include <tinyxml2.h>

XmlFileRead ReadXmlFile(const QString& path, tinyxml2::XMLDocument& doc)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return XmlFileRead::Missing;
    const QByteArray bytes = f.readAll();
    return doc.Parse(bytes.constData(), static_cast<size_t>(bytes.size())) == tinyxml2::XML_SUCCESS
               ? XmlFileRead::Parsed
               : XmlFileRead::Malformed;
}

QString XmlAttrText(const tinyxml2::XMLElement* e, const char* name, bool* present)
{
    const char* v = e->Attribute(name);
    if (present) *present = v != nullptr;
    return v ? FromAnsi(QByteArray(v)) : QString();
}

void SetXmlAttrText(tinyxml2::XMLElement* e, const char* name, const QString& value)
{
    e->SetAttribute(name, ToAnsi(value).constData());
}

QByteArray PrintXml(const tinyxml2::XMLDocument& doc)
{
    tinyxml2::XMLPrinter printer;
    doc.Print(&printer);
    return QByteArray(printer.CStr(), printer.CStrSize() > 0 ? printer.CStrSize() - 1 : 0);
}
