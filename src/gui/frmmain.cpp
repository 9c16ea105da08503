#include "gui/frmmain.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QTimer>
#include <atomic>
#include <exception>
#include <limits>
#include <new>
#include <thread>

#include "core/files/FileOperations.h"
#include "core/files/TargetChecks.h"
#include "core/format/PasswordBytes.h"
#include "core/format/SaltSeed.h"
#include "core/job/PathHelpers.h"
#include "core/job/RunMessages.h"
#include "errors/RuntimeError.h"
#include "gui/ErrorReport.h"
#include "gui/Padlocks.h"
#include "gui/about/frmabout.h"
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
const char* const kWrongPassword = "Access denied: password is incorrect!";
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
    if (className == QLatin1String(frmmain::staticMetaObject.className()) &&
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

// The progress bar appears only for work that lasts long enough to wonder
// about; shorter runs would only flicker.
constexpr int kProgressDelayMs = 500;
constexpr int kProgressTickMs = 100;
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
class frmmain::Position final : public PositionTarget {
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

// Check1's value: 0 unchecked, 1 checked, 2 greyed; nothing else.
class frmmain::CheckValue final : public CheckBoxTarget {
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

frmmain::frmmain(WindowServices& services, WindowSettings& settings, FileSystem& fileSystem,
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

    txtPassword1 = new QLineEdit(this);
    txtPassword2 = new QLineEdit(this);
    cmdEncrypt = new PictureButton(this);
    cmdDecrypt = new PictureButton(this);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdAbout = new QPushButton(QStringLiteral("&About"), this);
    Check1 = new QCheckBox(QStringLiteral("Auto quit window"), this);
    lblPassword1 = new QLabel(QStringLiteral("Enter password:"), this);
    lblPassword2 = new QLabel(QStringLiteral("Enter password again:"), this);
    prgWork = new QProgressBar(this);

    txtPassword1->setObjectName(QStringLiteral("txtPassword1"));
    txtPassword2->setObjectName(QStringLiteral("txtPassword2"));
    cmdEncrypt->setObjectName(QStringLiteral("cmdEncrypt"));
    cmdDecrypt->setObjectName(QStringLiteral("cmdDecrypt"));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdAbout->setObjectName(QStringLiteral("cmdAbout"));
    Check1->setObjectName(QStringLiteral("Check1"));
    lblPassword1->setObjectName(QStringLiteral("lblPassword1"));
    lblPassword2->setObjectName(QStringLiteral("lblPassword2"));
    prgWork->setObjectName(QStringLiteral("prgWork"));

    txtPassword1->setGeometry(px(1935), px(150), px(1365), px(285));
    txtPassword2->setGeometry(px(1935), px(495), px(1365), px(285));
    cmdEncrypt->setGeometry(px(225), px(885), px(765), px(615));
    cmdDecrypt->setGeometry(px(1020), px(885), px(765), px(615));
    cmdCancel->setGeometry(px(1935), px(1185), px(1365), px(315));
    cmdAbout->setGeometry(px(1935), px(870), px(1365), px(300));
    Check1->setGeometry(px(240), px(1590), px(1560), px(195));
    lblPassword1->setGeometry(px(225), px(210), px(1140), px(195));
    lblPassword2->setGeometry(px(225), px(510), px(1575), px(195));
    // In the right column's free row beside the check box.
    prgWork->setGeometry(px(1935), px(1590), px(1365), px(195));
    prgWork->setRange(0, kProgressSteps);
    prgWork->setFocusPolicy(Qt::NoFocus);
    prgWork->hide();

    static const bool accessibleWindow = [] {
        QAccessible::installFactory(windowAccessible);
        return true;
    }();
    (void)accessibleWindow;
    // The labels read "Enter password:"; screen readers get what the box is.
    txtPassword1->setAccessibleName(QStringLiteral("Password"));
    txtPassword2->setAccessibleName(QStringLiteral("Password again"));
    cmdEncrypt->setAccessibleName(QStringLiteral("Encrypt"));
    cmdDecrypt->setAccessibleName(QStringLiteral("Decrypt"));
    prgWork->setAccessibleName(QStringLiteral("Progress"));

    auto* style = new WindowStyle;
    style->setParent(this);
    for (QLineEdit* box : {txtPassword1, txtPassword2}) {
        box->setStyle(style);
        box->setEchoMode(QLineEdit::Password);
        box->setMaxLength(std::numeric_limits<int>::max());
        box->installEventFilter(this);
    }

    setPictures(cmdEncrypt, closed, padlocks::kClosedDark);
    setPictures(cmdDecrypt, sharpPicture(padlocks::kOpen), padlocks::kOpenDark);
    cmdEncrypt->setToolTip(QStringLiteral(" Encrypt "));
    cmdDecrypt->setToolTip(QStringLiteral(" Decrypt "));

    // Labels size themselves to their text.
    for (QLabel* label : {lblPassword1, lblPassword2}) {
        label->resize(label->sizeHint().width(), label->height());
        setForeColor(label, label->palette().color(QPalette::ButtonText));
    }

    Check1->setMouseTracking(true);
    Check1->installEventFilter(this);
    // A greyed box restored from the settings becomes a plain two-state box
    // once the user clicks it.
    connect(Check1, &QCheckBox::clicked, this, [this] { Check1->setTristate(false); });

    setTabOrder(txtPassword1, txtPassword2);
    setTabOrder(txtPassword2, cmdEncrypt);
    setTabOrder(cmdEncrypt, cmdDecrypt);
    setTabOrder(cmdDecrypt, cmdCancel);
    setTabOrder(cmdCancel, cmdAbout);
    setTabOrder(cmdAbout, Check1);
    for (QWidget* control : {static_cast<QWidget*>(cmdEncrypt), static_cast<QWidget*>(cmdDecrypt),
                             static_cast<QWidget*>(cmdCancel), static_cast<QWidget*>(cmdAbout),
                             static_cast<QWidget*>(Check1)}) {
        control->installEventFilter(this);
    }

    connect(cmdEncrypt, &QPushButton::clicked, this, &frmmain::cmdEncrypt_Click);
    connect(cmdDecrypt, &QPushButton::clicked, this, &frmmain::cmdDecrypt_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmmain::cmdCancel_Click);
    connect(cmdAbout, &QPushButton::clicked, this, &frmmain::cmdAbout_Click);

    position_ = std::make_unique<Position>(*this);
    checkValue_ = std::make_unique<CheckValue>(*Check1);
}

frmmain::~frmmain() = default;

bool frmmain::Start() {
    Form_Initialize();
    if (ended_) {
        return false;
    }
    Form_Load();
    if (ended_) {
        return false;
    }
    for (QWidget* control : {static_cast<QWidget*>(txtPassword1),
                             static_cast<QWidget*>(txtPassword2), static_cast<QWidget*>(cmdEncrypt),
                             static_cast<QWidget*>(cmdDecrypt), static_cast<QWidget*>(cmdCancel),
                             static_cast<QWidget*>(cmdAbout), static_cast<QWidget*>(Check1)}) {
        if (control->isEnabled()) {
            control->setFocus(Qt::OtherFocusReason);
            break;
        }
    }
    show();
    return true;
}

void frmmain::Form_Initialize() {
    if (services_.PrevInstance()) {
        services_.MsgBox({"Grize is already running...", MsgIcon::Information, "Info"});
        endProgram();
    }
}

void frmmain::Form_Load() {
    guarded("Sub Form_Load", false, [this] {
        settings_.loadPosition(*position_);
        settings_.loadAutoquit(*checkValue_);
        userFile = services_.CommandLine();
        checkAll();
    });
}

void frmmain::checkAll() {
    const bool checked = guarded("Sub checkAll", false, [this] {
        const TargetCheck result = checkTarget(userFile, fileSystem_);
        if (result != TargetCheck::Ok) {
            services_.MsgBox(
                {targetCheckMessage(result, displayPath(userFile)), MsgIcon::Warning, kTitle});
            endProgram();
            return;
        }
        if (isEncryptedFile(userFile, fileSystem_)) {
            cmdEncrypt->setEnabled(false);
            cmdDecrypt->setEnabled(true);
            setDefaultButton(cmdDecrypt);
            lblPassword2->setEnabled(false);
            txtPassword2->setEnabled(false);
            txtPassword2->clear();
        } else {
            cmdEncrypt->setEnabled(true);
            setDefaultButton(cmdEncrypt);
            cmdDecrypt->setEnabled(false);
            lblPassword2->setEnabled(true);
            txtPassword2->setEnabled(true);
        }
        lblPassword1->setEnabled(true);
        txtPassword1->setEnabled(true);
        setWindowTitle(toQt("Grize / " + displayPath(GetFileName(userFile, kPathSeparator))));
    });
    // A target that cannot even be looked at leaves no mode to offer: end as
    // the refused targets do, rather than show a window half set up.
    if (!checked) {
        endProgram();
    }
}

void frmmain::SetSelected() {
    // The control with the focus in this window, also while a message box
    // that just closed still holds the keyboard.
    if (auto* box = qobject_cast<QLineEdit*>(focusWidget())) {
        box->setSelection(0, static_cast<int>(box->text().size()));
    }
}

void frmmain::cmdEncrypt_Click() {
    if (txtPassword1->text() != txtPassword2->text()) {
        services_.MsgBox({kPasswordsDiffer, MsgIcon::Warning, kTitle});
        txtPassword2->setFocus(Qt::OtherFocusReason);
        SetSelected();
        return;
    }
    if (!confirmOutput(Operation::Encrypt)) {
        return;
    }
    setCursor(Qt::WaitCursor);
    cmdEncrypt->setEnabled(false);
    cmdDecrypt->setEnabled(false);
    Encrypt();
    if (!ended_) {
        unsetCursor();
    }
}

void frmmain::Encrypt() {
    // Cancel stays enabled: while working it stops the run.
    repaint();
    std::optional<RunResult> result;
    guarded("Sub Encrypt", true, [this, &result] {
        const std::string password = passwordForEncryption(txtPassword1->text().toStdU32String());
        const std::string seed = saltSeedNow();
        result = runWork([&](const ProgressFn& progress) {
            RunOptions options = runOptions_;
            options.progress = progress;
            options.cancel = &cancelRequested_;
            return encryptFile(
                userFile, password, seed, [this] { return output_; }, options, fileSystem_);
        });
    });
    if (result) {
        finishDone(*result);
    } else if (cancelled_) {
        finishCancelled(cmdEncrypt);
    } else {
        finishFailed();
    }
}

void frmmain::cmdDecrypt_Click() {
    if (!confirmOutput(Operation::Decrypt)) {
        return;
    }
    setCursor(Qt::WaitCursor);
    cmdEncrypt->setEnabled(false);
    cmdDecrypt->setEnabled(false);
    Decrypt();
    if (!ended_) {
        unsetCursor();
    }
}

void frmmain::Decrypt() {
    repaint();
    std::optional<RunResult> result;
    guarded("Sub Decrypt", true, [this, &result] {
        const std::vector<std::string> passwords =
            passwordsForDecryption(txtPassword1->text().toStdU32String());
        result = runWork([&](const ProgressFn& progress) {
            RunOptions options = runOptions_;
            options.progress = progress;
            options.cancel = &cancelRequested_;
            return decryptFile(
                userFile, passwords, [this] { return output_; }, options, fileSystem_);
        });
    });
    if (!result) {
        if (cancelled_) {
            finishCancelled(cmdDecrypt);
        } else {
            finishFailed();
        }
        return;
    }
    if (result->wrongPassword) {
        services_.MsgBox({kWrongPassword, MsgIcon::Warning, kTitle});
        txtPassword1->setFocus(Qt::OtherFocusReason);
        SetSelected();
        lblPassword1->setEnabled(true);
        cmdDecrypt->setEnabled(true);
        // Another attempt or giving up: both must stay possible.
        cmdCancel->setEnabled(true);
        return;
    }
    finishDone(*result);
}

RunResult frmmain::runWork(const std::function<RunResult(const ProgressFn&)>& work) {
    std::atomic<std::uint64_t> done{0};
    std::atomic<std::uint64_t> total{0};
    const ProgressFn progress = [&done, &total](std::uint64_t bytes, std::uint64_t of) {
        total.store(of, std::memory_order_relaxed);
        done.store(bytes, std::memory_order_relaxed);
    };

    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    connect(&tick, &QTimer::timeout, this, [&] {
        const std::uint64_t of = total.load(std::memory_order_relaxed);
        if (clock.elapsed() < kProgressDelayMs || of == 0) {
            return;
        }
        prgWork->setValue(
            static_cast<int>(done.load(std::memory_order_relaxed) * kProgressSteps / of));
        prgWork->show();
    });
    tick.start(kProgressTickMs);

    std::optional<RunResult> result;
    std::exception_ptr failure;
    QEventLoop loop;
    const InputBlocker blocker(*this, *cmdCancel, [this] { cancelWork(); });
    cancelRequested_ = false;
    cancelled_ = false;
    working_ = true;
    // The worker's results are complete before it posts the quit, and it is
    // joined before they are read.
    std::thread worker([&] {
        try {
            result = work(progress);
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    working_ = false;
    tick.stop();
    prgWork->hide();
    prgWork->reset();
    if (failure) {
        std::rethrow_exception(failure);
    }
    return *result;
}

bool frmmain::confirmOutput(Operation operation) {
    output_ = outputPath(operation);
    runOptions_ = RunOptions();
    const ExistingOutput existing = probeOutput(userFile, output_, fileSystem_);
    if (existing.state != OutputState::Taken) {
        return true;  // a read-only file or a folder there fails the run itself
    }
    const std::string name = displayPath(GetFileName(output_, kPathSeparator));
    if (!services_.AskYesNo(
            {name + " already exists.\r\nDo you want to replace it?", MsgIcon::Question, kTitle})) {
        return false;
    }
    runOptions_.replace = existing.info;
    return true;
}

// The done state after a written file; auto quit ends the program here.
void frmmain::finishDone(const RunResult& result) {
    const std::string source = displayPath(GetFileName(userFile, kPathSeparator));
    if (result.sourceKept == SourceKept::Changed) {
        services_.MsgBox({source + " changed while Grize was working, so it was kept.",
                          MsgIcon::Warning, kTitle});
    } else if (result.sourceKept == SourceKept::Damaged) {
        services_.MsgBox({source + " looks damaged: the decrypted file may not be what was "
                                   "encrypted.\r\nThe encrypted file was kept.",
                          MsgIcon::Warning, kTitle});
    }
    if (result.otherNames) {
        services_.MsgBox({messages::otherNamesKept(source), MsgIcon::Warning, kTitle});
    }
    cmdCancel->setEnabled(true);
    cmdCancel->setText(QStringLiteral("&Done"));
    cmdCancel->setFocus(Qt::OtherFocusReason);
    lblPassword1->setEnabled(false);
    lblPassword2->setEnabled(false);
    txtPassword1->setEnabled(false);
    txtPassword2->setEnabled(false);
    if (checkValue_->value() == 1) {
        cmdCancel_Click();
    }
}

// After a failure the window offers one thing, leaving: the message said to
// exit, and the password boxes could start nothing.
void frmmain::finishFailed() {
    cmdCancel->setEnabled(true);
    cmdCancel->setFocus(Qt::OtherFocusReason);
    lblPassword1->setEnabled(false);
    lblPassword2->setEnabled(false);
    txtPassword1->setEnabled(false);
    txtPassword2->setEnabled(false);
}

void frmmain::finishCancelled(QPushButton* action) {
    cancelled_ = false;
    action->setEnabled(true);
    cmdCancel->setEnabled(true);
    txtPassword1->setFocus(Qt::OtherFocusReason);
    if (closeAfterWork_) {
        cmdCancel_Click();
    }
}

void frmmain::cancelWork() {
    cancelRequested_ = true;
}

std::string frmmain::outputPath(Operation operation) {
    try {
        return outputPathFor(userFile, operation);
    } catch (const RuntimeError& error) {
        report(error, "Function replaceExtension", false);
        return {};
    }
}

void frmmain::cmdCancel_Click() {
    if (working_) {
        cancelWork();
        return;
    }
    close();
    endProgram();
}

void frmmain::cmdAbout_Click() {
    frmabout about(services_, this);
    about.exec();
}

void frmmain::Check1_MouseMove() {
    if (cmdEncrypt->isEnabled()) {
        Check1->setToolTip(QStringLiteral(" Enables quick exit after encryption "));
    }
    if (cmdDecrypt->isEnabled()) {
        Check1->setToolTip(QStringLiteral(" Enables quick exit after decryption "));
    }
}

void frmmain::txtPassword1_GotFocus() {
    setForeColor(lblPassword1, kFocusLabelColour);
}

void frmmain::txtPassword1_LostFocus() {
    setForeColor(lblPassword1, palette().color(QPalette::ButtonText));
}

void frmmain::txtPassword2_GotFocus() {
    setForeColor(lblPassword2, kFocusLabelColour);
}

void frmmain::txtPassword2_LostFocus() {
    setForeColor(lblPassword2, palette().color(QPalette::ButtonText));
}

void frmmain::Form_QueryUnload() {
    settings_.savePosition(*position_);
    settings_.saveAutoquit(*checkValue_);
}

void frmmain::keyPressEvent(QKeyEvent* event) {
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
        if (cmdCancel->isEnabled()) {
            cmdCancel->click();
        }
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmmain::closeEvent(QCloseEvent* event) {
    // Closing in the middle of a run would end the program under it: the
    // run is cancelled, and the window closes once it has stopped.
    if (working_) {
        closeAfterWork_ = true;
        cancelWork();
        event->ignore();
        return;
    }
    Form_QueryUnload();
    event->accept();
}

bool frmmain::eventFilter(QObject* watched, QEvent* event) {
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
            if (watched == Check1) {
                Check1_MouseMove();
            }
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

// Gives the lost-focus and got-focus handlers the moves between controls,
// also those made while the window was inactive (which Qt reports only as
// the new control's focus-in once the window is active again).
void frmmain::focusMoved(QWidget* to) {
    if (to == focused_) {
        if (to == txtPassword1) {
            txtPassword1_GotFocus();
        } else if (to == txtPassword2) {
            txtPassword2_GotFocus();
        }
        return;
    }
    if (focused_ == txtPassword1) {
        txtPassword1_LostFocus();
    } else if (focused_ == txtPassword2) {
        txtPassword2_LostFocus();
    }
    focused_ = to;
    if (to == txtPassword1) {
        txtPassword1_GotFocus();
    } else if (to == txtPassword2) {
        txtPassword2_GotFocus();
    }
}

void frmmain::setDefaultButton(QPushButton* button) {
    for (QPushButton* each : {cmdEncrypt, cmdDecrypt, cmdCancel, cmdAbout}) {
        each->setDefault(each == button);
    }
    defaultButton_ = button;
}

bool frmmain::guarded(std::string_view label, bool accessBox, const std::function<void()>& step) {
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

void frmmain::report(const RuntimeError& error, std::string_view label, bool accessBox) {
    if (error.number() == err::kCancelled) {
        cancelled_ = true;
        return;  // the user's own wish: nothing to tell
    }
    const std::optional<std::string> expected =
        messages::expectedFailure(error, displayPath(GetFileName(userFile, kPathSeparator)),
                                  displayPath(GetFileName(output_, kPathSeparator)));
    if (expected) {
        services_.MsgBox({*expected, MsgIcon::Warning, kTitle});
        return;
    }
    if (accessBox && error.number() == err::kAccess) {
        services_.MsgBox({kAccessDenied, MsgIcon::Warning, "Access denied"});
        return;
    }
    services_.MsgBox(
        {errorReportText(error.number(), error.description(), label), MsgIcon::None, "Error"});
}

void frmmain::endProgram() {
    ended_ = true;
    services_.EndNow();
}

}  // namespace grize
