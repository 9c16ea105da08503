#include "gui/MainWindow.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QScopeGuard>
#include <QTimer>
#include <exception>
#include <limits>
#include <new>

#include "core/job/Job.h"
#include "core/job/RunMessages.h"
#include "errors/RuntimeError.h"
#include "gui/BackgroundTask.h"
#include "gui/ErrorReport.h"
#include "gui/Padlocks.h"
#include "gui/about/AboutDialog.h"
#include "gui/services/Pictures.h"
#include "gui/services/Twips.h"
#include "gui/services/WindowServices.h"
#include "gui/settings/WindowSettings.h"
#include "platform/desktop/DesktopServices.h"

namespace grize {

namespace {

const QColor kFocusLabelColour(0, 0, 192);

const char* const kTitle = "Grize";
const char* const kPasswordsDiffer = "The two passwords are not the same.\r\nPlease adjust...";
const char* const kAccessDenied =
    "The operating system denied Grize access to your file.\r\n"
    "Please exit Grize, and run this program as an administrator.";

// The application's style, except that password boxes show "*".
class WindowStyle : public QProxyStyle {
  public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) {
            return '*';
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QFont windowFont() {
    // The platform's own window font (MS Sans Serif on Windows).
    QFont font(QString::fromLatin1(windowFontFamily()));
    font.setPointSizeF(8.25);
    return font;
}

QString toQt(const std::string& text) {
    return QString::fromStdString(text);
}

// A path as the user's file manager shows it: file names are bytes in the
// locale's encoding, not necessarily UTF-8.
std::string displayPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path)).toStdString();
}

// A picture button: the grey padlock normally, the dark one while pressed.
void setPictures(QPushButton* button, const QIcon& up, const Picture& pressed) {
    const QIcon down = sharpPicture(pressed);
    button->setIcon(up);
    button->setIconSize(QSize(32, 32));
    QObject::connect(button, &QPushButton::pressed, button,
                     [button, down] { button->setIcon(down); });
    QObject::connect(button, &QPushButton::released, button, [button, up] { button->setIcon(up); });
}

// A padlock button with a dotted focus mark inside its edge, drawn whatever
// the reason the focus came (the style marks only keyboard moves); without
// the focus it looks like any other button.
class PictureButton : public QPushButton {
  public:
    using QPushButton::QPushButton;

  protected:
    void paintEvent(QPaintEvent* event) override {
        QPushButton::paintEvent(event);
        if (!hasFocus()) {
            return;
        }
        QPainter painter(this);
        QPen pen(palette().color(QPalette::ButtonText));
        pen.setStyle(Qt::DotLine);
        painter.setPen(pen);
        painter.drawRect(rect().adjusted(4, 4, -5, -5));
    }
};

// Screen readers should meet the window as a dialog, not as a bare widget.
QAccessibleInterface* windowAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String(MainWindow::staticMetaObject.className()) &&
        object->isWidgetType()) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Dialog);
    }
    return nullptr;
}

// While an operation works, the window's controls take no input at all:
// keys, clicks and shortcuts are dropped rather than queued, so none of them
// acts once the work has ended, and the working state holds throughout.
// While a file operation runs the window takes no input, but for stopping
// it: Cancel still clicks, and Esc cancels.
class InputBlocker : public QObject {
  public:
    InputBlocker(QWidget& window, QWidget& cancel, std::function<void()> onEscape)
        : window_(window), cancel_(cancel), onEscape_(std::move(onEscape)) {
        QApplication::instance()->installEventFilter(this);
    }
    ~InputBlocker() override { QApplication::instance()->removeEventFilter(this); }
    InputBlocker(const InputBlocker&) = delete;
    InputBlocker& operator=(const InputBlocker&) = delete;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != &window_) {
            return false;
        }
        switch (event->type()) {
            case QEvent::KeyPress:
                if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
                    onEscape_();
                }
                return true;
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
                return watched != &cancel_;
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::Shortcut:
            case QEvent::Wheel:
            case QEvent::ContextMenu:
            case QEvent::InputMethod:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
                return true;
            default:
                return false;
        }
    }

  private:
    QWidget& window_;
    QWidget& cancel_;
    std::function<void()> onEscape_;
};

