#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QKeyEvent>
#include <QLockFile>
#include <QMessageBox>
#include <QStandardPaths>
#include <QUrl>

#include "gui/desktop/DesktopServices.h"

namespace grize {

namespace {

// A message box whose content Ctrl+C copies, as Windows' own boxes do:
// handy for passing an error report on.
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

class LockFileClaim final : public InstanceClaim {
  public:
    explicit LockFileClaim(std::unique_ptr<QLockFile> lock) : lock_(std::move(lock)) {}

  private:
    std::unique_ptr<QLockFile> lock_;
};

class QtDesktopServices final : public DesktopServices {
  public:
    bool showMessageBox(const Message& message, bool yesNo) override {
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
        const auto buttons = yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok;
        CopyableMessageBox box(icon, title, text, buttons, QApplication::activeWindow());
        box.setDefaultButton(yesNo ? QMessageBox::No : QMessageBox::Ok);
        // Paths come from the command line: never let them be read as markup.
        box.setTextFormat(Qt::PlainText);
        return box.exec() == QMessageBox::Yes;
    }

    bool openAddress(const std::string& address) override {
        // A path that starts with "/" becomes a file: address.
        return QDesktopServices::openUrl(QUrl::fromUserInput(QString::fromStdString(address)));
    }

    std::unique_ptr<InstanceClaim> claimSingleInstance(bool& otherRunning) override {
        otherRunning = false;
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (folder.isEmpty()) {
            return nullptr;
        }
        auto lock =
            std::make_unique<QLockFile>(QDir(folder).filePath(QStringLiteral("grize.lock")));
        // A running instance may stay open for hours; only a dead owner makes the
        // lock stale, never its age.
        lock->setStaleLockTime(0);
        if (lock->tryLock(0)) {
            return std::make_unique<LockFileClaim>(std::move(lock));
        }
        otherRunning = lock->error() == QLockFile::LockFailedError;
        return nullptr;
    }
};

}  // namespace

std::unique_ptr<DesktopServices> nativeDesktopServices() {
    return std::make_unique<QtDesktopServices>();
}

std::string windowFontFamily() {
    return "Liberation Sans";
}

}  // namespace grize
