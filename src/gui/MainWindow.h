#pragma once

#include <QCheckBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "gui/MainController.h"
#include "gui/settings/SettingsTargets.h"

namespace grize {

class FileSystem;
class WindowServices;
class WindowSettings;

// The main window: two password boxes, the encrypt and decrypt buttons (only
// the one that fits the target is enabled), Cancel/Done, About and the "Auto
// quit window" check box. Tests and assistive tools find the controls by
// their object names (txtPassword1, cmdEncrypt, Check1, ...). What the
// controls do is decided by its MainController.
class MainWindow : public QWidget, private MainView {
    Q_OBJECT

  public:
    MainWindow(WindowServices& services, WindowSettings& settings, FileSystem& fileSystem,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // Initialise, load and show, as the program starts. False when the
    // program ended on the way (second instance, refused target).
    bool start();

    void checkAll();
    // Selects the whole text of the password box that has the focus.
    void selectFocusedText();

    // The button Enter presses in this mode; none before checkAll succeeds.
    QPushButton* defaultButton() const { return defaultButton_; }
    // True while a file operation runs on its worker thread.
    bool working() const;
    // The target named on the command line.
    const std::string& userFile() const;
    // The progress bar shows once a run has lasted `delay`, and then follows
    // it every `tick`; shorter runs would only flicker.
    void setProgressTiming(std::chrono::milliseconds delay, std::chrono::milliseconds tick);

  public slots:
    void encrypt();
    void decrypt();
    // Cancel while working stops the run; otherwise Cancel or Done ends the program.
    void cancelOrClose();
    void showAbout();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    class Position;
    class CheckValue;
    class InputBlocker;
    class ProgressDisplay;

    void buildControls();
    void updateAutoQuitTip();
    // Colours the label of `box` while it has the focus; other controls have none.
    void markPasswordLabel(const QWidget* box, bool focused);
    void setDefaultButton(QPushButton* button);
    void focusMoved(QWidget* to);
    // The Ready state: the target's mode offered.
    void showMode(Operation mode);
    // Done and Failed: only Cancel (or Done) is left; the password boxes go grey.
    void offerLeaving();

    // MainView
    void showState(WindowState state, Operation mode) override;
    void showTitle(const std::string& title) override;
    void showWritten(const std::string& name) override;
    void showPointer() override;
    void askPasswordAgain() override;
    void askPasswordFirst() override;
    void beginWork(const BackgroundTask& task) override;
    void endWork() override;
    bool passwordsMatch() const override;
    std::u32string password() const override;
    PositionTarget& position() override;
    CheckBoxTarget& autoQuit() override;
    CheckBoxTarget& strong() override;
    void closeWindow() override;
    void bringForward() override;
    void showNote(const std::string& note) override;

    QLineEdit* password1_;
    QLineEdit* password2_;
    QPushButton* encryptButton_;
    QPushButton* decryptButton_;
    QPushButton* cancelButton_;
    QPushButton* aboutButton_;
    QCheckBox* autoQuit_;
    QCheckBox* strong_;  // encrypt mode only: the age format
    QLabel* password1Label_;
    QLabel* password2Label_;
    // Shown below Cancel only while a long operation runs.
    QProgressBar* progress_;
    // The status line at the window's foot, once done: what was written.
    QLabel* written_;
    // The last note, on the status line: in front while new, then behind
    // the written line, if there is one.
    QLabel* note_;
    QTimer noteShown_;

    WindowServices& services_;
    std::unique_ptr<Position> position_;
    std::unique_ptr<CheckValue> checkValue_;
    std::unique_ptr<CheckValue> strongValue_;
    std::unique_ptr<MainController> controller_;
    // While a run works: the input it lets through and the bar.
    std::unique_ptr<InputBlocker> blocker_;
    std::unique_ptr<ProgressDisplay> progressDisplay_;
    std::chrono::milliseconds progressDelay_{500};
    std::chrono::milliseconds progressTick_{100};
    QPushButton* defaultButton_ = nullptr;
    QWidget* focused_ = nullptr;
};

// Sets a label's text colour (the active and inactive look; a disabled
// label keeps the style's grey).
void setForeColor(QLabel* label, const QColor& colour);

}  // namespace grize
