#pragma once
#include "app/CSkinDialog.h"

#include <array>

class CEqualizer;
class QComboBox;
class QLabel;
class QSlider;

// The equaliser window ("均衡器", from the main menu): a preset list and ten band sliders from
// -12 to +12 dB. Every change is heard at once; the settings keep it when the player ends.
class CEqualizerDlg : public CSkinDialog {
    Q_OBJECT
public:
    CEqualizerDlg(CEqualizer& equalizer, QWidget* parent = nullptr);

    QComboBox* Presets() const { return m_presets; }
    QSlider* Band(int band) const { return m_sliders.at(band); }

private:
    // Shows the equaliser's gains and mode without feeding them back.
    void ShowState();

    CEqualizer& m_eq;
    QComboBox* m_presets = nullptr;
    std::array<QSlider*, 10> m_sliders {};
    std::array<QLabel*, 10> m_values {};
    bool m_bShowing = false;
};
