#include "gui/MainController.h"

#include <QFile>
#include <QScopeGuard>
#include <exception>
#include <optional>

#include "core/job/RunMessages.h"
#include "errors/RuntimeError.h"
#include "gui/ErrorReport.h"
#include "gui/services/WindowServices.h"
#include "gui/settings/WindowSettings.h"

namespace grize {

namespace {

const char* const kTitle = "Grize";
const char* const kAccessDenied =
    "The operating system denied Grize access to your file.\r\n"
    "Please exit Grize, and run this program as an administrator.";

// A path as the user's file manager shows it: file names are bytes in the
// locale's encoding, not necessarily UTF-8.
std::string displayPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path)).toStdString();
}

std::string shownName(const std::string& path) {
    return displayPath(fileName(path, kPathSeparator));
}

}  // namespace

MainController::MainController(MainView& view, WindowServices& services, WindowSettings& settings,
                               FileSystem& fileSystem)
    : view_(view), services_(services), settings_(settings), fileSystem_(fileSystem) {}

bool MainController::start() {
    refuseSecondInstance();
    if (ended_) {
        return false;
    }
    loadSettingsAndTarget();
    if (ended_) {
        return false;
    }
    services_.onOtherStart(
        [this](const std::string& commandLine) { otherStartRefused(commandLine); });
    return true;
}

void MainController::refuseSecondInstance() {
    if (services_.otherInstanceRunning()) {
        services_.showMessage({"Grize is already running...", MsgIcon::Information, "Info"});
        endProgram();
    }
}

void MainController::otherStartRefused(const std::string& commandLine) {
    view_.bringForward();
    // Started again on this very file, or on none: nothing went unopened.
    if (commandLine.empty() || commandLine == userFile_) {
        return;
    }
    view_.showNote("One file at a time: " + shownName(commandLine) + " was not opened");
}

void MainController::loadSettingsAndTarget() {
    guarded("Sub Form_Load", false, [this] {
        settings_.loadPosition(view_.position());
        settings_.loadAutoquit(view_.autoQuit());
        settings_.loadStrong(view_.strong());
        userFile_ = services_.commandLine();
        shownSource_ = shownName(userFile_);
        checkAll();
    });
}

void MainController::checkAll() {
    const bool checked = guarded("Sub checkAll", false, [this] {
        const job::Target target = job::examine(userFile_, fileSystem_);
        const TargetCheck result = target.check;
        if (result != TargetCheck::Ok) {
            services_.showMessage(
                {targetCheckMessage(result, displayPath(userFile_)), MsgIcon::Warning, kTitle});
            endProgram();
            return;
        }
        if (target.refusal) {
            tell(job::Outcome::failed(*target.refusal), "Sub checkAll", false);
            endProgram();
            return;
        }
        workFactor_ = target.workFactor;
        format_ = target.format;
        show(WindowState::Ready, target.mode);
        view_.showTitle("Grize / " + shownSource_);
    });
    // A target that cannot even be looked at leaves no mode to offer: end as
    // the refused targets do, rather than show a window half set up.
    if (!checked) {
        endProgram();
    }
}

void MainController::encrypt() {
    if (!view_.passwordsMatch()) {
        services_.showMessage(
            {messages::passwordsDiffer() + "\r\nPlease adjust...", MsgIcon::Warning, kTitle});
        view_.askPasswordAgain();
        return;
    }
    if (view_.password().empty()) {
        services_.showMessage({messages::emptyPassword(), MsgIcon::Warning, kTitle});
        view_.askPasswordFirst();
        return;
    }
    run(Operation::Encrypt);
}

void MainController::decrypt() {
    run(Operation::Decrypt);
}

void MainController::run(Operation operation) {
    if (!confirmOutput(operation)) {
        return;
    }
    show(WindowState::Working, operation);
    const char* const label = operation == Operation::Encrypt ? "Sub Encrypt" : "Sub Decrypt";
    std::optional<job::Outcome> outcome;
    if (!guarded(label, true, [this, &outcome] { outcome = runWork(view_.password()); })) {
        finishFailed();
    } else {
        switch (outcome->ending) {
            case job::Ending::Done:
                // A stop that came once the output had its name could not undo the run.
                finishDone(*outcome, task_.cancelRequested());
                break;
            case job::Ending::WrongPassword:
                if (task_.cancelRequested()) {
                    finishCancelled(operation);  // nothing was touched, and the user asked to stop
                    break;
                }
                tell(*outcome, label, true);
                show(WindowState::Retry, operation);
                break;
            case job::Ending::Cancelled:
                tell(*outcome, label, true);  // only a scratch file left, if any
                finishCancelled(operation);
                break;
            case job::Ending::Failed:
            case job::Ending::Refused:
            case job::Ending::NotForThisMode:  // a run never starts on these: examine decided
                tell(*outcome, label, true);
                finishFailed();
                break;
        }
    }
    if (!ended_) {
        view_.showPointer();
    }
}

