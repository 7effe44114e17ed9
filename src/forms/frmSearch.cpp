#include "forms/frmSearch.h"

#include "forms/Twips.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace pelorix {

namespace {

// Design places and sizes, in twips.
constexpr int formWidth = 4800;
constexpr int formHeight = 1110;
constexpr int labelLeft = 120;
constexpr int labelTop = 165;
constexpr int labelWidth = 480;
constexpr int labelHeight = 255;
constexpr int comboLeft = 660;
constexpr int comboTop = 120;
constexpr int comboWidth = 4020;
constexpr int comboHeight = 330;
constexpr int buttonTop = 600;
constexpr int buttonWidth = 1215;
constexpr int buttonHeight = 375;
// "Next >" on the right, "< Back" to its left.
constexpr std::array<int, 2> buttonLeft = {3465, 2160};

constexpr int keyEnter = 13;
constexpr int keyEscape = 27;

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

frmSearch::frmSearch(QWidget* owner) : QDialog(owner), ErrorHolder("frmSearch") {
    setObjectName(QStringLiteral("frmSearch"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("検索"));
    QFont designFont = font();
    designFont.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), designFont.family()});
    setFont(designFont);
    pBuildControls();
}

frmSearch::~frmSearch() = default;

void frmSearch::pBuildControls() {
    resizeTwips(*this, formWidth, formHeight);
    setFixedSize(size());

    m_lblSearch = new QLabel(QStringLiteral("検索"), this);
    m_lblSearch->setObjectName(QStringLiteral("lblSearch"));
    setTwipsGeometry(*m_lblSearch, labelLeft, labelTop, labelWidth, labelHeight);

    m_cboSearch = new QComboBox(this);
    m_cboSearch->setObjectName(QStringLiteral("cboSearch"));
    m_cboSearch->setEditable(true);
    // The list is the window's history, kept by the window itself.
    m_cboSearch->setInsertPolicy(QComboBox::NoInsert);
    m_cboSearch->setDuplicatesEnabled(true);
    setTwipsGeometry(*m_cboSearch, comboLeft, comboTop, comboWidth, comboHeight);
    m_cboSearch->lineEdit()->installEventFilter(this);
    connect(m_cboSearch, &QComboBox::editTextChanged, this, &frmSearch::cboSearch_Change);
    connect(m_cboSearch, &QComboBox::activated, this, &frmSearch::cboSearch_Click);

    const std::array<QString, 2> captions = {QStringLiteral("Next >"), QStringLiteral("< Back")};
    for (int index = 0; index < 2; ++index) {
        auto* button = new QPushButton(captions[static_cast<std::size_t>(index)], this);
        button->setObjectName(QStringLiteral("cmdBtn_%1").arg(index));
        // Enter belongs to the word box: it never presses a button of its own accord.
        button->setAutoDefault(false);
        setTwipsGeometry(*button, buttonLeft[static_cast<std::size_t>(index)], buttonTop, buttonWidth,
                         buttonHeight);
        connect(button, &QPushButton::clicked, this, [this, index] {
            try {
                cmdBtn_Click(index);
            } catch (...) {
                // Logged where it happened; a step that fails leaves the selection as it was.
            }
        });
        m_cmdBtn[static_cast<std::size_t>(index)] = button;
    }
}

void frmSearch::fInitialize(ISearchForm& form) {
    guard("fInitialize", [&] {
        m_session = std::make_unique<WordSearchSession>(form);
        m_frmBuildSetting = &form;
    });
}

void frmSearch::showEvent(QShowEvent* event) {
    if (!m_blnLoaded && !event->spontaneous()) {
        m_blnLoaded = true;
        handle("Form_Load", true, [&] { Form_Load(); }); // procedure: Form_Load
    }
    QDialog::showEvent(event);
}

void frmSearch::Form_Load() {
    if (!m_session)
        throw vberr::make(vberr::ObjectNotSet);
    pInitCombo();
    m_session->Form_Load();
    pShowButtons();
    moveTwips(*this, m_frmBuildSetting->Left(), m_frmBuildSetting->Top());
}

void frmSearch::pInitCombo() {
    guard("pInitCombo", [&] {
        const QSignalBlocker quiet(m_cboSearch);
        m_cboSearch->clear();
        const auto& history = m_session->history();
        for (auto word = history.rbegin(); word != history.rend(); ++word)
            m_cboSearch->addItem(fromUtf8(*word));
        m_cboSearch->setEditText({});
    });
}

void frmSearch::done(int result) {
    if (m_blnLoaded) {
        m_blnLoaded = false;
        handle("Form_Unload", true, [&] { // procedure: Form_Unload
            if (m_session)
                m_session->Form_Unload();
        });
    }
    QDialog::done(result);
}

bool frmSearch::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_cboSearch->lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            cboSearch_KeyPress(keyEnter);
            return true;
        }
        if (key == Qt::Key_Escape) {
            cboSearch_KeyPress(keyEscape);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmSearch::cboSearch_Change(const QString& text) {
    handle("cboSearch_Change", true, [&] {
        if (!m_session)
            return;
        m_session->cboSearch_Change(text.toStdString());
        pShowButtons();
    });
}

void frmSearch::cboSearch_KeyPress(int keyAscii) {
    handle("cboSearch_KeyPress", true, [&] {
        if (keyAscii == keyEscape) {
            close();
            return;
        }
        if (keyAscii != keyEnter || !m_session)
            return;
        const QString text = m_cboSearch->currentText();
        if (m_session->pressEnter(text.toStdString())) {
            const QSignalBlocker quiet(m_cboSearch);
            m_cboSearch->insertItem(0, text);
            m_cboSearch->setCurrentIndex(-1);
            m_cboSearch->setEditText(text);
        }
        pShowButtons();
    });
}

void frmSearch::cboSearch_Click(int index) {
    handle("cboSearch_Click", true, [&] {
        if (index < 0 || !m_session)
            return;
        m_session->chooseWord(m_cboSearch->itemText(index).toStdString());
        pShowButtons();
    });
}

void frmSearch::cmdBtn_Click(int index) {
    guard("cmdBtn_Click", [&] {
        if (m_session)
            m_session->cmdBtn_Click(index);
    });
}

void frmSearch::fSearchNext() {
    guard("fSearchNext", [&] {
        if (m_session && m_session->hasHistory()) {
            cmdBtn_Click(0);
            return;
        }
        show();
        raise();
        activateWindow();
    });
}

void frmSearch::pShowButtons() {
    const bool enabled = m_session && m_session->buttonsEnabled();
    for (QPushButton* button : m_cmdBtn)
        button->setEnabled(enabled);
}

} // namespace pelorix
