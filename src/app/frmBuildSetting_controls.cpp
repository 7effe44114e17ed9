// The main window's controls at their design places (in twips, inside the window below its menu
// bar), its menus with their shortcuts, the connections of their events, and their layout.
#include "app/frmBuildSetting.h"
#include "forms/CDDesigns.h"
#include "forms/GridControl.h"
#include "forms/Twips.h"
#include "forms/WidgetLayout.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

namespace pelorix {

namespace {

// The size of the window's area below the menu bar that the design places the controls in.
constexpr int designWidth = 11055;
constexpr int designHeight = 6420;

// The gap in the check box's caption is where the combo box of the rebuild mode sits.
const char* const rebuildCaptionHead = "自動的に";
const char* const rebuildCaptionGap = "     \u3000\u3000\u3000\u3000\u3000\u3000\u3000\u3000\u3000 ";
const char* const rebuildCaptionTail = "でﾋﾞﾙﾄﾞする";

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

template <class Widget>
Widget* place(QWidget& parent, const char* name, int left, int top, int width, int height) {
    auto* widget = new Widget(&parent);
    widget->setObjectName(text(name));
    setTwipsGeometry(*widget, left, top, width, height);
    return widget;
}

QPushButton* button(QWidget& parent, const char* name, const char* caption, int left) {
    auto* b = place<QPushButton>(parent, name, left, 60, 1215, 450);
    b->setText(text(caption));
    b->setAutoDefault(false);
    return b;
}

} // namespace

void frmBuildSetting::pCreateControls() {
    setObjectName(QStringLiteral("frmBuildSetting"));
    // The window's font is the Japanese system font of the design; where it is missing, the
    // metric-compatible IPA P Gothic keeps texts at their design widths, else any CJK font.
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"),
                               {QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
    setFont(QFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("frmBuildSettingClient"));
    setCentralWidget(central);

    pCreateBuildSettingFrame(*central);

    m_vsgridProject = place<GridControl>(*central, "vsgridProject", 120, 900, 10815, 4770);
    m_vsgridProject->setFont(QFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));

    cboCell = new QComboBox(central);
    cboCell->setObjectName(QStringLiteral("cboCell"));
    cboCell->hide();
    cboCell->installEventFilter(this);

    pCreateButtons(*central);

    lblProjectListStatusInfo = place<QLabel>(*central, "lblProjectListStatusInfo", 8535, 5790, 2400, 300);
    lblProjectListStatusInfo->setText(QStringLiteral("0/0"));
    lblProjectListStatusInfo->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblProjectListStatusInfo->setToolTip(text("ﾋﾞﾙﾄﾞ対象ﾌﾟﾛｼﾞｪｸﾄ数/ﾌﾟﾛｼﾞｪｸﾄ総数"));
}

void frmBuildSetting::pCreateBuildSettingFrame(QWidget& parent) {
    fraBuildSetting = place<QGroupBox>(parent, "fraBuildSetting", 120, 60, 10815, 780);
    fraBuildSetting->setTitle(text("ﾋﾞﾙﾄﾞ設定"));

    lblCompatible = place<QLabel>(*fraBuildSetting, "lblCompatible", 240, 375, 2000, 240);
    lblCompatible->setText(text("再ﾋﾞﾙﾄﾞ時の互換ﾓｰﾄﾞ"));

    chkRebuildConfirm = place<QCheckBox>(*fraBuildSetting, "chkRebuildConfirm", 2400, 330, 4200, 330);
    chkRebuildConfirm->setText(text(rebuildCaptionHead) + text(rebuildCaptionGap) + text(rebuildCaptionTail));

    cboCompatible = place<QComboBox>(*fraBuildSetting, "cboCompatible", 3300, 300, 1800, 360);
    pPlaceCompatibleComboBox();
}

// Puts the combo box over the gap of the check box's caption, wherever the font puts that gap.
void frmBuildSetting::pPlaceCompatibleComboBox() {
    QStyleOptionButton option;
    option.initFrom(chkRebuildConfirm);
    option.text = chkRebuildConfirm->text();
    const QRect contents =
        chkRebuildConfirm->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, chkRebuildConfirm);
    const QFontMetrics metrics(chkRebuildConfirm->font());
    const int textLeft = chkRebuildConfirm->x() + contents.x();
    const int head = metrics.horizontalAdvance(text(rebuildCaptionHead));
    const int gap = metrics.horizontalAdvance(text(rebuildCaptionGap));
    const int height = cboCompatible->sizeHint().height();
    const int top = chkRebuildConfirm->y() + (chkRebuildConfirm->height() - height) / 2;
    cboCompatible->setGeometry(textLeft + head + 3, top, std::max(40, gap - 8), height);
    chkRebuildConfirm->resize(std::max(chkRebuildConfirm->width(), chkRebuildConfirm->sizeHint().width()),
                              chkRebuildConfirm->height());
    cboCompatible->raise();
}

