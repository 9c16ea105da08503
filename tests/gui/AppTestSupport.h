#pragma once

#include <QApplication>
#include <QByteArray>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FaultyFileSystem.h"
#include "errors/RuntimeError.h"
#include "gui/MainWindow.h"
#include "gui/services/WindowServices.h"
#include "gui/settings/WindowSettings.h"

namespace grize::test {

// One log for services and settings, so that tests see the order of calls.
using CallLog = std::vector<std::string>;

class RecordingServices final : public WindowServices {
  public:
    explicit RecordingServices(CallLog& log) : log_(log) {}

    void showMessage(const Message& message) override {
        log_.push_back("MsgBox");
        boxes.push_back(message);
        // The box is open while this runs: the window is as the user sees it.
        if (whileOpen) {
            whileOpen(message);
        }
    }
    bool askYesNo(const Message& message) override {
        log_.push_back("AskYesNo");
        questions.push_back(message);
        return answerYes;
    }
    void endNow() override {
        log_.push_back("EndNow");
        ++ends;
    }
    bool otherInstanceRunning() override {
        log_.push_back("PrevInstance");
        return previousInstance;
    }
    void onOtherStart(std::function<void(const std::string&)> heard) override {
        otherStart = std::move(heard);
    }
    std::string commandLine() override {
        log_.push_back("CommandLine");
        return givenCommandLine;
    }
    bool openLink(const std::string& address) override {
        opened.push_back(address);
        return opens;
    }
    int currentYear() override { return year; }

    std::vector<Message> boxes;
    std::vector<Message> questions;
    bool answerYes = false;
    std::function<void(const Message&)> whileOpen;
    int ends = 0;
    bool previousInstance = false;
    std::function<void(const std::string&)> otherStart;  // a later start, turned away
    std::string givenCommandLine;
    std::vector<std::string> opened;
    bool opens = true;
    int year = 2031;

  private:
    CallLog& log_;
};

class RecordingSettings final : public WindowSettings {
  public:
    explicit RecordingSettings(CallLog& log) : log_(log) {}

    void loadPosition(PositionTarget& window) override {
        log_.push_back("LoadPosition");
        if (storedLeft) {
            window.setLeft(*storedLeft);
        }
        if (storedTop) {
            window.setTop(*storedTop);
        }
    }
    void loadAutoquit(CheckBoxTarget& check) override {
        log_.push_back("LoadAutoquit");
        if (storedAutoquit) {
            try {
                check.setValue(*storedAutoquit);
            } catch (const RuntimeError&) {
                log_.push_back("Autoquit refused");
            }
        }
    }
    void loadStrong(CheckBoxTarget& check) override { check.setValue(storedStrong); }
    void saveStrong(const CheckBoxTarget& check) override { storedStrong = check.value(); }
    int storedStrong = 0;

    void save(const PositionTarget& window, const CheckBoxTarget& check) override {
        log_.push_back("SavePosition " + std::to_string(static_cast<long>(window.left())) + " " +
                       std::to_string(static_cast<long>(window.top())));
        log_.push_back("SaveAutoquit " + std::to_string(check.value()));
    }

    std::optional<float> storedLeft;
    std::optional<float> storedTop;
    std::optional<int> storedAutoquit;

  private:
    CallLog& log_;
};

// One start of the program on a command line, with everything recorded.
struct Session {
    explicit Session(std::string commandLine) : services(log), settings(log) {
        services.givenCommandLine = std::move(commandLine);
    }

    // Creates the window and runs the start-up; true when it was shown.
    bool start() {
        window = std::make_unique<MainWindow>(services, settings, fs);
        const bool shown = window->start();
        if (shown) {
            window->activateWindow();
            if (!QTest::qWaitForWindowActive(window.get())) {
                qWarning("main window did not become active");
            }
        }
        return shown;
    }

    CallLog log;
    RecordingServices services;
    RecordingSettings settings;
    FaultyFileSystem fs;
    std::unique_ptr<MainWindow> window;
};

// A control found as tests and assistive tools find it: by its object name.
template <class Control>
Control* control(const QWidget& window, const char* name) {
    auto* found = window.findChild<Control*>(QString::fromLatin1(name));
    if (found == nullptr) {
        qFatal("no control named %s", name);
    }
    return found;
}

// The main window's controls.
inline QLineEdit* txtPassword1(const QWidget& w) {
    return control<QLineEdit>(w, "txtPassword1");
}
inline QLineEdit* txtPassword2(const QWidget& w) {
    return control<QLineEdit>(w, "txtPassword2");
}
inline QPushButton* cmdEncrypt(const QWidget& w) {
    return control<QPushButton>(w, "cmdEncrypt");
}
inline QPushButton* cmdDecrypt(const QWidget& w) {
    return control<QPushButton>(w, "cmdDecrypt");
}
inline QPushButton* cmdCancel(const QWidget& w) {
    return control<QPushButton>(w, "cmdCancel");
}
inline QPushButton* cmdAbout(const QWidget& w) {
    return control<QPushButton>(w, "cmdAbout");
}
inline QCheckBox* chkStrong(const QWidget& w) {
    return control<QCheckBox>(w, "chkStrong");
}
inline QCheckBox* Check1(const QWidget& w) {
    return control<QCheckBox>(w, "Check1");
}
inline QLabel* lblPassword1(const QWidget& w) {
    return control<QLabel>(w, "lblPassword1");
}
inline QLabel* lblPassword2(const QWidget& w) {
    return control<QLabel>(w, "lblPassword2");
}
inline QProgressBar* prgWork(const QWidget& w) {
    return control<QProgressBar>(w, "prgWork");
}

// In the platform's own spelling, as a file manager passes it.
// A label's text colour as setForeColor left it.
inline QColor foreColor(const QLabel* label) {
    return label->palette().color(QPalette::Active, QPalette::WindowText);
}

inline std::string path(const QTemporaryDir& dir, const char* name) {
    return QDir::toNativeSeparators(dir.filePath(QString::fromUtf8(name))).toStdString();
}

inline void writeFile(const std::string& file, const QByteArray& bytes) {
    QFile out(QString::fromStdString(file));
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) {
        qFatal("cannot write %s", file.c_str());
    }
}

inline QByteArray readFile(const std::string& file) {
    QFile in(QString::fromStdString(file));
    if (!in.open(QIODevice::ReadOnly)) {
        return {};
    }
    return in.readAll();
}

inline bool exists(const std::string& file) {
    return QFile::exists(QString::fromStdString(file));
}

// Every byte value, and line ends of both kinds.
inline QByteArray allBytes() {
    QByteArray bytes;
    for (int i = 0; i < 256; ++i) {
        bytes.append(static_cast<char>(i));
    }
    bytes.append("\r\nend\n");
    return bytes;
}

}  // namespace grize::test

#include "core/files/FileOperations.h"
#include "core/format/PasswordBytes.h"

namespace grize::test {

// An encrypted file made by the core, as an earlier run would have left it.
inline void makeEncrypted(const std::string& gri, const std::u32string& password,
                          const QByteArray& content) {
    const std::string plain = gri + ".plain";
    writeFile(plain, content);
    RunOptions replace;
    replace.replace = probeOutput(plain, gri, defaultFileSystem()).info;
    encryptFile(plain, passwordBytes(password), "01/02/2031 3600.5", gri, replace,
                defaultFileSystem());
}

}  // namespace grize::test
