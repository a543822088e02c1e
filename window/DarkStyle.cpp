#include "DarkStyle.h"

#include <QStyleFactory>

DarkStyle::DarkStyle()
    : QProxyStyle(QStyleFactory::create("Fusion"))
{
    setObjectName("fusion");
}

QPalette DarkStyle::darkPalette()
{
    QPalette p;
    const QColor window(45, 45, 45);
    const QColor base(37, 37, 38);
    const QColor text(0xef, 0xef, 0xef);
    const QColor disabled(0x80, 0x80, 0x80);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, QColor(52, 52, 52));
    p.setColor(QPalette::ToolTipBase, QColor(30, 30, 30));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, disabled);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(53, 53, 53));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, QColor(0xff, 0x69, 0x00));
    p.setColor(QPalette::Light, QColor(70, 70, 70));
    p.setColor(QPalette::Midlight, QColor(60, 60, 60));
    p.setColor(QPalette::Mid, QColor(40, 40, 40));
    p.setColor(QPalette::Dark, QColor(30, 30, 30));
    p.setColor(QPalette::Shadow, QColor(20, 20, 20));
    p.setColor(QPalette::Highlight, QColor(0xff, 0x69, 0x00));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0xff, 0x8a, 0x3d));
    p.setColor(QPalette::LinkVisited, QColor(0xd9, 0x73, 0x2e));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::HighlightedText})
        p.setColor(QPalette::Disabled, role, disabled);
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(80, 80, 80));
    return p;
}

QPalette DarkStyle::standardPalette() const
{
    return darkPalette();
}

void DarkStyle::polish(QPalette& palette)
{
    palette = darkPalette();
}

int DarkStyle::styleHint(
    StyleHint hint, const QStyleOption* option, const QWidget* widget, QStyleHintReturn* returnData) const
{
    // The desktop theme's clip-art icons on OK/Cancel clash with the flat dark look.
    if (hint == SH_DialogButtonBox_ButtonsHaveIcons)
        return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}
