#pragma once
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <mutex>

class CSqliteDb;

// The user's settings kept in "Config.xml". Each field is named after its attribute and starts
// at the value a missing attribute leaves. Plain values: the window layer and the service client
// give them their meaning.
struct ConfigSettings {
    QString clientid;
    QString selectnode = QStringLiteral("本地音乐"); // also written as "curlist", which wins on reading
    int volume = 50;
    int search = 0;
    int showsearch = 1;
    int rolltype = 1;
    int AppearanceStyle = 0;
    int ColorConfig = 0;
    int FontSize = 48;
    int ColorScheme = 0;
    int curmedia = -1;
    int group = 1;
    int item = 0;
    int subitem = -1;
    QString nodename;
    QString email;
    QString exittime;
    int newnum = 0;
    int skin = 0;                 // a missing attribute takes "skin" of "Info.ini"
    int dlgstate = 0;
    QString acc;
    int eqmode = -1;
    // Each window's place is kept from its own rectangle.
    int mainx = 0, mainy = 0;
    int minix = 0, miniy = 0;
    int lrcleft = 0, lrctop = 0, lrcright = 100, lrcbottom = 300;
    QString fontname;
    int lrcx = 0, lrcy = 0;
    QString lrcpath;
    int autoreply = 1;
    int themeid = 0;
    int themetype = 0;
    int picfolder = -1;
    int piceffect = 0;
    int stoptheme = 0;
    int picbig = 0;
    int lrcinpic = 1;
    int showaddnetmsg = 1;
    int autoaddmusic = 1;
    int showexportmsg = 1;
    int showaddmusicdone = 1;
    QString mac = QStringLiteral("0");
    int usertype = 0;             // read, never written
    QString tpid = QStringLiteral("0");
    QString SearchPath;
    QString macuserid;            // written from here or, when empty, from macuseridFallback
    QString macuseridFallback;    // the configuration's second identifier; not an attribute
    // Written after the attributes above.
    int trackntf = 1;             // a desktop notification when the track changes
    QString eqgains;              // the equaliser's ten gains in dB, "0,0,...": what "eqmode" left
    int autoplay = 0;             // 1: the last track ("curmedia" of "curlist") plays at start
    int desklrc = 0;              // the desktop lyrics are shown
    int sidepanel = 1;            // 0: the user closed the side panel (cover and lyrics)

    // Child elements: written last entry first and read in document order, so each save
    // reverses them; at most 10 "autoscanpath" elements are written, the first 10.
    QStringList picFolders;
    QStringList autoScanPaths;
};

// The service protocol's address when "Info.ini" names none: the reference service's metadata
// entry point on this machine.
extern const char* const kDefaultUdpUrl;

// Section "info" of "Info.ini" beside the program.
struct InfoIniValues {
    int skin = 0;
    QString version = QStringLiteral("1.0");           // at most 19 characters
    QString udpUrl = QLatin1String(kDefaultUdpUrl);    // the service protocol's address
    int updateCount = 1;                               // missing: 1, the external updater writes 0
};

// The program's configuration: its folders, "Config.xml", the service address table of
// "server.xml", "Info.ini", and the five database handles. One process-wide instance
// (Instance()); separate instances serve tests.
class CQvConf {
public:
    CQvConf();
    ~CQvConf();
    CQvConf(const CQvConf&) = delete;
    CQvConf& operator=(const CQvConf&) = delete;

    static CQvConf& Instance();

    // Folders, each ending in "/". `programHome` holds Info.ini, data/, lyrics/ and coverimage/;
    // the user folder is $XDG_CONFIG_HOME/ordel/. The data, user and cover folders are created
    // when missing; the home and the user folder are made private (0700) when they are this
    // user's. `resourceDir` (may be empty) is where the shipped skin and default files are.
    void SetDirectories(const QString& programHome, const QString& resourceDir = QString());
    const QString& ProgramDir() const { return m_strProgramDir; }
    const QString& DataDir() const { return m_strDataDir; }
    const QString& SkinDir() const { return m_strSkinDir; }
    const QString& LyricsDir() const { return m_strLyricsDir; }
    const QString& UserDir() const { return m_strUserDir; }
    const QString& CoverDir() const { return m_strCoverDir; }
    const QString& ResourceDir() const { return m_strResourceDir; }
    // Copies the shipped "Info.ini" into the program folder and "server.xml", "tree.xml",
    // "filtermap.xml" into the data folder where they are missing; the number copied.
    int InstallDefaultFiles();

