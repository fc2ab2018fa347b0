#include "app/CEqualizerDlg.h"

#include "app/CEqualizer.h"
#include "app/UiTexts.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace {
const QString kTitle = txt::kEqualizer;
const QString kPreset = QStringLiteral("预设：");
const QString kCustom = QStringLiteral("自定义");
const QString kReset = QStringLiteral("重置");
} // namespace

CEqualizerDlg::CEqualizerDlg(CEqualizer& equalizer, QWidget* parent) : CSkinDialog(kTitle, parent), m_eq(equalizer)
{
    setObjectName(QStringLiteral("equalizer"));
    auto* v = new QVBoxLayout(Body());
    v->setContentsMargins(20, 14, 20, 14);
    v->setSpacing(10);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(kPreset, Body()));
    m_presets = new QComboBox(Body());
    m_presets->addItems(CEqualizer::PresetNames());
    m_presets->addItem(kCustom);
    top->addWidget(m_presets, 1);
    auto* reset = new QPushButton(kReset, Body());
    top->addWidget(reset);
    v->addLayout(top);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    const QStringList labels = CEqualizer::BandLabels();
    for (int i = 0; i < CEqualizer::kBands; ++i) {
        m_values[i] = new QLabel(Body());
        m_values[i]->setAlignment(Qt::AlignCenter);
        m_values[i]->setMinimumWidth(30);
        auto* s = new QSlider(Qt::Vertical, Body());
        s->setRange(-CEqualizer::kMaxGainDb, CEqualizer::kMaxGainDb);
        s->setPageStep(3);
        s->setTickPosition(QSlider::TicksBothSides);
        s->setTickInterval(6);
        s->setMinimumHeight(140);
        s->setAccessibleName(labels[i]);
        m_sliders[i] = s;
        auto* name = new QLabel(labels[i], Body());
        name->setAlignment(Qt::AlignCenter);
        grid->addWidget(m_values[i], 0, i, Qt::AlignHCenter);
        grid->addWidget(s, 1, i, Qt::AlignHCenter);
        grid->addWidget(name, 2, i, Qt::AlignHCenter);
        connect(s, &QSlider::valueChanged, this, [this, i](int value) {
            m_values[i]->setText(QString::number(value));
            if (m_bShowing) return;
            m_eq.SetBand(i, value);
            ShowState();
        });
    }
    v->addLayout(grid);

    connect(m_presets, &QComboBox::activated, this, [this](int index) {
        if (index >= CEqualizer::kPresetCount) return; // custom is what the sliders say
        m_eq.SelectPreset(index);
        ShowState();
    });
    connect(reset, &QPushButton::clicked, this, [this] {
        m_eq.SelectPreset(0);
        ShowState();
    });
    ShowState();
}

void CEqualizerDlg::ShowState()
{
    m_bShowing = true;
    const CEqualizer::Gains& gains = m_eq.GainsDb();
    for (int i = 0; i < CEqualizer::kBands; ++i) {
        m_sliders[i]->setValue(gains[i]);
        m_values[i]->setText(QString::number(gains[i]));
    }
    m_presets->setCurrentIndex(m_eq.Mode());
    m_bShowing = false;
}
