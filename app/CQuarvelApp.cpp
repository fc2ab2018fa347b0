#include "app/CQuarvelApp.h"
#include "app/QtTranslations.h"

#include "app/CSingleInstance.h"
#include "app/FileAssociation.h"
#include "app/HandOver.h"
#include "app/UiTexts.h"

#include "base/DebugLog.h"
#include "base/FileName.h"
#include "base/MessageIds.h"
#include "base/Worker.h"
#include "net/ServiceRequest.h"
#include "store/CMediaLibrary.h"
#include "store/CQvConf.h"
#include "store/CQvMediaStore.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>
#include <QUuid>

#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace {

// The signal handler only writes a byte; the event loop reads it and shuts down.
int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

} // namespace

CommandLine ParseCommandLine(const QStringList& arguments)
{
    CommandLine line;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--home") && i + 1 < arguments.size()) {
            line.options.home = arguments[++i];
        } else if (a == QLatin1String("--color") && i + 1 < arguments.size()) {
            bool ok = false;
            const int scheme = arguments[++i].toInt(&ok);
            if (ok && scheme >= 0) line.options.colorScheme = scheme % 3;
        } else if (a == QLatin1String("--no-service")) {
            line.options.main.serviceTasks = false;
        } else {
            // The first start may have another working folder: it is handed full paths.
            const QFileInfo fi(a);
            line.files.append(fi.exists() || IsRegularFile(a) ? fi.absoluteFilePath() : a);
        }
    }
    return line;
}

CQuarvelApp::CQuarvelApp(QStringList files, AppOptions options, QObject* parent)
    : QObject(parent), m_files(std::move(files)), m_options(std::move(options))
{
}

CQuarvelApp::~CQuarvelApp()
{
    m_pMainDlg.reset();
}

bool CQuarvelApp::IsPrimary() const { return m_pInstance && m_pInstance->IsPrimary(); }

int CQuarvelApp::InitInstance()
{
    m_pInstance = std::make_unique<CSingleInstance>(m_options.instanceName);
    if (!m_pInstance->Acquire()) {
        if (m_pInstance->OtherRunning()) return HandOver();
        // Neither reachable nor ours: better a second player than none.
        WriteDebugLogA("single instance: the name could be neither reached nor taken");
    }

    // A start in a process where an earlier player has ended (tests) begins without its stop flags.
    ClearExiting();
    ClearShuttingDown();
    if (m_options.handleSignals) EndOnTerminationSignals();
    InitPaths();
    InstallQtTranslations();
    if (m_options.registerAssociation) RegisterMp3Association(QCoreApplication::applicationFilePath());

    CQvConf& conf = CQvConf::Instance();
    CQvMediaStore& store = m_options.store ? *m_options.store : CQvMediaStore::Instance();
    m_pLibrary = std::make_unique<CMediaLibrary>(store, conf);
    m_pMainDlg = std::make_unique<CMainDlg>(conf, *m_pLibrary, nullptr, m_options.main);
    connect(m_pMainDlg.get(), &CMainDlg::Ended, this, [this](int code) {
        ExitInstance();
        emit Finished(code);
    });
    // A later start's messages: 1533 (its files are in "file.xml") and 1532 (show).
    CMainDlg* controller = m_pMainDlg.get();
    m_pInstance->SetHandler([controller](unsigned msg) {
        if (msg == WM_OPEN_HANDOVER || msg == WM_SHOW_WINDOW) controller->PostMessage(msg);
    });
    m_pMainDlg->Initialize(m_files);
    return -1;
}

int CQuarvelApp::HandOver()
{
    if (!m_files.isEmpty()) {
        if (!WriteHandOverFile(HandOverFilePath(), m_files)) WriteDebugLogA("hand-over: file.xml not written");
        m_pInstance->Send(WM_OPEN_HANDOVER);
    }
    m_pInstance->Send(WM_SHOW_WINDOW);
    // The running player reads the file in its own time; it is not rewritten under it.
    const QDeadlineTimer wait(m_options.handOverWaitMs);
    while (!wait.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    m_pInstance.reset();
    return 0;
}

void CQuarvelApp::InitPaths()
{
    CQvConf& conf = CQvConf::Instance();
    const QString home = m_options.home.isEmpty() ? ResolveProgramHome() : m_options.home;
    const QString resources = m_options.resourceDir.isEmpty() ? ResolveResourceDir() : m_options.resourceDir;
    conf.SetDirectories(home, resources);
    conf.InstallDefaultFiles();
    conf.Settings() = ConfigSettings();
    conf.LoadInfoIni();
    conf.LoadConfig(conf.DataDir());
    conf.LoadServerTable(conf.DataDir() + QStringLiteral("server.xml"));
    if (conf.Settings().clientid.isEmpty())
        conf.Settings().clientid = QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
    if (m_options.colorScheme >= 0) conf.Settings().ColorConfig = m_options.colorScheme % 3;
}

void CQuarvelApp::EndOnTerminationSignals()
{
    if (m_pSignalNotifier) return;
    if (g_signalPipe[0] < 0 && ::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char buffer[16];
        while (::read(g_signalPipe[0], buffer, sizeof buffer) > 0) {
        }
        // Read by the event loop, which runs once the controller is there.
        if (m_pMainDlg) m_pMainDlg->ExitApp();
    });
    m_pSignalNotifier = notifier;
    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigset_t endSignals;
    sigemptyset(&endSignals);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(sig, &action, nullptr);
        sigaddset(&endSignals, sig);
    }
    // A parent may have started the program with them blocked (the mask survives exec).
    ::pthread_sigmask(SIG_UNBLOCK, &endSignals, nullptr);
}

int CQuarvelApp::ExitInstance()
{
    if (m_bExiting) return 0;
    m_bExiting = true;
    // Nothing more is handed to this start; a new start becomes the player.
    m_pInstance.reset();
    return 0;
}
