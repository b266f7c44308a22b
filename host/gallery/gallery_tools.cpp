// Gallery pages of the editor's small tools: the action parameter editor as the slot panels embed
// it, and the linked-controller chip bar.
#include "gallery.h"

#include "actiontoolbox.h"
#include "tagselectionbar.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QTextStream>
#include <QVBoxLayout>

namespace {

QJsonArray standInCatalog()
{
    QFile file(QStringLiteral(JOYRELAY_HOST_DIR "/actioncatalog.json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll())
        .object()
        .value(QStringLiteral("sharedActionCatalog"))
        .toArray();
}

// The window's picture with its open popups painted where they stand on the screen (a grab of the
// window alone leaves them out).
bool shootWithPopups(QWidget* window, const QList<QWidget*>& popups, const Gallery::Context& context,
                     const QString& fileName)
{
    Gallery::run(400);
    QPixmap shot = window->grab();
    {
        QPainter painter(&shot);
        for (QWidget* popup : popups) {
            if (popup && popup->isVisible())
                painter.drawPixmap(popup->mapToGlobal(QPoint()) - window->mapToGlobal(QPoint()),
                                   popup->grab());
        }
    }
    const QString path = QDir(context.outDir).filePath(fileName);
    const bool ok = shot.save(path);
    QTextStream(stdout) << (ok ? "wrote " : "could not write ") << path << Qt::endl;
    return ok;
}

const char* const kBackdrop =
    "QWidget#galleryBackdrop { background: rgb(9, 14, 18); }"
    "QFrame#slotEditorPanel { background: rgba(12, 22, 31, 140); border-radius: 6px; }"
    "QLabel { color: #E8F0F5; background: transparent; }"
    "QLabel#slotTitle { font-weight: 600; font-size: 13px; }"
    "QLabel#slotSource { color: #93AEBD; font-size: 11px; }";

QFrame* slotPanel(QWidget* parent, const QString& title, const QString& source, ActionToolBox** box)
{
    auto* panel = new QFrame(parent);
    panel->setObjectName(QStringLiteral("slotEditorPanel"));
    panel->setAttribute(Qt::WA_StyledBackground);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(8, 6, 8, 6);
    column->setSpacing(4);
    auto* heading = new QLabel(title, panel);
    heading->setObjectName(QStringLiteral("slotTitle"));
    column->addWidget(heading);
    auto* key = new QLabel(source, panel);
    key->setObjectName(QStringLiteral("slotSource"));
    column->addWidget(key);
    *box = new ActionToolBox(panel);
    (*box)->setMovable(false); // embedded in a panel, as the editor shows it
    (*box)->setCatalog(standInCatalog());
    column->addWidget(*box);
    return panel;
}

int actionToolBoxPage(const Gallery::Context& context)
{
    constexpr int kPanelWidth = 360;
    QWidget window;
    window.setObjectName(QStringLiteral("galleryBackdrop"));
    window.setAttribute(Qt::WA_StyledBackground);
    window.setStyleSheet(QString::fromLatin1(kBackdrop));
    // A sidebar-wide column of slot panels; the rest of the window leaves room for the open list.
    window.resize(760, 560);
    auto* row = new QHBoxLayout(&window);
    row->setContentsMargins(16, 16, 16, 16);
    auto* column = new QVBoxLayout;
    column->setSpacing(10);
    row->addLayout(column);
    row->addStretch(1);

    ActionToolBox* photo = nullptr;
    ActionToolBox* pan = nullptr;
    ActionToolBox* unknown = nullptr;
    for (QFrame* panel :
         {slotPanel(&window, QStringLiteral("Bouton"), QStringLiteral("but_0"), &photo),
          slotPanel(&window, QStringLiteral("Joy 0/1"), QStringLiteral("joy_0 / joy_1"), &pan),
          slotPanel(&window, QStringLiteral("Gate haut"), QStringLiteral("gate_1"), &unknown)}) {
        panel->setFixedWidth(kPanelWidth);
        column->addWidget(panel);
    }
    column->addStretch(1);
    photo->loadBinding(
        QJsonDocument::fromJson(R"({"ref":"photo.capture","args":{"count":3,"hdr":true}})").object());
    pan->loadBinding(QJsonDocument::fromJson(R"({"ref":"camera.pan"})").object());
    unknown->loadBinding(QJsonDocument::fromJson(R"({"ref":"lights.dim","args":{"level":2}})").object());

    window.show();
    Gallery::run(200);
    photo->openParameterPopup();
    if (!shootWithPopups(&window, {photo->parameterPopup()}, context, QStringLiteral("actiontoolbox.png")))
        return 1;
    // The choice list of the box holding an action the catalog lacks: it stays last, in orange.
    photo->parameterPopup()->close();
    unknown->actionChoice()->showPopup();
    const bool ok = shootWithPopups(&window, {unknown->actionChoice()->view()->window()}, context,
                                    QStringLiteral("actiontoolbox-list.png"));
    unknown->actionChoice()->hidePopup();
    return ok ? 0 : 1;
}

int tagSelectionBarPage(const Gallery::Context& context)
{
    QWidget window;
    window.setObjectName(QStringLiteral("galleryBackdrop"));
    window.setAttribute(Qt::WA_StyledBackground);
    window.setStyleSheet(QString::fromLatin1(kBackdrop));
    window.resize(420, 330);
    auto* column = new QVBoxLayout(&window);
    column->setContentsMargins(16, 16, 16, 16);
    auto* caption = new QLabel(QStringLiteral("Manettes liées au profil"), &window);
    column->addWidget(caption);
    auto* bar = new TagSelectionBar(&window);
    bar->setFixedWidth(360);
    bar->setToolTip(QStringLiteral("Manettes liees au profil courant"));
    bar->setAvailableTags({QStringLiteral("Joyrelay Demo Pad"), QStringLiteral("Arcade Stick"),
                           QStringLiteral("Xbox Wireless Controller"), QStringLiteral("DualSense"),
                           QStringLiteral("Thrustmaster T.16000M"), QStringLiteral("Logitech G29"),
                           QStringLiteral("8BitDo Pro 2"), QStringLiteral("Saitek X52 Throttle"),
                           QStringLiteral("Stream Deck Pedal")});
    bar->setConnectedTags({QStringLiteral("Joyrelay Demo Pad"), QStringLiteral("Xbox Wireless Controller"),
                           QStringLiteral("DualSense"), QStringLiteral("Logitech G29")});
    bar->setSelectedTags({QStringLiteral("Joyrelay Demo Pad"), QStringLiteral("Arcade Stick"),
                          QStringLiteral("Xbox Wireless Controller"), QStringLiteral("DualSense"),
                          QStringLiteral("Thrustmaster T.16000M"), QStringLiteral("Logitech G29")});
    column->addWidget(bar);
    column->addStretch(1);

    window.show();
    window.activateWindow();
    for (int waited = 0; !window.isActiveWindow() && waited < 1000; waited += 50)
        Gallery::run(50);
    // Entering the input offers every name not yet linked.
    bar->input()->setFocus(Qt::TabFocusReason);
    Gallery::run(150);
    QAbstractItemView* popup = bar->completer()->popup();
    if (!popup->isVisible())
        bar->completer()->complete(); // a virtual display without window manager may refuse the focus
    return shootWithPopups(&window, {popup}, context, QStringLiteral("tagselectionbar.png")) ? 0 : 1;
}

} // namespace

JOY_GALLERY_PAGE("actiontoolbox", "Action parameter editor: stand-in host catalog, parameter popup open",
                 actionToolBoxPage);
JOY_GALLERY_PAGE("tagselectionbar", "Linked-controller chips (two not connected), completion open",
                 tagSelectionBarPage);
