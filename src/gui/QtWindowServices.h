#pragma once

#include <memory>
#include <string>

#include "gui/desktop/DesktopServices.h"
#include "gui/services/WindowServices.h"

namespace grize {

class QtWindowServices final : public WindowServices {
  public:
    explicit QtWindowServices(std::string commandLine);
    ~QtWindowServices() override;

    void showMessage(const Message& message) override;
    bool askYesNo(const Message& message) override;
    void endNow() override;
    // True while another process holds the single-instance claim (a lock file
    // in the user's runtime folder, a named mutex on Windows); one left by a
    // process that died does not count. When this instance is the first, it
    // holds the claim until it ends; otherwise it hands the holder its
    // command line first.
    bool otherInstanceRunning() override;
    void onOtherStart(std::function<void(const std::string&)> heard) override;
    std::string commandLine() override;
    bool openLink(const std::string& address) override;
    int currentYear() override;

  private:
    std::string commandLine_;
    std::unique_ptr<DesktopServices> desktop_;
    std::unique_ptr<InstanceClaim> claim_;
};

}  // namespace grize
