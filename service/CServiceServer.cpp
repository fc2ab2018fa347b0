#include "service/CServiceServer.h"

#include "base/CodePage.h"
#include "net/proto/RequestDocument.h"
#include "net/proto/UrlEncode.h"
#include "service/Catalogue.h"
#include "service/ServiceDb.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QUuid>

#include <httplib.h>

#include <chrono>
#include <mutex>
#include <thread>

namespace {

constexpr qsizetype kBodyBound = 64 * 1024 * 1024;
constexpr const char* kXmlType = "text/xml; charset=utf-8";
constexpr const char* kXmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

// How an endpoint answers: normally, or in one of the failing ways tests ask for.
struct Switch {
    QString mode; // "", "slow", "404", "empty", "malformed", "drop", "huge"
    int ms = 0;
    qint64 bytes = 0;
};

QString Escape(const QString& text)
{
    QString out = text;
    out.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    out.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    out.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    out.replace(QLatin1Char('"'), QLatin1String("&quot;"));
    return out;
}

QString Element(const char* name, const QString& text)
{
    return QStringLiteral("<%1>%2</%1>").arg(QLatin1String(name), Escape(text));
}

std::string Utf8(const QString& text)
{
    const QByteArray b = text.toUtf8();
    return std::string(b.constData(), static_cast<size_t>(b.size()));
}

QByteArray Bytes(const std::string& s)
{
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

QString FieldValue(const XmlFields& fields, const char* name)
{
    for (const auto& f : fields)
        if (f.first == QLatin1String(name)) return f.second;
    return QString();
}

// The folder of the pages: $ORDEL_SERVICE_PAGES, else installed beside the program, else the
// source tree's.
QString PagesDir()
{
    const QString env = qEnvironmentVariable("ORDEL_SERVICE_PAGES");
    if (!env.isEmpty()) return env;
    const QString installed = QCoreApplication::applicationDirPath() + QStringLiteral("/../share/ordel/service-pages");
    if (QFileInfo(installed + QStringLiteral("/ordel.js")).isFile()) return installed;
    return QStringLiteral(ORDEL_SERVICE_PAGES_SOURCE);
}

const char* PageType(const QString& name)
{
    if (name.endsWith(QLatin1String(".css"))) return "text/css; charset=utf-8";
    if (name.endsWith(QLatin1String(".js"))) return "application/javascript; charset=utf-8";
    if (name.endsWith(QLatin1String(".svg"))) return "image/svg+xml";
    if (name.endsWith(QLatin1String(".png"))) return "image/png";
    return "text/html; charset=utf-8";
}

QJsonArray PairsJson(const XmlFields& fields)
{
    QJsonArray a;
    for (const auto& f : fields) a.append(QJsonArray {f.first, f.second});
    return a;
}

} // namespace

struct CServiceServer::Impl {
    QString dataDir;
    const CCatalogue& catalogue;
    CServiceDb& db;
    httplib::Server server;
    int port = 0;

    std::mutex mutex; // switches and the update answer
    QHash<QString, Switch> switches;
    QString latestVersion = QStringLiteral("1.0");
    QString validType;   // empty: "1" when the client is current, else "2"
    QString updateResult = QStringLiteral("1");
    QString updateAddress;
    QString capacity = QStringLiteral("1073741824"); // free bytes on a user's cloud drive
    QString uploadAnswer = QStringLiteral("0");      // what an upload is answered

    Impl(const QString& dir, const CCatalogue& c, CServiceDb& d) : dataDir(dir), catalogue(c), db(d) {}

    QString Base() const { return QStringLiteral("http://127.0.0.1:%1").arg(port); }

    Switch SwitchFor(const QString& endpoint)
    {
        std::lock_guard lock(mutex);
        return switches.value(endpoint);
    }

    // Answers `body`, or fails in the way the endpoint's switch says.
    static void Answer(const Switch& sw, httplib::Response& res, const std::string& body, const char* type)
    {
        if (sw.mode == QLatin1String("slow")) std::this_thread::sleep_for(std::chrono::milliseconds(sw.ms));
        if (sw.mode == QLatin1String("404")) {
            res.status = 404;
            res.set_content("not found", "text/plain");
        } else if (sw.mode == QLatin1String("empty")) {
            res.status = 200;
            res.set_content("", type);
        } else if (sw.mode == QLatin1String("malformed")) {
            res.status = 200;
            res.set_content(std::string(kXmlHead) + "<o><result>1</result><url value=\"x\"></o", type);
        } else if (sw.mode == QLatin1String("huge")) {
            const size_t n = static_cast<size_t>(sw.bytes > 0 ? sw.bytes : 10 * 1024 * 1024);
            std::string big = "<o>";
            big.resize(n > 8 ? n - 4 : n, ' ');
            if (n > 8) big += "</o>";
            res.status = 200;
            res.set_content(big, type);
        } else if (sw.mode == QLatin1String("drop")) {
            // Announces the whole body, sends half of it and closes the connection.
            const auto shared = std::make_shared<std::string>(body.empty() ? std::string(64, 'x') : body);
            res.status = 200;
            res.set_content_provider(shared->size(), type,
                                     [shared](size_t offset, size_t, httplib::DataSink& sink) {
                                         if (offset == 0) sink.write(shared->data(), shared->size() / 2);
                                         return false;
                                     });
        } else {
            res.status = 200;
            res.set_content(body, type);
        }
    }

