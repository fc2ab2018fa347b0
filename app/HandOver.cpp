#include "app/HandOver.h"

#include "base/CodePage.h"
#include "base/PrivateDir.h"
#include "base/WholeFile.h"

#include <QFile>

#include <tinyxml2.h>

QString HandOverFilePath()
{
    const QString dir = PrivateDir();
    return dir.isEmpty() ? QString() : dir + QStringLiteral("/file.xml");
}

bool WriteHandOverFile(const QString& filePath, const QStringList& paths)
{
    if (filePath.isEmpty()) return false;
    tinyxml2::XMLDocument doc;
    doc.InsertEndChild(doc.NewDeclaration("xml version=\"1.0\" encoding=\"gb2312\" standalone=\"yes\""));
    tinyxml2::XMLElement* body = doc.NewElement("body");
    doc.InsertEndChild(body);
    for (const QString& path : paths) {
        tinyxml2::XMLElement* file = doc.NewElement("file");
        file->SetAttribute("name", ToAnsi(path).constData());
        body->InsertEndChild(file);
    }
    tinyxml2::XMLPrinter printer;
    doc.Print(&printer);
    return WriteFileWhole(filePath, QByteArray(printer.CStr(), printer.CStrSize() - 1));
}

QStringList ReadHandOverFile(const QString& filePath)
{
    QStringList paths;
    QFile f(filePath);
    if (filePath.isEmpty() || !f.open(QIODevice::ReadOnly)) return paths;
    const QByteArray bytes = f.readAll();
    tinyxml2::XMLDocument doc;
    if (doc.Parse(bytes.constData(), size_t(bytes.size())) != tinyxml2::XML_SUCCESS) return paths;
    const tinyxml2::XMLElement* root = doc.RootElement();
    if (!root) return paths;
    for (const auto* e = root->FirstChildElement("file"); e; e = e->NextSiblingElement("file")) {
        const char* name = e->Attribute("name");
        if (name && *name) paths.append(FromAnsi(QByteArray(name)));
    }
    return paths;
}
