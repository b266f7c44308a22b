#include "actiontoolbox.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QScreen>
#include <QStandardItemModel>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

using ActionCatalog::ActionDescriptor;

namespace {

const QColor kUnknownActionColour(255, 165, 0);

// The first rule is the editor's base look; the rest dress the action choice for the dark panels.
const char* const kToolBoxStyle =
    "QWidget { background: transparent; color:#E8F0F5; font-size:12px; }"
    "QComboBox { background: #243544; border: 1px solid rgba(90, 130, 150, 120); border-radius: 4px;"
    "  padding: 2px 8px; min-height: 20px; combobox-popup: 0; }"
    "QComboBox:hover { background: #2E4557; }"
    "QComboBox:focus { border: 1px solid #6EC8D7; }"
    "QComboBox[unknownAction=\"true\"] { color: rgb(255, 165, 0); }"
    "QComboBox QAbstractItemView { background: #1C2D3A; color: #E8F0F5;"
    "  border: 1px solid rgba(110, 200, 215, 80); outline: none; padding: 4px;"
    "  selection-background-color: rgba(110, 200, 215, 70); selection-color: #FFFFFF; }"
    "QToolButton { background: #243544; border: 1px solid rgba(90, 130, 150, 120); border-radius: 4px;"
    "  padding: 0px 6px; min-height: 20px; font-weight: bold; }"
    "QToolButton:hover { background: #2E4557; }"
    "QToolButton:focus { border: 1px solid #6EC8D7; }"
    "QToolButton:disabled { color: #5F7482; }";

const char* const kPopupStyle =
    "QFrame#actionParameterPopup { background: #1C2D3A; border: 1px solid rgba(110, 200, 215, 80);"
    "  border-radius: 4px; }"
    "QLabel { background: transparent; color: #B5C7D3; font-size: 12px; }"
    "QLabel#actionParameterTitle { color: #E8F0F5; font-weight: 600; }"
    "QLabel#actionParameterHint { color: rgba(181, 199, 211, 150); font-style: italic; font-size: 11px; }"
    "QLineEdit { background: rgba(10, 18, 25, 230); color: #E8F0F5; font-size: 12px;"
    "  border: 1px solid rgba(90, 130, 150, 120); border-radius: 4px; padding: 3px 6px;"
    "  selection-background-color: rgba(110, 200, 215, 110); }"
    "QLineEdit:focus { border: 1px solid #6EC8D7; }"
    "QLineEdit[invalidValue=\"true\"] { border: 1px solid #E0795A; }";

// Rows of the action choice painted as list items: they take the list's colours, keep their own
// foreground (the orange of an unknown action) even when highlighted, and get room to breathe.
class ActionChoiceDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QSize base = QStyledItemDelegate::sizeHint(option, index);
        return QSize(base.width() + 12, qMax(base.height(), 24));
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QVariant foreground = index.data(Qt::ForegroundRole);
        if (foreground.canConvert<QBrush>())
            option->palette.setBrush(QPalette::HighlightedText, foreground.value<QBrush>());
    }
};

} // namespace

ActionParameterPopup::ActionParameterPopup(QWidget* parent)
    : QFrame(parent, Qt::Popup | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("actionParameterPopup"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QString::fromLatin1(kPopupStyle));
    setAccessibleName(tr("Paramètres de l'action"));
}

void ActionParameterPopup::keyPressEvent(QKeyEvent* event)
{
    // The fields are edited in place; Return and Escape both just close the popup.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        close();
        event->accept();
        return;
    default:
        QFrame::keyPressEvent(event);
    }
}

