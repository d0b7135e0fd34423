// The main window's side of the card journal: the journal object of the site, the "Karty" menu with
// "Historia kart" and "Karty do przeprogramowania", the card information window's account of the card
// read, the Users page's line about a lost card, and the Groups page's warning when a stored change
// takes readers away from a group whose cards still open them.

#include "TForm1.h"

#include "CardHistoryWindow.h"
#include "CardJournal.h"
#include "CardStanding.h"
#include "CardsToRewriteWindow.h"
#include "OperatorMessages.h"
#include "SiteJournal.h"
#include "SiteRights.h"
#include "TForm4.h"
#include "programmer/CardOperations.h"
#include "ui_TForm1Menu.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QTimer>

namespace talvern {

namespace {
const QString kRewriteTitle = QStringLiteral("Karty do przeprogramowania");
}

struct TForm1::CardViews {
    std::unique_ptr<cards::SiteJournal> rows;
    CardHistoryWindow* history = nullptr;
    CardsToRewriteWindow* rewrite = nullptr;
    QLabel* lostCard = nullptr;
    QTimer* lostCardDue = nullptr; // the lost-card line follows the cursor once it settles
    QPalette lostCardPalette;      // red: a lost card not yet replaced
    db::Subscription usersWatch;
    db::Subscription groupsWatch;
    // The groups as last stored: NAME and rights, in table order, to see what a stored change took away.
    std::vector<std::pair<std::string, cards::ReaderSet>> groups;
    std::uint64_t groupsSeen = 0;
    bool groupsCheckDue = false;
};

void TForm1::CardViewsDeleter::operator()(CardViews* views) const {
    delete views->history;
    delete views->rewrite;
    delete views;
}

void TForm1::openCardJournal() {
    m_cardViews.reset(new CardViews);
    m_cardViews->rows = std::make_unique<cards::SiteJournal>(*m_cardJournal);
}

CardHistoryWindow* TForm1::cardHistoryWindow() const {
    return m_cardViews->history;
}

CardsToRewriteWindow* TForm1::cardsToRewriteWindow() const {
    return m_cardViews->rewrite;
}

QLabel* TForm1::lostCardLabel() const {
    return m_cardViews->lostCard;
}

void TForm1::connectCardMenu() {
    connect(m_menu->HistoriaKart1, &QAction::triggered, this,
            [this] { OperatorMessages::runHandler([this] { HistoriaKart1Click(); }); });
    connect(m_menu->KartyDoPrzeprogramowania1, &QAction::triggered, this,
            [this] { OperatorMessages::runHandler([this] { KartyDoPrzeprogramowania1Click(); }); });
}

void TForm1::HistoriaKart1Click() {
    if (m_cardViews->history == nullptr)
        m_cardViews->history = new CardHistoryWindow(*m_cardViews->rows, this);
    m_cardViews->history->reload();
    m_cardViews->history->show();
    m_cardViews->history->raise();
    m_cardViews->history->activateWindow();
}

void TForm1::KartyDoPrzeprogramowania1Click() {
    if (m_cardViews->rewrite == nullptr)
        m_cardViews->rewrite = new CardsToRewriteWindow(*m_cardViews->rows, m_table1, m_table3,
                                                        [this](long number) { programUser(number); }, this);
    m_cardViews->rewrite->reload();
    m_cardViews->rewrite->show();
    m_cardViews->rewrite->raise();
    m_cardViews->rewrite->activateWindow();
}

void TForm1::programUser(long number) {
    if (!m_table1.locate("NUMBER", std::to_string(number), false)) {
        OperatorMessages::show(QStringLiteral("Nie ma już użytkownika o numerze %1.").arg(number), kRewriteTitle);
        return;
    }
    cardOperations().users().Button4Click();
}

void TForm1::installCardViews() {
    CardViews& views = *m_cardViews;

    // The card read: what the journal knows of it, beside what the table says of its holder.
    cardOperations().windows().showCardInfo = [this, show = cardOperations().windows().showCardInfo](
                                                  const QString& duplicate) {
        show(duplicate);
        if (m_form4 == nullptr || m_table1.isEmpty())
            return;
        const long number = static_cast<long>(m_table1.fieldByName("NUMBER").asInteger());
        const int tableIndex = static_cast<int>(m_table1.fieldByName("INDEX").asInteger());
        const std::string group = m_table1.fieldByName("GROUP").asString();
        const cards::ReaderSet rights = cards::rightsOfGroup(m_table3, group);
        const cards::ReadCardStanding standing = cards::standingOfReadCard(
            m_cardViews->rows->rowsOf(number), number, duplicate.toInt(), m_systemCode, tableIndex, rights);
        m_form4->showCardStanding(standing, tableIndex);
    };

    // The Users page's line about the holder's newest lost card, under the user's boxes.
    if (QWidget* panel = findChild<QWidget*>(QStringLiteral("Panel2"))) {
        views.lostCard = new QLabel(panel);
        views.lostCard->setObjectName(QStringLiteral("LostCard"));
        views.lostCard->setAccessibleName(QStringLiteral("Stan zgubionej karty"));
        // The whole width of the panel under its buttons, in a small type: a line with a date and two
        // duplicate numbers is cut in the page's own type.
        QFont lineFont = views.lostCard->font();
        lineFont.setPixelSize(10);
        views.lostCard->setFont(lineFont);
        const QRect inside = panel->contentsRect();
        views.lostCard->setGeometry(inside.left() + 4, 194, inside.width() - 8, 14);
        QPalette red = views.lostCard->palette();
        red.setColor(QPalette::WindowText, QColor(170, 0, 0));
        views.lostCard->setPalette(red);
        views.lostCardPalette = red;
        views.lostCardDue = new QTimer(views.lostCard);
        views.lostCardDue->setSingleShot(true);
        views.lostCardDue->setInterval(0);
        connect(views.lostCardDue, &QTimer::timeout, views.lostCard, [this] {
            QLabel* label = m_cardViews->lostCard;
            QString text;
            bool replaced = false;
            try {
                if (!m_table1.isEmpty() && m_table1.state() != db::TTable::State::Insert) {
                    const long number = static_cast<long>(m_table1.fieldByName("NUMBER").asInteger());
                    const cards::HolderCards holder = cards::holderCards(m_cardViews->rows->rowsOf(number), number);
                    if (holder.lostCardOut()) {
                        text = QStringLiteral("Zgubiona karta (duplikat %1) zgłoszona %2")
                                   .arg(holder.lost->report.index)
                                   .arg(QString::fromStdString(holder.lost->report.written));
                    } else if (holder.lost) {
                        // The lost card still opens what it opened: readers decide from the card alone,
                        // so the line stays, saying which card took its place and when.
                        replaced = true;
                        const cards::IssuedCard& replacement = *holder.lost->replacement;
                        text = QStringLiteral("Zgubiona karta (duplikat %1) zastąpiona duplikatem %2, %3")
                                   .arg(holder.lost->report.index)
                                   .arg(replacement.index)
                                   .arg(QString::fromStdString(replacement.written.substr(0, 10)));
                    }
                }
            } catch (const std::exception&) {
                // Said here rather than in a box at every step through the users; "Historia kart"
                // shows the journal's error itself.
                text = QStringLiteral("Dziennika kart nie można odczytać.");
            }
            // Red while the holder waits for a new card; plain once the lost card is replaced.
            label->setPalette(replaced ? label->parentWidget()->palette() : m_cardViews->lostCardPalette);
            label->setText(text);
            label->setToolTip(text);
            label->setAccessibleDescription(text);
            label->setVisible(!text.isEmpty());
        });
        views.usersWatch = m_table1.subscribe([this](const db::TableChange& change) {
            if (change.event != db::TableEvent::StateChanged && m_cardViews->lostCardDue != nullptr)
                m_cardViews->lostCardDue->start();
        });
        // "Zgubiona karta" records the loss in the journal without touching the users table.
        if (auto* lostButton = findChild<QAbstractButton*>(QStringLiteral("ButtonLost")))
            connect(lostButton, &QAbstractButton::clicked, views.lostCardDue, qOverload<>(&QTimer::start));
        views.lostCardDue->start();
    }

    // The groups as stored now; a stored change is compared with them once the change is through.
    const auto snapshot = [this] {
        std::vector<std::pair<std::string, cards::ReaderSet>> groups;
        const int name = m_table3.findField("NAME");
        const cards::AccessFields fields = cards::accessFields(m_table3);
        for (int recNo = 1; name >= 0 && recNo <= m_table3.recordCount(); ++recNo)
            groups.emplace_back(m_table3.valueAt(recNo, name), cards::rightsAt(m_table3, recNo, fields));
        return groups;
    };
    views.groups = snapshot();
    views.groupsSeen = m_table3.storedChangeCount();
    views.groupsWatch = m_table3.subscribe([this, snapshot](const db::TableChange&) {
        CardViews& views = *m_cardViews;
        if (views.groupsCheckDue || m_table3.storedChangeCount() == views.groupsSeen)
            return;
        views.groupsCheckDue = true;
        // Not inside the table's own notification: the post that stored the change is still under way.
        QTimer::singleShot(0, this, [this, snapshot] {
            OperatorMessages::runHandler([this, snapshot] {
                CardViews& views = *m_cardViews;
                views.groupsCheckDue = false;
                views.groupsSeen = m_table3.storedChangeCount();
                auto now = snapshot();
                auto before = std::exchange(views.groups, now);
                // Added or removed groups are not a change of a group's readers; the list of cards to
                // rewrite shows what a removal did.
                if (before.size() != now.size() || !m_cardJournal->exists())
                    return;
                std::vector<cards::SiteUser> users;
                std::vector<cards::IssuedCard> journal;
                QStringList lines;
                int cards = 0;
                for (std::size_t at = 0; at < now.size(); ++at) {
                    const cards::ReaderSet taken = before[at].second & ~now[at].second;
                    if (taken.none())
                        continue;
                    if (users.empty()) {
                        users = cards::siteUsers(m_table1);
                        journal = m_cardViews->rows->allRows();
                    }
                    const cards::StillOpening still = cards::cardsStillOpening(journal, users, now[at].first, taken);
                    if (still.cards == 0)
                        continue;
                    cards += still.cards;
                    // A lost card still opens what it opened, but it is not in hand to be written again.
                    QString lost;
                    if (still.lost > 0)
                        lost = QStringLiteral(" (w tym zgubione, których nie można przeprogramować: %1)").arg(still.lost);
                    lines << QStringLiteral("Grupa „%1”: odebrane czytniki %2; karty, które nadal je otwierają: %3%4.")
                                 .arg(QString::fromStdString(now[at].first),
                                      QString::fromStdString(cards::readerList(taken)),
                                      QString::number(still.cards), lost);
                }
                if (cards > 0) {
                    lines << QStringLiteral("Przeprogramuj je: Karty → Karty do przeprogramowania.");
                    OperatorMessages::show(lines.join(QLatin1Char('\n')), kRewriteTitle);
                }
            });
        });
    });
}

} // namespace talvern
