#pragma once
#include <QByteArray>
#include <QString>

namespace tinyxml2 {
class XMLDocument;
class XMLElement;
} // namespace tinyxml2

enum class XmlFileRead { Missing, Malformed, Parsed };

// Reads the whole XML file at `path` (handed to the system as UTF-8) and parses it into `doc`:
// Missing when the file cannot be opened, Malformed when it is not a well-formed document.
XmlFileRead ReadXmlFile(const QString& path, tinyxml2::XMLDocument& doc);

// An attribute's code-page text as wide text; empty when absent (`present` tells which).
QString XmlAttrText(const tinyxml2::XMLElement* e, const char* name, bool* present = nullptr);
// Sets an attribute to the code-page form of `value`.
void SetXmlAttrText(tinyxml2::XMLElement* e, const char* name, const QString& value);

// The document as printed text, without the terminating NUL.
QByteArray PrintXml(const tinyxml2::XMLDocument& doc);
