#pragma once
#include <QString>

// Where the service is, from the address table of "server.xml" and "Info.ini".

// The metadata entry point ("metadataurl" in the table; else the update address's default).
QString MetadataEntryUrl();
// A passport path ("/pcc/user/getUserInfo.do") on the passport host ("passporturl" in the
// table; else the entry point's scheme, host and port).
QString PassportUrl(const QString& path);
// The update check's address: "UdpUrl" of "Info.ini".
QString UpdateUrl();
