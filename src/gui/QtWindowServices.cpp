#include "gui/QtWindowServices.h"

#include <QDate>
#include <cstdio>
#include <cstdlib>

namespace grize {

QtWindowServices::QtWindowServices(std::string commandLine)
    : commandLine_(std::move(commandLine)), desktop_(nativeDesktopServices()) {}

QtWindowServices::~QtWindowServices() = default;

void QtWindowServices::showMessage(const Message& message) {
    desktop_->showMessageBox(message, false);
}

bool QtWindowServices::askYesNo(const Message& message) {
    return desktop_->showMessageBox(message, true);
}

void QtWindowServices::endNow() {
    // Not a closing step of any window: only the instance claim goes, so
    // that the next start does not have to judge it stale.
    claim_.reset();
    std::fflush(nullptr);
    std::_Exit(0);
}

bool QtWindowServices::otherInstanceRunning() {
    bool otherRunning = false;
    claim_ = desktop_->claimSingleInstance(otherRunning);
    if (otherRunning) {
        desktop_->tellClaimHolder(commandLine_);
    }
    return otherRunning;
}

void QtWindowServices::onOtherStart(std::function<void(const std::string&)> heard) {
    if (claim_) {
        claim_->listen(std::move(heard));
    }
}

std::string QtWindowServices::commandLine() {
    return commandLine_;
}

bool QtWindowServices::openLink(const std::string& address) {
    return desktop_->openAddress(address);
}

int QtWindowServices::currentYear() {
    return QDate::currentDate().year();
}

}  // namespace grize
