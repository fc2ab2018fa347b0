#include "store/CQvConf.h"

#include "store/CSqliteDb.h"
#include "store/Schema.h"

#include "base/CodePage.h"
#include "base/DebugLog.h"
#include "base/IniFile.h"
#include "base/WholeFile.h"
#include "base/XmlFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <tinyxml2.h>

#include <sys/stat.h>
#include <unistd.h>

const char* const kDefaultUdpUrl = "http://127.0.0.1:8080/metadata/enter.do";

namespace {

constexpr int kMaxAutoScanWritten = 10;
constexpr int kMaxVersionLength = 19;

QString WithSlash(const QString& dir)
{
    if (dir.isEmpty() || dir.endsWith(QLatin1Char('/'))) return dir;
    return dir + QLatin1Char('/');
}

// ---- "Config.xml" attributes, in the order they are written ----

enum class AttrKind { Int, Text, Version, CurList, ReadOnlyInt, MacUserId };

struct ConfigAttr {
    const char* name;
    AttrKind kind;
    int ConfigSettings::* intField = nullptr;
    QString ConfigSettings::* textField = nullptr;
};

constexpr ConfigAttr Int(const char* name, int ConfigSettings::* f) { return {name, AttrKind::Int, f, nullptr}; }
constexpr ConfigAttr Text(const char* name, QString ConfigSettings::* f) { return {name, AttrKind::Text, nullptr, f}; }

const ConfigAttr kConfigAttrs[] = {
    {"ver", AttrKind::Version},
    Text("clientid", &ConfigSettings::clientid),
    Text("selectnode", &ConfigSettings::selectnode),
    Int("volume", &ConfigSettings::volume),
    Int("search", &ConfigSettings::search),
    Int("showsearch", &ConfigSettings::showsearch),
    Int("rolltype", &ConfigSettings::rolltype),
    Int("AppearanceStyle", &ConfigSettings::AppearanceStyle),
    Int("ColorConfig", &ConfigSettings::ColorConfig),
    Int("FontSize", &ConfigSettings::FontSize),
    Int("ColorScheme", &ConfigSettings::ColorScheme),
    Int("curmedia", &ConfigSettings::curmedia),
    Int("group", &ConfigSettings::group),
    Int("item", &ConfigSettings::item),
    Int("subitem", &ConfigSettings::subitem),
    Text("nodename", &ConfigSettings::nodename),
    {"curlist", AttrKind::CurList, nullptr, &ConfigSettings::selectnode},
    Text("email", &ConfigSettings::email),
    Text("exittime", &ConfigSettings::exittime),
    Int("newnum", &ConfigSettings::newnum),
    Int("skin", &ConfigSettings::skin),
    Int("dlgstate", &ConfigSettings::dlgstate),
    Text("acc", &ConfigSettings::acc),
    Int("eqmode", &ConfigSettings::eqmode),
    Int("mainx", &ConfigSettings::mainx),
    Int("mainy", &ConfigSettings::mainy),
    Int("minix", &ConfigSettings::minix),
    Int("miniy", &ConfigSettings::miniy),
    Int("lrcleft", &ConfigSettings::lrcleft),
    Int("lrctop", &ConfigSettings::lrctop),
    Int("lrcright", &ConfigSettings::lrcright),
    Int("lrcbottom", &ConfigSettings::lrcbottom),
    Text("fontname", &ConfigSettings::fontname),
    Int("lrcx", &ConfigSettings::lrcx),
    Int("lrcy", &ConfigSettings::lrcy),
    Text("lrcpath", &ConfigSettings::lrcpath),
    Int("autoreply", &ConfigSettings::autoreply),
    Int("themeid", &ConfigSettings::themeid),
    Int("themetype", &ConfigSettings::themetype),
    Int("picfolder", &ConfigSettings::picfolder),
    Int("piceffect", &ConfigSettings::piceffect),
    Int("stoptheme", &ConfigSettings::stoptheme),
    Int("picbig", &ConfigSettings::picbig),
    Int("lrcinpic", &ConfigSettings::lrcinpic),
    Int("showaddnetmsg", &ConfigSettings::showaddnetmsg),
    Int("autoaddmusic", &ConfigSettings::autoaddmusic),
    Int("showexportmsg", &ConfigSettings::showexportmsg),
    Int("showaddmusicdone", &ConfigSettings::showaddmusicdone),
    Text("mac", &ConfigSettings::mac),
    {"usertype", AttrKind::ReadOnlyInt, &ConfigSettings::usertype},
    Text("tpid", &ConfigSettings::tpid),
    Text("SearchPath", &ConfigSettings::SearchPath),
    {"macuserid", AttrKind::MacUserId, nullptr, &ConfigSettings::macuserid},
    Int("trackntf", &ConfigSettings::trackntf),
    Text("eqgains", &ConfigSettings::eqgains),
    Int("autoplay", &ConfigSettings::autoplay),
    Int("desklrc", &ConfigSettings::desklrc),
    Int("sidepanel", &ConfigSettings::sidepanel),
};

// "Info.ini" is code-page text with the line ends of the platform it came from.
IniFile InfoIni() { return IniFile(IniFile::Encoding::CodePage, "\r\n"); }

QString ExecutableDir()
{
    if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(QLatin1Char('/'), 0, -2);
}

// The library, the settings and the service identity are no business of the machine's other
// users: a folder of this user's is made readable by this user alone.
void MakeOwnFolderPrivate(const QString& dir)
{
    const QByteArray name = QFile::encodeName(dir);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) return;
    if ((st.st_mode & 077) != 0 && ::chmod(name.constData(), 0700) != 0)
        WriteDebugLogA("cannot make %s private", name.constData());
}

