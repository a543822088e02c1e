#pragma once

#include <QPalette>
#include <QProxyStyle>

// Fusion with a dark palette. Its object name stays "fusion" so code that asks
// for the style by name sees the style it is built on.
class DarkStyle : public QProxyStyle
{
    Q_OBJECT
public:
    DarkStyle();

    static QPalette darkPalette();

    QPalette standardPalette() const override;
    void polish(QPalette& palette) override;
    using QProxyStyle::polish;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
        QStyleHintReturn* returnData = nullptr) const override;
};
