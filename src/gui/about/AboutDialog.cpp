#include "gui/about/AboutDialog.h"

#include <QKeyEvent>
#include <QMargins>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <algorithm>
#include <string>

#include "AboutInfo.h"
#include "Version.h"
#include "gui/desktop/DesktopServices.h"
#include "gui/desktop/WindowFont.h"
#include "gui/services/Pictures.h"
#include "gui/services/Twips.h"
#include "gui/services/WindowServices.h"

namespace grize {

namespace {

namespace x1 {
#include "pictures/hand.xpm"
}
namespace x2 {
#include "pictures/hand@2x.xpm"
}
const Picture kHand{x1::hand, x2::hand};

// Where the hand's fingertip is in hand.xpm.
constexpr int kHandHotX = 7;
constexpr int kHandHotY = 0;

QLabel* label(QWidget* parent, const char* name, int top, int width, int height,
              const QString& text = {}) {
    auto* control = new QLabel(text, parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(px(360), px(top), px(width), px(height));
    return control;
}

// A label that grows to fit its text.
void autoSize(QLabel* control) {
    control->resize(control->sizeHint());
}

// A horizontal line from 360 to 2985 twips; `thickness` in pixels.
QFrame* line(QWidget* parent, const char* name, int top, int thickness, const QColor& colour) {
    auto* control = new QFrame(parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setFrameShape(QFrame::NoFrame);
    control->setGeometry(px(360), px(top), px(2985) - px(360), thickness);
    control->setAutoFillBackground(true);
    QPalette palette = control->palette();
    palette.setColor(QPalette::Window, colour);
    control->setPalette(palette);
    return control;
}

}  // namespace

AboutDialog::AboutDialog(WindowServices& services, QWidget* owner)
    : QDialog(owner), services_(services), owner_(owner) {
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(px(3300), px(4395));
    setFont(windowFont(8));

    title_ = label(this, "lblprogtitle", 345, 3675, 330);
    title_->setFont(windowFont(13.5));
    version_ = label(this, "lblversion", 675, 3675, 195);
    version_->setFont(windowFont(9.75, true));
    copyright_ = label(this, "lblcopyright", 930, 795, 195);
    author_ = label(this, "lblcopyright2", 1140, 2580, 240, QStringLiteral("Ashgrove"));

    // Two etched separators: a dark line with a wider highlight under it.
    const QColor dark(0x40, 0x00, 0x40);
    const QColor highlight = palette().color(QPalette::Light);
    line2_ = line(this, "Line2", 1560, 2, highlight);
    line1_ = line(this, "Line1", 1545, 1, dark);
    line5_ = line(this, "Line5", 1545, 1, dark);
    line3_ = line(this, "Line3", 2430, 2, highlight);
    line4_ = line(this, "Line4", 2415, 1, dark);

    playText_ = label(this, "lbltext3", 2085, 1110, 195, QStringLiteral("Play and enjoy!"));
    updatesText_ =
        label(this, "lbltext4", 2700, 2265, 195, QStringLiteral("For updates and other freeware,"));
    visitText_ = label(this, "lbltext5", 2895, 1545, 195, QStringLiteral("Visit my homepage at"));
    link_ = label(this, "lblurl", 3105, 1740, 195, homepage());
    for (QLabel* control : {playText_, updatesText_, visitText_, link_}) {
        autoSize(control);
    }
    QPalette urlPalette = link_->palette();
    urlPalette.setColor(QPalette::WindowText, QColor(0, 0, 192));
    link_->setPalette(urlPalette);
    link_->setMouseTracking(true);
    link_->installEventFilter(this);

    okButton_ = new QPushButton(QStringLiteral("&Ok"), this);
    okButton_->setObjectName(QStringLiteral("cmdok"));
    okButton_->setGeometry(px(360), px(3600), px(1590), px(390));
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);

    // Holds the link's pointer picture; all but its top row lies below the
    // client area.
    hand_ = new QLabel(this);
    hand_->setObjectName(QStringLiteral("imghand"));
    hand_->setGeometry(px(1605), px(4380), px(480), px(480));
    hand_->setPixmap(sharpPicture(kHand).pixmap(QSize(32, 32), devicePixelRatioF()));

    okButton_->setFocus(Qt::OtherFocusReason);
    showVersionAndYear();
}

QString AboutDialog::homepage() {
    return QString::fromUtf8(about::kHomepage);
}

void AboutDialog::showVersionAndYear() {
    title_->setText(QStringLiteral("Grize"));
    version_->setText(QStringLiteral("Version %1.%2.%3")
                          .arg(version::kMajor)
                          .arg(version::kMinor)
                          .arg(version::kPatch));
    copyright_->setText(QStringLiteral("\u00A9 %1").arg(services_.currentYear()));
    autoSize(copyright_);
}

void AboutDialog::openHomepage() {
    if (owner_ != nullptr) {
        owner_->setWindowState(owner_->windowState() | Qt::WindowMinimized);
    }
    services_.openHomepage(homepage().toStdString());
    accept();
}

void AboutDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Centred over a main window at the screen's edge, the frame of the box
    // can end up off the screen; once the window manager has framed it, pull
    // it back so its title bar can be reached.
    QTimer::singleShot(0, this, [this] {
        const QScreen* where = screen();
        if (where == nullptr) {
            return;
        }
        const QRect area = where->availableGeometry();
        // Until the box is framed its own frame is unknown; the owner's frame
        // tells how much the window manager adds above and to the left.
        QMargins margins(geometry().left() - frameGeometry().left(),
                         geometry().top() - frameGeometry().top(), 0, 0);
        if (owner_ != nullptr) {
            const QRect outer = owner_->frameGeometry();
            const QRect inner = owner_->geometry();
            margins.setLeft(std::max(margins.left(), inner.left() - outer.left()));
            margins.setTop(std::max(margins.top(), inner.top() - outer.top()));
        }
        QPoint shift(0, 0);
        if (geometry().top() - margins.top() < area.top()) {
            shift.setY(area.top() + margins.top() - geometry().top());
        }
        if (geometry().left() - margins.left() < area.left()) {
            shift.setX(area.left() + margins.left() - geometry().left());
        }
        if (!shift.isNull()) {
            move(pos() + shift);
        }
    });
}

void AboutDialog::showHandPointer() {
    link_->setCursor(QCursor(hand_->pixmap(), kHandHotX, kHandHotY));
}

void AboutDialog::keyPressEvent(QKeyEvent* event) {
    // Only the button, the link and the close box close this window.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool AboutDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == link_) {
        switch (event->type()) {
            case QEvent::MouseMove:
                showHandPointer();
                break;
            case QEvent::MouseButtonPress:
                urlPressed_ = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
                break;
            case QEvent::MouseButtonRelease: {
                const auto* mouse = static_cast<QMouseEvent*>(event);
                const bool click = urlPressed_ && mouse->button() == Qt::LeftButton &&
                                   link_->rect().contains(mouse->position().toPoint());
                urlPressed_ = false;
                if (click) {
                    openHomepage();
                }
                break;
            }
            default:
                break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace grize
