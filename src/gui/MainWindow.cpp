#include "gui/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QScreen>
#include <QTimer>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "gui/Padlocks.h"
#include "gui/about/AboutDialog.h"
#include "gui/desktop/DesktopServices.h"
#include "gui/desktop/WindowFont.h"
#include "gui/services/Pictures.h"
#include "gui/services/Twips.h"
#include "gui/services/WindowServices.h"

namespace grize {

namespace {

const QColor kFocusLabelColour(0, 0, 192);

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

QString toQt(const std::string& text) {
    return QString::fromStdString(text);
}

// The window's layout in twips: each control by its object name, and where
// it sits. The labels then size themselves to their text.
struct Placement {
    const char* name;
    int left;
    int top;
    int width;
    int height;
};
struct Size {
    int width;
    int height;
};
constexpr Size kWindowSize{3540, 2355};
constexpr Placement kLayout[] = {
    {"txtPassword1", 1935, 150, 1365, 285},
    {"txtPassword2", 1935, 495, 1365, 285},
    {"cmdEncrypt", 225, 885, 765, 615},
    {"cmdDecrypt", 1020, 885, 765, 615},
    {"cmdCancel", 1935, 1185, 1365, 315},
    {"cmdAbout", 1935, 870, 1365, 300},
    {"Check1", 240, 1590, 1560, 195},
    // Below the other check box, shown for encryption only.
    {"chkStrong", 240, 1830, 3060, 195},
    {"lblPassword1", 225, 210, 1140, 195},
    {"lblPassword2", 225, 510, 1575, 195},
    // In the right column's free row beside the check box.
    {"prgWork", 1935, 1590, 1365, 195},
    // A status line across the window's foot: what a run wrote, and in
    // front of that for a while, the last note.
    {"lblWritten", 240, 2070, 3060, 195},
    {"lblNote", 240, 2070, 3060, 195},
};

// Names `control` and puts it where the layout has it.
template <class Control>
Control* placed(Control* control, const char* name) {
    for (const Placement& at : kLayout) {
        if (std::strcmp(at.name, name) == 0) {
            control->setObjectName(QLatin1String(name));
            control->setGeometry(px(at.left), px(at.top), px(at.width), px(at.height));
            return control;
        }
    }
    throw std::logic_error(std::string("no place in the layout for ") + name);
}

constexpr int kProgressSteps = 1000;
// A note stays in front of the bar or the written line this long.
constexpr int kNoteShownMs = 6000;

// A status line: elided in the middle to fit, whole in its tip
// and for screen readers.
void setLine(QLabel& label, const QString& text) {
    label.setText(label.fontMetrics().elidedText(text, Qt::ElideMiddle, label.width()));
    label.setToolTip(text);
    label.setAccessibleName(text);
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
                throw RuntimeError(ErrorKind::InvalidProperty);
        }
    }

  private:
    QCheckBox& box_;
};

// While an operation works, the window's controls take no input at all:
// keys, clicks and shortcuts are dropped rather than queued, so none of them
// acts once the work has ended, and the working state holds throughout.
// While a file operation runs the window takes no input, but for stopping
// it: Cancel still clicks, and Esc cancels.
class MainWindow::InputBlocker : public QObject {
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

// The bar appears only for work that lasts long enough to wonder about, and
// then follows the task's progress.
class MainWindow::ProgressDisplay {
  public:
    ProgressDisplay(QProgressBar& bar, const BackgroundTask& task, std::chrono::milliseconds delay,
                    std::chrono::milliseconds tick)
        : bar_(bar) {
        clock_.start();
        QObject::connect(&tick_, &QTimer::timeout, &bar_, [this, &task, delay] {
            const std::uint64_t of = task.total();
            if (clock_.elapsed() < delay.count() || of == 0) {
                return;
            }
            bar_.setValue(static_cast<int>(task.done() * kProgressSteps / of));
            bar_.show();
        });
        tick_.start(tick);
    }
    ~ProgressDisplay() {
        tick_.stop();
        bar_.hide();
        bar_.reset();
    }
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;

