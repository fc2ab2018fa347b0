#pragma once
#include <QString>

#include <tinyxml2.h>

// The root element of the XML file at `path` parsed into `doc`; none when the file is missing,
// unreadable or malformed. The path goes to the system as UTF-8.
const tinyxml2::XMLElement* ReadXmlRoot(const QString& path, tinyxml2::XMLDocument& doc);
