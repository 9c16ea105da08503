#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// Needs the types from windows.h.
#include <shellapi.h>

#include <QApplication>
#include <QFont>
#include <QFontInfo>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "gui/desktop/DesktopServices.h"

namespace grize {

namespace {

std::wstring wide(const std::string& utf8) {
    return QString::fromStdString(utf8).toStdWString();
}

class MutexClaim final : public InstanceClaim {
  public:
    explicit MutexClaim(HANDLE mutex) : mutex_(mutex) {}
    ~MutexClaim() override { ::CloseHandle(mutex_); }
    MutexClaim(const MutexClaim&) = delete;
    MutexClaim& operator=(const MutexClaim&) = delete;

  private:
    HANDLE mutex_;
};

class WindowsDesktopServices final : public DesktopServices {
  public:
    bool showMessageBox(const Message& message, bool yesNo) override {
        UINT style = yesNo ? MB_YESNO | MB_DEFBUTTON2 : MB_OK;
        switch (message.icon) {
            case MsgIcon::Warning:
                style |= MB_ICONWARNING;
                break;
            case MsgIcon::Information:
                style |= MB_ICONINFORMATION;
                break;
            case MsgIcon::Question:
                style |= MB_ICONQUESTION;
                break;
            case MsgIcon::None:
                break;
        }
        // The owner takes no input while the box is open; without one, no
        // window of this program does.
        HWND owner = nullptr;
        if (QWidget* active = QApplication::activeWindow()) {
            owner = reinterpret_cast<HWND>(active->winId());
        } else {
            style |= MB_TASKMODAL;
        }
        // The system's box takes CR LF line ends and copies itself with Ctrl+C.
        const std::wstring text = wide(message.text);
        const std::wstring title = message.title.empty() ? L"Grize" : wide(message.title);
        return ::MessageBoxW(owner, text.c_str(), title.c_str(), style) == IDYES;
    }

    bool openAddress(const std::string& address) override {
        // Only the about box opens an address, while it is the modal window.
        HWND about = nullptr;
        if (QWidget* modal = QApplication::activeModalWidget()) {
            about = reinterpret_cast<HWND>(modal->winId());
        }
        // The default verb, started in the root of drive C. Values above 32
        // mean it started.
        const HINSTANCE result =
            ::ShellExecuteW(about, nullptr, wide(address).c_str(), nullptr, L"c:\\", SW_SHOWNORMAL);
        return reinterpret_cast<INT_PTR>(result) > 32;
    }

    std::unique_ptr<InstanceClaim> claimSingleInstance(bool& otherRunning) override {
        otherRunning = false;
        // One per logon session; the system drops it with its last handle, so a
        // crashed instance leaves nothing behind.
        HANDLE mutex = ::CreateMutexW(nullptr, FALSE, L"Local\\Ashgrove.Grize");
        if (mutex == nullptr) {
            return nullptr;
        }
        if (::GetLastError() == ERROR_ALREADY_EXISTS) {
            ::CloseHandle(mutex);
            otherRunning = true;
            return nullptr;
        }
        return std::make_unique<MutexClaim>(mutex);
    }
};

}  // namespace

std::unique_ptr<DesktopServices> nativeDesktopServices() {
    return std::make_unique<WindowsDesktopServices>();
}

std::string windowFontFamily() {
    // The system's message font, what its own dialogs use; the layout keeps
    // its own sizes. Qt may not have it: Wine names "MS Shell Dlg", which Qt
    // then draws with a serif font, and has no MS Sans Serif for Qt either.
    // Then the families that font usually is, and the sans-serif ones a Wine
    // finds on its host.
    static const std::string family = [] {
        QStringList wanted;
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof(metrics);
        if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
            wanted << QString::fromWCharArray(metrics.lfMessageFont.lfFaceName);
        }
        wanted << "Segoe UI"
               << "Tahoma"
               << "Liberation Sans"
               << "DejaVu Sans"
               << "Arial";
        for (const QString& name : wanted) {
            if (!name.isEmpty() &&
                QFontInfo(QFont(name)).family().compare(name, Qt::CaseInsensitive) == 0) {
                return name.toStdString();
            }
        }
        return std::string("MS Shell Dlg 2");
    }();
    return family;
}

}  // namespace grize
