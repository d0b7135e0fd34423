#pragma once

#include <QProxyStyle>

namespace talvern {

// The look of the locked window's password entry: every character shown as the same black square
// (U+25A0) whatever the desktop's style would use. A proxy of the application's style, not a style
// sheet, since parsing a sheet is a noticeable part of the time before the locked window shows.
class PasswordStyle : public QProxyStyle {
public:
    PasswordStyle();
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override;
};

} // namespace talvern
