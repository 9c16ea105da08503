#pragma once

#include <QCheckBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/files/FileOperations.h"
#include "core/job/PathHelpers.h"
#include "gui/settings/SettingsTargets.h"

namespace grize {

class FileSystem;
class RuntimeError;
class WindowServices;
class WindowSettings;

// The main window: two password boxes, the encrypt and decrypt buttons (only
// the one that fits the target is enabled), Cancel/Done, About and the "Auto
// quit window" check box. Controls are public so that the operations, the
// settings adapters and the tests reach them by name.
class frmmain : public QWidget {
    Q_OBJECT

  public:
    frmmain(WindowServices& services, WindowSettings& settings, FileSystem& fileSystem,
            QWidget* parent = nullptr);
    ~frmmain() override;

    // Initialise, load and show, as the program starts. False when the
    // program ended on the way (second instance, refused target).
    bool Start();

    void Form_Initialize();
    void Form_Load();
    void checkAll();
    void SetSelected();

    void cmdEncrypt_Click();
    void cmdDecrypt_Click();
    void cmdCancel_Click();
    void cmdAbout_Click();
    void Check1_MouseMove();
    void txtPassword1_GotFocus();
    void txtPassword1_LostFocus();
    void txtPassword2_GotFocus();
    void txtPassword2_LostFocus();
    void Form_QueryUnload();

    // The button Enter presses in this mode; none before checkAll succeeds.
    QPushButton* defaultButton() const { return defaultButton_; }
    // True while a file operation runs on its worker thread.
    bool working() const { return working_; }

    std::string userFile;

    QLineEdit* txtPassword1;
    QLineEdit* txtPassword2;
    QPushButton* cmdEncrypt;
    QPushButton* cmdDecrypt;
    QPushButton* cmdCancel;
    QPushButton* cmdAbout;
    QCheckBox* Check1;
    QLabel* lblPassword1;
    QLabel* lblPassword2;
    // Shown below Cancel only while a long operation runs.
    QProgressBar* prgWork;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    class Position;
    class CheckValue;

    void Encrypt();
    void Decrypt();
    // Names the output and, when another file has that name, asks before it
    // is replaced; false when the user said No.
    bool confirmOutput(Operation operation);
    // Runs a file operation on a worker thread while this thread keeps
    // painting and shows progress; returns when it has ended, with its
    // result, or rethrows its failure here.
    RunResult runWork(const std::function<RunResult(const ProgressFn&)>& work);
    void finishDone(const RunResult& result);
    void finishFailed();
    // After a cancelled run: the state before the click, passwords kept.
    void finishCancelled(QPushButton* action);
    // Cancel, Esc or the close box while working: the run stops at its next read.
    void cancelWork();
    std::string outputPath(Operation operation);
    // Runs `step`; a failure becomes the error report labelled `label`, or
    // with `accessBox` the access-denied box for error 75. False then.
    bool guarded(std::string_view label, bool accessBox, const std::function<void()>& step);
    void report(const RuntimeError& error, std::string_view label, bool accessBox);
    void endProgram();
    void setDefaultButton(QPushButton* button);
    void focusMoved(QWidget* to);

    WindowServices& services_;
    WindowSettings& settings_;
    FileSystem& fileSystem_;
    std::unique_ptr<Position> position_;
    std::unique_ptr<CheckValue> checkValue_;
    std::string output_;     // the output path of the run about to start
    RunOptions runOptions_;  // and what it may replace
    QPushButton* defaultButton_ = nullptr;
    QWidget* focused_ = nullptr;
    bool ended_ = false;
    bool working_ = false;
    std::atomic<bool> cancelRequested_{false};
    bool cancelled_ = false;       // the last run ended because it was cancelled
    bool closeAfterWork_ = false;  // the close box was used while working
};

// Sets a label's text colour (the active and inactive look; a disabled
// label keeps the style's grey).
void setForeColor(QLabel* label, const QColor& colour);

}  // namespace grize
