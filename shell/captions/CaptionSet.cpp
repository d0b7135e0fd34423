#include "CaptionSet.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>

namespace talvern {

namespace {

constexpr auto C = CaptionTarget::Control;
constexpr auto T = CaptionTarget::Tab;
constexpr auto G = CaptionTarget::Column;
constexpr auto N = CaptionTarget::Name;

constexpr CaptionEntry kCaptions[] = {
    // Window level
    {"Zakladka", T, 0, "Osoby"},
    {"Zakladka", T, 1, "Grupy"},
    {"Zakladka", T, 2, "Czytniki"},
    {"Zakladka", T, 3, "Ustawienia"},
    {"BitBtn1", C, 0, "Zatwierdź"},
    // Users page. "Imię" is the first name, shown for the SURNAME field, and "Nazwisko" the
    // surname, shown for the NAME field: the site's operators know the fields by these captions.
    {"Label7", C, 0, "Imię"},
    {"Label13", C, 0, "Nazwisko"},
    {"Label14", C, 0, "Ilość wydanych duplikatów"},
    {"Label3", C, 0, "Numer w bazie"},
    {"Label4", C, 0, "Grupa"},
    {"Label2", C, 0, "Uwagi"},
    {"Button9", C, 0, "Dodaj"},
    {"Button7", C, 0, "Usuń"},
    {"SpeedButton4", C, 0, "Edytuj"},
    {"SpeedButton3", C, 0, "Zatwierdź"},
    {"CBox2", C, 0, "Duplikat karty"},
    {"Button4", C, 0, "Programuj"},
    {"Button2", C, 0, "Znajdź"},
    {"Button3", C, 0, "Usuń uprawnienia"},
    {"DBGrid1", G, 0, "ID"},
    {"DBGrid1", G, 1, "Imię"},
    {"DBGrid1", G, 2, "Nazwisko"},
    {"DBGrid1", G, 3, "Grupa"},
    {"DBGrid1", N, 0, "Osoby"},
    // Groups page
    {"Label5", C, 0, "Dostęp do czytników o numerach:"},
    {"Label6", C, 0, "Uwagi"},
    {"Label9", C, 0, "Grupa"},
    {"Button1", C, 0, "Dodaj"},
    {"Button10", C, 0, "Usuń"},
    {"SpeedButton5", C, 0, "Edytuj"},
    {"SpeedButton6", C, 0, "Zatwierdź"},
    {"Button13", C, 0, "Zaznacz wszystko"},
    {"Button14", C, 0, "Brak dostepu"},
    {"DBGrid2", G, 0, "Nazwa grupy"},
    {"DBGrid2", N, 0, "Grupy"},
    // Readers page, with the configuration-card box
    {"GroupBox3", C, 0, "Parametry czytnika"},
    {"Label10", C, 0, "Nazwa czytnika"},
    {"Label11", C, 0, "Czas przekaźnika [s]"},
    {"Label12", C, 0, "Numer czytnika"},
    {"DBCheckBox97", C, 0, "Potwierdzenie na porcie RS232"},
    {"Button6", C, 0, "Dodaj"},
    {"Button8", C, 0, "Usuń"},
    {"SpeedButton1", C, 0, "Edytuj"},
    {"SpeedButton2", C, 0, "Zatwierdź"},
    {"GroupBox1", C, 0, "Karta konfigurująca czytnik"},
    {"RadioButton3", C, 0, "Fabrycznie nowy"},
    {"RadioButton1", C, 0, "Z aktualnym kodem systemowym"},
    {"RadioButton2", C, 0, "Gdy zmieniłeś kod systemowy"},
    {"Label17", C, 0, "Stary kod"},
    {"CheckBox1", C, 0, "Zerowanie pamięci czytnika"},
    {"Button12", C, 0, "Zapisz parametry czytnika do karty"},
    {"Label15", C, 0, "Uwagi"},
    {"DBGrid3", G, 0, "Nazwa"},
    {"DBGrid3", G, 1, "Czas"},
    {"DBGrid3", N, 0, "Czytniki"},
    // Settings page
    {"GroupBox4", C, 0, "Kod systemowy"},
    {"GroupBox2", C, 0, "Hasło administratora programu"},
    {"GroupBox5", C, 0, "Hasło użytkownika programu"},
    {"Label8", C, 0, "Numer z zakresu 1..1 000 000"},
    {"Button5", C, 0, "Zapisz"},
    {"Button15", C, 0, "Zapisz"},
    {"Button11", C, 0, "Zapisz"},
    {"Label1", C, 0, "Update"},
    {"Label16", C, 0, "Kontakt z producentem"},
};

QWidget* findControl(QWidget& root, const CaptionEntry& entry) {
    return root.findChild<QWidget*>(QString::fromLatin1(entry.control));
}

// Writes caption; false when the control is missing or has no such tab or column.
bool write(QWidget& root, const CaptionEntry& entry, const QString& caption) {
    QWidget* control = findControl(root, entry);
    if (!control)
        return false;
    switch (entry.target) {
    case CaptionTarget::Control:
        if (auto* box = qobject_cast<QGroupBox*>(control)) {
            box->setTitle(caption);
            return true;
        }
        if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            button->setText(caption);
            return true;
        }
        if (auto* label = qobject_cast<QLabel*>(control)) {
            label->setText(caption);
            // A label grows to show its whole caption, as the layout's labels size themselves.
            if (label->sizeHint().width() > label->width())
                label->resize(label->sizeHint().width(), label->height());
            // A drop-down box is named by its label, and so are its pick list and typing field, which
            // a screen reader meets as controls of their own.
            if (auto* box = qobject_cast<QComboBox*>(label->buddy())) {
                box->view()->setAccessibleName(caption);
                if (box->lineEdit())
                    box->lineEdit()->setAccessibleName(caption);
            }
            return true;
        }
        return false;
    case CaptionTarget::Tab: {
        auto* notebook = qobject_cast<QTabWidget*>(control);
        if (!notebook || entry.index >= notebook->count())
            return false;
        notebook->setTabText(entry.index, caption);
        return true;
    }
    case CaptionTarget::Column: {
        auto* grid = qobject_cast<QAbstractItemView*>(control);
        if (!grid || !grid->model())
            return false;
        return grid->model()->setHeaderData(entry.index, Qt::Horizontal, caption, Qt::DisplayRole);
    }
    case CaptionTarget::Name:
        control->setAccessibleName(caption);
        return true;
    }
    return false;
}

} // namespace