constexpr int kProgressSteps = 1000;

}  // namespace

void setForeColor(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::Active, QPalette::WindowText, colour);
    palette.setColor(QPalette::Inactive, QPalette::WindowText, colour);
    label->setPalette(palette);
}

// The window's edges in twips, for the settings store: 15 to a screen pixel,
// whatever the scale factor, so that a stored position means the same place
// on the screen at every scale. Qt places windows in scaled pixels.
class MainWindow::Position final : public PositionTarget {
  public:
    explicit Position(QWidget& window) : window_(window) {}
    float left() const override { return toTwips(window_.x()); }
    float top() const override { return toTwips(window_.y()); }
    void setLeft(float twips) override { window_.move(toScaled(twips), window_.y()); }
    void setTop(float twips) override { window_.move(window_.x(), toScaled(twips)); }

  private:
    float toTwips(int scaledPixels) const {
        return static_cast<float>(std::lround(scaledPixels * window_.devicePixelRatioF()) *
                                  kTwipsPerPixel);
    }
    int toScaled(float twips) const { return px(twips / window_.devicePixelRatioF()); }

    QWidget& window_;
};

// The auto quit box's value: 0 unchecked, 1 checked, 2 greyed; nothing else.
class MainWindow::CheckValue final : public CheckBoxTarget {
  public:
    explicit CheckValue(QCheckBox& box) : box_(box) {}
    int value() const override {
        switch (box_.checkState()) {
            case Qt::Checked:
                return 1;
            case Qt::PartiallyChecked:
                return 2;
            default:
                return 0;
        }
    }
    void setValue(int value) override {
        switch (value) {
            case 0:
                box_.setTristate(false);
                box_.setCheckState(Qt::Unchecked);
                break;
            case 1:
                box_.setTristate(false);
                box_.setCheckState(Qt::Checked);
                break;
            case 2:
                box_.setTristate(true);
                box_.setCheckState(Qt::PartiallyChecked);
                break;
            default:
                throw RuntimeError(380, "Invalid property value");
        }
    }

  private:
    QCheckBox& box_;
};

