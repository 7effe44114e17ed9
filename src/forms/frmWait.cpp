#include "forms/frmWait.h"

#include "engine/CFSender.h"
#include "forms/Twips.h"
#include "forms/WaitDisplay.h"
#include "forms/WaitIcons.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <string>
#include <utility>

namespace pelorix {

namespace {

// Design places and sizes, in twips. The buttons' left positions come with the display mode.
constexpr int formWidth = 4065;
constexpr int formHeight = 1740;
constexpr int iconLeft = 240;
constexpr int iconTop = 240;
constexpr int iconSide = 480;
constexpr int messageLeft = 900;
constexpr int messageTop = 240;
constexpr int messageWidth = 2925;
constexpr int messageHeight = 840;
constexpr int buttonTop = 1200;
constexpr int buttonWidth = 1035;
constexpr int buttonHeight = 375;

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

frmWait::frmWait(QWidget* owner) : QDialog(owner), ErrorHolder("frmWait") {
    setObjectName(QStringLiteral("frmWait"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    pBuildControls();
    // Until the engine says otherwise the window looks like a running build.
    pApplyDisplayMode();
}

void frmWait::pBuildControls() {
    resizeTwips(*this, formWidth, formHeight);
    setFixedSize(size());

    m_imgIcon = new QLabel(this);
    m_imgIcon->setObjectName(QStringLiteral("imgIcon"));
    m_imgIcon->setAlignment(Qt::AlignCenter);
    setTwipsGeometry(*m_imgIcon, iconLeft, iconTop, iconSide, iconSide);

    m_lblMsg = new QLabel(this);
    m_lblMsg->setObjectName(QStringLiteral("lblMsg"));
    m_lblMsg->setTextFormat(Qt::PlainText);
    m_lblMsg->setWordWrap(true);
    m_lblMsg->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setTwipsGeometry(*m_lblMsg, messageLeft, messageTop, messageWidth, messageHeight);

    for (int index = 0; index < 2; ++index) {
        auto* button = new QPushButton(this);
        button->setObjectName(QStringLiteral("cmdFunction_%1").arg(index));
        // Enter must never cancel a build by accident: only a report's OK is the default button.
        button->setAutoDefault(false);
        setTwipsGeometry(*button, 0, buttonTop, buttonWidth, buttonHeight);
        connect(button, &QPushButton::clicked, this, [this, index] { cmdFunction_Click(index); });
        m_cmdFunction[static_cast<std::size_t>(index)] = button;
    }
}

void frmWait::setEventSource(std::shared_ptr<CFSender> sender) {
    m_state.setEventSource(std::move(sender));
}

void frmWait::setDisplayMode(std::int16_t mode) {
    m_state.setDisplayMode(mode);
}

std::int16_t frmWait::displayMode() const {
    return m_state.displayMode();
}

void frmWait::fSetDispInfo(const std::string& message, const std::string& caption) {
    guard("fSetDispInfo", [&] {
        m_state.fSetDispInfo(message, caption);
        setWindowTitle(fromUtf8(caption));
        m_lblMsg->setText(fromUtf8(message));
        pApplyDisplayMode();
    });
}

void frmWait::pApplyDisplayMode() {
    const std::optional<WaitDisplay> display = waitDisplay(m_state.displayMode());
    if (!display)
        return;
    // The picture is square: as high as it is wide.
    const int side = m_imgIcon->width();
    m_imgIcon->resize(side, side);
    m_imgIcon->setPixmap(drawWaitImage(display->image, side, devicePixelRatioF()));
    const std::array<const WaitButton*, 2> buttons = {&display->button0, &display->button1};
    for (std::size_t index = 0; index < buttons.size(); ++index) {
        QPushButton& button = *m_cmdFunction[index];
        const WaitButton& shape = *buttons[index];
        button.setVisible(shape.visible);
        if (!shape.visible)
            continue;
        button.setText(fromUtf8(shape.caption));
        moveTwips(button, shape.left, buttonTop);
    }
    m_cmdFunction[0]->setDefault(m_state.state() == WaitState::Report);
}

void frmWait::showModeless(IBuildSettingForm& owner) {
    if (auto* ownerWindow = dynamic_cast<QWidget*>(&owner);
        ownerWindow != nullptr && ownerWindow != parentWidget())
        setParent(ownerWindow, windowFlags());
    setModal(false);
    show();
    raise();
}

void frmWait::refresh() {
    if (isVisible())
        repaint();
}

void frmWait::unload() {
    m_state.unload();
    hide();
}

void frmWait::showModal() {
    exec();
}

void frmWait::releaseAfterRun() {
    if (isVisible())
        setAttribute(Qt::WA_DeleteOnClose);
    else
        deleteLater();
}

void frmWait::cmdFunction_Click(int index) {
    handle("cmdFunction_Click(" + std::to_string(index) + ")", false, [&] {
        // The engine's handler runs before the window goes, so its flag is set at once.
        m_state.cmdFunction_Click(index);
        done(index == 0 ? QDialog::Accepted : QDialog::Rejected);
    });
}

void frmWait::reject() {
    // Esc and the title bar's close box close a report, but never the window of a running build,
    // whose cancel button is the only way to stop the run (the close event is then ignored).
    if (m_state.state() == WaitState::Running)
        return;
    m_state.unload();
    QDialog::reject();
}

} // namespace pelorix
