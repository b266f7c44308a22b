#include "manetteconfigurationwidget.h"

#include "gamepaddefinder.h"
#include "sampletimer.h"

#include <QFrame>
#include <QGridLayout>
#include <QPointer>

namespace {

const char* const kStyle = R"(
ManetteConfigurationWidget, QWidget#ManetteConfigurationWidget { background: transparent; }
QFrame#tfxBackdrop {
    background: qradialgradient(cx:0.5, cy:0.0, radius:1.2, fx:0.5, fy:0.0,
        stop:0 rgba(110, 200, 215, 55), stop:0.28 rgba(18, 30, 40, 220), stop:1 rgba(9, 14, 18, 255));
    border: none; border-radius: 0px;
}
QListView { background: rgba(26, 42, 54, 200); border: none; }
)";

} // namespace

struct ManetteConfigurationWidget::Form
{
    QGridLayout* gridLayout = nullptr;
    QFrame* backdrop = nullptr;
    QGridLayout* gridLayoutContent = nullptr;
    QPointer<GamepadDefinder> editor;
};

ManetteConfigurationWidget::ManetteConfigurationWidget(QWidget* parent)
    : QWidget(parent), m_form(std::make_unique<Form>())
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("ManetteConfigurationWidget"));
    setWindowTitle(QStringLiteral("Gamepad"));
    resize(1023, 772);
    // Set before the children exist: set afterwards, Qt re-polishes every widget of the editor.
    setStyleSheet(QString::fromLatin1(kStyle));
    m_form->gridLayout = new QGridLayout(this);
    m_form->gridLayout->setObjectName(QStringLiteral("gridLayout"));
    m_form->gridLayout->setContentsMargins(0, 0, 0, 0);
    m_form->backdrop = new QFrame(this);
    m_form->backdrop->setObjectName(QStringLiteral("tfxBackdrop"));
    m_form->backdrop->setFrameShape(QFrame::NoFrame);
    m_form->gridLayout->addWidget(m_form->backdrop, 0, 0);
    m_form->gridLayoutContent = new QGridLayout(m_form->backdrop);
    m_form->gridLayoutContent->setObjectName(QStringLiteral("gridLayoutContent"));
    m_form->gridLayoutContent->setContentsMargins(0, 0, 0, 0);
    m_form->gridLayoutContent->setSpacing(0);
    m_form->editor = new GamepadDefinder(m_form->backdrop);
    m_form->editor->setObjectName(QStringLiteral("ManageGamepade"));
    m_form->gridLayoutContent->addWidget(m_form->editor, 0, 0, 1, 1);

    if (m_form->editor) {
        connect(m_form->editor, &GamepadDefinder::profilesCatalogChanged, this,
                &ManetteConfigurationWidget::profilesCatalogChanged);
        m_form->editor->setServices(m_services);
    }
}

ManetteConfigurationWidget::~ManetteConfigurationWidget() = default;

void ManetteConfigurationWidget::setServices(const QJsonObject& services)
{
    m_services = services;
    if (m_form->editor)
        m_form->editor->setServices(m_services);
}

void ManetteConfigurationWidget::showEvent(QShowEvent* event)
{
    // Whichever window holds the form: the pads keep their cadence through the editor's repaints.
    SampleTimer::sampleBeforePainting(window());
    QWidget::showEvent(event);
}

GamepadDefinder* ManetteConfigurationWidget::editor() const
{
    return m_form->editor;
}
