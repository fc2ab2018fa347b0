#include "app/CEqualizer.h"

#include "playback/CQvPlayCore.h"
#include "store/CQvConf.h"

#include <algorithm>

namespace {

// Gains in dB for the bands at 80, 170, 320, 600, 1000, 3000, 6000, 12000, 14000, 16000 Hz.
constexpr CEqualizer::Gains kPresets[CEqualizer::kPresetCount] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},        // 默认
    {-1, 2, 4, 5, 3, 0, -1, -1, -1, -1},   // 流行
    {5, 3, -2, -4, -1, 3, 6, 7, 7, 7},     // 摇滚
    {3, 2, 0, 0, 0, 0, -3, -4, -4, -5},    // 古典
    {3, 2, 1, 2, -1, -1, 0, 1, 2, 3},      // 爵士
    {-3, -2, 0, 3, 5, 4, 2, 0, -1, -2},    // 人声
    {8, 6, 4, 1, 0, 0, 0, 0, 0, 0},        // 重低音
};

} // namespace

QStringList CEqualizer::PresetNames()
{
    return {QStringLiteral("默认"), QStringLiteral("流行"), QStringLiteral("摇滚"), QStringLiteral("古典"),
            QStringLiteral("爵士"), QStringLiteral("人声"), QStringLiteral("重低音")};
}

CEqualizer::Gains CEqualizer::PresetGains(int index)
{
    if (index < 0 || index >= kPresetCount) return {};
    return kPresets[index];
}

QStringList CEqualizer::BandLabels()
{
    return {QStringLiteral("80"), QStringLiteral("170"), QStringLiteral("320"), QStringLiteral("600"),
            QStringLiteral("1K"), QStringLiteral("3K"), QStringLiteral("6K"), QStringLiteral("12K"),
            QStringLiteral("14K"), QStringLiteral("16K")};
}

QString CEqualizer::GainsText(const Gains& gains)
{
    QStringList parts;
    for (int g : gains) parts.append(QString::number(g));
    return parts.join(QLatin1Char(','));
}

bool CEqualizer::ParseGains(const QString& text, Gains& gains)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != kBands) return false;
    Gains parsed {};
    for (int i = 0; i < kBands; ++i) {
        bool ok = false;
        const int g = parts[i].trimmed().toInt(&ok);
        if (!ok || g < -kMaxGainDb || g > kMaxGainDb) return false;
        parsed[i] = g;
    }
    gains = parsed;
    return true;
}

CEqualizer::CEqualizer(CQvPlayCore& engine, ConfigSettings& settings) : m_engine(engine), m_settings(settings) {}

void CEqualizer::Load()
{
    const ConfigSettings& settings = m_settings;
    m_mode = settings.eqmode >= 0 && settings.eqmode <= kCustom ? settings.eqmode : 0;
    // The stored gains are what was heard; a file without them (or with damaged ones) takes
    // the preset's.
    if (!ParseGains(settings.eqgains, m_gains)) {
        if (m_mode == kCustom) m_mode = 0;
        m_gains = PresetGains(m_mode);
    }
    Apply();
}

void CEqualizer::Store() const
{
    m_settings.eqmode = m_mode;
    m_settings.eqgains = GainsText(m_gains);
}

bool CEqualizer::IsFlat() const
{
    return std::all_of(m_gains.begin(), m_gains.end(), [](int g) { return g == 0; });
}

void CEqualizer::SelectPreset(int index)
{
    if (index < 0 || index >= kPresetCount) return;
    m_mode = index;
    m_gains = kPresets[index];
    Store();
    Apply();
}

void CEqualizer::SetBand(int band, int gainDb)
{
    if (band < 0 || band >= kBands) return;
    gainDb = std::clamp(gainDb, -kMaxGainDb, kMaxGainDb);
    if (m_gains[band] == gainDb) return;
    m_gains[band] = gainDb;
    m_mode = kCustom;
    Store();
    m_engine.SetEqGain(band, float(gainDb));
}

void CEqualizer::Apply() const
{
    for (int i = 0; i < kBands; ++i) m_engine.SetEqGain(i, float(m_gains[i]));
}