ActionToolBox::ActionToolBox(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("actionToolBox"));
    setStyleSheet(QString::fromLatin1(kToolBoxStyle));
    setFixedHeight(30);
    setAccessibleName(tr("Action"));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 2, 0, 2);
    row->setSpacing(6);

    m_label = new QLabel(tr("Action"), this);
    m_label->setObjectName(QStringLiteral("actionToolBoxLabel"));
    row->addWidget(m_label);

    m_choice = new QComboBox(this);
    m_choice->setObjectName(QStringLiteral("actionChoice"));
    m_choice->setMinimumWidth(200);
    m_choice->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // Long action texts must not widen the slot panel; the open list shows them whole.
    m_choice->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_choice->setMinimumContentsLength(16);
    m_choice->setMaxVisibleItems(16);
    // The menu-like default delegate would paint every row in the box's own text colour.
    m_choice->setItemDelegate(new ActionChoiceDelegate(m_choice));
    if (auto* list = qobject_cast<QListView*>(m_choice->view()))
        list->setUniformItemSizes(true); // one row height for thousands of actions
    m_choice->setAccessibleName(tr("Action de l'hôte"));
    m_label->setBuddy(m_choice);
    row->addWidget(m_choice, 1);

    m_parameterButton = new QToolButton(this);
    m_parameterButton->setObjectName(QStringLiteral("actionParameterButton"));
    m_parameterButton->setText(QStringLiteral("..."));
    m_parameterButton->setToolTip(tr("Editer les parametres"));
    m_parameterButton->setAccessibleName(tr("Editer les parametres"));
    m_parameterButton->setCursor(Qt::PointingHandCursor);
    m_parameterButton->setAutoRaise(false);
    m_parameterButton->setFocusPolicy(Qt::StrongFocus);
    row->addWidget(m_parameterButton);

    m_popup = new ActionParameterPopup(this);
    auto* popupLayout = new QVBoxLayout(m_popup);
    popupLayout->setContentsMargins(12, 10, 12, 10);
    popupLayout->setSpacing(8);
    m_popupTitle = new QLabel(m_popup);
    m_popupTitle->setObjectName(QStringLiteral("actionParameterTitle"));
    popupLayout->addWidget(m_popupTitle);
    m_form = new QFormLayout;
    m_form->setContentsMargins(0, 0, 0, 0);
    m_form->setHorizontalSpacing(10);
    m_form->setVerticalSpacing(6);
    m_form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    popupLayout->addLayout(m_form);

    setTabOrder(m_choice, m_parameterButton);
    setMovable(true);

    connect(m_choice, &QComboBox::currentIndexChanged, this, &ActionToolBox::onChoiceChanged);
    connect(m_parameterButton, &QToolButton::clicked, this, &ActionToolBox::openParameterPopup);

    fillChoice(QString());
}

void ActionToolBox::setMovable(bool movable)
{
    m_movable = movable;
    if (!movable)
        m_dragging = false;
    if (movable)
        setCursor(Qt::OpenHandCursor);
    else
        unsetCursor();
}

void ActionToolBox::setCatalog(const QJsonArray& catalog)
{
    m_catalog = catalog;
    const QString previous = currentActionName();
    m_actions = ActionCatalog::readCatalog(catalog);
    ActionCatalog::sortByGroupAndTitle(&m_actions);
    m_hasUnknownAction = false;
    fillChoice(previous);
}

void ActionToolBox::fillChoice(const QString& selectName)
{
    const bool wasUpdating = m_updating;
    m_updating = true;
    // All rows go in with one insertion: adding thousands one by one notifies the list every time.
    auto* model = qobject_cast<QStandardItemModel*>(m_choice->model());
    model->removeRows(0, model->rowCount());
    auto* none = new QStandardItem(QString());
    none->setData(-1, Qt::UserRole);
    QList<QStandardItem*> items{none};
    items.reserve(m_actions.size() + 1);
    QStringList texts;
    texts.reserve(m_actions.size());
    for (const ActionDescriptor& action : std::as_const(m_actions)) {
        texts.append(ActionCatalog::displayText(action));
        auto* item = new QStandardItem(texts.constLast());
        item->setData(action.name, Qt::UserRole);
        items.append(item);
    }
    model->invisibleRootItem()->appendRows(items);
    fitListWidth(texts);

    const int index = indexOfAction(selectName);
    selectIndex(index >= 0 ? index : noActionIndex());
    m_updating = wasUpdating;
}

void ActionToolBox::fitListWidth(const QStringList& texts)
{
    // The open list shows the action texts whole. Measuring every text costs milliseconds on big
    // catalogs, so only the longest texts by character count are measured.
    std::vector<std::pair<qsizetype, qsizetype>> byLength; // (length, index)
    byLength.reserve(size_t(texts.size()));
    for (qsizetype i = 0; i < texts.size(); ++i)
        byLength.emplace_back(texts.at(i).size(), i);
    const auto sample = byLength.begin() + std::min<qsizetype>(qsizetype(byLength.size()), 24);
    std::partial_sort(byLength.begin(), sample, byLength.end(), std::greater<>());
    const QFontMetrics metrics(m_choice->view()->font());
    int widest = 0;
    for (auto it = byLength.begin(); it != sample; ++it)
        widest = qMax(widest, metrics.horizontalAdvance(texts.at(it->second)));
    // Room for the row padding and the scroll bar; never wider than a comfortable reading width.
    m_choice->view()->setMinimumWidth(qMin(widest + 48, 720));
}

