#include "tagselectionbar.h"

#include "flowlayout.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QFocusEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QSet>
#include <QStringListModel>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The bar's look; quoted whole so chips, amber chips and the input match the editor's top bar.
const char* const kBarStyle =
    R"css(QWidget#tagSelectionBar {  background: rgba(17, 28, 38, 220);  border: 1px solid rgba(59, 90, 112, 80);  border-radius: 6px;}QFrame#tagSelectionChip {  background: rgba(110, 200, 215, 22);  border: 1px solid rgba(110, 200, 215, 65);  border-radius: 8px;}QFrame#tagSelectionChip[connected="false"] {  background: rgba(190, 145, 60, 28);  border: 1px solid rgba(214, 162, 72, 90);}QLabel#tagSelectionChipLabel {  color: #C8E8F0;  font-size: 11px;  font-weight: 600;  background: transparent;  border: none;}QFrame#tagSelectionChip[connected="false"] QLabel#tagSelectionChipLabel {  color: #F0D5A0;}QToolButton#tagSelectionChipRemove {  color: #6EC8D7;  background: transparent;  border: none;  font-size: 11px;  font-weight: bold;}QFrame#tagSelectionChip[connected="false"] QToolButton#tagSelectionChipRemove {  color: #F0D5A0;}QToolButton#tagSelectionChipRemove:hover { color: #FFFFFF; }QLineEdit#tagSelectionInput {  background: transparent;  border: none;  color: #E8F0F5;  font-size: 12px;  min-height: 24px;})css";

const char* const kPopupStyle =
    R"css(QAbstractItemView {  background: #1C2D3A;  border: 1px solid rgba(110, 200, 215, 80);  border-radius: 4px;  padding: 5px 0;  outline: none;  selection-background-color: transparent;}QScrollBar:vertical {  background: transparent;  width: 6px;  margin: 6px 3px;  border-radius: 3px;}QScrollBar::handle:vertical {  background: rgba(110, 200, 215, 50);  border-radius: 3px;  min-height: 20px;}QScrollBar::handle:vertical:hover { background: rgba(110, 200, 215, 90); }QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; })css";

const QColor kAccent(110, 200, 215);
const QColor kRowText(232, 240, 245);

// Paints the completion rows: a rounded highlight for the hovered or selected row, text inset.
class TagSelectionPopupDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), 34);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        const bool hovered = option.state.testFlag(QStyle::State_MouseOver);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        if (selected || hovered) {
            QColor fill = kAccent;
            fill.setAlpha(selected ? 55 : 28);
            painter->setPen(Qt::NoPen);
            painter->setBrush(fill);
            painter->drawRoundedRect(QRectF(option.rect.adjusted(6, 3, -6, -3)), 8, 8);
        }
        QFont font = option.font;
        font.setPixelSize(12);
        font.setWeight(selected ? QFont::DemiBold : QFont::Normal);
        painter->setFont(font);
        painter->setPen(selected ? kAccent : kRowText);
        const QRect textRect = option.rect.adjusted(18, 0, -18, 0);
        const QString text = index.data(Qt::DisplayRole).toString();
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                          QFontMetrics(font).elidedText(text, Qt::ElideRight, textRect.width()));
        painter->restore();
    }
};

QStringList normalized(const QStringList& tags)
{
    QStringList out;
    QSet<QString> seen;
    for (const QString& tag : tags) {
        const QString name = tag.trimmed();
        if (name.isEmpty() || seen.contains(name.toLower()))
            continue;
        seen.insert(name.toLower());
        out.append(name);
    }
    return out;
}

bool containsName(const QStringList& list, const QString& name)
{
    return list.contains(name, Qt::CaseInsensitive);
}

} // namespace

