#pragma once

#include <QLockFile>
#include <memory>
#include <string>

#include "WindowServices.h"

namespace grize {

class QtWindowServices final : public WindowServices {
  public:
    explicit QtWindowServices(std::string commandLine);
    ~QtWindowServices() override;

    void MsgBox(const Message& message) override;
    bool AskYesNo(const Message& message) override;
    void EndNow() override;
    // True while another process holds grize.lock in the user's runtime
    // folder; a lock left by a process that died does not count. When this
    // instance is the first, it holds the lock until it ends.
    bool PrevInstance() override;
    std::string CommandLine() override;
    void OpenHomepage(const std::string& address) override;
    int CurrentYear() override;

    // The arguments after the program's name, joined with one blank.
    static std::string joinArguments(int argc, char** argv);

  private:
    std::string commandLine_;
    std::unique_ptr<QLockFile> lock_;
};

}  // namespace grize