MainWindow::MainWindow(WindowServices& services, WindowSettings& settings, FileSystem& fileSystem,
                       QWidget* parent)
    : QWidget(parent), services_(services), settings_(settings), fileSystem_(fileSystem) {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(px(3540), px(1965));
    setWindowTitle(QStringLiteral("Grize "));
    const QIcon closed = sharpPicture(padlocks::kClosed);
    setWindowIcon(closed);
    setFont(windowFont());

    password1_ = new QLineEdit(this);
    password2_ = new QLineEdit(this);
    encryptButton_ = new PictureButton(this);
    decryptButton_ = new PictureButton(this);
    cancelButton_ = new QPushButton(QStringLiteral("&Cancel"), this);
    aboutButton_ = new QPushButton(QStringLiteral("&About"), this);
    autoQuit_ = new QCheckBox(QStringLiteral("Auto quit window"), this);
    password1Label_ = new QLabel(QStringLiteral("Enter password:"), this);
    password2Label_ = new QLabel(QStringLiteral("Enter password again:"), this);
    progress_ = new QProgressBar(this);

    password1_->setObjectName(QStringLiteral("txtPassword1"));
    password2_->setObjectName(QStringLiteral("txtPassword2"));
    encryptButton_->setObjectName(QStringLiteral("cmdEncrypt"));
    decryptButton_->setObjectName(QStringLiteral("cmdDecrypt"));
    cancelButton_->setObjectName(QStringLiteral("cmdCancel"));
    aboutButton_->setObjectName(QStringLiteral("cmdAbout"));
    autoQuit_->setObjectName(QStringLiteral("Check1"));
    password1Label_->setObjectName(QStringLiteral("lblPassword1"));
    password2Label_->setObjectName(QStringLiteral("lblPassword2"));
    progress_->setObjectName(QStringLiteral("prgWork"));

    password1_->setGeometry(px(1935), px(150), px(1365), px(285));
    password2_->setGeometry(px(1935), px(495), px(1365), px(285));
    encryptButton_->setGeometry(px(225), px(885), px(765), px(615));
    decryptButton_->setGeometry(px(1020), px(885), px(765), px(615));
    cancelButton_->setGeometry(px(1935), px(1185), px(1365), px(315));
    aboutButton_->setGeometry(px(1935), px(870), px(1365), px(300));
    autoQuit_->setGeometry(px(240), px(1590), px(1560), px(195));
    password1Label_->setGeometry(px(225), px(210), px(1140), px(195));
    password2Label_->setGeometry(px(225), px(510), px(1575), px(195));
    // In the right column's free row beside the check box.
    progress_->setGeometry(px(1935), px(1590), px(1365), px(195));
    progress_->setRange(0, kProgressSteps);
    progress_->setFocusPolicy(Qt::NoFocus);
    progress_->hide();

    static const bool accessibleWindow = [] {
        QAccessible::installFactory(windowAccessible);
        return true;
    }();
    (void)accessibleWindow;
    // The labels read "Enter password:"; screen readers get what the box is.
    password1_->setAccessibleName(QStringLiteral("Password"));
    password2_->setAccessibleName(QStringLiteral("Password again"));
    encryptButton_->setAccessibleName(QStringLiteral("Encrypt"));
    decryptButton_->setAccessibleName(QStringLiteral("Decrypt"));
    progress_->setAccessibleName(QStringLiteral("Progress"));

    auto* style = new WindowStyle;
    style->setParent(this);
    for (QLineEdit* box : {password1_, password2_}) {
        box->setStyle(style);
        box->setEchoMode(QLineEdit::Password);
        box->setMaxLength(std::numeric_limits<int>::max());
        box->installEventFilter(this);
    }

    setPictures(encryptButton_, closed, padlocks::kClosedDark);
    setPictures(decryptButton_, sharpPicture(padlocks::kOpen), padlocks::kOpenDark);
    encryptButton_->setToolTip(QStringLiteral(" Encrypt "));
    decryptButton_->setToolTip(QStringLiteral(" Decrypt "));

    // Labels size themselves to their text.
    for (QLabel* label : {password1Label_, password2Label_}) {
        label->resize(label->sizeHint().width(), label->height());
        setForeColor(label, label->palette().color(QPalette::ButtonText));
    }

    autoQuit_->setMouseTracking(true);
    autoQuit_->installEventFilter(this);
    // A greyed box restored from the settings becomes a plain two-state box
    // once the user clicks it.
    connect(autoQuit_, &QCheckBox::clicked, this, [this] { autoQuit_->setTristate(false); });

    setTabOrder(password1_, password2_);
    setTabOrder(password2_, encryptButton_);
    setTabOrder(encryptButton_, decryptButton_);
    setTabOrder(decryptButton_, cancelButton_);
    setTabOrder(cancelButton_, aboutButton_);
    setTabOrder(aboutButton_, autoQuit_);
    for (QWidget* control :
         {static_cast<QWidget*>(encryptButton_), static_cast<QWidget*>(decryptButton_),
          static_cast<QWidget*>(cancelButton_), static_cast<QWidget*>(aboutButton_),
          static_cast<QWidget*>(autoQuit_)}) {
        control->installEventFilter(this);
    }

    connect(encryptButton_, &QPushButton::clicked, this, &MainWindow::encrypt);
    connect(decryptButton_, &QPushButton::clicked, this, &MainWindow::decrypt);
    connect(cancelButton_, &QPushButton::clicked, this, &MainWindow::cancelOrClose);
    connect(aboutButton_, &QPushButton::clicked, this, &MainWindow::showAbout);

    position_ = std::make_unique<Position>(*this);
    checkValue_ = std::make_unique<CheckValue>(*autoQuit_);
}

MainWindow::~MainWindow() = default;

