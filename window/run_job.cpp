#include "window/run_job.h"

#include <QThread>

namespace corvane {

RunJob::RunJob(const QString& initPath, const QString& referencePath, const QString& separator,
               const QString& newPath, QObject* parent)
    : QObject(parent),
      initPath_(initPath),
      referencePath_(referencePath),
      separator_(separator),
      newPath_(newPath) {}

RunJob::~RunJob() {
    cancel();
    wait();
}

void RunJob::start() {
    thread_ = QThread::create([this] { work(); });
    thread_->setParent(this);
    connect(thread_, &QThread::finished, this, &RunJob::finished);
    thread_->start();
}

void RunJob::cancel() {
    cancelled_ = true;
}

void RunJob::wait() {
    if (thread_ != nullptr) {
        thread_->wait();
    }
}

int RunJob::searchedPerMille() const {
    return searchedPerMille_;
}

void RunJob::searched(qint64 done, qint64 total) {
    searchedPerMille_ = total > 0 ? int(std::min<qint64>(done, total) * 1000 / total) : 0;
}

bool RunJob::cancelled() const {
    return cancelled_;
}

void RunJob::work() {
    // The results are read only after the thread has ended, which orders them after these writes.
    try {
        const std::optional<QString> line =
            compareCommandFileLines(initPath_, referencePath_, separatorInFiles(separator_), this);
        // A stop that comes after the comparison still keeps the earlier New file.
        if (cancelled_) {
            return;
        }
        writeNewFile(newPath_, line.value_or(QString()));
        written_ = true;
    } catch (...) {
        failure_ = std::current_exception();
    }
}

}  // namespace corvane
