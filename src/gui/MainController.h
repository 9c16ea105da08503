#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "core/job/Job.h"
#include "gui/BackgroundTask.h"

namespace grize {

class CheckBoxTarget;
class FileSystem;
class PositionTarget;
class RuntimeError;
class WindowServices;
class WindowSettings;

// What the main window shows between runs and while one works.
enum class WindowState {
    Ready,      // the target's mode is offered
    Working,    // a run is under way; only stopping it is possible
    Retry,      // the password did not fit: another attempt, or leaving
    Done,       // the output is written; Done ends the program
    Failed,     // the run failed and its message was shown; only leaving is left
    Cancelled,  // the run was stopped: as before it started, passwords kept
};

// What the controller needs of the window's controls.
class MainView {
  public:
    virtual ~MainView() = default;
    // `mode`: the operation offered (Ready) or the one that ran.
    virtual void showState(WindowState state, Operation mode) = 0;
    virtual void showTitle(const std::string& title) = 0;
    // Done: the name of the file written.
    virtual void showWritten(const std::string& name) = 0;
    // The normal pointer again once a run's outcome has been shown.
    virtual void showPointer() = 0;
    // The two passwords differ: the second box again, its text selected.
    virtual void askPasswordAgain() = 0;
    // No password was typed: the first box again.
    virtual void askPasswordFirst() = 0;
    // Around a run on `task`: input taken only for stopping, progress shown.
    virtual void beginWork(const BackgroundTask& task) = 0;
    virtual void endWork() = 0;
    virtual bool passwordsMatch() const = 0;
    virtual std::u32string password() const = 0;
    virtual PositionTarget& position() = 0;
    virtual CheckBoxTarget& autoQuit() = 0;
    // "Strong encryption (age)": 1 when checked.
    virtual CheckBoxTarget& strong() = 0;
    virtual void closeWindow() = 0;
    // Another start was turned away: the window comes to the front.
    virtual void bringForward() = 0;
    // One line in the window until the next; nothing else changes.
    virtual void showNote(const std::string& note) = 0;
};

// The main window's behaviour without its widgets: the start-up, the states
// of a run, the questions and messages, through the job layer and the
// window services. The window shows what it decides.
class MainController {
  public:
    MainController(MainView& view, WindowServices& services, WindowSettings& settings,
                   FileSystem& fileSystem);
    MainController(const MainController&) = delete;
    MainController& operator=(const MainController&) = delete;

    // The single-instance check, the settings and the target. False when the
    // program ended on the way (second instance, refused target).
    bool start();
    void checkAll();

    void encrypt();
    void decrypt();
    // Cancel while working stops the run; otherwise Cancel or Done ends the program.
    void cancelOrClose();
    // Cancel, Esc or the close box while working: the run stops at its next
    // step, unless the output already has its name.
    void cancelWork();
    // The close box: true when the window may close now (the settings are
    // stored); while working the run is stopped and the window closes after.
    bool mayClose();

    // What the window last showed.
    WindowState state() const { return state_; }
    // True while a file operation runs on its worker thread.
    bool working() const { return task_.running(); }
    // The target named on the command line.
    const std::string& userFile() const { return userFile_; }

  private:
    void refuseSecondInstance();
    // A later start, turned away, named `commandLine`.
    void otherStartRefused(const std::string& commandLine);
    void loadSettingsAndTarget();
    void saveSettings();
    // Asks about an existing output, runs the job and shows how it ended.
    void run(Operation operation);
    // Names the output and, when another file has that name, asks before it
    // is replaced; false when the user said No.
    bool confirmOutput(Operation operation);
    // The examined file's own format to decrypt; the check box's to encrypt.
    FileFormat formatFor(Operation operation);
    // Runs the plan on the worker thread while the window keeps painting;
    // returns how it ended, or rethrows here what the worker could not run.
    job::Outcome runWork(const std::u32string& password);
    void finishDone(const job::Outcome& result, bool stopCameTooLate);
    void finishFailed();
    // After a cancelled run: the state before the click, passwords kept.
    void finishCancelled(Operation operation);
    void show(WindowState state, Operation mode);
    // Runs `step`; a failure becomes the error report labelled `label`, or
    // with `accessBox` the access-denied box for error 75. False then.
    bool guarded(std::string_view label, bool accessBox, const std::function<void()>& step);
    // Also names a scratch file the failed run could not remove.
    void report(const RuntimeError& error, std::string_view label, bool accessBox);
    // Shows the texts of how a run ended, each in its box; a fault becomes
    // the error report labelled `label`, or with `accessBox` the
    // access-denied box for error 75.
    void tell(const job::Outcome& outcome, std::string_view label, bool accessBox);
    void endProgram();

    MainView& view_;
    WindowServices& services_;
    WindowSettings& settings_;
    FileSystem& fileSystem_;
    std::string userFile_;
    std::string shownSource_;              // its name as the window's texts show it
    job::Plan plan_;                       // the run about to start
    FileFormat format_ = FileFormat::Gri;  // what the target is encrypted in
    int workFactor_ = 0;                   // an age file's log2 N, told before a slow derivation
    BackgroundTask task_;                  // the file operation while it runs
    WindowState state_ = WindowState::Ready;
    bool ended_ = false;
    bool closeAfterWork_ = false;  // the close box was used while working
};

}  // namespace grize