void frmBuildSetting::pCreateButtons(QWidget& parent) {
    picButton = place<QWidget>(parent, "picButton_0", 120, 5730, 5700, 570);
    cmdEnable[0] = button(*picButton, "cmdEnable_0", "全有効", 0);
    cmdEnable[1] = button(*picButton, "cmdEnable_1", "全無効", 1275);
    cmdFunction[0] = button(*picButton, "cmdFunction_0", "ﾋﾞﾙﾄﾞ", 3165);
    cmdFunction[0]->setToolTip(text("ﾋﾞﾙﾄﾞ開始"));
    cmdFunction[1] = button(*picButton, "cmdFunction_1", "終了", 4440);
}

QAction* frmBuildSetting::pAddMenuItem(QMenu& menu, const char* name, const char* caption,
                                       const char* shortcut) {
    QAction* item = menu.addAction(text(caption));
    item->setObjectName(text(name));
    if (shortcut != nullptr)
        item->setShortcut(QKeySequence(text(shortcut)));
    return item;
}

void frmBuildSetting::pCreateMenus() {
    const auto addMenu = [this](const char* name, const char* caption) {
        QMenu* menu = menuBar()->addMenu(text(caption));
        menu->setObjectName(text(name));
        return menu;
    };
    const auto addSeparator = [](QMenu& menu, const char* name) {
        menu.addSeparator()->setObjectName(text(name));
    };

    mnuMenu = addMenu("mnuMenu", "ﾌｧｲﾙ(&F)");
    mnuProjectListNew = pAddMenuItem(*mnuMenu, "mnuProjectListNew", "新規ﾌﾟﾛｼﾞｪｸﾄﾘｽﾄﾌｧｲﾙ(&N)", "Ctrl+N");
    mnuProjectListOpen = pAddMenuItem(*mnuMenu, "mnuProjectListOpen", "ﾌﾟﾛｼﾞｪｸﾄﾘｽﾄを開く(&O)", "Ctrl+O");
    mnuProjectListSave = pAddMenuItem(*mnuMenu, "mnuProjectListSave", "ﾌﾟﾛｼﾞｪｸﾄﾘｽﾄを保存(&S)", "Ctrl+S");
    addSeparator(*mnuMenu, "mnuSeparator");
    mnuSubBatFileImport =
        pAddMenuItem(*mnuMenu, "mnuSubBatFileImport", "ﾊﾞｯﾁﾌｧｲﾙからﾌﾟﾛｼﾞｪｸﾄのｲﾝﾎﾟｰﾄ(&I)", "Ctrl+I");
    addSeparator(*mnuMenu, "mnuSeparator1");
    mnuExit = pAddMenuItem(*mnuMenu, "mnuExit", "終了(&X)", "Ctrl+X");

    mnuEdit = addMenu("mnuEdit", "編集(&E)");
    mnuProjectAdd = pAddMenuItem(*mnuEdit, "mnuProjectAdd", "ﾌﾟﾛｼﾞｪｸﾄ追加(&A)", "Ctrl+Q");
    mnuProjectEdit = pAddMenuItem(*mnuEdit, "mnuProjectEdit", "ﾌﾟﾛｼﾞｪｸﾄ変更(&E)", "Ctrl+W");
    mnuProjectDel = pAddMenuItem(*mnuEdit, "mnuProjectDel", "ﾌﾟﾛｼﾞｪｸﾄ削除(&D)", "Del");

    mnuProject = addMenu("mnuProject", "ﾌﾟﾛｼﾞｪｸﾄ(&P)");
    mnuSubOpenProject = pAddMenuItem(*mnuProject, "mnuSubOpenProject", "ﾌﾟﾛｼﾞｪｸﾄを開く(&O)", "Ctrl+E");
    mnuSubOpenParentDir = pAddMenuItem(*mnuProject, "mnuSubOpenParentDir", "親ﾌｫﾙﾀﾞを開く(&D)", "Ctrl+R");
    mnuSubSortBuildOrder =
        pAddMenuItem(*mnuProject, "mnuSubSortBuildOrder", "ﾋﾞﾙﾄﾞ順に並べ替え(&B)", "Ctrl+B");

    mnuRun = addMenu("mnuRun", "実行(&R)");
    mnuSubBuild = pAddMenuItem(*mnuRun, "mnuSubBuild", "ﾋﾞﾙﾄﾞ(&S)", "F5");

    mnuSearch = addMenu("mnuSearch", "検索(&S)");
    mnuSubSearch = pAddMenuItem(*mnuSearch, "mnuSubSearch", "検索(&F)", "Ctrl+F");
    mnuSubSearchNext = pAddMenuItem(*mnuSearch, "mnuSubSearchNext", "次を検索(&N)", "F3");

    mnuOption = addMenu("mnuOption", "ｵﾌﾟｼｮﾝ(&O)");
    mnuSubNotAfterBuildTargetOff =
        pAddMenuItem(*mnuOption, "mnuSubNotAfterBuildTargetOff", "ﾋﾞﾙﾄﾞ後の[有効]ﾁｪｯｸを外さない", nullptr);
    mnuSubChkStartupImpBat =
        pAddMenuItem(*mnuOption, "mnuSubChkStartupImpBat", "起動時にﾊﾞｯﾁﾌｧｲﾙを読み込む", nullptr);
    mnuSubChkComponent =
        pAddMenuItem(*mnuOption, "mnuSubChkComponent", "ｺﾝﾎﾟｰﾈﾝﾄの参照設定を更新する", nullptr);
    mnuSubChkBuildChanged =
        pAddMenuItem(*mnuOption, "mnuSubChkBuildChanged", "変更のないﾌﾟﾛｼﾞｪｸﾄはﾋﾞﾙﾄﾞしない", nullptr);
    for (QAction* option :
         {mnuSubNotAfterBuildTargetOff, mnuSubChkStartupImpBat, mnuSubChkComponent, mnuSubChkBuildChanged})
        option->setCheckable(true);
}