    static QJsonObject HeadersJson(const httplib::Request& req)
    {
        QJsonObject o;
        for (const auto& [name, value] : req.headers) {
            const QString key = QString::fromStdString(name).toLower();
            // The server library's own notes about the connection are not request headers.
            if (key == QLatin1String("local_addr") || key == QLatin1String("local_port")
                || key == QLatin1String("remote_addr") || key == QLatin1String("remote_port"))
                continue;
            const QString v = QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
            o[key] = o.contains(key) ? o[key].toString() + QStringLiteral(", ") + v : v;
        }
        return o;
    }

    static QJsonObject DocumentJson(const RequestContent& c, bool valid, const QByteArray& raw)
    {
        QJsonObject d;
        d[QStringLiteral("valid")] = valid;
        d[QStringLiteral("raw")] = QString::fromUtf8(raw);
        d[QStringLiteral("root")] = c.root;
        d[QStringLiteral("method")] = c.method;
        d[QStringLiteral("encoding")] = c.encoding;
        d[QStringLiteral("fields")] = PairsJson(c.fields);
        QJsonArray songs;
        for (const XmlFields& s : c.songs) songs.append(PairsJson(s));
        d[QStringLiteral("songs")] = songs;
        return d;
    }

    void Record(const httplib::Request& req, const QString& method, const QJsonObject& document, const QByteArray& body = QByteArray())
    {
        db.RecordRequest(QString::fromStdString(req.method), QString::fromStdString(req.path), method,
                         QJsonDocument(document).toJson(QJsonDocument::Compact),
                         QJsonDocument(HeadersJson(req)).toJson(QJsonDocument::Compact), body);
    }

    // The entry point: metadata methods, log records and usage events by their "m".
    void Enter(const httplib::Request& req, httplib::Response& res, const QByteArray& body)
    {
        const QByteArray target = Bytes(req.target);
        const qsizetype q = target.indexOf('?');
        const FormFields query = q < 0 ? FormFields() : ParseForm(target.mid(q + 1));
        const FormFields form = ParseForm(body);
        QByteArray m = FormValue(form, "m");
        if (m.isEmpty()) m = FormValue(query, "m");
        const QString method = QString::fromUtf8(m);

        QJsonObject document;
        RequestContent content;
        bool valid = false;
        const QByteArray value = FormValue(form, "value");
        if (!value.isEmpty()) {
            valid = DecodeRequestDocument(value, content);
            document = DocumentJson(content, valid, value);
        }
        QJsonObject formJson;
        // Record texts of the log methods are code-page bytes.
        for (const auto& [name, v] : form)
            formJson[QString::fromUtf8(name)] = name == "r" ? FromAnsi(v) : QString::fromUtf8(v);
        document[QStringLiteral("form")] = formJson;
        document[QStringLiteral("query")] = QueryJson(req);
        Record(req, method, document, body);

        const Switch sw = SwitchFor(method);
        const QString user = db.SessionUser(QString::fromStdString(req.get_header_value("vuid")));
        if (method == QLatin1String("optlog") || method == QLatin1String("bufferlog") || method == QLatin1String("log")
            || method == QLatin1String("searchlog") || method == QLatin1String("recommendlog")) {
            Answer(sw, res, "1", "text/plain");
            return;
        }
        if (method == QLatin1String("search")) {
            // The search page reads its own query and asks for the songs.
            Page(res, QStringLiteral("search.html"));
            return;
        }
        if (!value.isEmpty() && !valid) {
            res.status = 400;
            res.set_content("bad document", "text/plain");
            return;
        }
        const std::string reply = Reply(method, content, user);
        if (reply.empty()) {
            res.status = 404;
            res.set_content("unknown method", "text/plain");
            return;
        }
        Answer(sw, res, reply, kXmlType);
    }

    static std::string Xml(const QString& inner)
    {
        return std::string(kXmlHead) + Utf8(inner);
    }

