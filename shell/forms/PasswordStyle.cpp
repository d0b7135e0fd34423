#include "PasswordStyle.h"

#include <QApplication>
#include <QStyleFactory>

namespace talvern {

// A proxy owns its base style, so it gets an instance of its own of the application's style.
PasswordStyle::PasswordStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

int PasswordStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                             QStyleHintReturn* returnData) const {
    if (hint == SH_LineEdit_PasswordCharacter)
        return 0x25A0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

} // namespace talvern
