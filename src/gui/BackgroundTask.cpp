#include "gui/BackgroundTask.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <exception>
#include <thread>

namespace grize {

void BackgroundTask::runAndWait(const std::function<void()>& work) {
    done_ = 0;
    total_ = 0;
    cancel_ = false;
    running_ = true;
    std::exception_ptr failure;
    QEventLoop loop;
    // The worker's results are complete before it posts the quit, and it is
    // joined before they are read.
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    // Input that came while the work was ending is still meant for it: a stop
    // pressed then must not act on the finished window (close it, say).
    QCoreApplication::processEvents();
    running_ = false;
    if (failure) {
        std::rethrow_exception(failure);
    }
}

}  // namespace grize
