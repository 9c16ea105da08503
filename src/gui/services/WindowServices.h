#pragma once

#include <functional>
#include <string>
#include <utility>

namespace grize {

enum class MsgIcon { None, Warning, Information, Question };

// One modal message box: OK button only. `text` separates its lines by CR LF;
// an empty title shows the application title "Grize".
struct Message {
    Message(std::string text_, MsgIcon icon_, std::string title_)
        : text(std::move(text_)), icon(icon_), title(std::move(title_)) {}

    std::string text;
    MsgIcon icon = MsgIcon::None;
    std::string title;
};

// What the windows ask of the platform beyond their own controls. The program
// runs on QtWindowServices; the tests put a recorder in its place so that
// nobody has to close boxes.
class WindowServices {
  public:
    virtual ~WindowServices() = default;

    // Returns when the user has closed the box.
    virtual void showMessage(const Message& message) = 0;
    // A modal box with Yes and No, No the default; true for Yes.
    virtual bool askYesNo(const Message& message) = 0;
    // Ends the process at once: no close handler runs and nothing is stored.
    // A recorder does return, so every caller returns straight after it.
    virtual void endNow() = 0;
    // Asked once, first thing at start-up; when true, that instance has
    // been handed this start's command line.
    virtual bool otherInstanceRunning() = 0;
    // While this instance runs: `heard` gets the command line of each later
    // start that otherInstanceRunning() turned away.
    virtual void onOtherStart(std::function<void(const std::string&)> heard) = 0;
    // The command line's argument text: the arguments joined with one blank.
    virtual std::string commandLine() = 0;
    // Opens the about box's link, a web address or a file's path, with the
    // desktop's program for it; false when none could be started.
    virtual bool openLink(const std::string& address) = 0;
    virtual int currentYear() = 0;
};

}  // namespace grize