  private:
    QProgressBar& bar_;
    QElapsedTimer clock_;
    QTimer tick_;
};

MainWindow::MainWindow(WindowServices& services, WindowSettings& settings, FileSystem& fileSystem,
                       QWidget* parent)
    : QWidget(parent), services_(services) {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(px(kWindowSize.width), px(kWindowSize.height));
    setWindowTitle(QStringLiteral("Grize "));
    const QIcon closed = sharpPicture(padlocks::kClosed);
    setWindowIcon(closed);
    setFont(windowFont());
    // Centred where the user is looking, on the screen under the pointer; a
    // stored position moves it on from here.
    if (QScreen* screen = QGuiApplication::screenAt(QCursor::pos())) {
        move(screen->availableGeometry().center() - rect().center());
    }

    password1_ = placed(new QLineEdit(this), "txtPassword1");
    password2_ = placed(new QLineEdit(this), "txtPassword2");
    encryptButton_ = placed(new PictureButton(this), "cmdEncrypt");
    decryptButton_ = placed(new PictureButton(this), "cmdDecrypt");
    cancelButton_ = placed(new QPushButton(QStringLiteral("&Cancel"), this), "cmdCancel");
    aboutButton_ = placed(new QPushButton(QStringLiteral("&About"), this), "cmdAbout");
    autoQuit_ = placed(new QCheckBox(QStringLiteral("Auto quit window"), this), "Check1");
    strong_ = placed(new QCheckBox(QStringLiteral("Strong encryption (age)"), this), "chkStrong");
    strong_->setToolTip(
        QStringLiteral(" Checked: the age format, which protects the content under the password; "
                       "unchecked: a .gri file, which only keeps it out of casual sight "));
    password1Label_ = placed(new QLabel(QStringLiteral("Enter password:"), this), "lblPassword1");
    password2Label_ =
        placed(new QLabel(QStringLiteral("Enter password again:"), this), "lblPassword2");
    progress_ = placed(new QProgressBar(this), "prgWork");
    progress_->setRange(0, kProgressSteps);
    progress_->setFocusPolicy(Qt::NoFocus);
    progress_->hide();
    written_ = placed(new QLabel(this), "lblWritten");
    written_->hide();
    note_ = placed(new QLabel(this), "lblNote");
    // Covering the written line while it is new.
    note_->setAutoFillBackground(true);
    note_->hide();
    noteShown_.setSingleShot(true);
    noteShown_.setInterval(kNoteShownMs);
    connect(&noteShown_, &QTimer::timeout, this, [this] {
        if (!written_->isHidden()) {
            note_->hide();
        }
    });

    // The labels read "Enter password:"; screen readers get what the box is.
    password1Label_->setBuddy(password1_);
    password2Label_->setBuddy(password2_);
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
    setTabOrder(autoQuit_, strong_);
    for (QWidget* control :
         {static_cast<QWidget*>(encryptButton_), static_cast<QWidget*>(decryptButton_),
          static_cast<QWidget*>(cancelButton_), static_cast<QWidget*>(aboutButton_),
          static_cast<QWidget*>(autoQuit_), static_cast<QWidget*>(strong_)}) {
        control->installEventFilter(this);
    }

    connect(encryptButton_, &QPushButton::clicked, this, &MainWindow::encrypt);
    connect(decryptButton_, &QPushButton::clicked, this, &MainWindow::decrypt);
    connect(cancelButton_, &QPushButton::clicked, this, &MainWindow::cancelOrClose);
    connect(aboutButton_, &QPushButton::clicked, this, &MainWindow::showAbout);

    position_ = std::make_unique<Position>(*this);
    checkValue_ = std::make_unique<CheckValue>(*autoQuit_);
    strongValue_ = std::make_unique<CheckValue>(*strong_);
    MainView& view = *this;
    controller_ = std::make_unique<MainController>(view, services, settings, fileSystem);
}

MainWindow::~MainWindow() = default;

bool MainWindow::start() {
    if (!controller_->start()) {
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

void MainWindow::checkAll() {
    controller_->checkAll();
}

bool MainWindow::working() const {
    return controller_->working();
}

const std::string& MainWindow::userFile() const {
    return controller_->userFile();
}

void MainWindow::setProgressTiming(std::chrono::milliseconds delay,
                                   std::chrono::milliseconds tick) {
    progressDelay_ = delay;
    progressTick_ = tick;
}

void MainWindow::selectFocusedText() {
    // The control with the focus in this window, also while a message box
    // that just closed still holds the keyboard.
    if (auto* box = qobject_cast<QLineEdit*>(focusWidget())) {
        box->setSelection(0, static_cast<int>(box->text().size()));
    }
}

void MainWindow::encrypt() {
    controller_->encrypt();
}

void MainWindow::decrypt() {
    controller_->decrypt();
}

void MainWindow::cancelOrClose() {
    controller_->cancelOrClose();
}

void MainWindow::showState(WindowState state, Operation mode) {
    switch (state) {
        case WindowState::Ready:
            showMode(mode);
            break;
        case WindowState::Working:
            setCursor(Qt::WaitCursor);
            encryptButton_->setEnabled(false);
            decryptButton_->setEnabled(false);
            // Cancel stays enabled: while working it stops the run.
            repaint();
            break;
        case WindowState::Retry:
            password1_->setFocus(Qt::OtherFocusReason);
            selectFocusedText();
            password1Label_->setEnabled(true);
            decryptButton_->setEnabled(true);
            // Another attempt or giving up: both must stay possible.
            cancelButton_->setEnabled(true);
            break;
        case WindowState::Done:
            cancelButton_->setEnabled(true);
            cancelButton_->setText(QStringLiteral("&Done"));
            offerLeaving();
            break;
        case WindowState::Failed:
            cancelButton_->setEnabled(true);
            offerLeaving();
            break;
        case WindowState::Cancelled:
            (mode == Operation::Encrypt ? encryptButton_ : decryptButton_)->setEnabled(true);
            cancelButton_->setEnabled(true);
            password1_->setFocus(Qt::OtherFocusReason);
            break;
    }
}

void MainWindow::showMode(Operation mode) {
    if (mode == Operation::Decrypt) {
        encryptButton_->setEnabled(false);
        decryptButton_->setEnabled(true);
        setDefaultButton(decryptButton_);
        password2Label_->setEnabled(false);
        password2_->setEnabled(false);
        password2_->clear();
        strong_->hide();
    } else {
        strong_->show();
        encryptButton_->setEnabled(true);
        setDefaultButton(encryptButton_);
        decryptButton_->setEnabled(false);
        password2Label_->setEnabled(true);
        password2_->setEnabled(true);
    }
    password1Label_->setEnabled(true);
    password1_->setEnabled(true);
}

void MainWindow::offerLeaving() {
    cancelButton_->setFocus(Qt::OtherFocusReason);
    password1Label_->setEnabled(false);
    password2Label_->setEnabled(false);
    password1_->setEnabled(false);
    password2_->setEnabled(false);
}

void MainWindow::showTitle(const std::string& title) {
    setWindowTitle(toQt(title));
}

void MainWindow::showWritten(const std::string& name) {
    setLine(*written_, QStringLiteral("Wrote ") + toQt(name));
    written_->show();
}

void MainWindow::showPointer() {
    unsetCursor();
}

void MainWindow::askPasswordAgain() {
    password2_->setFocus(Qt::OtherFocusReason);
    selectFocusedText();
}

void MainWindow::askPasswordFirst() {
    password1_->setFocus(Qt::OtherFocusReason);
}

void MainWindow::beginWork(const BackgroundTask& task) {
    // A run makes an older note stale; one that has just come stays a while.
    if (!noteShown_.isActive()) {
        note_->hide();
    }
    progressDisplay_ =
        std::make_unique<ProgressDisplay>(*progress_, task, progressDelay_, progressTick_);
    blocker_ = std::make_unique<InputBlocker>(*this, *cancelButton_,
                                              [this] { controller_->cancelWork(); });
}

void MainWindow::endWork() {
    progressDisplay_.reset();
    blocker_.reset();
}

bool MainWindow::passwordsMatch() const {
    return password1_->text() == password2_->text();
}

std::u32string MainWindow::password() const {
    return password1_->text().toStdU32String();
}

PositionTarget& MainWindow::position() {
    return *position_;
}

CheckBoxTarget& MainWindow::autoQuit() {
    return *checkValue_;
}

CheckBoxTarget& MainWindow::strong() {
    return *strongValue_;
}

void MainWindow::closeWindow() {
    close();
}

void MainWindow::bringForward() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
    // Where the window manager refuses the activation, the taskbar still shows it.
    QApplication::alert(this);
}

void MainWindow::showNote(const std::string& note) {
    setLine(*note_, toQt(note));
    note_->show();
    note_->raise();
    noteShown_.start();
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

void MainWindow::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // Typed the first password: the second box is next, not the button.
        if (focusWidget() == password1_ && password2_->isEnabled() &&
            password2_->text().isEmpty()) {
            password2_->setFocus(Qt::TabFocusReason);
            event->accept();
            return;
        }
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
    if (!controller_->mayClose()) {
        event->ignore();
        return;
    }
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

}  // namespace grize
