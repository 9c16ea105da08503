#pragma once

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace grize {

class WindowServices;

// The about box: title, version, copyright, author and the homepage link.
// Shown modally over the main window; created for each showing.
class frmabout : public QDialog {
    Q_OBJECT

  public:
    explicit frmabout(WindowServices& services, QWidget* owner = nullptr);

    void Form_Load();
    void cmdok_Click();
    void lblurl_Click();
    void lblurl_MouseMove();

    // The address lblurl shows and opens.
    static QString homepage();

    QLabel* lblprogtitle;
    QLabel* lblversion;
    QLabel* lblcopyright;
    QLabel* lblcopyright2;
    QLabel* lbltext3;
    QLabel* lbltext4;
    QLabel* lbltext5;
    QLabel* lblurl;
    QLabel* imghand;
    QPushButton* cmdok;
    QFrame* Line1;
    QFrame* Line2;
    QFrame* Line3;
    QFrame* Line4;
    QFrame* Line5;

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    WindowServices& services_;
    QWidget* owner_;
    bool urlPressed_ = false;
};

}  // namespace grize