bool MainWindow::start() {
    refuseSecondInstance();
    if (ended_) {
        return false;
    }
    loadSettingsAndTarget();
    if (ended_) {
        return false;
    }
    for (QWidget* control :
         {static_cast<QWidget*>(password1_), static_cast<QWidget*>(password2_),
          static_cast<QWidget*>(encryptButton_), static_cast<QWidget*>(decryptButton_),
          static_cast<QWidget*>(cancelButton_), static_cast<QWidget*>(aboutButton_),
          static_cast<QWidget*>(autoQuit_)}) {
        if (control->isEnabled()) {
            control->setFocus(Qt::OtherFocusReason);
            break;
        }
    }
    show();
    return true;
}

void MainWindow::refuseSecondInstance() {
    if (services_.otherInstanceRunning()) {
        services_.showMessage({"Grize is already running...", MsgIcon::Information, "Info"});
        endProgram();
    }
}

void MainWindow::loadSettingsAndTarget() {
    guarded("Sub Form_Load", false, [this] {
        settings_.loadPosition(*position_);
        settings_.loadAutoquit(*checkValue_);
        userFile_ = services_.commandLine();
        checkAll();
    });
}

void MainWindow::checkAll() {
    const bool checked = guarded("Sub checkAll", false, [this] {
        const job::Target target = job::examine(userFile_, fileSystem_);
        const TargetCheck result = target.check;
        if (result != TargetCheck::Ok) {
            services_.showMessage(
                {targetCheckMessage(result, displayPath(userFile_)), MsgIcon::Warning, kTitle});
            endProgram();
            return;
        }
        if (target.mode == Operation::Decrypt) {
            encryptButton_->setEnabled(false);
            decryptButton_->setEnabled(true);
            setDefaultButton(decryptButton_);
            password2Label_->setEnabled(false);
            password2_->setEnabled(false);
            password2_->clear();
        } else {
            encryptButton_->setEnabled(true);
            setDefaultButton(encryptButton_);
            decryptButton_->setEnabled(false);
            password2Label_->setEnabled(true);
            password2_->setEnabled(true);
        }
        password1Label_->setEnabled(true);
        password1_->setEnabled(true);
        setWindowTitle(toQt("Grize / " + displayPath(fileName(userFile_, kPathSeparator))));
    });
    // A target that cannot even be looked at leaves no mode to offer: end as
    // the refused targets do, rather than show a window half set up.
    if (!checked) {
        endProgram();
    }
}

void MainWindow::selectFocusedText() {
    // The control with the focus in this window, also while a message box
    // that just closed still holds the keyboard.
    if (auto* box = qobject_cast<QLineEdit*>(focusWidget())) {
        box->setSelection(0, static_cast<int>(box->text().size()));
    }
}

void MainWindow::encrypt() {
    if (password1_->text() != password2_->text()) {
        services_.showMessage({kPasswordsDiffer, MsgIcon::Warning, kTitle});
        password2_->setFocus(Qt::OtherFocusReason);
        selectFocusedText();
        return;
    }
    run(Operation::Encrypt);
}

void MainWindow::decrypt() {
    run(Operation::Decrypt);
}

void MainWindow::run(Operation operation) {
    if (!confirmOutput(operation)) {
        return;
    }
    QPushButton* const action = operation == Operation::Encrypt ? encryptButton_ : decryptButton_;
    setCursor(Qt::WaitCursor);
    encryptButton_->setEnabled(false);
    decryptButton_->setEnabled(false);
    // Cancel stays enabled: while working it stops the run.
    repaint();
    std::optional<RunResult> result;
    guarded(operation == Operation::Encrypt ? "Sub Encrypt" : "Sub Decrypt", true, [this, &result] {
        const std::u32string password = password1_->text().toStdU32String();
        result = runWork([&](const RunOptions& options) {
            return job::run(plan_, password, options, fileSystem_);
        });
    });
    if (!result) {
        if (cancelled_) {
            finishCancelled(action);
        } else {
            finishFailed();
        }
    } else if (result->wrongPassword && task_.cancelRequested()) {
        finishCancelled(action);  // nothing was touched, and the user asked to stop
    } else if (result->wrongPassword) {
        services_.showMessage({messages::wrongPassword(), MsgIcon::Warning, kTitle});
        password1_->setFocus(Qt::OtherFocusReason);
        selectFocusedText();
        password1Label_->setEnabled(true);
        decryptButton_->setEnabled(true);
        // Another attempt or giving up: both must stay possible.
        cancelButton_->setEnabled(true);
    } else {
        // A stop that came once the output had its name could not undo the run.
        finishDone(*result, task_.cancelRequested());
    }
    if (!ended_) {
        unsetCursor();
    }
}

