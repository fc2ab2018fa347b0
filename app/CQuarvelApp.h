#pragma once
#include "app/CMainDlg.h"

#include <QObject>
#include <QStringList>

#include <memory>

class CMediaLibrary;
class CQvMediaStore;
class CSingleInstance;

// What a start is given besides its files.
struct AppOptions {
    QString home;         // the program home; empty: ResolveProgramHome()
    QString resourceDir;  // the shipped files; empty: ResolveResourceDir()
    int colorScheme = -1; // a colour scheme to start in (stored as the setting); -1: the stored one
    bool registerAssociation = true;
    int handOverWaitMs = 5000; // how long a second start waits before it ends
    QString instanceName;      // the single-instance name; empty: the per-user default
    bool handleSignals = false; // SIGTERM, SIGINT, SIGHUP run the shutdown (the program's own start)
    CQvMediaStore* store = nullptr; // null: the process-wide store
    MainDlgOptions main;
};

// The command line: options ("--home DIR", "--color N") and the files to play.
struct CommandLine {
    AppOptions options;
    QStringList files;
};
CommandLine ParseCommandLine(const QStringList& arguments);

// The application object: one start of the player. A start that finds another running hands
// its files over and ends; the first start prepares the folders and settings, builds the
// controller and its windows, and ends when the controller has shut down.
class CQuarvelApp : public QObject {
    Q_OBJECT
public:
    CQuarvelApp(QStringList files, AppOptions options, QObject* parent = nullptr);
    ~CQuarvelApp() override;

    // The start-up sequence. -1: this start runs (the event loop follows; Finished ends it);
    // otherwise the exit code to end with at once (a second start that handed over).
    int InitInstance();
    // The controller is gone; the process may end.
    int ExitInstance();

    // The folders, "Config.xml", "server.xml", "Info.ini" and the client id.
    void InitPaths();
    // SIGTERM, SIGINT and SIGHUP (the session ending, a script stopping the player) run the
    // normal shutdown, so the settings and the pending records are kept. Installed before the
    // sound device is opened, whose library would otherwise take these signals for itself.
    void EndOnTerminationSignals();

    CMainDlg* Controller() const { return m_pMainDlg.get(); }
    CMediaLibrary& Library() const { return *m_pLibrary; }
    bool IsPrimary() const;
    bool Exiting() const { return m_bExiting; }

signals:
    // The controller has shut down (the exit command, or a declined mandatory update).
    void Finished(int exitCode);

private:
    int HandOver();

    QStringList m_files;
    AppOptions m_options;
    std::unique_ptr<CSingleInstance> m_pInstance;
    std::unique_ptr<CMediaLibrary> m_pLibrary;
    std::unique_ptr<CMainDlg> m_pMainDlg;
    QObject* m_pSignalNotifier = nullptr;
    bool m_bExiting = false;
};