int ActionToolBox::noActionIndex() const
{
    // No action reads as the catalog's own "none" action when it has one, else as the blank entry.
    for (int i = 0; i < m_actions.size(); ++i) {
        if (m_actions.at(i).name.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0)
            return i + 1;
    }
    return 0;
}

int ActionToolBox::indexOfAction(const QString& name) const
{
    if (name.isEmpty())
        return -1;
    for (int i = 0; i < m_actions.size(); ++i) {
        if (m_actions.at(i).name == name)
            return i + 1;
    }
    return -1;
}

void ActionToolBox::selectIndex(int index)
{
    if (m_choice->currentIndex() == index)
        onChoiceChanged(index); // the model changed under the same index: rebuild anyway
    else
        m_choice->setCurrentIndex(index);
}

void ActionToolBox::addUnknownAction(const QString& name)
{
    ActionDescriptor unknown;
    unknown.name = name;
    m_actions.append(unknown);
    m_hasUnknownAction = true;
    m_choice->addItem(name, name);
    const int row = m_choice->count() - 1;
    m_choice->setItemData(row, kUnknownActionColour, Qt::ForegroundRole);
    m_choice->setItemData(row, tr("Action absente du catalogue de l'hôte : %1").arg(name), Qt::ToolTipRole);
}

void ActionToolBox::removeUnknownAction()
{
    if (!m_hasUnknownAction)
        return;
    m_hasUnknownAction = false;
    m_actions.removeLast();
    m_choice->removeItem(m_choice->count() - 1);
}

void ActionToolBox::loadBinding(const QJsonObject& binding)
{
    const bool wasUpdating = m_updating;
    m_updating = true;
    const QString name = ActionCatalog::bindingActionName(binding);
    // A former unknown action leaves the choice unless this binding names it again.
    const bool keepsUnknown = m_hasUnknownAction && m_actions.constLast().name == name;
    if (!keepsUnknown) {
        if (m_hasUnknownAction && m_choice->currentIndex() == m_choice->count() - 1)
            m_choice->setCurrentIndex(0);
        removeUnknownAction();
    }
    int index = noActionIndex();
    if (!ActionCatalog::isNoActionName(name)) {
        index = indexOfAction(name);
        if (index < 0) {
            if (!m_hasUnknownAction)
                addUnknownAction(name);
            index = m_choice->count() - 1;
        }
    }
    selectIndex(index);

    const QJsonObject args = binding.value(QStringLiteral("args")).toObject();
    for (const ParameterEditor& editor : std::as_const(m_editors)) {
        if (editor.edit)
            editor.edit->setText(ActionCatalog::argumentText(args.value(editor.name)));
    }
    m_updating = wasUpdating;
}

QJsonObject ActionToolBox::binding() const
{
    const ActionDescriptor* action = currentDescriptor();
    // The catalog's own "none" is no action either.
    if (!action || ActionCatalog::isNoActionName(action->name))
        return QJsonObject();
    QStringList texts;
    texts.reserve(m_editors.size());
    for (const ParameterEditor& editor : m_editors)
        texts.append(editor.edit ? editor.edit->text() : QString());
    return ActionCatalog::makeBinding(*action, texts);
}

QString ActionToolBox::currentActionName() const
{
    const ActionDescriptor* action = currentDescriptor();
    return action ? action->name : QString();
}

const ActionDescriptor* ActionToolBox::currentDescriptor() const
{
    const int index = m_choice->currentIndex();
    if (index < 1 || index > m_actions.size())
        return nullptr;
    return &m_actions.at(index - 1);
}

void ActionToolBox::onChoiceChanged(int)
{
    rebuildParameterEditors();
    updateChoiceLook();
    if (!m_updating)
        emit durty();
}