TagSelectionBar::TagSelectionBar(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("tagSelectionBar"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QString::fromUtf8(kBarStyle));
    setAccessibleName(tr("Manettes liées"));

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(8, 4, 8, 4);
    column->setSpacing(0);
    m_chipArea = new QWidget(this);
    m_chipArea->setStyleSheet(QStringLiteral("background: transparent;"));
    column->addWidget(m_chipArea);

    m_flow = new FlowLayout(m_chipArea, 4, 4);
    m_flow->setContentsMargins(0, 0, 0, 0);

    m_input = new QLineEdit(m_chipArea);
    m_input->setObjectName(QStringLiteral("tagSelectionInput"));
    m_input->setFrame(false);
    m_input->setClearButtonEnabled(false);
    m_input->setMinimumWidth(110);
    m_input->setPlaceholderText(tr("Ajouter une manette..."));
    m_input->setAccessibleName(tr("Ajouter une manette"));
    m_input->installEventFilter(this);
    m_flow->addWidget(m_input);

    m_completionModel = new QStringListModel(this);
    m_completer = new QCompleter(m_completionModel, this);
    m_completer->setCaseSensitivity(Qt::CaseInsensitive);
    m_completer->setFilterMode(Qt::MatchContains);
    m_completer->setCompletionMode(QCompleter::PopupCompletion);
    m_completer->setMaxVisibleItems(7);
    m_input->setCompleter(m_completer);
    QAbstractItemView* popup = m_completer->popup();
    popup->setItemDelegate(new TagSelectionPopupDelegate(popup));
    popup->setWindowFlag(Qt::FramelessWindowHint);
    popup->setStyleSheet(QString::fromUtf8(kPopupStyle));
    popup->setMinimumWidth(220); // the input itself may be as narrow as 110 px
    popup->setAccessibleName(tr("Manettes disponibles"));
    // While the popup is open it receives the keys and hands them straight to the input, past the
    // input's event filters: Backspace is watched there too.
    popup->installEventFilter(this);

    connect(m_input, &QLineEdit::returnPressed, this, &TagSelectionBar::commitTypedText);
    connect(m_input, &QLineEdit::textEdited, this, [this] {
        refreshCompletion();
        m_completer->complete();
    });
    connect(m_completer, qOverload<const QString&>(&QCompleter::activated), this,
            &TagSelectionBar::chooseFromPopup);
}

QString TagSelectionBar::placeholderText() const
{
    return m_input->placeholderText();
}

void TagSelectionBar::setPlaceholderText(const QString& text)
{
    m_input->setPlaceholderText(text);
}

void TagSelectionBar::setAvailableTags(const QStringList& tags)
{
    const QStringList list = normalized(tags);
    if (list == m_availableTags)
        return;
    m_availableTags = list;
    refreshCompletion();
    rebuildChips();
}

void TagSelectionBar::setConnectedTags(const QStringList& tags)
{
    const QStringList list = normalized(tags);
    if (list == m_connectedTags)
        return;
    m_connectedTags = list;
    rebuildChips();
}

void TagSelectionBar::setSelectedTags(const QStringList& tags)
{
    const QStringList list = normalized(tags);
    // Letter case alone is no change: names compare without regard to it.
    if (list.size() == m_selectedTags.size() &&
        std::equal(list.cbegin(), list.cend(), m_selectedTags.cbegin(),
                   [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }))
        return;
    m_selectedTags = list;
    rebuildChips();
    refreshCompletion();
    emit selectedTagsChanged(m_selectedTags);
}

void TagSelectionBar::addTag(const QString& name)
{
    const QString wanted = name.trimmed();
    const auto found =
        std::find_if(m_availableTags.cbegin(), m_availableTags.cend(),
                     [&](const QString& tag) { return tag.compare(wanted, Qt::CaseInsensitive) == 0; });
    if (wanted.isEmpty() || found == m_availableTags.cend() || containsName(m_selectedTags, *found))
        return;
    m_selectedTags.append(*found);
    rebuildChips();
    refreshCompletion();
    emit selectedTagsChanged(m_selectedTags);
}

void TagSelectionBar::removeTag(const QString& name)
{
    const auto at = std::find_if(m_selectedTags.begin(), m_selectedTags.end(), [&](const QString& tag) {
        return tag.compare(name, Qt::CaseInsensitive) == 0;
    });
    if (at == m_selectedTags.end())
        return;
    m_selectedTags.erase(at);
    rebuildChips();
    refreshCompletion();
    emit selectedTagsChanged(m_selectedTags);
}

void TagSelectionBar::commitTypedText()
{
    const QString text = m_input->text().trimmed();
    if (!containsName(m_availableTags, text))
        return; // an unknown name stays in the input for the user to correct
    addTag(text);
    m_input->clear();
    m_completer->setCompletionPrefix(QString());
    m_completer->popup()->hide();
}

void TagSelectionBar::chooseFromPopup(const QString& name)
{
    addTag(name);
    // The completer writes the chosen text into the input after this signal; clear it afterwards.
    const QPointer<QLineEdit> input = m_input;
    const QPointer<QCompleter> completer = m_completer;
    QTimer::singleShot(0, this, [input, completer] {
        if (!input || !completer)
            return;
        input->clear();
        completer->setCompletionPrefix(QString());
    });
    m_completer->popup()->hide();
}

void TagSelectionBar::refreshCompletion()
{
    QStringList offered;
    for (const QString& tag : std::as_const(m_availableTags)) {
        if (!containsName(m_selectedTags, tag))
            offered.append(tag);
    }
    if (offered != m_completionModel->stringList())
        m_completionModel->setStringList(offered);
    m_completer->setCompletionPrefix(m_input->text());
}

