#pragma once
#include <QString>
#include <QStringList>

#include <array>

class CQvPlayCore;
struct ConfigSettings;

// The equaliser's settings: ten gains (the engine's bands, -12 to +12 dB) and the preset they
// came from. They are kept in "Config.xml" as "eqmode" (the preset's number, or kCustom after a
// band was moved by hand) and "eqgains" (the ten gains), and given to the engine, which applies
// them to the playing stream and every later one; all at 0 dB costs nothing there.
class CEqualizer {
public:
    static constexpr int kBands = 10;
    static constexpr int kMaxGainDb = 12;
    using Gains = std::array<int, kBands>;
    // The presets in menu order; "eqmode" -1 (the default of an old file) is the first.
    static constexpr int kPresetCount = 7;
    static constexpr int kCustom = kPresetCount;

    static QStringList PresetNames();
    // The gains of preset `index`; flat for any other number.
    static Gains PresetGains(int index);
    // The centre frequency labels of the bands ("80", "1K", ...).
    static QStringList BandLabels();
    // "g0,g1,...,g9"; and back: false (and `gains` untouched) unless ten whole numbers within
    // range are given.
    static QString GainsText(const Gains& gains);
    static bool ParseGains(const QString& text, Gains& gains);

    // Every change is written into `settings` at once (saved with the rest of "Config.xml").
    CEqualizer(CQvPlayCore& engine, ConfigSettings& settings);

    // From the settings, then to the engine.
    void Load();

    const Gains& GainsDb() const { return m_gains; }
    int Mode() const { return m_mode; }
    bool IsFlat() const;

    // A preset chosen: its gains take effect at once.
    void SelectPreset(int index);
    // One band moved by hand (clamped to the range): the mode becomes custom.
    void SetBand(int band, int gainDb);

private:
    void Apply() const;
    void Store() const;

    CQvPlayCore& m_engine;
    ConfigSettings& m_settings;
    Gains m_gains {};
    int m_mode = 0;
};
