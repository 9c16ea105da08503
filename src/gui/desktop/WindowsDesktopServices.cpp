#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// Needs the types from windows.h.
#include <shellapi.h>

#include <QApplication>
#include <QFont>
#include <QFontInfo>
#include <QMetaObject>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "gui/desktop/BoxOwner.h"
#include "gui/desktop/DesktopServices.h"

namespace grize {

namespace {

std::wstring wide(const std::string& utf8) {
    return QString::fromStdString(utf8).toStdWString();
}

// Later starts find the holder's message-only window, which only this
// logon session's desktop shows, and send it their command line.
const wchar_t* const kListenerClass = L"Ashgrove.Grize.Instance";
constexpr ULONG_PTR kCommandLineTag = 0x47726931;  // "Gri1"
constexpr DWORD kLongestCommandLine = 64 * 1024;
constexpr UINT kTalkMs = 1000;

class MutexClaim final : public InstanceClaim {
  public:
    explicit MutexClaim(HANDLE mutex) : mutex_(mutex) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &MutexClaim::receive;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kListenerClass;
        // Fails harmlessly when an earlier claim of this process registered it.
        ::RegisterClassW(&windowClass);
        // Without it the later starts only go unheard.
        listener_ = ::CreateWindowExW(0, kListenerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      windowClass.hInstance, nullptr);
        if (listener_ != nullptr) {
            ::SetWindowLongPtrW(listener_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        }
    }
    ~MutexClaim() override {
        if (listener_ != nullptr) {
            ::DestroyWindow(listener_);
        }
        ::CloseHandle(mutex_);
    }
    MutexClaim(const MutexClaim&) = delete;
    MutexClaim& operator=(const MutexClaim&) = delete;

    void listen(std::function<void(const std::string&)> heard) override {
        heard_ = std::move(heard);
    }

  private:
    static LRESULT CALLBACK receive(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != WM_COPYDATA) {
            return ::DefWindowProcW(window, message, wParam, lParam);
        }
        const auto* claim =
            reinterpret_cast<const MutexClaim*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (claim == nullptr || !claim->heard_ || data->dwData != kCommandLineTag ||
            data->cbData > kLongestCommandLine) {
            return FALSE;
        }
        // The sender waits for this answer: the window hears it afterwards.
        std::string text(static_cast<const char*>(data->lpData), data->cbData);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [heard = claim->heard_, text = std::move(text)] { heard(text); }, Qt::QueuedConnection);
        return TRUE;
    }

    HANDLE mutex_;
    HWND listener_ = nullptr;
    std::function<void(const std::string&)> heard_;
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
        if (QWidget* window = messageBoxOwner()) {
            owner = reinterpret_cast<HWND>(window->winId());
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

    void tellClaimHolder(const std::string& commandLine) override {
        HWND holder = ::FindWindowExW(HWND_MESSAGE, nullptr, kListenerClass, nullptr);
        if (holder == nullptr) {
            return;
        }
        // Windows lets a process bring its window forward only when the
        // one in front allows it.
        DWORD holderProcess = 0;
        ::GetWindowThreadProcessId(holder, &holderProcess);
        ::AllowSetForegroundWindow(holderProcess);
        COPYDATASTRUCT data{};
        data.dwData = kCommandLineTag;
        data.cbData = static_cast<DWORD>(commandLine.size());
        data.lpData = const_cast<char*>(commandLine.data());
        DWORD_PTR answer = 0;
        ::SendMessageTimeoutW(holder, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                              SMTO_ABORTIFHUNG | SMTO_BLOCK, kTalkMs, &answer);
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
