#include "forms/frmLog.h"

#include "forms/Twips.h"
#include "forms/WidgetLayout.h"
#include "platform/CFWin32API.h"
#include "platform/Text.h"

#include <QAbstractListModel>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QListView>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <algorithm>
#include <string>
#include <utility>

namespace pelorix {

namespace {

// Design places and sizes, in twips: the list fills the window above the button panel, which
// stands at the bottom right.
constexpr int formWidth = 9000;
constexpr int formHeight = 3600;
constexpr int listLeft = 60;
constexpr int listTop = 60;
constexpr int listWidth = 8880;
constexpr int listHeight = 2955;
constexpr int panelLeft = 5880;
constexpr int panelTop = 3060;
constexpr int panelWidth = 3060;
constexpr int panelHeight = 480;
constexpr int buttonTop = 45;
constexpr int buttonWidth = 1455;
constexpr int buttonHeight = 390;
// Left positions in the panel: "ｸﾘｱ(&C)" first, "ｷｬﾝｾﾙ" at the right edge.
constexpr std::array<int, 2> buttonLeft = {1605, 0};

// A compiler log can hold control characters (tabs, form feeds, an end-of-file mark): they show
// as spaces, as the command line prints them.
QString displayText(const std::string& line) {
    return QString::fromStdString(withoutControlCharacters(line));
}

} // namespace

// The list's lines: appended in batches, cleared as a whole.
class LogLineModel final : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_lines.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount() ||
            (role != Qt::DisplayRole && role != Qt::ToolTipRole))
            return {};
        return m_lines[static_cast<std::size_t>(index.row())];
    }
    void append(std::vector<QString> lines) {
        if (lines.empty())
            return;
        const int first = rowCount();
        beginInsertRows({}, first, first + static_cast<int>(lines.size()) - 1);
        m_lines.insert(m_lines.end(), std::make_move_iterator(lines.begin()),
                       std::make_move_iterator(lines.end()));
        endInsertRows();
    }
    void clear() {
        beginResetModel();
        m_lines.clear();
        endResetModel();
    }
    const std::vector<QString>& lines() const noexcept { return m_lines; }

private:
    std::vector<QString> m_lines;
};

// Every line as wide as the widest line: the list sizes all its lines like one sample line (which
// keeps thousands of lines fast), so without this a long line among shorter ones would be cut off
// at the list's edge; now the horizontal scroll range reaches the end of the longest line.
class WidestLineDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const int text = option.fontMetrics.horizontalAdvance(index.data().toString());
        size.setWidth(size.width() + std::max(0, m_widest - text));
        return size;
    }
    void measure(const QFontMetrics& metrics, const std::vector<QString>& lines) {
        for (const QString& line : lines)
            m_widest = std::max(m_widest, metrics.horizontalAdvance(line));
    }
    void reset() { m_widest = 0; }

private:
    int m_widest = 0;
};

frmLog::frmLog(QWidget* owner) : QWidget(owner, Qt::Window), ErrorHolder("frmLog") {
    setObjectName(QStringLiteral("frmLog"));
    pBuildControls();
    // The controls follow the window from their design places, registered at the design size.
    setDesignForm(m_objDesigns, *this);
    addWidgetDesign(m_objDesigns, *m_lstLog, LayoutKind::StretchBoth);
    addWidgetDesign(m_objDesigns, *m_picButton, LayoutKind::KeepRightBottom);
}

frmLog::~frmLog() = default;

void frmLog::pBuildControls() {
    resizeTwips(*this, formWidth, formHeight);

    m_model = new LogLineModel(this);
    m_lstLog = new QListView(this);
    m_lstLog->setObjectName(QStringLiteral("lstLog"));
    m_lstLog->setModel(m_model);
    m_delegate = new WidestLineDelegate(m_lstLog);
    m_lstLog->setItemDelegate(m_delegate);
    // Thousands of lines stay fast: every row is one line of the same height.
    m_lstLog->setUniformItemSizes(true);
    m_lstLog->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lstLog->setSelectionMode(QAbstractItemView::SingleSelection);
    m_lstLog->setTextElideMode(Qt::ElideNone);
    m_lstLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTwipsGeometry(*m_lstLog, listLeft, listTop, listWidth, listHeight);
    connect(m_lstLog, &QListView::clicked, this, &frmLog::lstLog_Click);

    m_picButton = new QWidget(this);
    m_picButton->setObjectName(QStringLiteral("picButton"));
    setTwipsGeometry(*m_picButton, panelLeft, panelTop, panelWidth, panelHeight);
    const std::array<QString, 2> captions = {QStringLiteral("ｷｬﾝｾﾙ"), QStringLiteral("ｸﾘｱ(&C)")};
    for (int index = 0; index < 2; ++index) {
        auto* button = new QPushButton(captions[static_cast<std::size_t>(index)], m_picButton);
        button->setObjectName(QStringLiteral("cmdFunction_%1").arg(index));
        setTwipsGeometry(*button, buttonLeft[static_cast<std::size_t>(index)], buttonTop, buttonWidth,
                         buttonHeight);
        connect(button, &QPushButton::clicked, this, [this, index] { cmdFunction_Click(index); });
        m_cmdFunction[static_cast<std::size_t>(index)] = button;
    }
}

