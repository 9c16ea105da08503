#pragma once

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStringList>

namespace grize {

class LinkLabel;
class WindowServices;

// The about box: title, version, copyright, author and the homepage link,
// or without a homepage a link to the readme.
// Shown modally over the main window; created for each showing.
class AboutDialog : public QDialog {
    Q_OBJECT

  public:
    // `readmes`: where the readme may be, the first found is the one linked.
    explicit AboutDialog(WindowServices& services, QWidget* owner = nullptr,
                         const QStringList& readmes = readmePlaces());

    // Empty when there is none.
    static QString homepage();
    // Beside the program (the Windows installer's place, and the build
    // tree's), then where the package installs it.
    static QStringList readmePlaces();

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void showVersionAndYear();
    // The link activated: the main window is minimised, the link's target
    // opens and the box closes. When it cannot open, the main window comes
    // back and a box says why.
    void openLink();
    void showHandPointer();

    QLabel* title_;
    QLabel* version_;
    QLabel* copyright_;
    QLabel* author_;
    QLabel* playText_;
    QLabel* updatesText_;
    QLabel* visitText_;
    LinkLabel* link_;
    QLabel* hand_;
    QPushButton* okButton_;
    QFrame* line1_;
    QFrame* line2_;
    QFrame* line3_;
    QFrame* line4_;
    QFrame* line5_;

    WindowServices& services_;
    QWidget* owner_;
    // The homepage, or the readme's path.
    QString target_;
};

}  // namespace grize
