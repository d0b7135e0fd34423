#include "TForm2.h"

#include "AuxiliaryWindow.h"
#include "BuildVersion.h"
#include "MakerContact.h"
#include "ui_TForm2.h"

#include <QPushButton>
#include <QTextEdit>

namespace talvern {

TForm2::TForm2(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::TForm2>()) {
    m_ui->setupUi(this);
    prepareAuxiliaryWindow(*this, QSize(299, 122), AuxiliaryFrame::FixedDialog, 10);

    QStringList lines;
    for (const char* line : maker::kAboutLines)
        lines << QString::fromUtf8(line);
    // Below the maker's lines, the version an operator quotes when reporting a fault.
    lines << QStringLiteral("Wersja %1").arg(QString::fromStdString(versionText()));
    m_ui->Memo1->setPlainText(lines.join(u'\n'));
    // Seven lines of a 10-pixel font fill the memo's 85 pixels only without the text's own margin.
    m_ui->Memo1->document()->setDocumentMargin(0);
    QTextCursor all(m_ui->Memo1->document());
    all.select(QTextCursor::Document);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    all.mergeBlockFormat(centred);
    QPalette palette = m_ui->Memo1->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button)); // the desktop's scroll-bar grey
    m_ui->Memo1->setPalette(palette);

    connect(m_ui->Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
}

TForm2::~TForm2() = default;

void TForm2::Button1Click() { hide(); }

} // namespace talvern