RunResult MainWindow::runWork(const std::function<RunResult(const RunOptions&)>& work) {
    RunOptions options;
    options.progress = [this](std::uint64_t done, std::uint64_t of) { task_.report(done, of); };
    options.cancel = &task_.cancelFlag();

    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    connect(&tick, &QTimer::timeout, this, [&] {
        const std::uint64_t of = task_.total();
        if (clock.elapsed() < progressDelay_.count() || of == 0) {
            return;
        }
        progress_->setValue(static_cast<int>(task_.done() * kProgressSteps / of));
        progress_->show();
    });
    tick.start(progressTick_);
    // Hidden again however the run ends, before its outcome is shown.
    const QScopeGuard hideProgress([&] {
        tick.stop();
        progress_->hide();
        progress_->reset();
    });

    const InputBlocker blocker(*this, *cancelButton_, [this] { cancelWork(); });
    cancelled_ = false;
    return task_.run([&] { return work(options); });
}

bool MainWindow::confirmOutput(Operation operation) {
    // Without an output name there is nothing to run: the window offers leaving.
    if (!guarded("Function replaceExtension", false,
                 [&] { plan_ = job::plan(userFile_, operation, fileSystem_); })) {
        finishFailed();
        return false;
    }
    if (!plan_.needsConsent()) {
        return true;  // a read-only file or a folder there fails the run itself
    }
    const std::string name = displayPath(fileName(plan_.output, kPathSeparator));
    plan_.replace = services_.askYesNo(
        {name + " already exists.\r\nDo you want to replace it?", MsgIcon::Question, kTitle});
    return plan_.replace;
}

// The done state after a written file; auto quit ends the program here.
void MainWindow::finishDone(const RunResult& result, bool stopCameTooLate) {
    const std::string source = displayPath(fileName(userFile_, kPathSeparator));
    if (stopCameTooLate) {
        services_.showMessage(
            {messages::tooLateToStop(displayPath(fileName(result.output, kPathSeparator))),
             MsgIcon::Information, kTitle});
        closeAfterWork_ = false;
    }
    for (const std::string& text : job::warnings(result, source)) {
        services_.showMessage({text, MsgIcon::Warning, kTitle});
    }
    cancelButton_->setEnabled(true);
    cancelButton_->setText(QStringLiteral("&Done"));
    cancelButton_->setFocus(Qt::OtherFocusReason);
    password1Label_->setEnabled(false);
    password2Label_->setEnabled(false);
    password1_->setEnabled(false);
    password2_->setEnabled(false);
    if (checkValue_->value() == 1 && !stopCameTooLate) {
        cancelOrClose();
    }
}

// After a failure the window offers one thing, leaving: the message said to
// exit, and the password boxes could start nothing.
void MainWindow::finishFailed() {
    cancelButton_->setEnabled(true);
    cancelButton_->setFocus(Qt::OtherFocusReason);
    password1Label_->setEnabled(false);
    password2Label_->setEnabled(false);
    password1_->setEnabled(false);
    password2_->setEnabled(false);
}

void MainWindow::finishCancelled(QPushButton* action) {
    cancelled_ = false;
    action->setEnabled(true);
    cancelButton_->setEnabled(true);
    password1_->setFocus(Qt::OtherFocusReason);
    if (closeAfterWork_) {
        cancelOrClose();
    }
}

void MainWindow::cancelWork() {
    task_.requestCancel();
}

void MainWindow::setProgressTiming(std::chrono::milliseconds delay,
                                   std::chrono::milliseconds tick) {
    progressDelay_ = delay;
    progressTick_ = tick;
}

void MainWindow::cancelOrClose() {
    if (task_.running()) {
        cancelWork();
        return;
    }
    close();
    endProgram();
}

void MainWindow::showAbout() {
    AboutDialog about(services_, this);
    about.exec();
}