void frmLog::fInitialize(CFWin32API& /*win32Api*/, const std::string& logPath, QWidget& mainWindow) {
    guard("fInitialize", [&] {
        m_strLogPath = logPath;
        m_objWin32API = std::make_unique<CFWin32API>();
        // The main window's size without its frame, like this window's own size below.
        const FormPlacement main{roundTwips(twipsFromPixelsX(mainWindow, mainWindow.x())),
                                 roundTwips(twipsFromPixelsY(mainWindow, mainWindow.y())),
                                 roundTwips(twipsFromPixelsX(mainWindow, mainWindow.width())),
                                 roundTwips(twipsFromPixelsY(mainWindow, mainWindow.height()))};
        m_placement = readLogPlacement(*m_objWin32API, main);
    });
}

void frmLog::showEvent(QShowEvent* event) {
    if (!m_blnLoaded && !event->spontaneous()) {
        m_blnLoaded = true;
        handle("Form_Load", true, [&] { Form_Load(); }); // procedure: Form_Load
    }
    QWidget::showEvent(event);
}

void frmLog::Form_Load() {
    setWindowTitle(QStringLiteral("ﾋﾞﾙﾄﾞﾛｸﾞ：") + QString::fromUtf8(m_strLogPath.c_str()));
    // The saved place and size are kept on the screen, before the window is first drawn.
    const FormPlacement placement = boundedToArea(m_placement, availableAreaTwips(*this));
    if (placement.width > 0 && placement.height > 0)
        resizeTwips(*this, placement.width, placement.height);
    moveTwips(*this, placement.left, placement.top);
    pShowLastLine();
}

void frmLog::resizeEvent(QResizeEvent* event) {
    moveDesigns(m_objDesigns, *this);
    QWidget::resizeEvent(event);
}

void frmLog::closeEvent(QCloseEvent* event) {
    if (m_blnLoaded) {
        m_blnLoaded = false;
        handle("Form_Unload", false, [&] { pSaveSetting(); }); // procedure: Form_Unload
    }
    QWidget::closeEvent(event);
}

void frmLog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        handle("Form_KeyPress", false, [&] { close(); }); // procedure: Form_KeyPress
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmLog::pSaveSetting() {
    guard("pSaveSetting", [&] {
        // A minimised window keeps the place and size saved before.
        if (isMinimized() || !m_objWin32API)
            return;
        const QPoint place = pos();
        writeLogPlacement(*m_objWin32API, {roundTwips(twipsFromPixelsX(*this, place.x())),
                                           roundTwips(twipsFromPixelsY(*this, place.y())),
                                           roundTwips(twipsFromPixelsX(*this, width())),
                                           roundTwips(twipsFromPixelsY(*this, height()))});
    });
}

void frmLog::cmdFunction_Click(int index) {
    handle("cmdFunction_Click(" + std::to_string(index) + ")", true, [&] {
        if (index == 0) {
            close();
            return;
        }
        m_model->clear();
        m_delegate->reset();
        m_lstLog->setToolTip({});
    });
}

void frmLog::lstLog_Click(const QModelIndex& index) {
    // A line wider than the list can be read whole in the tool tip.
    m_lstLog->setToolTip(index.data().toString());
}

void frmLog::appendLine(const std::string& line) {
    try {
        pAppend({displayText(line)});
    } catch (...) {
    }
}

void frmLog::appendLines(const std::vector<std::string>& lines) {
    try {
        std::vector<QString> shown;
        shown.reserve(lines.size());
        for (const std::string& line : lines)
            if (!line.empty())
                shown.push_back(displayText(line));
        pAppend(std::move(shown));
    } catch (...) {
    }
}

void frmLog::pAppend(std::vector<QString> lines) {
    m_delegate->measure(m_lstLog->fontMetrics(), lines);
    m_model->append(std::move(lines));
    pShowLastLine();
}

void frmLog::changeEvent(QEvent* event) {
    // Another font, other widths.
    if (event->type() == QEvent::FontChange) {
        m_delegate->reset();
        m_delegate->measure(m_lstLog->fontMetrics(), m_model->lines());
    }
    QWidget::changeEvent(event);
}

void frmLog::pShowLastLine() {
    // Selecting and scrolling lay out the whole list: once for all the lines added before the
    // next pass of the event loop, not once per line, or a long build would slow down line by line.
    if (m_blnShowLastPending)
        return;
    m_blnShowLastPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_blnShowLastPending = false;
            const int rows = m_model->rowCount();
            if (rows == 0)
                return;
            m_lstLog->setCurrentIndex(m_model->index(rows - 1));
            m_lstLog->scrollToBottom();
        },
        Qt::QueuedConnection);
}

void frmLog::refresh() {
    if (isVisible())
        m_lstLog->viewport()->repaint();
}

std::vector<std::string> frmLog::lines() const {
    std::vector<std::string> result;
    result.reserve(m_model->lines().size());
    for (const QString& line : m_model->lines())
        result.push_back(line.toStdString());
    return result;
}

} // namespace pelorix
