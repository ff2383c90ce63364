#include "ImportSession.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

namespace vantrel::gui {

namespace {

// The run's questions and messages, asked from its thread, answered on the window's thread
// while the run waits. Its messages come at its end: the progress window goes first.
class UiThreadPrompt final : public UserPrompt {
  public:
    UiThreadPrompt(QObject* window, UserPrompt& target, ImportProgress& progress)
        : window_(window), target_(target), progress_(progress) {}
    bool AskYesNo(const std::string& text) override {
        bool answer = false;
        OnWindowThread([&] { answer = target_.AskYesNo(text); });
        return answer;
    }
    void ShowMessage(const std::string& text, const std::string& focus) override {
        OnWindowThread([&] {
            progress_.Finish();
            target_.ShowMessage(text, focus);
        });
    }
    void ShowErrorWindow() override {
        OnWindowThread([&] {
            progress_.Finish();
            target_.ShowErrorWindow();
        });
    }

  private:
    template <typename F>
    void OnWindowThread(F f) {
        if (QThread::currentThread() == window_->thread())
            f();
        else
            QMetaObject::invokeMethod(window_, f, Qt::BlockingQueuedConnection);
    }

    QObject* window_;
    UserPrompt& target_;
    ImportProgress& progress_;
};

}  // namespace

ImportSession::ImportSession(QWidget* owner, SessionState& state, Engine& engine,
                             UserPrompt& prompt)
    : owner_(owner),
      state_(state),
      engine_(engine),
      prompt_(prompt),
      progress_(std::make_unique<ImportProgress>(owner)) {
    QObject::connect(progress_.get(), &ImportProgress::cancelRequested, progress_.get(),
                     [this] { Cancel(); });
}

ImportSession::~ImportSession() = default;

void ImportSession::Cancel() {
    cancelled_ = true;
    progress_->ShowCancelling();
}

void ImportSession::Configure(ImportRun& run) {
    // Reports are queued to the progress window; they are dropped if it is gone by then.
    ImportProgress* progress = progress_.get();
    run.SetStagingProgress([this, progress](int64_t rows) {
        QMetaObject::invokeMethod(
            progress, [progress, rows] { progress->ShowStaging(rows); }, Qt::QueuedConnection);
        return !cancelled_;
    });
    run.SetProgress([this, progress](const TransferProgress& p) {
        QMetaObject::invokeMethod(
            progress, [progress, p] { progress->ShowTransfer(p); }, Qt::QueuedConnection);
        return !cancelled_;
    });
}

RunOutcome ImportSession::Run() {
    UiThreadPrompt relay(owner_, prompt_, *progress_);
    ImportRun run(state_, engine_, relay);
    Configure(run);
    RunOutcome outcome;
    const std::unique_ptr<QThread> worker(
        QThread::create([&run, &outcome] { outcome = run.Start(); }));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    if (!worker->isRunning() && !worker->isFinished()) {
        // No second thread could be had: the run works here and the windows wait for it.
        outcome = run.Start();
    } else {
        loop.exec();
        // Ending the whole program ends every event loop at once. The run is then stopped, and
        // its questions are still answered until its thread has ended.
        while (!worker->isFinished()) {
            Cancel();
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        worker->wait();
    }
    progress_->Finish();
    return outcome;
}

}  // namespace vantrel::gui