void MainWindow::updateAutoQuitTip() {
    if (encryptButton_->isEnabled()) {
        autoQuit_->setToolTip(QStringLiteral(" Enables quick exit after encryption "));
    }
    if (decryptButton_->isEnabled()) {
        autoQuit_->setToolTip(QStringLiteral(" Enables quick exit after decryption "));
    }
}

void MainWindow::markPasswordLabel(const QWidget* box, bool focused) {
    QLabel* label = nullptr;
    if (box == password1_) {
        label = password1Label_;
    } else if (box == password2_) {
        label = password2Label_;
    } else {
        return;
    }
    setForeColor(label, focused ? kFocusLabelColour : palette().color(QPalette::ButtonText));
}

void MainWindow::saveSettings() {
    settings_.save(*position_, *checkValue_);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // A focused button takes Enter itself; otherwise the mode's button.
        auto* focusedButton = qobject_cast<QPushButton*>(focusWidget());
        QPushButton* target = focusedButton != nullptr ? focusedButton : defaultButton_;
        if (target != nullptr && target->isEnabled()) {
            target->click();
        }
        event->accept();
        return;
    }
    if (key == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (cancelButton_->isEnabled()) {
            cancelButton_->click();
        }
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Closing in the middle of a run would end the program under it: the
    // run is cancelled, and the window closes once it has stopped.
    if (task_.running()) {
        closeAfterWork_ = true;
        cancelWork();
        event->ignore();
        return;
    }
    saveSettings();
    event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::FocusIn:
            focusMoved(static_cast<QWidget*>(watched));
            break;
        case QEvent::FocusOut: {
            // Another window taking the keyboard (a message box) moves no
            // focus inside this one.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
                watched == focused_) {
                focusMoved(nullptr);
            }
            break;
        }
        case QEvent::MouseMove:
            if (watched == autoQuit_) {
                updateAutoQuitTip();
            }
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

// Follows the focus between controls for the password labels, also moves
// made while the window was inactive (which Qt reports only as the new
// control's focus-in once the window is active again).
void MainWindow::focusMoved(QWidget* to) {
    if (to == focused_) {
        markPasswordLabel(to, true);
        return;
    }
    markPasswordLabel(focused_, false);
    focused_ = to;
    markPasswordLabel(to, true);
}

void MainWindow::setDefaultButton(QPushButton* button) {
    for (QPushButton* each : {encryptButton_, decryptButton_, cancelButton_, aboutButton_}) {
        each->setDefault(each == button);
    }
    defaultButton_ = button;
}

bool MainWindow::guarded(std::string_view label, bool accessBox,
                         const std::function<void()>& step) {
    try {
        step();
        return true;
    } catch (const RuntimeError& error) {
        report(error, label, accessBox);
    } catch (const std::bad_alloc&) {
        report(err::outOfMemory(), label, accessBox);
    } catch (const std::exception& error) {
        report(RuntimeError(51, error.what()), label, accessBox);
    }
    return false;
}

void MainWindow::report(const RuntimeError& error, std::string_view label, bool accessBox) {
    if (error.number() == err::kCancelled) {
        cancelled_ = true;
    } else {
        reportFailure(error, label, accessBox);
    }
    if (!error.leftover().empty()) {
        services_.showMessage(
            {messages::scratchLeft(displayPath(error.leftover())), MsgIcon::Warning, kTitle});
    }
}

void MainWindow::reportFailure(const RuntimeError& error, std::string_view label, bool accessBox) {
    const std::optional<std::string> expected =
        messages::expectedFailure(error, displayPath(fileName(userFile_, kPathSeparator)),
                                  displayPath(fileName(plan_.output, kPathSeparator)));
    if (expected) {
        services_.showMessage({*expected, MsgIcon::Warning, kTitle});
        return;
    }
    if (accessBox && error.number() == err::kAccess) {
        services_.showMessage({kAccessDenied, MsgIcon::Warning, "Access denied"});
        return;
    }
    services_.showMessage(
        {errorReportText(error.number(), error.description(), label), MsgIcon::None, "Error"});
}

void MainWindow::endProgram() {
    ended_ = true;
    services_.endNow();
}

}  // namespace grize
