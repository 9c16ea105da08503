#include "gui/about/AboutDialog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMargins>
#include <QPixmap>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <algorithm>
#include <string>

#include "AboutInfo.h"
#include "Version.h"
#include "gui/about/LinkLabel.h"
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

QString firstFound(const QStringList& places) {
    for (const QString& place : places) {
        if (QFileInfo::exists(place)) {
            return place;
        }
    }
    return places.isEmpty() ? QString() : places.back();
}

}  // namespace

AboutDialog::AboutDialog(WindowServices& services, QWidget* owner, const QStringList& readmes)
    : QDialog(owner),
      services_(services),
      owner_(owner),
      target_(homepage().isEmpty() ? firstFound(readmes) : homepage()) {
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
    // With no homepage the link is the readme, which is no homepage either.
    visitText_ = label(this, "lbltext5", 2895, 1545, 195,
                       homepage().isEmpty() ? QStringLiteral("Read more in")
                                            : QStringLiteral("Visit my homepage at"));
    link_ = new LinkLabel(homepage().isEmpty() ? QFileInfo(target_).fileName() : target_, this);
    link_->setObjectName(QStringLiteral("lblurl"));
    link_->setGeometry(px(360), px(3105), px(1740), px(195));
    for (QLabel* control : {playText_, updatesText_, visitText_, static_cast<QLabel*>(link_)}) {
        autoSize(control);
    }
    QPalette urlPalette = link_->palette();
    urlPalette.setColor(QPalette::WindowText, QColor(0, 0, 192));
    link_->setPalette(urlPalette);
    link_->setMouseTracking(true);
    link_->installEventFilter(this);
    connect(link_, &LinkLabel::activated, this, &AboutDialog::openLink);

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

QStringList AboutDialog::readmePlaces() {
    QStringList places{QDir(QCoreApplication::applicationDirPath()).filePath("readme.txt")};
    if (const QString installed = QString::fromUtf8(about::kInstalledReadme);
        !installed.isEmpty()) {
        places.append(installed);
    }
    return places;
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

void AboutDialog::openLink() {
    const QString shown = QDir::toNativeSeparators(target_);
    QString failure;
    if (homepage().isEmpty() && !QFileInfo::exists(target_)) {
        // Nothing to hand on: the user would see nothing at all.
        failure = QStringLiteral("Grize could not open %1: the file is missing.").arg(shown);
    } else {
        const Qt::WindowStates before =
            owner_ != nullptr ? owner_->windowState() : Qt::WindowStates(Qt::WindowNoState);
        if (owner_ != nullptr) {
            owner_->setWindowState(before | Qt::WindowMinimized);
        }
        if (!services_.openLink(target_.toStdString())) {
            // Nothing took the main window's place: give it back.
            if (owner_ != nullptr) {
                owner_->setWindowState(before);
            }
            failure = QStringLiteral("Grize could not open %1: no program to show it was found.")
                          .arg(shown);
        }
    }
    if (!failure.isEmpty()) {
        services_.showMessage({failure.toStdString(), MsgIcon::Warning, ""});
    }
    accept();
}

void AboutDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Qt centres the box from a guess at its frame, and over a main window
    // at the screen's edge the box can end up partly off the screen. Once
    // the window manager has framed it, centre its frame on the owner's and
    // pull it inside the screen, its title bar first.
    QTimer::singleShot(0, this, [this] {
        const QScreen* where =
            owner_ != nullptr && owner_->screen() != nullptr ? owner_->screen() : screen();
        if (where == nullptr) {
            return;
        }
        const QRect area = where->availableGeometry();
        // How much the window manager adds on each side, the larger of the
        // box's and the owner's: until the box is framed its own is unknown.
        const auto frameOf = [](const QWidget& window) {
            const QRect inner = window.geometry();
            const QRect outer = window.frameGeometry();
            return QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                            outer.right() - inner.right(), outer.bottom() - inner.bottom());
        };
        QMargins margins = frameOf(*this);
        if (owner_ != nullptr) {
            const QMargins owner = frameOf(*owner_);
            margins = QMargins(std::max(margins.left(), owner.left()),
                               std::max(margins.top(), owner.top()),
                               std::max(margins.right(), owner.right()),
                               std::max(margins.bottom(), owner.bottom()));
        }
        // Under Wine Qt counts a frame's title bar but not the border the
        // system draws around it (4 pixels seen).
        constexpr int kUncountedBorder = 4;
        if (margins.top() > 0) {
            margins.setLeft(std::max(margins.left(), kUncountedBorder));
            margins.setRight(std::max(margins.right(), kUncountedBorder));
            margins.setBottom(std::max(margins.bottom(), kUncountedBorder));
        }
        const QRect framed = geometry().marginsAdded(margins);
        QPoint shift(0, 0);
        if (owner_ != nullptr) {
            shift = owner_->frameGeometry().center() - framed.center();
        }
        // Right and bottom first, so that a box larger than the screen keeps
        // its title bar and left edge on it.
        if (framed.right() + shift.x() > area.right()) {
            shift.setX(area.right() - framed.right());
        }
        if (framed.bottom() + shift.y() > area.bottom()) {
            shift.setY(area.bottom() - framed.bottom());
        }
        if (framed.left() + shift.x() < area.left()) {
            shift.setX(area.left() - framed.left());
        }
        if (framed.top() + shift.y() < area.top()) {
            shift.setY(area.top() - framed.top());
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
    // Esc does what Ok does.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool AboutDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == link_ && event->type() == QEvent::MouseMove) {
        showHandPointer();
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace grize