std::span<const CaptionEntry> captionSet() { return kCaptions; }

QString describe(const CaptionEntry& entry) {
    const QString name = QString::fromLatin1(entry.control);
    switch (entry.target) {
    case CaptionTarget::Control:
        return name;
    case CaptionTarget::Tab:
        return QStringLiteral("%1 tab %2").arg(name).arg(entry.index);
    case CaptionTarget::Column:
        return QStringLiteral("%1 column %2").arg(name).arg(entry.index);
    case CaptionTarget::Name:
        return QStringLiteral("%1 name").arg(name);
    }
    return name;
}

QStringList applyCaptionSet(QWidget& root) {
    QStringList missing;
    for (const CaptionEntry& entry : kCaptions)
        if (!write(root, entry, QString::fromUtf8(entry.caption)))
            missing << describe(entry);
    return missing;
}

QString currentCaption(QWidget& root, const CaptionEntry& entry) {
    QWidget* control = findControl(root, entry);
    if (!control)
        return {};
    switch (entry.target) {
    case CaptionTarget::Control:
        if (auto* box = qobject_cast<QGroupBox*>(control))
            return box->title();
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            return button->text();
        if (auto* label = qobject_cast<QLabel*>(control))
            return label->text();
        return {};
    case CaptionTarget::Tab:
        if (auto* notebook = qobject_cast<QTabWidget*>(control))
            return notebook->tabText(entry.index);
        return {};
    case CaptionTarget::Column:
        if (auto* grid = qobject_cast<QAbstractItemView*>(control); grid && grid->model())
            return grid->model()->headerData(entry.index, Qt::Horizontal, Qt::DisplayRole).toString();
        return {};
    case CaptionTarget::Name:
        return control->accessibleName();
    }
    return {};
}

} // namespace talvern
