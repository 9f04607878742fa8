#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <exception>

#include "core/command_files.h"

class QThread;

namespace corvane {

/// Compares the Init and Reference files and writes the New file on a thread of its own, so
/// that the window keeps answering; it can be stopped until the New file is written.
class RunJob : public QObject, private CompareObserver {
    Q_OBJECT

public:
    /// Prepares the job; the separator is taken as typed. Nothing runs before start().
    RunJob(const QString& initPath, const QString& referencePath, const QString& separator,
           const QString& newPath, QObject* parent = nullptr);
    /// Stops the job and waits for its thread.
    ~RunJob() override;

    /// Starts the thread; finished() follows in this object's thread.
    void start();
    /// Asks the job to stop; it writes nothing once it has seen this.
    void cancel();
    /// Blocks until the thread has ended.
    void wait();

    /// How much of the Init file has been searched, in thousandths.
    int searchedPerMille() const;
    /// True once the job has ended having written the New file.
    bool written() const { return written_; }
    /// The error that ended the job, if one did.
    std::exception_ptr failure() const { return failure_; }

signals:
    /// The job has ended: written, stopped or failed.
    void finished();

private:
    void searched(qint64 done, qint64 total) override;
    bool cancelled() const override;
    void work();

    const QString initPath_, referencePath_, separator_, newPath_;
    QThread* thread_ = nullptr;
    std::atomic<bool> cancelled_{false};
    std::atomic<int> searchedPerMille_{0};
    bool written_ = false;
    std::exception_ptr failure_;
};

}  // namespace corvane
