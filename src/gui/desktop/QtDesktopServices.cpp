#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QKeyEvent>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <memory>

#include "gui/desktop/BoxOwner.h"
#include "gui/desktop/DesktopServices.h"

namespace grize {

namespace {

// How long xdg-open gets to say it found nothing to show an address with.
constexpr int kOpenerWaitMs = 1500;

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

// A later start connects, writes its command line and hangs up; none takes
// longer than this, nor says more than a path can.
constexpr int kTalkMs = 1000;
constexpr qsizetype kLongestCommandLine = 64 * 1024;

// Beside the lock in the user's own runtime folder.
QString socketPath(const QString& runtimeFolder) {
    return QDir(runtimeFolder).filePath(QStringLiteral("grize.socket"));
}

class LockFileClaim final : public InstanceClaim {
  public:
    LockFileClaim(std::unique_ptr<QLockFile> lock, const QString& runtimeFolder)
        : lock_(std::move(lock)) {
        const QString path = socketPath(runtimeFolder);
        // Whoever made a socket there before held the lock and is gone.
        QLocalServer::removeServer(path);
        server_.setSocketOptions(QLocalServer::UserAccessOption);
        // Without it the later starts only go unheard.
        server_.listen(path);
        QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this] {
            while (QLocalSocket* socket = server_.nextPendingConnection()) {
                receive(socket);
            }
        });
    }

    void listen(std::function<void(const std::string&)> heard) override {
        heard_ = std::move(heard);
    }

  private:
    void receive(QLocalSocket* socket) {
        auto text = std::make_shared<QByteArray>();
        auto whole = std::make_shared<bool>(true);
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, text, whole] {
            *text += socket->readAll();
            if (text->size() > kLongestCommandLine) {
                *whole = false;
                socket->abort();
            }
        });
        QObject::connect(socket, &QLocalSocket::disconnected, &server_,
                         [this, socket, text, whole] {
                             *text += socket->readAll();
                             socket->deleteLater();
                             if (*whole && heard_) {
                                 heard_(text->toStdString());
                             }
                         });
        QTimer::singleShot(kTalkMs, socket, [socket, whole] {
            *whole = false;
            socket->abort();
        });
    }

    std::unique_ptr<QLockFile> lock_;
    QLocalServer server_;
    std::function<void(const std::string&)> heard_;
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
        CopyableMessageBox box(icon, title, text, buttons, messageBoxOwner());
        box.setDefaultButton(yesNo ? QMessageBox::No : QMessageBox::Ok);
        // Paths come from the command line: never let them be read as markup.
        box.setTextFormat(Qt::PlainText);
        return box.exec() == QMessageBox::Yes;
    }

    bool openAddress(const std::string& address) override {
        // A path that starts with "/" becomes a file: address.
        const QUrl url = QUrl::fromUserInput(QString::fromStdString(address));
        const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        if (opener.isEmpty()) {
            return QDesktopServices::openUrl(url);
        }
        // Qt counts a started xdg-open as opened; that it found no program
        // to show the address only its exit status tells, soon. Still
        // running after a moment, it has handed the address on, so it is
        // left to run (not parented: ending Grize must not stop it).
        auto* process = new QProcess;
        process->start(opener, {url.toString(QUrl::FullyEncoded)});
        if (!process->waitForStarted(kOpenerWaitMs)) {
            delete process;
            return false;
        }
        if (!process->waitForFinished(kOpenerWaitMs)) {
            QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
            return true;
        }
        const bool opened =
            process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
        delete process;
        return opened;
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
            return std::make_unique<LockFileClaim>(std::move(lock), folder);
        }
        otherRunning = lock->error() == QLockFile::LockFailedError;
        return nullptr;
    }

    void tellClaimHolder(const std::string& commandLine) override {
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (folder.isEmpty()) {
            return;
        }
        QLocalSocket socket;
        socket.connectToServer(socketPath(folder));
        if (!socket.waitForConnected(kTalkMs)) {
            return;
        }
        socket.write(QByteArray::fromStdString(commandLine));
        socket.waitForBytesWritten(kTalkMs);
        socket.disconnectFromServer();
        if (socket.state() != QLocalSocket::UnconnectedState) {
            socket.waitForDisconnected(kTalkMs);
        }
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