    QString SongXml(const CatalogueSong& s) const
    {
        return QStringLiteral("<Song>") + Element("SingerName", s.artist) + Element("AlbumName", s.album)
            + Element("Star", QString::number(s.star)) + Element("SongID", s.id) + Element("SongName", s.title)
            + Element("SongAdress", Base() + QStringLiteral("/media/") + s.id + QStringLiteral(".mp3"))
            + QStringLiteral("</Song>");
    }

    QString GroupXml(const QList<CServiceDb::Group>& all, int parent) const
    {
        QString out = QStringLiteral("<GroupList>");
        for (const CServiceDb::Group& g : all) {
            if (g.parent != parent) continue;
            out += QStringLiteral("<Group>") + Element("GroupName", g.name) + Element("GroupId", QString::number(g.id));
            if (std::any_of(all.begin(), all.end(), [&](const CServiceDb::Group& c) { return c.parent == g.id; }))
                out += GroupXml(all, g.id);
            out += QStringLiteral("</Group>");
        }
        return out + QStringLiteral("</GroupList>");
    }

    static QString Result(const QString& code, const QString& objId = QString())
    {
        return QStringLiteral("<o>") + Element("result", code)
            + (objId.isEmpty() ? QString() : Element("objId", objId)) + QStringLiteral("</o>");
    }