    ConfigSettings& Settings() { return m_settings; }
    const ConfigSettings& Settings() const { return m_settings; }

    // Reads "Config.xml" of `dataDir`: 0 on success, -1 when it is missing or unreadable (every
    // setting keeps its default). A file that is not a settings document is moved aside.
    int LoadConfig(const QString& dataDir);
    // Writes "Config.xml" into the data folder whole: a crash leaves the previous file. 0 on
    // success, -1 when it could not be written.
    int SaveConfig();

    // "server.xml": the address table and the six fallback lists. A malformed file is moved
    // aside; the shipped table is read instead (and put in its place). 0 when a table was read,
    // -1 otherwise (the tables are then empty).
    int LoadServerTable(const QString& path);
    QString ServerAddress(const QString& name) const;
    const std::map<QString, QString>& ServerTable() const { return m_servers; }
    // Fallback list 1 to 6; empty for any other number.
    QStringList FallbackList(int number) const;

    // "Info.ini" in the program folder.
    void LoadInfoIni();
    const InfoIniValues& Info() const { return m_info; }
    // Writes "skin" (the user changed skin) or "updatecount" into section "info"; 0 or -1.
    int SaveInfoSkin(int skin);
    int SaveInfoUpdateCount(int count);

    // "filtermap.xml" of the data folder: the "name" of every top-level "type" element, in
    // order; empty when the file is missing or malformed.
    QStringList LoadFilterMap() const;

    // The database handles; null until opened. A handle whose open failed stays without
    // connection. The openers create the tables when missing; each returns its handle.
    CSqliteDb* StatisticsDb() const;
    CSqliteDb* LibraryDb() const;
    CSqliteDb* TempDb() const;
    CSqliteDb* TreeDb() const;
    CSqliteDb* LyricsDb() const;
    CSqliteDb* OpenStatisticsDb();
    CSqliteDb* OpenLibraryDb();      // also opens "TempMusic2.db"
    CSqliteDb* OpenTreeDb();
    CSqliteDb* OpenLyricsDb();
    // Statistics, library, tree and lyrics, in this order, for each whose handle is null.
    void OpenAllMissing();
    // Closes and drops the statistics, library, temporary, tree and lyrics handles in this order,
    // then notes each file's size and time of change: the next open of a file found so skips the
    // check of every page, which a large library pays for at each start.
    void CloseAll();

private:
    QString InfoIniPath() const;
    // Whether `name` must have every page checked when opened: not when the last run ended
    // cleanly and the file is as it left it. The note is read (and removed) on the first call,
    // so a run that ends without CloseAll leaves none.
    bool PagesNeedChecking(const char* name);

    QString m_strProgramDir;
    QString m_strDataDir;
    QString m_strSkinDir;
    QString m_strLyricsDir;
    QString m_strUserDir;
    QString m_strCoverDir;
    QString m_strResourceDir;

    ConfigSettings m_settings;
    InfoIniValues m_info;
    bool m_bInfoLoaded = false;
    std::map<QString, QString> m_servers;
    QStringList m_fallbacks[6];

    // Openers run on the loading worker and the lyrics worker as well as the window thread.
    mutable std::mutex m_dbMutex;
    std::unique_ptr<CSqliteDb> m_pStatisticsDb;
    std::unique_ptr<CSqliteDb> m_pLibraryDb;
    std::unique_ptr<CSqliteDb> m_pTempDb;
    std::unique_ptr<CSqliteDb> m_pTreeDb;
    std::unique_ptr<CSqliteDb> m_pLyricsDb;
    std::map<QByteArray, QByteArray> m_cleanEnd; // file name -> its stamp at the last clean end
    bool m_bCleanEndRead = false;
};

// The program home: $ORDEL_HOME if set; else the executable's folder when it holds a writable
// data/; else $XDG_DATA_HOME/ordel/. Ends in "/".
QString ResolveProgramHome();
// The shipped resources: $ORDEL_RESOURCE_DIR if set; else share/ordel/ beside the executable's
// folder; else the source tree's resources/. Ends in "/"; empty when none exists.
QString ResolveResourceDir();
