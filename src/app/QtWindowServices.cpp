#include "QtWindowServices.h"

#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QDesktopServices>
#include <QDir>
#include <QKeyEvent>
#include <QMessageBox>
#include <QStandardPaths>
#include <QUrl>
#include <cstdio>
#include <cstdlib>

namespace grize {

namespace {

// A message box whose content Ctrl+C copies, as the original platform's boxes
// do: handy for passing an error report on.
class CopyableMessageBox : public QMessageBox {
  public:
    using QMessageBox::QMessageBox;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::Copy)) {
            const QString rule = QStringLiteral("---------------------------\n");
            QGuiApplication::clipboard()->setText(rule + windowTitle() + "\n" + rule + text() +
                                                  "\n" + rule + QStringLiteral("OK\n") + rule);
            event->accept();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
};

}  // namespace

QtWindowServices::QtWindowServices(std::string commandLine)
    : commandLine_(std::move(commandLine)) {}

QtWindowServices::~QtWindowServices() = default;

std::string QtWindowServices::joinArguments(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            text += ' ';
        }
        text += argv[i];
    }
    return text;
}

namespace {

int showBox(const Message& message, QMessageBox::StandardButtons buttons,
            QMessageBox::StandardButton defaultButton) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (message.icon) {
        case MsgIcon::Warning:
            icon = QMessageBox::Warning;
            break;
        case MsgIcon::Information:
            icon = QMessageBox::Information;
            break;
        case MsgIcon::Question:
            icon = QMessageBox::Question;
            break;
        case MsgIcon::None:
            break;
    }
    QString text = QString::fromStdString(message.text);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    const QString title =
        message.title.empty() ? QStringLiteral("Grize") : QString::fromStdString(message.title);
    CopyableMessageBox box(icon, title, text, buttons, QApplication::activeWindow());
    box.setDefaultButton(defaultButton);
    // Paths come from the command line: never let them be read as markup.
    box.setTextFormat(Qt::PlainText);
    return box.exec();
}

}  // namespace

void QtWindowServices::MsgBox(const Message& message) {
    showBox(message, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtWindowServices::AskYesNo(const Message& message) {
    return showBox(message, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

void QtWindowServices::EndNow() {
    // Not a closing step of any window: only the instance lock goes, so that
    // the next start does not have to judge it stale.
    lock_.reset();
    std::fflush(nullptr);
    std::_Exit(0);
}

bool QtWindowServices::PrevInstance() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        return false;
    }
    lock_ = std::make_unique<QLockFile>(QDir(folder).filePath(QStringLiteral("grize.lock")));
    // A running instance may stay open for hours; only a dead owner makes the
    // lock stale, never its age.
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0)) {
        return false;
    }
    const bool held = lock_->error() == QLockFile::LockFailedError;
    // A lock that cannot be made at all (unwritable folder) does not stop the
    // user from working.
    lock_.reset();
    return held;
}

std::string QtWindowServices::CommandLine() {
    return commandLine_;
}

void QtWindowServices::OpenHomepage(const std::string& address) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
}

int QtWindowServices::CurrentYear() {
    return QDate::currentDate().year();
}

}  // namespace grize
