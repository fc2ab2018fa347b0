#pragma once
#include <QWidget>

// The settings page's preview of the desktop lyrics: a sample line in the chosen font, size and
// colour scheme, half of it sung.
class CLyricPreviewEdit : public QWidget {
    Q_OBJECT
public:
    explicit CLyricPreviewEdit(QWidget* parent = nullptr);

    void SetLyricFont(const QString& name, int size, int scheme);
    QString FontName() const { return m_strFontName; }
    int FontSize() const { return m_nFontSize; }
    int Scheme() const { return m_nScheme; }
    QString SampleText() const;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QString m_strFontName = QStringLiteral("宋体");
    int m_nFontSize = 48;
    int m_nScheme = 0;
};