    std::string Reply(const QString& method, const RequestContent& c, const QString& user)
    {
        const auto f = [&](const char* name) { return FieldValue(c.fields, name); };
        if (method == QLatin1String("getmenu")) {
            QString menus = QStringLiteral("<menus>");
            // Named by the ids of the player's page tabs and web nodes.
            const struct { const char* id; const char* name; const char* path; } entries[] = {
                {"musicrecommand", "音乐推荐", "/pages/recommend.html"},
                {"musiclikename", "猜你喜欢", "/pages/like.html"},
                {"firstplay", "首播头条", "/pages/chart.html?list=firstplay"},
                {"trend", "潮流推荐", "/pages/chart.html?list=trend"},
                {"mymusic", "我的音乐", "/pages/mymusic.html"},
                {"clouddisk", "我的网盘", "/pages/clouddisk.html"},
            };
            for (const auto& e : entries)
                menus += QStringLiteral("<menu>") + Element("Id", QLatin1String(e.id)) + Element("Name", QString::fromUtf8(e.name))
                    + Element("Url", Base() + QLatin1String(e.path)) + Element("Type", QStringLiteral("1"))
                    + Element("OpenType", QStringLiteral("0")) + QStringLiteral("</menu>");
            // An entry without an address, which the player leaves out.
            menus += QStringLiteral("<menu>") + Element("Id", QStringLiteral("4")) + Element("Name", QStringLiteral("分隔"))
                + Element("Type", QStringLiteral("0")) + QStringLiteral("</menu>");
            return Xml(menus + QStringLiteral("</menus>"));
        }
        if (method == QLatin1String("start"))
            return Xml(QStringLiteral("<o><version value=\"%1\"/></o>").arg(Escape(CurrentLatest())));
        if (method == QLatin1String("update")) return Xml(UpdateReply(f("ver")));
        if (method == QLatin1String("addmessage") || method == QLatin1String("addsongscore")) return Xml(Result(QStringLiteral("1")));
        if (method == QLatin1String("getplaygroupofuser")) {
            const QString owner = user.isEmpty() ? db.SessionUser(f("UserId")) : user;
            return Xml(QStringLiteral("<o><rs>") + Element("result", QStringLiteral("1")) + QStringLiteral("</rs>")
                       + GroupXml(db.Groups(owner), 0) + QStringLiteral("</o>"));
        }
        if (method == QLatin1String("getsongofusersgroup")) {
            QString songs;
            for (const CServiceDb::GroupSong& s : db.GroupSongs(f("GroupId").toInt()))
                songs += QStringLiteral("<Song>") + Element("SingerName", s.singer) + Element("Star", QString::number(s.star))
                    + Element("SongID", s.songId) + Element("SongName", s.name) + Element("SongAdress", s.address)
                    + QStringLiteral("</Song>");
            return Xml(QStringLiteral("<o><rs>") + Element("result", QStringLiteral("1")) + QStringLiteral("</rs><SongList>")
                       + songs + QStringLiteral("</SongList></o>"));
        }
        if (method == QLatin1String("getrandom")) {
            QList<CatalogueSong> songs = catalogue.Songs();
            std::shuffle(songs.begin(), songs.end(), *QRandomGenerator::global());
            const int rows = std::clamp(f("rows").toInt(), 0, static_cast<int>(songs.size()));
            QString list;
            for (int i = 0; i < rows; ++i) list += SongXml(songs[i]);
            return Xml(QStringLiteral("<o><rs>") + Element("result", QStringLiteral("1")) + QStringLiteral("</rs><SongList>")
                       + list + QStringLiteral("</SongList></o>"));
        }
        if (method == QLatin1String("addplaygroup")) {
            if (user.isEmpty()) return Xml(Result(QStringLiteral("0")));
            return Xml(Result(QStringLiteral("1"), QString::number(db.AddGroup(user, f("GroupName")))));
        }
        if (method == QLatin1String("deleteplaygroup"))
            return Xml(Result(db.DeleteGroup(user, f("GroupId").toInt()) ? QStringLiteral("1") : QStringLiteral("0")));
        if (method == QLatin1String("updateplaygroupname"))
            return Xml(Result(db.RenameGroup(user, f("GroupId").toInt(), f("NewGroupName")) ? QStringLiteral("1") : QStringLiteral("0")));
        if (method == QLatin1String("deletesong"))
            return Xml(Result(db.DeleteSong(user, f("SongId")) ? QStringLiteral("1") : QStringLiteral("0")));
        if (method == QLatin1String("addqukusong2group")) {
            const int group = f("GroupId").toInt();
            const QList<CServiceDb::Group> groups = db.Groups(user);
            const bool own = std::any_of(groups.begin(), groups.end(), [&](const CServiceDb::Group& g) { return g.id == group; });
            if (!own) return Xml(Result(QStringLiteral("0")));
            db.AddGroupSong(group, {f("SongQuKuId"), f("SongName"), f("SingerName"), f("SongAddress"), 0});
            return Xml(Result(QStringLiteral("1")));
        }
        if (method == QLatin1String("synsongs2group")) {
            if (user.isEmpty()) return Xml(Result(QStringLiteral("0")));
            int group = f("GroupId").toInt();
            const QList<CServiceDb::Group> groups = db.Groups(user);
            if (!std::any_of(groups.begin(), groups.end(), [&](const CServiceDb::Group& g) { return g.id == group; }))
                group = db.AddGroup(user, f("PlayListName"));
            for (const XmlFields& s : c.songs) {
                const QString id = FieldValue(s, "SongId").isEmpty() ? FieldValue(s, "SongQuKuId") : FieldValue(s, "SongId");
                db.AddGroupSong(group, {id, FieldValue(s, "SongName"), FieldValue(s, "SingerName"), FieldValue(s, "SongAddress"), 0});
            }
            return Xml(Result(QStringLiteral("1"), QString::number(group)));
        }
        if (method == QLatin1String("getpic")) {
            const CatalogueSong* s = catalogue.Match(f("typeid"), f("songname"), f("artist"));
            const QString url = s && s->hasCover ? Base() + QStringLiteral("/cover/") + s->id + QStringLiteral(".bmp") : QString();
            return Xml(QStringLiteral("<pic><url value=\"%1\"/></pic>").arg(Escape(url)));
        }
        if (method == QLatin1String("lrc")) {
            const CatalogueSong* s = catalogue.Match(f("musicid"), f("songname"), f("artist"));
            const QString lrc = s ? CCatalogue::Lyrics(*s) : QString();
            return Xml(QStringLiteral("<lrc><music>") + (lrc.isEmpty() ? QString() : Element("content", lrc))
                       + QStringLiteral("</music></lrc>"));
        }
        return std::string();
    }

    QString CurrentLatest()
    {
        std::lock_guard lock(mutex);
        return latestVersion;
    }

    QString UpdateReply(const QString& clientVersion)
    {
        std::lock_guard lock(mutex);
        const QString type = !validType.isEmpty() ? validType
            : clientVersion == latestVersion      ? QStringLiteral("1")
                                                  : QStringLiteral("2");
        const QString address = updateAddress.isEmpty()
            ? Base() + QStringLiteral("/download/ordel-") + latestVersion + QStringLiteral(".tar.gz")
            : updateAddress;
        return QStringLiteral("<o>") + Element("result", updateResult) + Element("LastVersion", latestVersion)
            + Element("ValidType", type) + Element("Address", address) + QStringLiteral("</o>");
    }

    void UserInfo(const httplib::Request& req, httplib::Response& res, const QByteArray& body)
    {
        const FormFields form = ParseForm(body);
        QJsonObject doc;
        for (const auto& [name, v] : form) doc[QString::fromUtf8(name)] = QString::fromUtf8(v);
        Record(req, QStringLiteral("getUserInfo"), QJsonObject {{QStringLiteral("form"), doc}}, body);
        const QString user = db.SessionUser(QString::fromUtf8(FormValue(form, "id")));
        const std::string reply = user.isEmpty()
            ? std::string("1$$$$$$$")
            : Utf8(QStringLiteral("0$%1$%2$%3$%2@example.com$0$0$0").arg(QStringLiteral("10001"), user, QStringLiteral("演示用户")));
        Answer(SwitchFor(QStringLiteral("/pcc/user/getUserInfo.do")), res, reply, "text/plain; charset=utf-8");
    }

