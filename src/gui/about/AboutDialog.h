#pragma once

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace grize {

class WindowServices;

// The about box: title, version, copyright, author and the homepage link.
// Shown modally over the main window; created for each showing.
class AboutDialog : public QDialog {
    Q_OBJECT

  public:
    explicit AboutDialog(WindowServices& services, QWidget* owner = nullptr);

    // The address the link shows and opens.
    static QString homepage();

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void showVersionAndYear();
    // The link clicked: the main window is minimised and the homepage opens.
    void openHomepage();
    void showHandPointer();

    QLabel* title_;
    QLabel* version_;
    QLabel* copyright_;
    QLabel* author_;
    QLabel* playText_;
    QLabel* updatesText_;
    QLabel* visitText_;
    QLabel* link_;
    QLabel* hand_;
    QPushButton* okButton_;
    QFrame* line1_;
    QFrame* line2_;
    QFrame* line3_;
    QFrame* line4_;
    QFrame* line5_;

    WindowServices& services_;
    QWidget* owner_;
    bool urlPressed_ = false;
};

}  // namespace grize
