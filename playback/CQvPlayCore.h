#pragma once
#include "base/MsgWindow.h"
#include "playback/AudioBackend.h"

#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>

// What the engine needs from the window layer, which supplies it at start-up.
class IEngineUi {
public:
    virtual ~IEngineUi() = default;
    // A message box without caption and with an OK button.
    virtual void MessageBox(const QString& text) = 0;
};

// The audio engine: one process-wide object that opens a file or a network stream on a worker
// thread per request, plays, pauses, stops and seeks it, and tells the notification window about
// connecting, buffering and the start by WM_ENGINE_NOTIFY. A newer open request always wins over
// an older one still at work.
class CQvPlayCore : public std::enable_shared_from_this<CQvPlayCore> {
public:
    enum Status {
        kStopped = 1,
        kPlaying = 2,
        kPaused = 3, // also while an open request is pending
        kReady = 4,  // opened, not yet playing
        kStalled = 5,
    };
    enum OpenState {
        kOpenPlayedByCall = 1,   // started by Play
        kOpenPlayedByWorker = 2, // started by the open request's own worker
        kOpenConnecting = 6,     // a network stream connecting and buffering
    };
    // wParam values of WM_ENGINE_NOTIFY.
    enum Notify {
        kNotifyConnecting = 0,
        kNotifyBuffering = 1, // lParam: percent downloaded
        kNotifyStarted = 2,
        kNotifyOpenFailed = 3,
        kNotifySizeUnknown = 4,
    };
    static constexpr int kEqBands = 10;

    // The process-wide engine over the system's sound device, made on first call.
    static CQvPlayCore* GetInstance();
    // Frees the process-wide engine (its device, its streams); workers still running end on their own.
    static void ShutDown();
    // An engine of its own over `backend` (tests, benchmarks).
    static std::shared_ptr<CQvPlayCore> Create(std::unique_ptr<IAudioBackend> backend);

    ~CQvPlayCore();
    CQvPlayCore(const CQvPlayCore&) = delete;
    CQvPlayCore& operator=(const CQvPlayCore&) = delete;

    // Opens the device. On success `window` receives the notifications and 1 is returned; on
    // failure "Can't initialize device" is shown through `ui` and 0 is returned. A later open
    // tries the device again.
    int Init(const CMsgTarget& window, IEngineUi* ui);
    // Clears the notification window and frees the device and every stream.
    void Free();

    // 0 when playing (the stream is stopped and nothing is opened; open again), 0 when the device
    // cannot be opened, else 1: the worker of the new request opens and starts the source.
    int Open(const QString& source, const QStringList& alternatives);
    int Play();
    // Pauses a playing stream, resumes a paused one; returns the status.
    int PauseResume();
    int Stop();
    int GetStatus();
    int GetPosition();
    bool Seek(int ms);
    int GetLength();
    bool SetVolume(float volume);
    // The volume the streams are played at (the last one set, 0.0-1.0).
    float GetVolume() const { return m_volume.load(); }
    float GetBufferPercent();
    int GetOpenState() const { return m_openState.load(); }
    // The latest open request's worker is still at work: the stream has neither started nor failed.
    bool IsOpening() const;
    // The sound device is open and working.
    bool HasDevice() const;

    // Sets one equaliser band's gain for the current stream and every later one.
    bool SetEqGain(int band, float gainDb);

    // The backend the engine runs on (benchmarks and tests look at its streams).
    IAudioBackend& Backend() { return *m_backend; }

private:
    struct Request {
        bool active = true;
        StreamHandle stream = 0;
    };
    explicit CQvPlayCore(std::unique_ptr<IAudioBackend> backend);

    void RunRequest(int n);
    // Under m_requestMutex.
    bool OpenStream(int n, const QString& source, const QStringList& alternatives);
    bool OpenUrl(int n, const QString& source, const QStringList& alternatives);
    bool Buffer(int n, StreamHandle stream);
    bool IsCurrent(int n) const;
    void Abandon(int n, StreamHandle stream);
    // Ends request `n` that did not open; `tell`: post WM_ENGINE_NOTIFY 3 (any source that is not
    // a local file). Nothing is said for a request that was overtaken.
    void FailOpen(int n, bool superseded, bool tell);

    bool IsLatest(int n) const { return m_counter.load() == n; }
    // Runs `change` only while `n` is the latest request, so a superseded worker cannot undo
    // what a newer request or a stop did.
    template <typename F>
    bool IfLatest(int n, F change);
    void SetCurrentStream(int n, StreamHandle stream);
    void AttachEqualizer(int n, StreamHandle stream);
    // Under m_stateMutex.
    PeakEqBand EqBand(int band) const;
    bool EnsureDevice();

    CMsgTarget Window() const;
    bool WindowAlive() const { return Window().IsAlive(); }
    void Notify(int wParam, int lParam = 0) const;
    void Log(const char* reason) const;

    std::unique_ptr<IAudioBackend> m_backend;

    std::atomic<StreamHandle> m_stream {0};
    std::atomic<int> m_status {kStopped};
    std::atomic<int> m_openState {kOpenConnecting};
    std::atomic<int> m_counter {0};
    std::atomic<float> m_volume {1.0f};

    // Short: the latest request's source, the pending flag, and status writes of workers.
    mutable std::mutex m_stateMutex;
    QString m_source;
    QStringList m_alternatives;
    bool m_opening = false; // the latest request's worker has not finished
    FxHandle m_fx = 0;
    std::array<float, kEqBands> m_eqGains {};

    // The request table; workers hold it while they open, the interface thread never waits for it.
    std::mutex m_requestMutex;
    std::map<int, Request> m_requests;

    mutable std::mutex m_windowMutex;
    CMsgTarget m_window;       // the notification window, once the device is open
    CMsgTarget m_initWindow;   // the window given to Init, for a device opened later
    IEngineUi* m_ui = nullptr;
};

// The track length in whole seconds the player shows for an engine length in ms: a length under
// one second counts as one second.
int EngineLengthSeconds(int lengthMs);