void frmBuildSetting::pConnectControls() {
    connect(mnuProjectListNew, &QAction::triggered, this, &frmBuildSetting::mnuProjectListNew_Click);
    connect(mnuProjectListOpen, &QAction::triggered, this, &frmBuildSetting::mnuProjectListOpen_Click);
    connect(mnuProjectListSave, &QAction::triggered, this, &frmBuildSetting::mnuProjectListSave_Click);
    connect(mnuSubBatFileImport, &QAction::triggered, this, &frmBuildSetting::mnuSubBatFileImport_Click);
    connect(mnuExit, &QAction::triggered, this, &frmBuildSetting::mnuExit_Click);
    connect(mnuProjectAdd, &QAction::triggered, this, &frmBuildSetting::mnuProjectAdd_Click);
    connect(mnuProjectEdit, &QAction::triggered, this, &frmBuildSetting::mnuProjectEdit_Click);
    connect(mnuProjectDel, &QAction::triggered, this, &frmBuildSetting::mnuProjectDel_Click);
    connect(mnuSubOpenProject, &QAction::triggered, this, &frmBuildSetting::mnuSubOpenProject_Click);
    connect(mnuSubOpenParentDir, &QAction::triggered, this, &frmBuildSetting::mnuSubOpenParentDir_Click);
    connect(mnuSubSortBuildOrder, &QAction::triggered, this, &frmBuildSetting::mnuSubSortBuildOrder_Click);
    connect(mnuSubBuild, &QAction::triggered, this, &frmBuildSetting::mnuSubBuild_Click);
    connect(mnuSubSearch, &QAction::triggered, this, &frmBuildSetting::mnuSubSearch_Click);
    connect(mnuSubSearchNext, &QAction::triggered, this, &frmBuildSetting::mnuSubSearchNext_Click);
    connect(mnuSubNotAfterBuildTargetOff, &QAction::triggered, this,
            &frmBuildSetting::mnuSubNotAfterBuildTargetOff_Click);
    connect(mnuSubChkStartupImpBat, &QAction::triggered, this,
            &frmBuildSetting::mnuSubChkStartupImpBat_Click);
    connect(mnuSubChkComponent, &QAction::triggered, this, &frmBuildSetting::mnuSubChkComponent_Click);
    connect(mnuSubChkBuildChanged, &QAction::triggered, this, &frmBuildSetting::mnuSubChkBuildChanged_Click);

    for (int i = 0; i < 2; ++i) {
        connect(cmdFunction[static_cast<std::size_t>(i)], &QPushButton::clicked, this,
                [this, i] { cmdFunction_Click(i); });
        connect(cmdEnable[static_cast<std::size_t>(i)], &QPushButton::clicked, this,
                [this, i] { cmdEnable_Click(i); });
    }
    connect(chkRebuildConfirm, &QCheckBox::clicked, this, &frmBuildSetting::chkRebuildConfirm_Click);
    connect(cboCompatible, &QComboBox::activated, this, &frmBuildSetting::cboCompatible_Click);
    connect(cboCell, &QComboBox::activated, this, &frmBuildSetting::cboCell_Click);

    connect(m_vsgridProject, &GridControl::Click, this, &frmBuildSetting::vsgridProject_Click);
    connect(m_vsgridProject, &GridControl::MouseDown, this, &frmBuildSetting::vsgridProject_MouseDown);
    connect(m_vsgridProject, &GridControl::MouseUp, this, &frmBuildSetting::vsgridProject_MouseUp);
    connect(m_vsgridProject, &GridControl::KeyPress, this, &frmBuildSetting::vsgridProject_KeyPress);
    connect(m_vsgridProject, &GridControl::KeyUp, this, &frmBuildSetting::vsgridProject_KeyUp);
    connect(m_vsgridProject, &GridControl::OLEDragDrop, this, &frmBuildSetting::vsgridProject_OLEDragDrop);
}

// Registers the controls that follow the window's size, with the window at its design size.
void frmBuildSetting::pRegisterDesigns() {
    const int menuHeight = menuBar()->sizeHint().height();
    resize(pixelsFromTwipsX(*this, designWidth), menuHeight + pixelsFromTwipsY(*this, designHeight));
    setDesignForm(*m_objDesigns, *this);
    addWidgetDesign(*m_objDesigns, *fraBuildSetting, LayoutKind::StretchWidth);
    addWidgetDesign(*m_objDesigns, *m_vsgridProject, LayoutKind::StretchBoth);
    addWidgetDesign(*m_objDesigns, *picButton, LayoutKind::KeepBottom);
    addWidgetDesign(*m_objDesigns, *lblProjectListStatusInfo, LayoutKind::KeepRightBottom);
}

} // namespace pelorix