bool IsWritableDir(const QString& path)
{
    const QFileInfo fi(path);
    return fi.isDir() && ::access(QFile::encodeName(path).constData(), W_OK | X_OK) == 0;
}

} // namespace

// ---- folders ----

CQvConf::CQvConf() = default;
CQvConf::~CQvConf() = default;

CQvConf& CQvConf::Instance()
{
    static CQvConf conf;
    return conf;
}

QString ResolveProgramHome()
{
    const QByteArray env = qgetenv("ORDEL_HOME");
    if (!env.isEmpty()) return WithSlash(QFile::decodeName(env));
    const QString exeDir = ExecutableDir();
    if (!exeDir.isEmpty() && IsWritableDir(exeDir + QStringLiteral("/data"))) return WithSlash(exeDir);
    return WithSlash(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)) + QStringLiteral("ordel/");
}

QString ResolveResourceDir()
{
    const QByteArray env = qgetenv("ORDEL_RESOURCE_DIR");
    if (!env.isEmpty()) return WithSlash(QFile::decodeName(env));
    const QString installed = ExecutableDir() + QStringLiteral("/../share/ordel");
    if (QFileInfo(installed).isDir()) return WithSlash(QDir(installed).absolutePath());
#ifdef ORDEL_DEV_RESOURCE_DIR
    const QString dev = QStringLiteral(ORDEL_DEV_RESOURCE_DIR);
    if (QFileInfo(dev).isDir()) return WithSlash(dev);
#endif
    return QString();
}

namespace {

// Written by a clean end, removed by the next start's first open.
const char* const kCleanEndName = "CleanEnd.txt";

// A file's size and time of change to the nanosecond; empty when it is not there. A journal or
// log left beside it (a run that did not close it) makes it differ too.
QByteArray DbFileStamp(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    for (const char* side : {"-wal", "-journal"}) {
        struct stat other {};
        if (::stat(QFile::encodeName(path + QLatin1String(side)).constData(), &other) == 0 && other.st_size > 0)
            return {};
    }
    return QByteArray::number(qint64(st.st_size)) + ' ' + QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.' +
           QByteArray::number(qint64(st.st_mtim.tv_nsec));
}

} // namespace

void CQvConf::SetDirectories(const QString& programHome, const QString& resourceDir)
{
    m_strProgramDir = WithSlash(programHome);
    m_strResourceDir = WithSlash(resourceDir);
    m_strDataDir = m_strProgramDir + QStringLiteral("data/");
    m_strLyricsDir = m_strProgramDir + QStringLiteral("lyrics/");
    m_strCoverDir = m_strProgramDir + QStringLiteral("coverimage/");
    // The skin is read where it was shipped unless the home carries one of its own.
    m_strSkinDir = m_strProgramDir + QStringLiteral("skin/");
    if (!QFileInfo(m_strSkinDir).isDir() && !m_strResourceDir.isEmpty())
        m_strSkinDir = m_strResourceDir + QStringLiteral("skin/");
    m_strUserDir = WithSlash(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)) +
                   QStringLiteral("ordel/");

    // A new home has no data folder yet; everything the player stores goes there.
    QDir().mkpath(m_strDataDir);
    QDir().mkpath(m_strUserDir);
    QDir().mkpath(m_strCoverDir);
    MakeOwnFolderPrivate(m_strProgramDir);
    MakeOwnFolderPrivate(m_strUserDir);
}

