#pragma once
// The window that receives the engine's notifications in tests, and the window layer's part.
#include "base/MessageIds.h"
#include "base/MsgWindow.h"
#include "base/Worker.h"
#include "playback/CQvPlayCore.h"
#include "tests/common/TestUtil.h"

#include <QStringList>

#include <algorithm>
#include <utility>
#include <vector>

struct Notice {
    int w;
    int l;
    bool operator==(const Notice&) const = default;
};

class CNotifyWindow : public CMsgWindow {
public:
    qintptr OnMessage(unsigned msg, quintptr w, qintptr l) override
    {
        if (msg == WM_ENGINE_NOTIFY) notices.push_back({static_cast<int>(w), static_cast<int>(l)});
        return 0;
    }
    int Count(int w) const
    {
        return static_cast<int>(std::count_if(notices.begin(), notices.end(), [w](const Notice& n) { return n.w == w; }));
    }
    bool WaitFor(int w, int count = 1, int ms = 10000)
    {
        return testutil::WaitUntil([&] { return Count(w) >= count; }, ms);
    }
    std::vector<int> Kinds() const
    {
        std::vector<int> k;
        for (const Notice& n : notices) k.push_back(n.w);
        return k;
    }
    std::vector<Notice> notices;
};

class CTestUi : public IEngineUi {
public:
    void MessageBox(const QString& text) override { boxes << text; }
    QStringList boxes;
};

// Lets the event loop run for `ms` (messages arrive meanwhile).
inline void Spin(int ms)
{
    testutil::WaitUntil([] { return false; }, ms);
}

// Frees an engine and waits (bounded) for its workers, so that one test's workers never meet the next.
inline void EndEngine(std::shared_ptr<CQvPlayCore>& engine)
{
    if (engine) engine->Free();
    engine.reset();
    WaitForWorkers(20000);
}