bool TagSelectionBar::eventFilter(QObject* watched, QEvent* event)
{
    const bool fromInput = watched == m_input;
    if (!fromInput && watched != m_completer->popup())
        return QWidget::eventFilter(watched, event);
    if (fromInput && event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // Focus coming back from the popup itself or from another window must not reopen it.
        if (!m_rebuilding && reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            refreshCompletion();
            const QPointer<QLineEdit> input = m_input;
            QTimer::singleShot(0, this, [this, input] {
                if (input && input->hasFocus())
                    m_completer->complete();
            });
        }
    } else if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Backspace && m_input->text().isEmpty() && !m_selectedTags.isEmpty()) {
            removeTag(m_selectedTags.constLast());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// Removed chips leave the bar at once but stay in its window until deleted: a widget that leaves
// its window walks the window's whole focus chain, thousands of widgets in the editor's.
QWidget* TagSelectionBar::chipHolder()
{
    QWidget* top = window();
    if (top == this)
        return nullptr;
    if (!m_chipHolder || m_chipHolder->window() != top) {
        m_chipHolder = new QWidget(top);
        m_chipHolder->hide();
    }
    return m_chipHolder;
}

void TagSelectionBar::rebuildChips()
{
    // A row switch sets every list again, mostly to what it was: chips that would come out the same
    // stay (rebuilding reparents every chip and walks the window's focus chain).
    QList<QPair<QString, bool>> shown;
    for (const QString& name : std::as_const(m_selectedTags))
        shown.append({name, containsName(m_connectedTags, name)});
    if (shown == m_chipsShown)
        return;
    m_chipsShown = shown;

    // The remove button that had the keyboard hands it to the button now at its place.
    int focusedChip = -1;
    const QWidget* focus = QApplication::focusWidget();
    for (int i = 0, chip = 0; i < m_flow->count(); ++i) {
        const QWidget* widget = m_flow->itemAt(i)->widget();
        if (!widget || widget == m_input)
            continue;
        if (focus && widget->isAncestorOf(focus))
            focusedChip = chip;
        ++chip;
    }
    m_rebuilding = true; // a hidden focused chip passes the focus on; that opens no popup
    while (QLayoutItem* item = m_flow->takeAt(0)) {
        QWidget* widget = item->widget();
        if (widget && widget != m_input) {
            // A chip may be removed from its own button's click: leave the tree now, die later.
            widget->hide();
            widget->setParent(chipHolder());
            widget->deleteLater();
        }
        delete item;
    }
    // Tab runs as the eye reads: the chips' remove buttons in chip order, then the input after them
    // (the buttons are chained after the input, then the input moves behind the last of them).
    QWidget* previous = m_input;
    QList<QToolButton*> removeButtons;
    for (const QString& name : std::as_const(m_selectedTags)) {
        const bool connected = containsName(m_connectedTags, name);
        auto* chip = new QFrame(m_chipArea);
        chip->setObjectName(QStringLiteral("tagSelectionChip"));
        chip->setProperty("connected", connected);
        chip->setAccessibleName(connected ? name : tr("%1 (non connectée)").arg(name));
        auto* row = new QHBoxLayout(chip);
        row->setContentsMargins(8, 3, 6, 3);
        row->setSpacing(4);
        auto* label = new QLabel(name, chip);
        label->setObjectName(QStringLiteral("tagSelectionChipLabel"));
        if (!connected)
            label->setToolTip(tr("Manette non connectee"));
        row->addWidget(label);
        auto* remove = new QToolButton(chip);
        remove->setObjectName(QStringLiteral("tagSelectionChipRemove"));
        remove->setText(QStringLiteral("x"));
        remove->setAutoRaise(true);
        remove->setCursor(Qt::PointingHandCursor);
        remove->setToolTip(tr("Retirer %1").arg(name));
        remove->setAccessibleName(tr("Retirer %1").arg(name));
        connect(remove, &QToolButton::clicked, this, [this, name] { removeTag(name); });
        row->addWidget(remove);
        m_flow->addWidget(chip);
        QWidget::setTabOrder(previous, remove);
        previous = remove;
        removeButtons.append(remove);
    }
    if (previous != m_input)
        QWidget::setTabOrder(previous, m_input);
    m_flow->addWidget(m_input);
    m_rebuilding = false;
    if (focusedChip >= 0) {
        if (removeButtons.isEmpty())
            m_input->setFocus(Qt::OtherFocusReason);
        else
            removeButtons.at(qMin(focusedChip, int(removeButtons.size()) - 1))->setFocus(Qt::TabFocusReason);
    }
    m_chipArea->updateGeometry();
    updateGeometry();
}
