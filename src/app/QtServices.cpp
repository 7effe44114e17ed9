#include "app/QtServices.h"

#include "platform/RuntimeError.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace pelorix {

namespace {

QMessageBox::Icon messageIcon(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgIcon::Critical:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons messageButtons(MsgButtons buttons) {
    switch (buttons) {
    case MsgButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MsgButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MsgButtons::Ok:
        break;
    }
    return QMessageBox::Ok;
}

// A filter entry as the Qt dialog takes it: the description, with the patterns in parentheses
// unless it already ends with them.
QString nameFilter(const FileFilter& filter) {
    const QString description = QString::fromStdString(filter.description);
    QString patterns = QString::fromStdString(filter.pattern);
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    if (description.endsWith(QLatin1Char('(') + patterns + QLatin1Char(')')))
        return description;
    return description + QStringLiteral(" (") + patterns + QLatin1Char(')');
}

} // namespace

MsgResult QtMessageBox::show(const std::string& text, const std::string& title, MsgButtons buttons,
                             MsgIcon icon, bool foreground) {
    QMessageBox box(messageIcon(icon), QString::fromStdString(title), QString::fromStdString(text),
                    messageButtons(buttons), QApplication::activeWindow());
    if (foreground) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
        box.raise();
        box.activateWindow();
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return MsgResult::Yes;
    case QMessageBox::No:
        return MsgResult::No;
    case QMessageBox::Cancel:
        return MsgResult::Cancel;
    default:
        return MsgResult::Ok;
    }
}

void QtMessageBox::notify(const std::string& text, const std::string& title, MsgIcon icon) {
    if (!m_notice) {
        m_notice = new QMessageBox(messageIcon(icon), QString(), QString(), QMessageBox::Ok,
                                   QApplication::activeWindow());
        m_notice->setObjectName(QStringLiteral("notice"));
        m_notice->setAttribute(Qt::WA_DeleteOnClose);
        m_notice->setWindowModality(Qt::NonModal);
    }
    m_notice->setIcon(messageIcon(icon));
    m_notice->setWindowTitle(QString::fromStdString(title));
    m_notice->setText(QString::fromStdString(text));
    m_notice->show();
    m_notice->raise();
    m_notice->activateWindow();
}

std::string QtFileDialog::ShowDialog(const FileDialogRequest& request) {
    QFileDialog dialog(QApplication::activeWindow(), QString(),
                       QString::fromStdString(request.initialFolder));
    QStringList filters;
    for (const FileFilter& filter : request.filters)
        filters.append(nameFilter(filter));
    dialog.setNameFilters(filters);
    if (request.save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // A name typed without an extension takes the first type's.
        if (!request.filters.empty() && request.filters.front().pattern.starts_with("*."))
            dialog.setDefaultSuffix(QString::fromStdString(request.filters.front().pattern.substr(2)));
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (!request.fileName.empty())
        dialog.selectFile(QString::fromStdString(request.fileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        throw vberr::make(vberr::CancelSelected);
    return dialog.selectedFiles().constFirst().toStdString();
}

void QtEventPump::processEvents() {
    QCoreApplication::processEvents();
}

} // namespace pelorix