job::Outcome MainController::runWork(const std::u32string& password) {
    job::Controls controls;
    controls.progress = [this](std::uint64_t done, std::uint64_t of) { task_.report(done, of); };
    controls.cancel = &task_.cancelFlag();
    view_.beginWork(task_);
    const QScopeGuard ended([this] { view_.endWork(); });
    return task_.run([&] { return job::run(plan_, password, controls, fileSystem_); });
}

FileFormat MainController::formatFor(Operation operation) {
    if (operation == Operation::Decrypt) {
        return format_;
    }
    return view_.strong().value() == 1 ? FileFormat::Age : FileFormat::Gri;
}

bool MainController::confirmOutput(Operation operation) {
    // Without an output name there is nothing to run: the window offers leaving.
    if (!guarded("Function replaceExtension", false, [&] {
            plan_ = job::plan(userFile_, operation, formatFor(operation), fileSystem_);
        })) {
        finishFailed();
        return false;
    }
    if (plan_.format == FileFormat::Age && operation == Operation::Decrypt &&
        workFactor_ > job::kSlowWorkFactor) {
        services_.showMessage(
            {messages::slowKeyDerivation(shownSource_, workFactor_), MsgIcon::Information, kTitle});
    }
    if (!plan_.needsConsent()) {
        return true;  // a read-only file or a folder there fails the run itself
    }
    plan_.replace = services_.askYesNo(
        {messages::replaceQuestion(shownName(plan_.output)), MsgIcon::Question, kTitle});
    return plan_.replace;
}

// The done state after a written file; auto quit ends the program here.
void MainController::finishDone(const job::Outcome& result, bool stopCameTooLate) {
    if (stopCameTooLate) {
        services_.showMessage(
            {messages::tooLateToStop(shownName(result.output)), MsgIcon::Information, kTitle});
        closeAfterWork_ = false;
    }
    tell(result, "", false);
    show(WindowState::Done, plan_.mode);
    // The window names what it wrote, since the source it was opened on is gone.
    const std::string written = shownName(result.output);
    view_.showTitle("Grize / " + written);
    view_.showWritten(written);
    if (view_.autoQuit().value() == 1 && !stopCameTooLate) {
        cancelOrClose();
    }
}

// After a failure the window offers one thing, leaving: the message said to
// exit, and the password boxes could start nothing.
void MainController::finishFailed() {
    show(WindowState::Failed, plan_.mode);
}

void MainController::finishCancelled(Operation operation) {
    show(WindowState::Cancelled, operation);
    if (closeAfterWork_) {
        cancelOrClose();
    }
}

void MainController::show(WindowState state, Operation mode) {
    state_ = state;
    view_.showState(state, mode);
}

void MainController::cancelWork() {
    task_.requestCancel();
}

void MainController::cancelOrClose() {
    if (working()) {
        cancelWork();
        return;
    }
    view_.closeWindow();
    endProgram();
}

bool MainController::mayClose() {
    // Closing in the middle of a run would end the program under it: the
    // run is cancelled, and the window closes once it has stopped.
    if (working()) {
        closeAfterWork_ = true;
        cancelWork();
        return false;
    }
    saveSettings();
    return true;
}

void MainController::saveSettings() {
    settings_.save(view_.position(), view_.autoQuit());
    settings_.saveStrong(view_.strong());
}

bool MainController::guarded(std::string_view label, bool accessBox,
                             const std::function<void()>& step) {
    try {
        step();
        return true;
    } catch (const std::exception& error) {
        report(job::asError(error), label, accessBox);
    }
    return false;
}

void MainController::report(const RuntimeError& error, std::string_view label, bool accessBox) {
    tell(job::Outcome::failed(error), label, accessBox);
}

void MainController::tell(const job::Outcome& outcome, std::string_view label, bool accessBox) {
    messages::Names names{shownSource_, shownName(plan_.output), {}};
    if (outcome.error && !outcome.error->leftover().empty()) {
        names.leftover = displayPath(outcome.error->leftover());
    }
    for (const messages::Text& text : messages::describe(outcome, plan_.mode, names)) {
        if (!text.fault) {
            services_.showMessage({messages::boxText(text.lines), MsgIcon::Warning, kTitle});
        } else if (accessBox && outcome.error->kind() == ErrorKind::Access) {
            services_.showMessage({kAccessDenied, MsgIcon::Warning, "Access denied"});
        } else {
            const RuntimeError& error = *outcome.error;
            services_.showMessage({errorReportText(error.number(), error.description(), label),
                                   MsgIcon::None, "Error"});
        }
    }
}

void MainController::endProgram() {
    ended_ = true;
    services_.endNow();
}

}  // namespace grize
