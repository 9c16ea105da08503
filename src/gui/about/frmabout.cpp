#include "gui/about/frmabout.h"

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
#include "gui/services/Pictures.h"
#include "gui/services/Twips.h"
#include "gui/services/WindowServices.h"
#include "platform/desktop/DesktopServices.h"

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

QFont aboutFont(double points, bool bold = false) {
    // The platform's own window font (MS Sans Serif on Windows).
    QFont font(QString::fromLatin1(windowFontFamily()));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

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

frmabout::frmabout(WindowServices& services, QWidget* owner)
    : QDialog(owner), services_(services), owner_(owner) {
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(px(3300), px(4395));
    setFont(aboutFont(8));

    lblprogtitle = label(this, "lblprogtitle", 345, 3675, 330);
    lblprogtitle->setFont(aboutFont(13.5));
    lblversion = label(this, "lblversion", 675, 3675, 195);
    lblversion->setFont(aboutFont(9.75, true));
    lblcopyright = label(this, "lblcopyright", 930, 795, 195);
    lblcopyright2 = label(this, "lblcopyright2", 1140, 2580, 240, QStringLiteral("Ashgrove"));

    // Two etched separators: a dark line with a wider highlight under it.
    const QColor dark(0x40, 0x00, 0x40);
    const QColor highlight = palette().color(QPalette::Light);
    Line2 = line(this, "Line2", 1560, 2, highlight);
    Line1 = line(this, "Line1", 1545, 1, dark);
    Line5 = line(this, "Line5", 1545, 1, dark);
    Line3 = line(this, "Line3", 2430, 2, highlight);
    Line4 = line(this, "Line4", 2415, 1, dark);

    lbltext3 = label(this, "lbltext3", 2085, 1110, 195, QStringLiteral("Play and enjoy!"));
    lbltext4 =
        label(this, "lbltext4", 2700, 2265, 195, QStringLiteral("For updates and other freeware,"));
    lbltext5 = label(this, "lbltext5", 2895, 1545, 195, QStringLiteral("Visit my homepage at"));
    lblurl = label(this, "lblurl", 3105, 1740, 195, homepage());
    for (QLabel* control : {lbltext3, lbltext4, lbltext5, lblurl}) {
        autoSize(control);
    }
    QPalette urlPalette = lblurl->palette();
    urlPalette.setColor(QPalette::WindowText, QColor(0, 0, 192));
    lblurl->setPalette(urlPalette);
    lblurl->setMouseTracking(true);
    lblurl->installEventFilter(this);

    cmdok = new QPushButton(QStringLiteral("&Ok"), this);
    cmdok->setObjectName(QStringLiteral("cmdok"));
    cmdok->setGeometry(px(360), px(3600), px(1590), px(390));
    connect(cmdok, &QPushButton::clicked, this, &frmabout::cmdok_Click);

    // Holds the link's pointer picture; all but its top row lies below the
    // client area.
    imghand = new QLabel(this);
    imghand->setObjectName(QStringLiteral("imghand"));
    imghand->setGeometry(px(1605), px(4380), px(480), px(480));
    imghand->setPixmap(sharpPicture(kHand).pixmap(QSize(32, 32), devicePixelRatioF()));

    cmdok->setFocus(Qt::OtherFocusReason);
    Form_Load();
}

QString frmabout::homepage() {
    return QString::fromUtf8(about::kHomepage);
}

void frmabout::Form_Load() {
    lblprogtitle->setText(QStringLiteral("Grize"));
    lblversion->setText(QStringLiteral("Version %1.%2.%3")
                            .arg(about::kVersionMajor)
                            .arg(about::kVersionMinor)
                            .arg(about::kVersionRevision));
    lblcopyright->setText(QStringLiteral("\u00A9 %1").arg(services_.CurrentYear()));
    autoSize(lblcopyright);
}

void frmabout::cmdok_Click() {
    accept();
}

void frmabout::lblurl_Click() {
    if (owner_ != nullptr) {
        owner_->setWindowState(owner_->windowState() | Qt::WindowMinimized);
    }
    services_.OpenHomepage(homepage().toStdString());
    accept();
}

void frmabout::showEvent(QShowEvent* event) {
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

void frmabout::lblurl_MouseMove() {
    lblurl->setCursor(QCursor(imghand->pixmap(), kHandHotX, kHandHotY));
}

void frmabout::keyPressEvent(QKeyEvent* event) {
    // Only the button, the link and the close box close this window.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool frmabout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblurl) {
        switch (event->type()) {
            case QEvent::MouseMove:
                lblurl_MouseMove();
                break;
            case QEvent::MouseButtonPress:
                urlPressed_ = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
                break;
            case QEvent::MouseButtonRelease: {
                const auto* mouse = static_cast<QMouseEvent*>(event);
                const bool click = urlPressed_ && mouse->button() == Qt::LeftButton &&
                                   lblurl->rect().contains(mouse->position().toPoint());
                urlPressed_ = false;
                if (click) {
                    lblurl_Click();
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