    void Session(const httplib::Request& req, httplib::Response& res, const QByteArray& body)
    {
        const FormFields form = ParseForm(body);
        QJsonObject doc;
        for (const auto& [name, v] : form) doc[QString::fromUtf8(name)] = QString::fromUtf8(v);
        Record(req, QStringLiteral("session"), QJsonObject {{QStringLiteral("form"), doc}}, body);
        Answer(SwitchFor(QStringLiteral("/pcc/user/session.do")), res, "1", "text/plain");
    }

    void File(const httplib::Request& req, httplib::Response& res, const char* endpoint, const QString& path, const char* type)
    {
        Record(req, QString::fromLatin1(endpoint), QJsonObject());
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            res.status = 404;
            res.set_content("not found", "text/plain");
            return;
        }
        const QByteArray bytes = f.readAll();
        Answer(SwitchFor(QString::fromLatin1(endpoint)), res, std::string(bytes.constData(), static_cast<size_t>(bytes.size())), type);
    }

    static void Json(httplib::Response& res, const QJsonValue& v)
    {
        const QByteArray text = v.isArray() ? QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact)
                                            : QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact);
        res.set_content(std::string(text.constData(), static_cast<size_t>(text.size())), "application/json");
    }

    // The query of the request target, decoded as the protocol encodes it.
    static QJsonObject QueryJson(const httplib::Request& req)
    {
        const QByteArray target = Bytes(req.target);
        const qsizetype q = target.indexOf('?');
        QJsonObject out;
        if (q >= 0)
            for (const auto& [name, v] : ParseForm(target.mid(q + 1))) out[QString::fromUtf8(name)] = QString::fromUtf8(v);
        return out;
    }

    // What an upload's address says of the file; its texts come in the code page.
    static QJsonObject UploadedFile(const httplib::Request& req)
    {
        const QByteArray target = Bytes(req.target);
        const qsizetype q = target.indexOf('?');
        const FormFields query = q < 0 ? FormFields() : ParseForm(target.mid(q + 1));
        QJsonObject out;
        for (const char* name : {"song", "singer", "album", "filename", "uploadkey", "vuid"})
            out[QLatin1String(name)] = FromAnsi(FormValue(query, name));
        return out;
    }

    static QString Param(const httplib::Request& req, const char* name)
    {
        return req.has_param(name) ? QString::fromStdString(req.get_param_value(name)) : QString();
    }

    // A file of the pages folder, as it is.
    static void Page(httplib::Response& res, const QString& name)
    {
        QFile f(PagesDir() + QLatin1Char('/') + name);
        if (name.contains(QLatin1String("..")) || !f.open(QIODevice::ReadOnly)) {
            res.status = 404;
            res.set_content("not found", "text/plain");
            return;
        }
        const QByteArray bytes = f.readAll();
        res.set_content(std::string(bytes.constData(), static_cast<size_t>(bytes.size())), PageType(name));
    }

    static QString SearchText(const QByteArray& raw)
    {
        const QByteArray text = UrlDecode(raw);
        bool utf8 = true;
        QString needle = QString::fromUtf8(text);
        if (needle.contains(QChar::ReplacementCharacter)) needle = FromAnsi(text, &utf8);
        return needle.trimmed();
    }

    // The songs of a page's list: recommend, like, firstplay, trend or search (with `value`).
    QJsonObject SongsJson(const QString& list, const QByteArray& rawValue) const
    {
        QList<CatalogueSong> songs = catalogue.Songs();
        QJsonObject out;
        if (list == QLatin1String("search")) {
            const QString needle = SearchText(rawValue);
            out[QStringLiteral("value")] = needle;
            QList<CatalogueSong> found;
            for (const CatalogueSong& song : songs)
                if (needle.isEmpty() || song.title.contains(needle, Qt::CaseInsensitive)
                    || song.artist.contains(needle, Qt::CaseInsensitive) || song.album.contains(needle, Qt::CaseInsensitive))
                    found.append(song);
            songs = found;
        } else if (list == QLatin1String("like")) {
            QList<CatalogueSong> picked;
            for (int i = 0; i < songs.size(); ++i)
                if (i % 3 != 0) picked.append(songs[i]);
            std::reverse(picked.begin(), picked.end());
            songs = picked.mid(0, 16);
        } else if (list == QLatin1String("firstplay")) {
            std::reverse(songs.begin(), songs.end());
            songs = songs.mid(0, 12);
        } else if (list == QLatin1String("trend")) {
            std::stable_sort(songs.begin(), songs.end(), [](const CatalogueSong& a, const CatalogueSong& b) { return a.star > b.star; });
            songs = songs.mid(0, 16);
        }
        QJsonArray array;
        for (const CatalogueSong& s : songs)
            array.append(QJsonObject {{QStringLiteral("id"), s.id},
                                      {QStringLiteral("title"), s.title},
                                      {QStringLiteral("artist"), s.artist},
                                      {QStringLiteral("album"), s.album},
                                      {QStringLiteral("star"), s.star},
                                      {QStringLiteral("url"), Base() + QStringLiteral("/media/") + s.id + QStringLiteral(".mp3")},
                                      {QStringLiteral("cover"), s.hasCover ? Base() + QStringLiteral("/cover/") + s.id + QStringLiteral(".bmp") : QString()}});
        out[QStringLiteral("songs")] = array;
        return out;
    }

    void Routes();
};