int CQvConf::InstallDefaultFiles()
{
    if (m_strResourceDir.isEmpty()) return 0;
    int copied = 0;
    auto copy = [&](const char* name, const QString& toDir) {
        const QString from = m_strResourceDir + QLatin1String(name);
        const QString to = toDir + QLatin1String(name);
        if (QFileInfo::exists(to) || !QFileInfo(from).isFile()) return;
        QFile src(from);
        if (src.open(QIODevice::ReadOnly) && WriteFileWhole(to, src.readAll())) ++copied;
    };
    copy("Info.ini", m_strProgramDir);
    copy("server.xml", m_strDataDir);
    copy("tree.xml", m_strDataDir);
    copy("filtermap.xml", m_strDataDir);
    return copied;
}

// ---- "Config.xml" ----

int CQvConf::LoadConfig(const QString& dataDir)
{
    const QString dir = WithSlash(dataDir);
    if (!m_bInfoLoaded) LoadInfoIni();
    m_settings.skin = m_info.skin;

    // A data folder left read-only (copied from a disc, say) would make every save fail.
    QFileInfo di(dir);
    if (di.isDir() && !(di.permissions() & QFileDevice::WriteOwner) && di.ownerId() == ::getuid())
        QFile::setPermissions(dir, QFile::permissions(dir) | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    const QString path = dir + QStringLiteral("Config.xml");
    tinyxml2::XMLDocument doc;
    const XmlFileRead read = ReadXmlFile(path, doc);
    if (read == XmlFileRead::Missing) return -1;
    const bool parsed = read == XmlFileRead::Parsed;
    const tinyxml2::XMLElement* root = parsed ? doc.FirstChildElement("root") : nullptr;
    const tinyxml2::XMLElement* config = root ? root->FirstChildElement("config") : nullptr;
    if (!config) {
        // Not a settings document (cut short, or something else under that name): keep it
        // for the user and start as on a first run.
        MoveAsideDamaged(path, parsed ? "no settings in it" : "not a well-formed document");
        return -1;
    }

    ConfigSettings& s = m_settings;
    for (const ConfigAttr& a : kConfigAttrs) {
        switch (a.kind) {
        case AttrKind::Int:
        case AttrKind::ReadOnlyInt:
            config->QueryIntAttribute(a.name, &(s.*a.intField));
            break;
        case AttrKind::Text:
        case AttrKind::CurList:
        case AttrKind::MacUserId: {
            bool present = false;
            const QString v = XmlAttrText(config, a.name, &present);
            if (present) s.*a.textField = v;
            break;
        }
        case AttrKind::Version:
            break;
        }
    }
    s.picFolders.clear();
    s.autoScanPaths.clear();
    for (const tinyxml2::XMLElement* e = config->FirstChildElement(); e; e = e->NextSiblingElement()) {
        const char* name = e->Name();
        if (qstrcmp(name, "picfolder") == 0) s.picFolders.append(XmlAttrText(e, "value"));
        else if (qstrcmp(name, "autoscanpath") == 0) s.autoScanPaths.append(XmlAttrText(e, "value"));
    }
    return 0;
}

int CQvConf::SaveConfig()
{
    if (m_strDataDir.isEmpty()) return -1;
    if (!m_bInfoLoaded) LoadInfoIni();
    const ConfigSettings& s = m_settings;
    tinyxml2::XMLDocument doc;
    doc.InsertEndChild(doc.NewDeclaration("xml version=\"1.0\" encoding=\"GBK\""));
    tinyxml2::XMLElement* root = doc.NewElement("root");
    doc.InsertEndChild(root);
    tinyxml2::XMLElement* config = doc.NewElement("config");
    root->InsertEndChild(config);

    for (const ConfigAttr& a : kConfigAttrs) {
        switch (a.kind) {
        case AttrKind::Int:
            config->SetAttribute(a.name, s.*a.intField);
            break;
        case AttrKind::Text:
        case AttrKind::CurList:
            SetXmlAttrText(config, a.name, s.*a.textField);
            break;
        case AttrKind::MacUserId:
            SetXmlAttrText(config, a.name, s.macuserid.isEmpty() ? s.macuseridFallback : s.macuserid);
            break;
        case AttrKind::Version:
            SetXmlAttrText(config, a.name, m_info.version.isEmpty() ? QStringLiteral("1.0") : m_info.version);
            break;
        case AttrKind::ReadOnlyInt:
            break;
        }
    }
    auto writeList = [&](const char* name, const QStringList& list, qsizetype count) {
        for (qsizetype i = count - 1; i >= 0; --i) {
            tinyxml2::XMLElement* e = doc.NewElement(name);
            SetXmlAttrText(e, "value", list[i]);
            config->InsertEndChild(e);
        }
    };
    writeList("picfolder", s.picFolders, s.picFolders.size());
    writeList("autoscanpath", s.autoScanPaths, std::min<qsizetype>(s.autoScanPaths.size(), kMaxAutoScanWritten));

    if (!WriteFileWhole(m_strDataDir + QStringLiteral("Config.xml"), PrintXml(doc))) {
        WriteDebugLogA("cannot write Config.xml in %s", QFile::encodeName(m_strDataDir).constData());
        return -1;
    }
    return 0;
}

// ---- "server.xml" and "filtermap.xml" ----

int CQvConf::LoadServerTable(const QString& path)
{
    m_servers.clear();
    for (QStringList& l : m_fallbacks) l.clear();
    tinyxml2::XMLDocument doc;
    const XmlFileRead read = ReadXmlFile(path, doc);
    if (read != XmlFileRead::Parsed) {
        // Without its table the player reaches no service: a damaged one is kept aside and the
        // shipped table takes its place.
        if (read == XmlFileRead::Malformed) MoveAsideDamaged(path, "not a well-formed document");
        else WriteDebugLogA("%s cannot be read", QFile::encodeName(path).constData());
        const QString shipped = m_strResourceDir.isEmpty() ? QString() : m_strResourceDir + QStringLiteral("server.xml");
        doc.Clear();
        if (shipped.isEmpty() || ReadXmlFile(shipped, doc) != XmlFileRead::Parsed) return -1;
        QFile source(shipped);
        if (!QFileInfo::exists(path) && source.open(QIODevice::ReadOnly)) WriteFileWhole(path, source.readAll());
    }
    for (const tinyxml2::XMLElement* e = doc.FirstChildElement("url"); e; e = e->NextSiblingElement("url")) {
        bool present = false;
        const QString name = XmlAttrText(e, "name", &present);
        if (present) m_servers[name] = XmlAttrText(e, "value");
    }
    for (int n = 1; n <= 6; ++n) {
        const QByteArray tag = "defaulturl" + QByteArray::number(n);
        const tinyxml2::XMLElement* list = doc.FirstChildElement(tag.constData());
        if (!list) continue;
        for (const tinyxml2::XMLElement* e = list->FirstChildElement("name"); e; e = e->NextSiblingElement("name"))
            m_fallbacks[n - 1].append(XmlAttrText(e, "value"));
    }
    return 0;
}

QString CQvConf::ServerAddress(const QString& name) const
{
    const auto it = m_servers.find(name);
    return it == m_servers.end() ? QString() : it->second;
}

QStringList CQvConf::FallbackList(int number) const
{
    if (number < 1 || number > 6) return {};
    return m_fallbacks[number - 1];
}

QStringList CQvConf::LoadFilterMap() const
{
    QStringList names;
    tinyxml2::XMLDocument doc;
    if (ReadXmlFile(m_strDataDir + QStringLiteral("filtermap.xml"), doc) != XmlFileRead::Parsed) return names;
    for (const tinyxml2::XMLElement* e = doc.FirstChildElement("type"); e; e = e->NextSiblingElement("type")) {
        bool present = false;
        const QString name = XmlAttrText(e, "name", &present);
        if (present) names.append(name);
    }
    return names;
}

// ---- "Info.ini" ----

QString CQvConf::InfoIniPath() const { return m_strProgramDir + QStringLiteral("Info.ini"); }

void CQvConf::LoadInfoIni()
{
    m_bInfoLoaded = true;
    m_info = InfoIniValues();
    IniFile ini = InfoIni();
    if (!ini.Load(InfoIniPath())) return;
    QString v;
    if (ini.Value("info", "skin", v)) m_info.skin = ProfileInt(v, 0);
    if (ini.Value("info", "version", v)) m_info.version = v.left(kMaxVersionLength);
    if (ini.Value("info", "UdpUrl", v)) m_info.udpUrl = v;
    if (ini.Value("info", "updatecount", v)) m_info.updateCount = ProfileInt(v, 1);
}

int CQvConf::SaveInfoSkin(int skin)
{
    IniFile ini = InfoIni();
    ini.Load(InfoIniPath());
    ini.SetValue("info", "skin", QString::number(skin));
    if (!ini.Save(InfoIniPath())) return -1;
    m_info.skin = skin;
    return 0;
}

int CQvConf::SaveInfoUpdateCount(int count)
{
    IniFile ini = InfoIni();
    ini.Load(InfoIniPath());
    ini.SetValue("info", "updatecount", QString::number(count));
    if (!ini.Save(InfoIniPath())) return -1;
    m_info.updateCount = count;
    return 0;
}

// ---- database handles ----

CSqliteDb* CQvConf::StatisticsDb() const
{
    std::lock_guard lock(m_dbMutex);
    return m_pStatisticsDb.get();
}

CSqliteDb* CQvConf::LibraryDb() const
{
    std::lock_guard lock(m_dbMutex);
    return m_pLibraryDb.get();
}

CSqliteDb* CQvConf::TempDb() const
{
    std::lock_guard lock(m_dbMutex);
    return m_pTempDb.get();
}

CSqliteDb* CQvConf::TreeDb() const
{
    std::lock_guard lock(m_dbMutex);
    return m_pTreeDb.get();
}

CSqliteDb* CQvConf::LyricsDb() const
{
    std::lock_guard lock(m_dbMutex);
    return m_pLyricsDb.get();
}

CSqliteDb* CQvConf::OpenStatisticsDb()
{
    std::lock_guard lock(m_dbMutex);
    m_pStatisticsDb = OpenDatabaseFile(m_strDataDir, kStatisticsDb, PagesNeedChecking(kStatisticsDbName));
    return m_pStatisticsDb.get();
}

CSqliteDb* CQvConf::OpenLibraryDb()
{
    std::lock_guard lock(m_dbMutex);
    m_pLibraryDb = OpenDatabaseFile(m_strDataDir, kLibraryDb, PagesNeedChecking(kLibraryDbName));
    m_pTempDb = OpenDatabaseFile(m_strDataDir, kTempDb, PagesNeedChecking(kTempDbName));
    return m_pLibraryDb.get();
}

CSqliteDb* CQvConf::OpenTreeDb()
{
    std::lock_guard lock(m_dbMutex);
    m_pTreeDb = OpenDatabaseFile(m_strDataDir, kTreeDb, PagesNeedChecking(kTreeDbName));
    return m_pTreeDb.get();
}

CSqliteDb* CQvConf::OpenLyricsDb()
{
    std::lock_guard lock(m_dbMutex);
    m_pLyricsDb = OpenDatabaseFile(m_strDataDir, kLyricsDb, PagesNeedChecking(kLyricsDbName));
    return m_pLyricsDb.get();
}

void CQvConf::OpenAllMissing()
{
    if (!StatisticsDb()) OpenStatisticsDb();
    if (!LibraryDb()) OpenLibraryDb();
    if (!TreeDb()) OpenTreeDb();
    if (!LyricsDb()) OpenLyricsDb();
}

void CQvConf::CloseAll()
{
    std::lock_guard lock(m_dbMutex);
    m_pStatisticsDb.reset();
    m_pLibraryDb.reset();
    m_pTempDb.reset();
    m_pTreeDb.reset();
    m_pLyricsDb.reset();
    if (m_strDataDir.isEmpty() || !QFileInfo(m_strDataDir).isDir()) return;
    QByteArray note;
    for (const char* name : {kStatisticsDbName, kLibraryDbName, kTempDbName, kTreeDbName, kLyricsDbName}) {
        const QByteArray stamp = DbFileStamp(m_strDataDir + QLatin1String(name));
        if (!stamp.isEmpty()) note += QByteArray(name) + ' ' + stamp + '\n';
    }
    if (!note.isEmpty() && !WriteFileWhole(m_strDataDir + QLatin1String(kCleanEndName), note))
        WriteDebugLogA("CloseAll: the clean end could not be noted");
    m_cleanEnd.clear();
    m_bCleanEndRead = false;
}

bool CQvConf::PagesNeedChecking(const char* name)
{
    if (!m_bCleanEndRead) {
        m_bCleanEndRead = true;
        const QString path = m_strDataDir + QLatin1String(kCleanEndName);
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : file.readAll().split('\n')) {
                const qsizetype space = line.indexOf(' ');
                if (space > 0) m_cleanEnd[line.left(space)] = line.mid(space + 1);
            }
            file.close();
            QFile::remove(path);
        }
    }
    const auto it = m_cleanEnd.find(QByteArray(name));
    if (it == m_cleanEnd.end()) return true;
    const bool same = it->second == DbFileStamp(m_strDataDir + QLatin1String(name));
    // A file is spared the check once: its next open in this run follows writes of this run.
    m_cleanEnd.erase(it);
    return !same;
}