void ActionToolBox::rebuildParameterEditors()
{
    while (m_form->rowCount() > 0)
        m_form->removeRow(0);
    m_editors.clear();
    const ActionDescriptor* action = currentDescriptor();
    if (action) {
        for (const ActionCatalog::ParameterDescriptor& p : action->parameters) {
            auto* edit = new QLineEdit(m_popup);
            edit->setObjectName(QStringLiteral("actionParameter_%1").arg(p.name));
            edit->setPlaceholderText(p.defaultText.isEmpty() ? tr("<par défaut>") : p.defaultText);
            edit->setMinimumWidth(180);
            edit->setAccessibleName(tr("Paramètre %1").arg(p.name));
            edit->setToolTip(tr("Type : %1").arg(p.type));
            // A text the parameter's type cannot take is kept, but marked and explained.
            const auto check = [this, edit, type = p.type](const QString& text) {
                const QString problem = ActionCatalog::argumentProblem(text, type);
                if (edit->property("invalidValue").toBool() != !problem.isEmpty()) {
                    edit->setProperty("invalidValue", !problem.isEmpty());
                    edit->style()->unpolish(edit);
                    edit->style()->polish(edit);
                }
                edit->setToolTip(problem.isEmpty() ? tr("Type : %1").arg(type) : problem);
            };
            connect(edit, &QLineEdit::textChanged, this, check);
            connect(edit, &QLineEdit::textEdited, this, [this] {
                if (!m_updating)
                    emit durty();
            });
            m_form->addRow(QStringLiteral("%1:").arg(p.name), edit);
            m_editors.append(ParameterEditor{p.name, p.type, p.defaultText, edit});
        }
    }
}

void ActionToolBox::rebuildPopup()
{
    // The hint row of an earlier opening goes; the fields stay with their texts.
    for (int row = m_form->rowCount() - 1; row >= m_editors.size(); --row)
        m_form->removeRow(row);
    const ActionDescriptor* action = currentDescriptor();
    m_popupTitle->setText(action ? ActionCatalog::title(*action) : tr("Aucune action"));
    // How a stick's position reaches the action is said where the user types it.
    QString hintText =
        tr("Un champ vide prend la valeur par défaut.\nLa valeur d'un stick s'écrit arg_0 (arg_1 pour "
           "l'axe Y d'un stick double).");
    if (!action)
        hintText = tr("Choisissez d'abord une action.");
    else if (m_editors.isEmpty())
        hintText = tr("Cette action n'a pas de paramètre.");
    auto* hint = new QLabel(hintText, m_popup);
    hint->setObjectName(QStringLiteral("actionParameterHint"));
    m_form->addRow(hint);
    for (int i = 1; i < m_editors.size(); ++i) {
        if (m_editors.at(i - 1).edit && m_editors.at(i).edit)
            QWidget::setTabOrder(m_editors.at(i - 1).edit, m_editors.at(i).edit);
    }
    m_popup->adjustSize();
}

void ActionToolBox::openParameterPopup()
{
    rebuildPopup();

    QPoint topLeft = m_choice->mapToGlobal(QPoint(0, m_choice->height()));
    if (const QScreen* screen = m_choice->screen()) {
        const QRect room = screen->availableGeometry();
        topLeft.setX(qBound(room.left(), topLeft.x(), qMax(room.left(), room.right() - m_popup->width())));
        if (topLeft.y() + m_popup->height() > room.bottom())
            topLeft.setY(m_choice->mapToGlobal(QPoint(0, 0)).y() - m_popup->height());
    }
    m_popup->move(topLeft);
    m_popup->show();
    m_popup->raise();
    if (!m_editors.isEmpty() && m_editors.constFirst().edit)
        m_editors.constFirst().edit->setFocus(Qt::PopupFocusReason);
    else
        m_popup->setFocus(Qt::PopupFocusReason);
}

void ActionToolBox::updateChoiceLook()
{
    const bool unknown = m_hasUnknownAction && m_choice->currentIndex() == m_choice->count() - 1;
    if (m_choice->property("unknownAction").toBool() != unknown) {
        m_choice->setProperty("unknownAction", unknown);
        m_choice->style()->unpolish(m_choice);
        m_choice->style()->polish(m_choice);
    }
    const ActionDescriptor* action = currentDescriptor();
    if (!action)
        m_choice->setToolTip(tr("Aucune action"));
    else if (unknown)
        m_choice->setToolTip(tr("Action absente du catalogue de l'hôte : %1").arg(action->name));
    else
        m_choice->setToolTip(m_choice->currentText());
}

void ActionToolBox::mousePressEvent(QMouseEvent* event)
{
    if (m_movable && event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragStartGlobal = event->globalPosition().toPoint();
        m_dragStartGeometry = geometry();
        setCursor(Qt::ClosedHandCursor);
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void ActionToolBox::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging) {
        move(m_dragStartGeometry.topLeft() + (event->globalPosition().toPoint() - m_dragStartGlobal));
        emit moved();
        event->accept();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void ActionToolBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_dragging && event->button() == Qt::LeftButton) {
        m_dragging = false;
        setCursor(Qt::OpenHandCursor);
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void ActionToolBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (m_movable && event->button() == Qt::LeftButton) {
        m_dragging = false;
        openParameterPopup();
        event->accept();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}