void CServiceServer::Impl::Routes()
{
    // Form bodies are read here: the server library refuses form bodies above 8 KiB itself,
    // and a batch of log records is larger than that.
    using BodyHandler = void (Impl::*)(const httplib::Request&, httplib::Response&, const QByteArray&);
    const auto withBody = [this](BodyHandler handler) {
        return [this, handler](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
            QByteArray body;
            bool tooLarge = false;
            reader([&](const char* data, size_t length) {
                if (body.size() + static_cast<qsizetype>(length) > kBodyBound) {
                    tooLarge = true;
                    return false;
                }
                body.append(data, static_cast<qsizetype>(length));
                return true;
            });
            if (tooLarge) {
                res.status = 413;
                return;
            }
            (this->*handler)(req, res, body);
        };
    };
    server.Post("/metadata/enter.do", withBody(&Impl::Enter));
    server.Get("/metadata/enter.do", [this](const httplib::Request& req, httplib::Response& res) { Enter(req, res, QByteArray()); });
    server.Post("/log/enter.do", withBody(&Impl::Enter));
    server.Post("/pcc/user/getUserInfo.do", withBody(&Impl::UserInfo));
    server.Post("/pcc/user/session.do", withBody(&Impl::Session));

    // Uploads to the cloud drive: the free capacity, and the file itself, streamed and only
    // measured (length and MD5 are kept, not the bytes).
    server.Post("/up/getTempCapacity.do", [this](const httplib::Request& req, httplib::Response& res) {
        Record(req, QStringLiteral("getTempCapacity"), QJsonObject {{QStringLiteral("query"), QueryJson(req)}});
        std::string answer;
        {
            std::lock_guard lock(mutex);
            answer = Utf8(capacity);
        }
        Answer(SwitchFor(QStringLiteral("/up/getTempCapacity.do")), res, answer, "text/plain");
    });
    server.Post("/up/upload.do", [this](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
        QCryptographicHash md5(QCryptographicHash::Md5);
        qint64 size = 0;
        const bool read = reader([&](const char* data, size_t length) {
            md5.addData(QByteArrayView(data, static_cast<qsizetype>(length)));
            size += static_cast<qint64>(length);
            return true;
        });
        // A body cut short (a cancel, a dropped connection) is no upload: only its arrival is kept.
        const bool whole = read && req.has_header("Content-Length") &&
                           QByteArray::fromStdString(req.get_header_value("Content-Length")).toLongLong() == size;
        Record(req, whole ? QStringLiteral("upload") : QStringLiteral("upload-incomplete"),
               QJsonObject {{QStringLiteral("query"), QueryJson(req)}, {QStringLiteral("file"), UploadedFile(req)},
                            {QStringLiteral("size"), size},
                            {QStringLiteral("md5"), whole ? QString::fromLatin1(md5.result().toHex()) : QString()}});
        std::string answer;
        {
            std::lock_guard lock(mutex);
            answer = Utf8(uploadAnswer);
        }
        Answer(SwitchFor(QStringLiteral("/up/upload.do")), res, answer, "text/plain");
    });
    // The user's drive as its page lists it: every whole upload made with that vuid.
    server.Get("/pages/data/drive.json", [this](const httplib::Request& req, httplib::Response& res) {
        const QString vuid = Param(req, "vuid");
        QJsonArray files;
        if (!vuid.isEmpty())
            for (const QJsonValue& r : db.Requests(QStringLiteral("upload"))) {
                const QJsonObject doc = r.toObject()[QStringLiteral("document")].toObject();
                QJsonObject file = doc[QStringLiteral("file")].toObject();
                if (file[QStringLiteral("vuid")].toString() != vuid) continue;
                file[QStringLiteral("size")] = doc[QStringLiteral("size")];
                file.remove(QStringLiteral("vuid"));
                files.append(file);
            }
        Json(res, QJsonObject {{QStringLiteral("files"), files}});
    });
    server.Post("/_state/upload", [this](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard lock(mutex);
        if (req.has_param("capacity")) capacity = Param(req, "capacity");
        if (req.has_param("answer")) uploadAnswer = Param(req, "answer");
        res.set_content("{}", "application/json");
    });

    server.Get(R"(/media/(\d+)\.mp3)", [this](const httplib::Request& req, httplib::Response& res) {
        const CatalogueSong* s = catalogue.FindById(QString::fromStdString(req.matches[1]));
        File(req, res, "/media", s ? CCatalogue::MediaPath(dataDir, *s) : QString(), "audio/mpeg");
    });
    server.Get(R"(/cover/(\d+)\.bmp)", [this](const httplib::Request& req, httplib::Response& res) {
        const CatalogueSong* s = catalogue.FindById(QString::fromStdString(req.matches[1]));
        File(req, res, "/cover", s && s->hasCover ? CCatalogue::CoverPath(dataDir, *s) : QString(), "image/bmp");
    });

    // Sign-in: a form whose answer is the page the player watches for ("loginResult.do?Response=").
    server.Get("/pcc/user/login.do", [](const httplib::Request&, httplib::Response& res) { Page(res, QStringLiteral("login.html")); });
    server.Post("/pcc/user/login.do", [this](const httplib::Request& req, httplib::Response& res) {
        const FormFields form = ParseForm(Bytes(req.body));
        QString user = QString::fromUtf8(FormValue(form, "user"));
        if (user.isEmpty()) user = QStringLiteral("demo");
        const QString vuid = QUuid::createUuid().toString(QUuid::WithoutBraces).remove(QLatin1Char('-'));
        db.AddSession(vuid, user);
        res.set_redirect(Utf8(QStringLiteral("/pcc/user/loginResult.do?Response=0$") + vuid));
    });
    server.Get("/pcc/user/loginResult.do", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><link rel=\"stylesheet\" href=\"/pages/ordel.css\"></head>"
                        "<body><div class=\"form-page\"><div class=\"form\"><h1>登录成功</h1></div></div></body></html>",
                        "text/html; charset=utf-8");
    });

    // The pages the player shows, served as they are, and the song lists they ask for.
    server.Get("/pages/data/songs.json", [this](const httplib::Request& req, httplib::Response& res) {
        const QByteArray target = Bytes(req.target);
        const qsizetype q = target.indexOf('?');
        QByteArray list, rawValue;
        if (q >= 0)
            for (const QByteArray& pair : target.mid(q + 1).split('&')) {
                if (pair.startsWith("list=")) list = pair.mid(5);
                else if (pair.startsWith("value=")) rawValue = pair.mid(6);
            }
        Json(res, SongsJson(QString::fromLatin1(list), rawValue));
    });
    server.Get(R"(/pages/([A-Za-z0-9_-]+\.(html|css|js|svg|png)))", [](const httplib::Request& req, httplib::Response& res) {
        Page(res, QString::fromStdString(req.matches[1]));
    });
    server.Get("/pc/tosongsroom.do", [](const httplib::Request&, httplib::Response& res) { Page(res, QStringLiteral("songroom.html")); });
    for (const char* banner : {"/ad.html", "/pcc/ad.do"})
        server.Get(banner, [](const httplib::Request&, httplib::Response& res) { Page(res, QStringLiteral("ad.html")); });
    server.Get("/v5/action/secweborder/weborder2.do", [](const httplib::Request&, httplib::Response& res) {
        Page(res, QStringLiteral("weborder.html"));
    });

    // What tests look at and switch.
    server.Get("/_state/requests", [this](const httplib::Request& req, httplib::Response& res) {
        Json(res, db.Requests(Param(req, "method")));
    });
    server.Post("/_state/reset", [this](const httplib::Request&, httplib::Response& res) {
        db.ClearRequests();
        std::lock_guard lock(mutex);
        switches.clear();
        latestVersion = QStringLiteral("1.0");
        capacity = QStringLiteral("1073741824");
        uploadAnswer = QStringLiteral("0");
        validType.clear();
        updateResult = QStringLiteral("1");
        updateAddress.clear();
        res.set_content("{}", "application/json");
    });
    server.Post("/_state/switch", [this](const httplib::Request& req, httplib::Response& res) {
        Switch sw;
        sw.mode = Param(req, "mode");
        sw.ms = Param(req, "ms").toInt();
        sw.bytes = Param(req, "bytes").toLongLong();
        std::lock_guard lock(mutex);
        if (sw.mode.isEmpty() || sw.mode == QLatin1String("normal"))
            switches.remove(Param(req, "endpoint"));
        else
            switches.insert(Param(req, "endpoint"), sw);
        res.set_content("{}", "application/json");
    });
    server.Post("/_state/update", [this](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard lock(mutex);
        if (req.has_param("latest")) latestVersion = Param(req, "latest");
        if (req.has_param("validtype")) validType = Param(req, "validtype");
        if (req.has_param("result")) updateResult = Param(req, "result");
        if (req.has_param("address")) updateAddress = Param(req, "address");
        res.set_content("{}", "application/json");
    });
    server.Post("/_state/session", [this](const httplib::Request& req, httplib::Response& res) {
        const QString user = Param(req, "user").isEmpty() ? QStringLiteral("demo") : Param(req, "user");
        const QString vuid = Param(req, "vuid").isEmpty()
            ? QUuid::createUuid().toString(QUuid::WithoutBraces).remove(QLatin1Char('-'))
            : Param(req, "vuid");
        db.AddSession(vuid, user);
        Json(res, QJsonObject {{QStringLiteral("vuid"), vuid}, {QStringLiteral("user"), user}});
    });
    // A group made for a test, optionally under `parent` and holding catalogue songs (`songs`,
    // comma-separated catalogue ids); answers its id.
    server.Post("/_state/group", [this](const httplib::Request& req, httplib::Response& res) {
        const QString user = Param(req, "user").isEmpty() ? QStringLiteral("demo") : Param(req, "user");
        const int id = db.AddGroup(user, Param(req, "name"), Param(req, "parent").toInt());
        for (const QString& songId : Param(req, "songs").split(QLatin1Char(','), Qt::SkipEmptyParts))
            if (const CatalogueSong* s = catalogue.FindById(songId))
                db.AddGroupSong(id, {s->id, s->title, s->artist, Base() + QStringLiteral("/media/") + s->id + QStringLiteral(".mp3"), s->star});
        Json(res, QJsonObject {{QStringLiteral("id"), id}});
    });
    server.Get("/_state/groups", [this](const httplib::Request& req, httplib::Response& res) {
        QJsonArray out;
        for (const CServiceDb::Group& g : db.Groups(Param(req, "user"))) {
            QJsonArray songs;
            for (const CServiceDb::GroupSong& s : db.GroupSongs(g.id))
                songs.append(QJsonObject {{QStringLiteral("id"), s.songId}, {QStringLiteral("name"), s.name},
                                          {QStringLiteral("singer"), s.singer}, {QStringLiteral("address"), s.address}});
            out.append(QJsonObject {{QStringLiteral("id"), g.id}, {QStringLiteral("parent"), g.parent},
                                    {QStringLiteral("name"), g.name}, {QStringLiteral("songs"), songs}});
        }
        Json(res, out);
    });
    server.Get("/_state/catalogue", [this](const httplib::Request&, httplib::Response& res) {
        QJsonArray out;
        for (const CatalogueSong& s : catalogue.Songs())
            out.append(QJsonObject {{QStringLiteral("id"), s.id},
                                    {QStringLiteral("title"), s.title},
                                    {QStringLiteral("artist"), s.artist},
                                    {QStringLiteral("album"), s.album},
                                    {QStringLiteral("lyrics"), CCatalogue::Lyrics(s)},
                                    {QStringLiteral("hasCover"), s.hasCover},
                                    {QStringLiteral("media"), Base() + QStringLiteral("/media/") + s.id + QStringLiteral(".mp3")}});
        Json(res, out);
    });
}

CServiceServer::CServiceServer(const QString& dataDir, const CCatalogue& catalogue, CServiceDb& db)
    : m_impl(std::make_unique<Impl>(dataDir, catalogue, db))
{
    m_impl->Routes();
}

CServiceServer::~CServiceServer() = default;

int CServiceServer::Bind(int port)
{
    if (port == 0) {
        m_impl->port = m_impl->server.bind_to_any_port("127.0.0.1");
    } else {
        m_impl->port = m_impl->server.bind_to_port("127.0.0.1", port) ? port : -1;
    }
    return m_impl->port > 0 ? m_impl->port : -1;
}

bool CServiceServer::Listen()
{
    return m_impl->server.listen_after_bind();
}

void CServiceServer::Stop()
{
    m_impl->server.stop();
}
