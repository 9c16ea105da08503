#pragma once

#include <QCheckBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/job/Job.h"
#include "gui/BackgroundTask.h"
#include "gui/settings/SettingsTargets.h"

namespace grize {

class FileSystem;
class RuntimeError;
class WindowServices;
class WindowSettings;

// The main window: two password boxes, the encrypt and decrypt buttons (only
// the one that fits the target is enabled), Cancel/Done, About and the "Auto
// quit window" check box. Tests and assistive tools find the controls by
// their object names (txtPassword1, cmdEncrypt, Check1, ...).
class MainWindow : public QWidget {
    Q_OBJECT

  public:
    MainWindow(WindowServices& services, WindowSettings& settings, FileSystem& fileSystem,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // Initialise, load and show, as the program starts. False when the
    // program ended on the way (second instance, refused target).
    bool start();

    void checkAll();
    // Selects the whole text of the password box that has the focus.
    void selectFocusedText();

    // The button Enter presses in this mode; none before checkAll succeeds.
    QPushButton* defaultButton() const { return defaultButton_; }
    // True while a file operation runs on its worker thread.
    bool working() const { return task_.running(); }
    // The progress bar shows once a run has lasted `delay`, and then follows
    // it every `tick`; shorter runs would only flicker.
    void setProgressTiming(std::chrono::milliseconds delay, std::chrono::milliseconds tick);
    // The target named on the command line.
    const std::string& userFile() const { return userFile_; }

  public slots:
    void encrypt();
    void decrypt();
    // Cancel while working stops the run; otherwise Cancel or Done ends the program.
    void cancelOrClose();
    void showAbout();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    class Position;
    class CheckValue;

    void refuseSecondInstance();
    void loadSettingsAndTarget();
    void saveSettings();
    void updateAutoQuitTip();
    // Colours the label of `box` while it has the focus; other controls have none.
    void markPasswordLabel(const QWidget* box, bool focused);

    // Asks about an existing output, runs the job and shows how it ended.
    void run(Operation operation);
    // Names the output and, when another file has that name, asks before it
    // is replaced; false when the user said No.
    bool confirmOutput(Operation operation);
    // Runs a file operation on a worker thread while this thread keeps
    // painting and shows progress; returns when it has ended, with its
    // result, or rethrows its failure here.
    RunResult runWork(const std::function<RunResult(const RunOptions&)>& work);
    void finishDone(const RunResult& result, bool stopCameTooLate);
    void finishFailed();
    // After a cancelled run: the state before the click, passwords kept.
    void finishCancelled(QPushButton* action);
    // Cancel, Esc or the close box while working: the run stops at its next
    // step, unless the output already has its name.
    void cancelWork();
    // Runs `step`; a failure becomes the error report labelled `label`, or
    // with `accessBox` the access-denied box for error 75. False then.
    bool guarded(std::string_view label, bool accessBox, const std::function<void()>& step);
    // Also names a scratch file the failed run could not remove.
    void report(const RuntimeError& error, std::string_view label, bool accessBox);
    void reportFailure(const RuntimeError& error, std::string_view label, bool accessBox);
    void endProgram();
    void setDefaultButton(QPushButton* button);
    void focusMoved(QWidget* to);

    QLineEdit* password1_;
    QLineEdit* password2_;
    QPushButton* encryptButton_;
    QPushButton* decryptButton_;
    QPushButton* cancelButton_;
    QPushButton* aboutButton_;
    QCheckBox* autoQuit_;
    QLabel* password1Label_;
    QLabel* password2Label_;
    // Shown below Cancel only while a long operation runs.
    QProgressBar* progress_;

    WindowServices& services_;
    WindowSettings& settings_;
    FileSystem& fileSystem_;
    std::unique_ptr<Position> position_;
    std::unique_ptr<CheckValue> checkValue_;
    std::string userFile_;
    job::Plan plan_;  // the run about to start
    QPushButton* defaultButton_ = nullptr;
    QWidget* focused_ = nullptr;
    bool ended_ = false;
    BackgroundTask task_;  // the file operation while it runs
    std::chrono::milliseconds progressDelay_{500};
    std::chrono::milliseconds progressTick_{100};
    bool cancelled_ = false;       // the last run ended because it was cancelled
    bool closeAfterWork_ = false;  // the close box was used while working
};

// Sets a label's text colour (the active and inactive look; a disabled
// label keeps the style's grey).
void setForeColor(QLabel* label, const QColor& colour);

}  // namespace grize
